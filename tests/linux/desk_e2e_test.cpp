// The program among other windows, on a bare server and under real window
// managers with their own compositors (scripts/test-linux starts them): the
// panel whole in the work area's corner with no lines on its face, the
// overlay above an application window raised and focused after it started,
// clicks through to that window, the gestures while it has the focus, and
// the close button's message sent through the manager.
#include "e2e_fixture.h"

namespace qv::e2e {
namespace {

// A line pixel on the panel: near black in every channel, as the default
// colour draws the opaque part of the lines; the panel's text is lighter.
constexpr int kLineLevel = 40;
constexpr double kCleanShare = 0.005;  // a clean face carries next to none
// The default pattern changes a good part of any corner of the screen.
constexpr double kCoveredShare = 0.03;
constexpr unsigned long kAppColour = 0x0000ff;
// GTK places windows in whole logical pixels: at scale 2 the frame may stop
// one device pixel short of the corner.
constexpr int kPlacementSlack = 1;

// The root's child holding w: its frame under a reparenting manager.
Window TopLevelOf(Display* d, Window w) {
    for (int depth = 0; depth < 16; ++depth) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, w, &root, &parent, &children, &count)) return 0;
        if (children) XFree(children);
        if (parent == root) return w;
        w = parent;
    }
    return 0;
}

Rect OnScreen(Display* d, Window w) {
    XWindowAttributes a{};
    Rect r;
    Window child = 0;
    if (w && XGetWindowAttributes(d, w, &a)) {
        XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &r.x, &r.y, &child);
        r.w = a.width;
        r.h = a.height;
    }
    return r;
}

Rect WorkArea(Display* d, int width, int height) {
    const Window root = DefaultRootWindow(d);
    const std::vector<long> areas = Longs(d, root, "_NET_WORKAREA");
    const std::vector<long> current = Longs(d, root, "_NET_CURRENT_DESKTOP");
    const std::size_t i = 4 * static_cast<std::size_t>(current.empty() ? 0 : current[0]);
    if (areas.size() < i + 4) return Rect{0, 0, width, height};
    return Rect{static_cast<int>(areas[i]), static_cast<int>(areas[i + 1]), static_cast<int>(areas[i + 2]),
                static_cast<int>(areas[i + 3])};
}

double NearBlackShare(const Image& img, const Rect& r) {
    return Share(img, r, [](std::uint32_t p) {
        return std::max({Channel(p, 16), Channel(p, 8), Channel(p, 0)}) <= kLineLevel;
    });
}

// An ordinary application's window: managed, decorated, blue, asking for
// its place as a user's saved geometry would, and taking clicks and focus.
class AppWindow {
public:
    AppWindow(Display* d, const Rect& want) : d_(d) {
        XSetWindowAttributes a{};
        a.background_pixel = kAppColour;
        a.event_mask = ButtonPressMask;
        w_ = XCreateWindow(d, DefaultRootWindow(d), want.x, want.y, static_cast<unsigned>(want.w),
                           static_cast<unsigned>(want.h), 0, CopyFromParent, InputOutput, CopyFromParent,
                           CWBackPixel | CWEventMask, &a);
        XSizeHints size{};
        size.flags = USPosition | USSize;
        size.x = want.x;
        size.y = want.y;
        size.width = want.w;
        size.height = want.h;
        XSetWMNormalHints(d, w_, &size);
        XWMHints hints{};
        hints.flags = InputHint;
        hints.input = True;
        XSetWMHints(d, w_, &hints);
        XStoreName(d, w_, "quorvane-e2e application");
        XMapWindow(d, w_);
        XSync(d, False);
    }
    ~AppWindow() {
        XDestroyWindow(d_, w_);
        XSync(d_, False);
    }
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;

    Window id() const { return w_; }
    bool Viewable() const {
        XWindowAttributes a{};
        return XGetWindowAttributes(d_, w_, &a) && a.map_state == IsViewable;
    }

private:
    Display* d_;
    Window w_ = 0;
};

class E2eDesk : public E2e {};

