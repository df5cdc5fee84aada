// The overlay on a desktop of two monitors (scripts/test-linux defines them
// with `xrandr --setmonitor` on one Xvfb: a 1280x720 primary and a 1024x768
// monitor right of it): it starts on the primary, follows the gestures to
// the monitor under the pointer and back across the seam, and a display
// change that takes the other monitor away brings it back to the primary.
#include "e2e_fixture.h"

namespace qv::e2e {
namespace {

constexpr int kShadow = 24;             // a compositing manager's shadow around the panel's frame
constexpr int kEmptyCentre = 20;        // well inside the empty centre of the default space (100)
constexpr double kCoveredShare = 0.03;  // the default pattern covers far more of a monitor

struct Monitors {
    Rect primary, other;
    XRRMonitorInfo otherInfo{};  // to define the other monitor again after removing it
};

// The first two active monitors the server lists, the primary first; none
// when there are fewer than two.
std::optional<Monitors> ReadMonitors(Display* d) {
    int count = 0;
    XRRMonitorInfo* info = XRRGetMonitors(d, DefaultRootWindow(d), True, &count);
    std::optional<Monitors> m;
    if (info && count >= 2) {
        const int p = info[1].primary ? 1 : 0;
        const XRRMonitorInfo &a = info[p], &b = info[1 - p];
        m = Monitors{Rect{a.x, a.y, a.width, a.height}, Rect{b.x, b.y, b.width, b.height}, b};
        m->otherInfo.outputs = nullptr;
        m->otherInfo.noutput = 0;
    }
    if (info) XRRFreeMonitors(info);
    return m;
}

// RandR announces a monitor defined or removed by a client only with the
// next change of the screen's configuration: the primary output changed and
// set back, as a desktop's display settings would.
void AnnounceDisplayChange(Display* d) {
    const Window root = DefaultRootWindow(d);
    const RROutput was = XRRGetOutputPrimary(d, root);
    RROutput other = None;
    if (was == None) {
        if (XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root)) {
            if (res->noutput > 0) other = res->outputs[0];
            XRRFreeScreenResources(res);
        }
    }
    XRRSetOutputPrimary(d, root, other);
    XRRSetOutputPrimary(d, root, was);
    XSync(d, False);
}

bool Covers(const State& s, const Rect& r) {
    const Rect o = RectOf(s, "overlayRect");
    return o.x == r.x && o.y == r.y && o.w == r.w && o.h == r.h && Int(s, "width") == r.w &&
           Int(s, "height") == r.h;
}

class E2eMonitors : public E2e {
protected:
    void SetUp() override {
        Display* d = XOpenDisplay(nullptr);
        ASSERT_NE(d, nullptr);
        const std::optional<Monitors> m = ReadMonitors(d);
        XCloseDisplay(d);
        if (!m) GTEST_SKIP() << "this display has fewer than two monitors";
        monitors_ = *m;
        E2e::SetUp();
    }

    // The overlay window where the server has it, and whether it is still
    // override-redirect: never managed, never focused, on either monitor.
    void ExpectOverlayOver(const Rect& r) {
        const Window overlay = static_cast<Window>(Int(Now(), "overlayWindow"));
        XWindowAttributes a{};
        ASSERT_TRUE(WaitFor([&] {
            return XGetWindowAttributes(display_, overlay, &a) && a.x == r.x && a.y == r.y &&
                   a.width == r.w && a.height == r.h;
        })) << "overlay at "
            << a.x << "," << a.y << " " << a.width << "x" << a.height;
        EXPECT_TRUE(a.override_redirect);
    }

