// The end-to-end fixture and its helpers: the program started as a user
// would on a real X server, driven through XTest and watched through its
// state report and screenshots. Shared by every end-to-end test file.
//
// Environment: DISPLAY is the composited display; QV_E2E_BARE_DISPLAY, when
// set, is a second display with no compositing manager; QV_E2E_OUT is where
// screenshots and logs go (default /tmp).
#pragma once

#include <gtest/gtest.h>  // before Xlib, whose macros (None, Bool) clash with it

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <cairo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "state_report.h"
#include "x_injector.h"

namespace qv::e2e {

using State = std::map<std::string, std::string>;
using namespace std::chrono_literals;

constexpr int kExitNormal = 0;
constexpr int kExitOtherCopy = 255;
constexpr int kTimedOut = -1000;
constexpr auto kSettle = 300ms;  // long enough for the program to act on an event it will act on
constexpr const char* kInstanceName = "Velk tool v.2";

inline std::string OutDir() {
    const char* d = std::getenv("QV_E2E_OUT");
    return d && *d ? d : "/tmp";
}

inline std::string TestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

inline pid_t Spawn(const std::vector<std::string>& argv, const std::string& log, const char* display = nullptr) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (display) setenv("DISPLAY", display, 1);
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
        }
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

// The exit status, or kTimedOut.
inline int WaitExit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(20ms);
    }
    return kTimedOut;
}

inline void Stop(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (WaitExit(pid, 3s) == kTimedOut) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    pid = 0;
}

inline State ReadState(Display* d) {
    const Atom selection = XInternAtom(d, kInstanceName, False);
    const Window owner = XGetSelectionOwner(d, selection);
    if (owner == None) return {};
    const Atom prop = XInternAtom(d, "_QUORVANE_STATE", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    State s;
    if (XGetWindowProperty(d, owner, prop, 0, 1 << 20, False, AnyPropertyType, &type, &format, &items, &after,
                           &data) == Success &&
        data) {
        s = linuxshell::ParseStateReport(std::string(reinterpret_cast<char*>(data), items));
        XFree(data);
    }
    return s;
}

inline long Int(const State& s, const std::string& key) {
    const auto it = s.find(key);
    return it == s.end() ? -99999 : std::strtol(it->second.c_str(), nullptr, 10);
}

inline std::string Text(const State& s, const std::string& key) {
    const auto it = s.find(key);
    return it == s.end() ? "<missing>" : it->second;
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    int cx() const { return x + w / 2; }
    int cy() const { return y + h / 2; }
};

inline Rect RectOf(const State& s, const std::string& key) {
    Rect r;
    std::sscanf(Text(s, key).c_str(), "%d,%d,%d,%d", &r.x, &r.y, &r.w, &r.h);
    return r;
}

inline std::string Dump(const State& s) {
    std::ostringstream o;
    for (const auto& [k, v] : s)
        if (k.find(".rect") == std::string::npos) o << k << '=' << v << ' ';
    return o.str();
}

inline std::vector<long> Longs(Display* d, Window w, const char* property) {
    std::vector<long> values;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, XInternAtom(d, property, False), 0, 1024, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 32) {
        const long* longs = reinterpret_cast<const long*>(data);  // format 32 arrives as longs
        values.assign(longs, longs + count);
    }
    if (data) XFree(data);
    return values;
}