TEST_F(E2eDesk, ThePanelLiesWholeInTheWorkAreasCornerWithNoLinesOnItsFace) {
    const Window panel = static_cast<Window>(Int(Now(), "panelWindow"));
    const Rect area = WorkArea(display_, width_, height_);
    Rect frame;
    // The frame extents and the work area may arrive after the first placement.
    const bool cornered = WaitFor([&] {
        frame = OnScreen(display_, TopLevelOf(display_, panel));
        const int gapX = area.x + area.w - (frame.x + frame.w), gapY = area.y + area.h - (frame.y + frame.h);
        return gapX >= 0 && gapX <= kPlacementSlack && gapY >= 0 && gapY <= kPlacementSlack;
    });
    EXPECT_TRUE(cornered) << "frame " << frame.x << "," << frame.y << " " << frame.w << "x" << frame.h
                          << ", work area " << area.x << "," << area.y << " " << area.w << "x" << area.h;
    EXPECT_GE(frame.x, area.x);
    EXPECT_GE(frame.y, area.y);

    // Once the lines are on screen (a slow build paints its first frame late).
    Image shot;
    double corner = 0;
    WaitFor([&] {
        shot = Shoot("panel");
        corner = OffColourShare(shot, Rect{0, 0, width_ / 4, height_ / 4}, kWhite);
        return corner > kCoveredShare;
    });
    std::this_thread::sleep_for(kSettle);
    shot = Shoot("panel");
    ASSERT_EQ(shot.width, width_);
    const double face = NearBlackShare(shot, OnScreen(display_, panel));
    corner = OffColourShare(shot, Rect{0, 0, width_ / 4, height_ / 4}, kWhite);
    std::printf("near-black pixels: %.2f%% of the panel's face; line pixels: %.2f%% of the top-left corner\n",
                face * 100, corner * 100);
    RecordProperty("panel_face_line_permille", static_cast<int>(face * 1000));
    EXPECT_LT(face, kCleanShare) << "the lines cover the panel";
    EXPECT_GT(corner, kCoveredShare) << "no lines on screen: the face proves nothing";
}

TEST_F(E2eDesk, AnApplicationWindowStaysBelowTheLinesTakesTheClicksAndLeavesTheGesturesWorking) {
    const AppWindow app(display_, Rect{width_ / 16, height_ / 16, width_ / 3, height_ / 3});
    ASSERT_TRUE(WaitFor([&] { return app.Viewable(); }));
    auto covered = [&](const char* name) {
        std::this_thread::sleep_for(kSettle);
        const double share = OffColourShare(Shoot(name), OnScreen(display_, app.id()), kAppColour);
        std::printf("line pixels on the application's window (%s): %.2f%%\n", name, share * 100);
        return share;
    };
    EXPECT_GT(covered("mapped"), kCoveredShare) << "a window mapped after the overlay covers the lines";

    // Raised and focused after the overlay started, as a user's click does.
    if (ManagerRuns(display_)) {
        AskManager(display_, app.id(), "_NET_ACTIVE_WINDOW", kPagerSource, CurrentTime);
    } else {
        XRaiseWindow(display_, app.id());
        XSetInputFocus(display_, app.id(), RevertToParent, CurrentTime);
        XSync(display_, False);
    }
    EXPECT_TRUE(WaitFor([&] {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display_, &focus, &revert);
        return focus == app.id();
    })) << "the application did not get the focus";
    EXPECT_GT(covered("raised"), kCoveredShare) << "a raised, focused window covers the lines";
    const long overlay = Int(Now(), "overlayWindow");
    for (long client : Longs(display_, DefaultRootWindow(display_), "_NET_CLIENT_LIST"))
        EXPECT_NE(client, overlay)
            << "the overlay is in the manager's list of clients (and so its taskbar's)";

    // Clicks go through the overlay to the application.
    const Rect r = OnScreen(display_, app.id());
    XEvent ev{};
    while (XCheckWindowEvent(display_, app.id(), ButtonPressMask, &ev)) {
    }
    inject_->Click(r.x + r.w / 4, r.y + r.h / 4);
    EXPECT_TRUE(
        WaitFor([&] { return XCheckWindowEvent(display_, app.id(), ButtonPressMask, &ev) == True; }, 3s));
    EXPECT_EQ(ev.xbutton.x, r.w / 4);
    EXPECT_EQ(ev.xbutton.y, r.h / 4);

    // The gestures work while it has the focus: the centre goes under the pointer.
    const int x = r.x + r.w / 2, y = r.y + r.h / 2;
    inject_->MoveTo(x, y);
    inject_->KeyDown(XK_Control_L);
    EXPECT_TRUE(WaitState([&](const State& st) {
        return Int(st, "centerX") == x && Int(st, "centerY") == y;
    })) << Dump(Now());
    inject_->KeyUp(XK_Control_L);
}

TEST_F(E2eDesk, ClosingThePanelThroughTheWindowManagerEndsWithExitCodeZero) {
    if (!ManagerRuns(display_)) GTEST_SKIP() << "no window manager to ask";
    const Window panel = static_cast<Window>(Int(Now(), "panelWindow"));
    AskManager(display_, panel, "_NET_CLOSE_WINDOW", CurrentTime, kPagerSource);
    EXPECT_EQ(WaitExit(pid_, 10s), kExitNormal);
    pid_ = 0;
}

}  // namespace
}  // namespace qv::e2e