    // The lines on one monitor and none on the other, the panel and its
    // shadow left out (it lies in the primary's bottom-right corner).
    void ExpectLinesOnlyOn(const Rect& on, const Rect& off, const std::string& shot) {
        std::this_thread::sleep_for(kSettle);
        const Image img = Shoot(shot);
        ASSERT_GT(img.width, 0);
        const Rect panel = RectOf(Now(), "panelRect");
        const Rect aboveIt{off.x, off.y, off.w, std::min(off.h, panel.y - kShadow - off.y)};
        const Rect leftOfIt{off.x, off.y, std::min(off.w, panel.x - kShadow - off.x), off.h};
        EXPECT_GT(OffColourShare(img, on, kWhite), kCoveredShare)
            << shot << ": no lines where the overlay is";
        EXPECT_EQ(OffColourShare(img, aboveIt, kWhite), 0.0) << shot << ": lines where the overlay is not";
        EXPECT_EQ(OffColourShare(img, leftOfIt, kWhite), 0.0) << shot << ": lines where the overlay is not";
    }

    Monitors monitors_;
};

TEST_F(E2eMonitors, StartsOnThePrimaryAndALeftCtrlDragCarriesItToTheOtherMonitorAndBackAcrossTheSeam) {
    const Rect& primary = monitors_.primary;
    const Rect& other = monitors_.other;
    State s = Settled();
    EXPECT_TRUE(Covers(s, primary)) << Dump(s);
    EXPECT_EQ(Int(s, "centerX"), primary.w / 2);
    EXPECT_EQ(Int(s, "centerY"), primary.h / 2);
    const Rect panel = RectOf(s, "panelRect");
    EXPECT_EQ(panel.x + panel.w, primary.x + primary.w) << "the panel left the primary's corner";
    EXPECT_EQ(panel.y + panel.h, primary.y + primary.h);
    ExpectOverlayOver(primary);
    ExpectLinesOnlyOn(primary, other, "start");
    const long seed = Int(s, "seed");

    // Left Ctrl on the other monitor: the overlay goes there, its empty
    // centre under the pointer, the same pattern.
    const int x = other.x + other.w / 3, y = other.y + other.h / 2;
    inject_->MoveTo(x, y);
    inject_->KeyDown(XK_Control_L);
    EXPECT_TRUE(WaitState([&](const State& st) {
        return Covers(st, other) && Int(st, "centerX") == x - other.x && Int(st, "centerY") == y - other.y;
    })) << Dump(Now());
    inject_->KeyUp(XK_Control_L);
    EXPECT_EQ(Int(Now(), "seed"), seed) << "moving to another monitor must keep the pattern";
    ExpectOverlayOver(other);
    ExpectLinesOnlyOn(other, primary, "other");
    const Image there = Shoot("centre");
    EXPECT_EQ(
        OffColourShare(there, Rect{x - kEmptyCentre, y - kEmptyCentre, 2 * kEmptyCentre, 2 * kEmptyCentre},
                       kWhite),
        0.0)
        << "the empty centre is not under the pointer";

    // Still click-through there.
    XSelectInput(display_, background_, ButtonPressMask);
    XSync(display_, True);
    inject_->Click(other.x + other.w - 10, other.y + 10);
    XEvent ev{};
    EXPECT_TRUE(
        WaitFor([&] { return XCheckWindowEvent(display_, background_, ButtonPressMask, &ev) == True; }, 3s));

    // Dragged back across the seam with Ctrl held: the overlay follows.
    inject_->KeyDown(XK_Control_L);
    inject_->MoveTo(other.x + 10, y);
    inject_->MoveTo(primary.x + primary.w - 100, primary.y + 200);
    EXPECT_TRUE(WaitState([&](const State& st) {
        return Covers(st, primary) && Int(st, "centerX") == primary.w - 100 && Int(st, "centerY") == 200;
    })) << Dump(Now());
    inject_->KeyUp(XK_Control_L);
    EXPECT_EQ(Int(Now(), "seed"), seed);
    ExpectOverlayOver(primary);
    ExpectLinesOnlyOn(primary, other, "back");

    // The panel still works, and closing it ends the program with 0.
    ClickRect("check1021.rect");
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "densityJitter") == 0; }));
    ClosePanel();
    EXPECT_EQ(WaitExit(pid_, 10s), kExitNormal);
    pid_ = 0;
}