inline bool ManagerRuns(Display* d) { return !Longs(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK").empty(); }

constexpr long kPagerSource = 2;  // EWMH: the request comes from a pager, which managers obey

// An EWMH request to the manager about window `about`.
inline void AskManager(Display* d, Window about, const char* message, long l0, long l1) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = about;
    ev.xclient.message_type = XInternAtom(d, message, False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = l0;
    ev.xclient.data.l[1] = l1;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    XSync(d, False);
}

// X errors are the tests' to judge, not a reason to abort and leave the
// program running.
inline int lastXError = 0;
inline int RecordXError(Display*, XErrorEvent* e) {
    lastXError = e->error_code;
    return 0;
}

class E2e : public ::testing::Test {
protected:
    void SetUp() override {
        XSetErrorHandler(RecordXError);
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr) << "no X display";
        width_ = DisplayWidth(display_, DefaultScreen(display_));
        height_ = DisplayHeight(display_, DefaultScreen(display_));
        inject_ = std::make_unique<XInjector>(display_);
        // Nothing of a previous test may still own the selection.
        ASSERT_TRUE(WaitFor([&] { return ReadState(display_).empty() &&
                                         XGetSelectionOwner(display_, XInternAtom(display_, kInstanceName, False)) == None; },
                            5s));
        MakeBackground();
        inject_->MoveTo(5, 5);
        pid_ = Spawn({QV_QUORVANE_PATH}, OutDir() + "/" + TestName() + ".log");
        ASSERT_TRUE(WaitFor([&] {
            const State s = ReadState(display_);
            return Int(s, "mapped") == 1 && Int(s, "frames") >= 1 && s.count("reset.rect") && Int(s, "panelX") > 0;
        }, 10s)) << "the program did not come up: " << Dump(ReadState(display_));
        std::this_thread::sleep_for(200ms);  // let the first paint land
    }

    void TearDown() override {
        Stop(pid_);
        if (display_) {
            if (background_) XDestroyWindow(display_, background_);
            XCloseDisplay(display_);
        }
    }

    // A white window over the whole screen, made before the program starts
    // so that the overlay lies above it; it records the clicks it gets.
    // Under a window manager it is the desktop, which the manager keeps
    // below every frame; with none, an override-redirect window nobody
    // restacks.
    void MakeBackground() {
        const bool managed = ManagerRuns(display_);
        XSetWindowAttributes a{};
        a.override_redirect = managed ? False : True;
        a.background_pixel = WhitePixel(display_, DefaultScreen(display_));
        a.event_mask = ButtonPressMask;
        background_ = XCreateWindow(display_, DefaultRootWindow(display_), 0, 0, static_cast<unsigned>(width_),
                                    static_cast<unsigned>(height_), 0, CopyFromParent, InputOutput, CopyFromParent,
                                    CWOverrideRedirect | CWBackPixel | CWEventMask, &a);
        if (managed) {
            const Atom desktop = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
            XChangeProperty(display_, background_, XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(&desktop), 1);
            XSizeHints size{};
            size.flags = USPosition | USSize;
            size.width = width_;
            size.height = height_;
            XSetWMNormalHints(display_, background_, &size);
        }
        XMapRaised(display_, background_);
        XSync(display_, False);
        if (managed) WaitFor([&] {
            XWindowAttributes wa{};
            return XGetWindowAttributes(display_, background_, &wa) && wa.map_state == IsViewable;
        });
    }

    bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (condition()) return true;
            std::this_thread::sleep_for(20ms);
        }
        return condition();
    }

    bool WaitState(const std::function<bool(const State&)>& condition, std::chrono::milliseconds timeout = 5s) {
        return WaitFor([&] { return condition(ReadState(display_)); }, timeout);
    }

    State Now() { return ReadState(display_); }

    // The state once nothing has changed for a while.
    State Settled() {
        std::this_thread::sleep_for(kSettle);
        return Now();
    }

    void ClickRect(const std::string& key) {
        FocusPanel();
        const Rect r = RectOf(Now(), key);
        ASSERT_GT(r.w, 0) << key;
        inject_->Click(r.cx(), r.cy());
    }

    // The panel's close box, as a window manager reports a click on it.
    void ClosePanel() {
        const Window panel = static_cast<Window>(Int(Now(), "panelWindow"));
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = panel;
        ev.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        ev.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, panel, False, NoEventMask, &ev);
        XSync(display_, False);
    }

    // Under a window manager a click on a window without the focus goes
    // through the manager's focus grab first, which can drop or repeat a
    // click that follows closely: the panel gets the focus first, as a
    // user's first click would give it.
    void FocusPanel() {
        if (!ManagerRuns(display_)) return;
        const long panel = Int(Now(), "panelWindow");
        auto active = [&] {
            const std::vector<long> a = Longs(display_, DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW");
            return !a.empty() && a[0] == panel;
        };
        if (active()) return;
        AskManager(display_, static_cast<Window>(panel), "_NET_ACTIVE_WINDOW", kPagerSource, CurrentTime);
        EXPECT_TRUE(WaitFor(active)) << "the panel did not get the focus";
    }

    // The screen, but for the panel and its shadow, against the headless
    // renderer's picture for the state's size and centre with `flags`, over
    // the white background. Nothing is compared without the renderer.
    void ExpectScreenIsTheRenderers(const State& s, const std::string& flags);

    Display* display_ = nullptr;
    std::unique_ptr<XInjector> inject_;
    Window background_ = 0;
    pid_t pid_ = 0;
    int width_ = 0, height_ = 0;
};