// Every gesture starts with left Ctrl pressed, which already brings the
// overlay to the pointer's monitor; what then follows acts there.
TEST_F(E2eMonitors, HiddenOnThePrimaryItShowsOnTheMonitorUnderThePointerAndTheWheelActsThere) {
    const Rect& primary = monitors_.primary;
    const Rect& other = monitors_.other;
    inject_->MoveTo(primary.x + 30, primary.y + 40);
    inject_->KeyDown(XK_Control_L);
    inject_->KeyDown(XK_Alt_L);
    inject_->KeyUp(XK_Alt_L);
    inject_->KeyUp(XK_Control_L);
    ASSERT_TRUE(WaitState([](const State& st) { return Int(st, "mapped") == 0; }));

    const int x = other.x + other.w - 100, y = other.y + 120;
    inject_->MoveTo(x, y);
    inject_->KeyDown(XK_Control_L);
    inject_->KeyDown(XK_Alt_L);
    inject_->KeyUp(XK_Alt_L);
    inject_->Wheel(1);
    EXPECT_TRUE(WaitState([&](const State& st) {
        return Int(st, "mapped") == 1 && Covers(st, other) && Int(st, "space") == 110 &&
               Int(st, "centerX") == x - other.x && Int(st, "centerY") == y - other.y;
    })) << Dump(Now());
    inject_->KeyUp(XK_Control_L);
    ExpectOverlayOver(other);
    ExpectLinesOnlyOn(other, primary, "shown");
}

TEST_F(E2eMonitors, RemovingTheOtherMonitorWhileTheOverlayIsThereBringsItBackToThePrimaryWithNothingLost) {
    const Rect& primary = monitors_.primary;
    const Rect& other = monitors_.other;
    inject_->MoveTo(other.x + other.w / 2, other.y + other.h / 2);
    inject_->KeyDown(XK_Control_L);
    inject_->Wheel(2);
    inject_->KeyUp(XK_Control_L);
    ASSERT_TRUE(WaitState([&](const State& st) { return Covers(st, other) && Int(st, "space") == 120; }))
        << Dump(Now());
    const long patterns = Int(Now(), "newPatterns");

    const Window root = DefaultRootWindow(display_);
    // Defined again whatever happens below, for the tests that follow.
    struct Restore {
        Display* d;
        XRRMonitorInfo info;
        ~Restore() {
            XRRSetMonitor(d, DefaultRootWindow(d), &info);
            AnnounceDisplayChange(d);
        }
    } restore{display_, monitors_.otherInfo};
    XRRDeleteMonitor(display_, root, monitors_.otherInfo.name);
    AnnounceDisplayChange(display_);
    EXPECT_TRUE(WaitState([&](const State& st) {
        return Covers(st, primary) && Int(st, "monitors") == 1 && Int(st, "centerX") == primary.w / 2 &&
               Int(st, "centerY") == primary.h / 2 && Int(st, "newPatterns") > patterns;
    })) << Dump(Now());
    State s = Settled();
    EXPECT_EQ(Int(s, "space"), 120) << "the settings went with the monitor";
    EXPECT_EQ(Int(s, "trackbar1011"), 120);
    EXPECT_EQ(Int(s, "mapped"), 1);
    ExpectOverlayOver(primary);

    // A gesture where the monitor was: the nearest monitor keeps the overlay.
    inject_->MoveTo(other.x + other.w / 2, other.y + other.h / 2);
    inject_->KeyDown(XK_Control_L);
    inject_->KeyUp(XK_Control_L);
    s = Settled();
    EXPECT_TRUE(Covers(s, primary)) << Dump(s);
    EXPECT_EQ(waitpid(pid_, nullptr, WNOHANG), 0) << "the program ended";
}

}  // namespace
}  // namespace qv::e2e