// Loads a PNG as premultiplied ARGB32 pixels; empty on failure.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
};

inline Image LoadPng(const std::string& path) {
    Image img;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        img.width = cairo_image_surface_get_width(s);
        img.height = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const bool hasAlpha = cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32;
        const unsigned char* data = cairo_image_surface_get_data(s);
        img.pixels.resize(static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height));
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                std::uint32_t p = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
                if (!hasAlpha) p |= 0xFF000000u;
                img.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(img.width) + static_cast<std::size_t>(x)] = p;
            }
    }
    cairo_surface_destroy(s);
    return img;
}

inline void E2e::ExpectScreenIsTheRenderers(const State& s, const std::string& flags) {
    const std::string render = QV_RENDER_PATH;
    if (render.empty()) return;
    const std::string shot = OutDir() + "/linux-screen.png";
    const std::string ref = OutDir() + "/linux-reference.png";
    ASSERT_EQ(std::system(("import -window root " + shot).c_str()), 0);
    const std::string cmd = render + " --size " + std::to_string(width_) + "x" + std::to_string(height_) +
                            " --center " + Text(s, "centerX") + "," + Text(s, "centerY") + flags + " -o " + ref;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    const Image screen = LoadPng(shot), lines = LoadPng(ref);
    ASSERT_EQ(screen.width, width_);
    ASSERT_EQ(lines.width, width_);
    ASSERT_EQ(lines.height, screen.height);
    const Rect panel = RectOf(s, "panelRect");
    constexpr int kShadow = 24;  // a compositing manager's shadow around the panel's frame
    long compared = 0, off = 0;
    int worst = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            if (x >= panel.x - kShadow && x < panel.x + panel.w + kShadow && y >= panel.y - kShadow &&
                y < panel.y + panel.h + kShadow)
                continue;
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
            const std::uint32_t l = lines.pixels[i], p = screen.pixels[i];
            const int a = static_cast<int>(l >> 24);
            int diff = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                // The premultiplied lines over the white background.
                const int expected = static_cast<int>((l >> shift) & 0xFF) + (255 - a);
                const int got = static_cast<int>((p >> shift) & 0xFF);
                diff = std::max(diff, std::abs(expected - got));
            }
            ++compared;
            worst = std::max(worst, diff);
            if (diff > 2) ++off;
        }
    RecordProperty("worst_channel_difference", worst);
    RecordProperty("pixels_off_by_more_than_2", static_cast<int>(off));
    std::printf("compared %ld pixels: worst channel difference %d, %ld pixels off by more than 2\n", compared,
                worst, off);
    // The compositor blends in 8 bits; nothing else may differ.
    EXPECT_LE(worst, 2);
    EXPECT_EQ(off, 0);
    EXPECT_GT(compared, static_cast<long>(width_) * height_ / 2);
}

// On a plain colour, any pixel off that colour is a line.
constexpr int kColourTolerance = 8;
constexpr std::uint32_t kWhite = 0xffffff;

// The share of the pixels in r for which `is` holds.
inline double Share(const Image& img, const Rect& r, const std::function<bool(std::uint32_t)>& is) {
    long hits = 0, total = 0;
    for (int y = std::max(0, r.y); y < std::min(img.height, r.y + r.h); ++y)
        for (int x = std::max(0, r.x); x < std::min(img.width, r.x + r.w); ++x) {
            hits += is(img.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(img.width) +
                                  static_cast<std::size_t>(x)])
                        ? 1
                        : 0;
            ++total;
        }
    return total ? static_cast<double>(hits) / static_cast<double>(total) : 0.0;
}

inline int Channel(std::uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

inline double OffColourShare(const Image& img, const Rect& r, std::uint32_t rgb) {
    return Share(img, r, [rgb](std::uint32_t p) {
        for (int shift = 0; shift <= 16; shift += 8)
            if (std::abs(Channel(p, shift) - Channel(rgb, shift)) > kColourTolerance) return true;
        return false;
    });
}

inline Image Shoot(const std::string& name) {
    const std::string path = OutDir() + "/" + TestName() + "." + name + ".png";
    if (std::system(("import -window root " + path).c_str()) != 0) return {};
    return LoadPng(path);
}

}  // namespace qv::e2e
