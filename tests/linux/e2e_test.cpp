// End to end on a real X server (Xvfb) with a compositing manager
// (xcompmgr): the program is started as a user would, driven through XTest
// and watched through its state report and through screenshots.
#include "e2e_fixture.h"

namespace qv::e2e {
namespace {

TEST_F(E2e, StartsCentredWithTheStartUpValuesAndThePanelInTheBottomRightCorner) {
    const State s = Settled();
    EXPECT_EQ(Int(s, "width"), width_);
    EXPECT_EQ(Int(s, "height"), height_);
    EXPECT_EQ(Int(s, "centerX"), width_ / 2);
    EXPECT_EQ(Int(s, "centerY"), height_ / 2);
    EXPECT_EQ(Int(s, "density"), 180);
    EXPECT_EQ(Int(s, "space"), 100);
    EXPECT_EQ(Int(s, "alpha"), 255);
    EXPECT_EQ(Int(s, "jitterPercent2"), 70);
    EXPECT_EQ(Int(s, "composited"), 1);
    EXPECT_EQ(Int(s, "rawInput"), 1);
    EXPECT_EQ(Text(s, "panelTitle"), "表示設定 - Quorvane ");
    EXPECT_EQ(Text(s, "label1027"), "密度\r\n180");
    EXPECT_EQ(Text(s, "label1030"), "比率\r\n0.00");
    EXPECT_EQ(Text(s, "label1035"), "色設定 (0xff000000)");
    EXPECT_EQ(Text(s, "check1021.text"), "密度 (40%)");
    EXPECT_EQ(Text(s, "check1023.text"), "空間 (70%)");
    EXPECT_EQ(Int(s, "check1021"), 1);
    EXPECT_EQ(Int(s, "check1026"), 0);
    EXPECT_EQ(Int(s, "trackbar1013"), 50);
    EXPECT_EQ(Int(s, "trackbar1015"), 100);
    EXPECT_EQ(Int(s, "notice"), 0);
    const Rect panel = RectOf(s, "panelRect");
    EXPECT_EQ(panel.x + panel.w, width_);
    EXPECT_EQ(panel.y + panel.h, height_);
}

TEST_F(E2e, ClicksGoThroughTheOverlayToTheWindowBeneath) {
    const State s = Now();
    // The overlay is mapped above the window that gets the click.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count);
    int overlayAt = -1, backgroundAt = -1;
    for (unsigned i = 0; i < count; ++i) {
        if (static_cast<long>(children[i]) == Int(s, "overlayWindow")) overlayAt = static_cast<int>(i);
        if (children[i] == background_) backgroundAt = static_cast<int>(i);
    }
    if (children) XFree(children);
    ASSERT_GE(overlayAt, 0);
    ASSERT_GT(overlayAt, backgroundAt);

    XSelectInput(display_, background_, ButtonPressMask);
    XSync(display_, True);  // drop anything older
    inject_->Click(width_ / 4, height_ / 4);
    XEvent ev{};
    EXPECT_TRUE(WaitFor([&] { return XCheckWindowEvent(display_, background_, ButtonPressMask, &ev) == True; }, 3s));
    EXPECT_EQ(ev.xbutton.x, width_ / 4);
    EXPECT_EQ(ev.xbutton.y, height_ / 4);
}

TEST_F(E2e, LeftCtrlMovesTheCentreToThePointerAndMouseMovesDragIt) {
    const long seed = Int(Now(), "seed");
    const long dragFramesBefore = Int(Now(), "dragFrames");
    inject_->MoveTo(200, 150);
    State s = Settled();
    EXPECT_EQ(Int(s, "centerX"), width_ / 2) << "a move without Ctrl moved the centre";

    inject_->KeyDown(XK_Control_L);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "centerX") == 200 && Int(st, "centerY") == 150; }))
        << Dump(Now());
    inject_->MoveTo(300, 250);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "centerX") == 300 && Int(st, "centerY") == 250; }));
    // A burst of moves: the centre ends at the last point, in fewer frames than moves.
    const long framesBefore = Int(Now(), "frames");
    for (int i = 1; i <= 40; ++i) inject_->MoveTo(300 + i, 250 + i);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "centerX") == 340 && Int(st, "centerY") == 290; }));
    EXPECT_LE(Int(Settled(), "frames") - framesBefore, 40);
    inject_->KeyUp(XK_Control_L);

    inject_->MoveTo(100, 100);
    s = Settled();
    EXPECT_EQ(Int(s, "centerX"), 340);
    EXPECT_EQ(Int(s, "seed"), seed) << "moving the centre must replay the same pattern";
    EXPECT_EQ(Int(s, "ctrlLatch"), 0);
    EXPECT_GT(Int(s, "dragFrames"), dragFramesBefore) << "the moves were drawn from the frames before";
    // At rest the picture is the exact frame, not the last one of the drag.
    ExpectScreenIsTheRenderers(s, " --seed " + Text(s, "seed"));

    // Right Ctrl takes part in no gesture.
    inject_->KeyDown(XK_Control_R);
    inject_->MoveTo(120, 130);
    s = Settled();
    inject_->KeyUp(XK_Control_R);
    EXPECT_EQ(Int(s, "centerX"), 340);
}

TEST_F(E2e, LeftCtrlWithLeftShiftDrawsNewPatternsAndRepeatsWhileHeld) {
    const long before = Int(Now(), "newPatterns");
    inject_->KeyDown(XK_Control_L);
    inject_->KeyDown(XK_Shift_L);
    EXPECT_TRUE(WaitState([&](const State& st) { return Int(st, "newPatterns") == before + 1; }));
    // Held past the keyboard's repeat delay: more new patterns follow.
    EXPECT_TRUE(WaitState([&](const State& st) { return Int(st, "newPatterns") >= before + 3; }, 3s))
        << Dump(Now());
    inject_->KeyUp(XK_Shift_L);
    const long afterRelease = Int(Settled(), "newPatterns");
    EXPECT_EQ(Int(Settled(), "newPatterns"), afterRelease) << "the repeat outlived the key";
    inject_->KeyUp(XK_Control_L);

    // Shift first, then Ctrl: the centre moves, no new pattern.
    inject_->KeyDown(XK_Shift_L);
    inject_->KeyDown(XK_Control_L);
    const State s = Settled();
    inject_->KeyUp(XK_Control_L);
    inject_->KeyUp(XK_Shift_L);
    EXPECT_EQ(Int(s, "newPatterns"), afterRelease);
}

TEST_F(E2e, LeftCtrlWithReleaseOfLeftAltShowsAndHides) {
    inject_->KeyDown(XK_Control_L);
    inject_->KeyDown(XK_Alt_L);
    inject_->KeyUp(XK_Alt_L);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "mapped") == 0 && Int(st, "overlayVisible") == 0; }));
    inject_->KeyDown(XK_Alt_L);
    inject_->KeyUp(XK_Alt_L);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "mapped") == 1 && Int(st, "overlayVisible") == 1; }));
    inject_->KeyUp(XK_Control_L);

    // Ctrl released before Alt: no toggle.
    inject_->KeyDown(XK_Control_L);
    inject_->KeyDown(XK_Alt_L);
    inject_->KeyUp(XK_Control_L);
    inject_->KeyUp(XK_Alt_L);
    EXPECT_EQ(Int(Settled(), "mapped"), 1);
}

TEST_F(E2e, LeftCtrlWheelChangesSpaceWithinItsRangeAndMovesTheSlider) {
    inject_->MoveTo(40, 40);
    inject_->Wheel(1);
    EXPECT_EQ(Int(Settled(), "space"), 100) << "the wheel without Ctrl changed space";

    inject_->KeyDown(XK_Control_L);
    inject_->Wheel(1);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "space") == 110 && Int(st, "trackbar1011") == 110; }));
    inject_->Wheel(-2);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "space") == 90 && Int(st, "trackbar1011") == 90; }));
    // The label is left as it was, as the reference's silent slider move does.
    EXPECT_EQ(Text(Now(), "label1029"), "空間\r\n100");
    inject_->Wheel(-12);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "space") == 10; }));
    inject_->Wheel(80);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "space") == 800 && Int(st, "trackbar1011") == 800; }));
    // Over the panel the turn is the gesture's alone: the trackbar under the
    // pointer keeps its value.
    const Rect density = RectOf(Now(), "trackbar1009.rect");
    inject_->MoveTo(density.cx(), density.cy());
    inject_->Wheel(-1);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "space") == 790; }));
    const State s = Settled();
    EXPECT_EQ(Int(s, "density"), 180);
    EXPECT_EQ(Int(s, "trackbar1009"), 180);
    inject_->KeyUp(XK_Control_L);
}

TEST_F(E2e, PanelTrackbarsCheckBoxesAndResetDriveTheSettings) {
    const long seed = Int(Now(), "seed");
    // A parameter trackbar: a click warps the slider there.
    Rect r = RectOf(Now(), "trackbar1009.rect");
    inject_->Click(r.x + r.w * 3 / 4, r.cy());
    ASSERT_TRUE(WaitState([](const State& st) { return Int(st, "density") != 180; })) << Dump(Now());
    State s = Settled();
    EXPECT_EQ(Int(s, "density"), Int(s, "trackbar1009"));
    EXPECT_GT(Int(s, "density"), 300);
    EXPECT_EQ(Text(s, "label1027"), "密度\r\n" + std::to_string(Int(s, "density")));

    // A colour trackbar rewrites its label and the group caption.
    r = RectOf(s, "trackbar1005.rect");
    inject_->Click(r.x + r.w * 9 / 10, r.cy());
    ASSERT_TRUE(WaitState([](const State& st) { return Int(st, "red") > 200; }));
    s = Settled();
    char caption[64];
    std::snprintf(caption, sizeof caption, "色設定 (0xff%02lx0000)", Int(s, "red"));
    EXPECT_EQ(Text(s, "label1035"), caption);

    // Unchecking a box turns its variation off and hides its trackbar.
    ClickRect("check1021.rect");
    ASSERT_TRUE(WaitState([](const State& st) { return Int(st, "densityJitter") == 0 && Int(st, "check1021") == 0; }));
    s = Settled();
    EXPECT_EQ(Int(s, "trackbar1013.visible"), 0);
    EXPECT_EQ(Int(s, "jitterPercent0"), 0);
    EXPECT_EQ(Text(s, "check1021.text"), "密度 (0%)");
    // Any box re-reads them all: space variation takes its trackbar's 100.
    EXPECT_EQ(Int(s, "spaceJitter"), 100);
    EXPECT_EQ(Text(s, "check1023.text"), "空間 (100%)");

    // The blur box turns blur on at its trackbar's position.
    ClickRect("check1026.rect");
    ASSERT_TRUE(WaitState([](const State& st) { return Int(st, "blurLevel") == 1 && Int(st, "trackbar1017.visible") == 1; }));
    EXPECT_EQ(Text(Now(), "check1026.text"), "ぼかし (1%)");

    // Reset: the eight main values back, every variation off, same pattern.
    ClickRect("reset.rect");
    ASSERT_TRUE(WaitState([](const State& st) { return Int(st, "density") == 180 && Int(st, "blurLevel") == 0; }));
    s = Settled();
    EXPECT_EQ(Int(s, "red"), 0);
    EXPECT_EQ(Text(s, "label1035"), "色設定 (0xff000000)");
    EXPECT_EQ(Text(s, "label1027"), "密度\r\n180");
    for (const char* key : {"densityJitter", "thicknessJitter", "spaceJitter", "alphaJitter", "jitterPercent0",
                            "jitterPercent1", "jitterPercent2", "jitterPercent3", "check1021", "check1022",
                            "check1023", "check1025", "check1026", "trackbar1013.visible", "trackbar1017.visible"})
        EXPECT_EQ(Int(s, key), 0) << key;
    EXPECT_EQ(Int(s, "trackbar1015"), 1);
    EXPECT_EQ(Int(s, "seed"), seed);
    // After Reset a box starts its variation at 1, where Reset left the trackbar.
    // The hidden trackbar's box is still where it was.
    ClickRect("check1022.rect");
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "thicknessJitter") == 1; }));
    // Reset also undoes a wheel change of space.
    inject_->MoveTo(40, 40);
    inject_->KeyDown(XK_Control_L);
    inject_->Wheel(3);
    inject_->KeyUp(XK_Control_L);
    ASSERT_TRUE(WaitState([](const State& st) { return Int(st, "space") == 130; }));
    ClickRect("reset.rect");
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "space") == 100 && Int(st, "trackbar1011") == 100; }));
}

TEST_F(E2e, ASecondCopyPresentsTheFirstAndExitsWithMinusOne) {
    // Hidden by the gesture first: the second copy shows it without telling
    // the first copy's flag.
    inject_->KeyDown(XK_Control_L);
    inject_->KeyDown(XK_Alt_L);
    inject_->KeyUp(XK_Alt_L);
    inject_->KeyUp(XK_Control_L);
    ASSERT_TRUE(WaitState([](const State& st) { return Int(st, "mapped") == 0; }));

    const long firstPid = Int(Now(), "pid");
    pid_t second = Spawn({QV_QUORVANE_PATH}, OutDir() + "/" + TestName() + ".second.log");
    EXPECT_EQ(WaitExit(second, 10s), kExitOtherCopy);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "mapped") == 1 && Int(st, "overlayVisible") == 0; }));
    EXPECT_EQ(Int(Now(), "pid"), firstPid);
    EXPECT_EQ(waitpid(pid_, nullptr, WNOHANG), 0) << "the first copy ended";

    // Its next show/hide leaves it shown (the flag said hidden); the one after hides.
    inject_->KeyDown(XK_Control_L);
    inject_->KeyDown(XK_Alt_L);
    inject_->KeyUp(XK_Alt_L);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "overlayVisible") == 1 && Int(st, "mapped") == 1; }));
    inject_->KeyDown(XK_Alt_L);
    inject_->KeyUp(XK_Alt_L);
    inject_->KeyUp(XK_Control_L);
    EXPECT_TRUE(WaitState([](const State& st) { return Int(st, "overlayVisible") == 0 && Int(st, "mapped") == 0; }));
}

TEST_F(E2e, ClosingThePanelEndsWithExitCodeZero) {
    ClosePanel();
    EXPECT_EQ(WaitExit(pid_, 10s), kExitNormal);
    pid_ = 0;
}

TEST_F(E2e, AScreenChangeRefitsWithTheCentreInTheMiddleAndANewPattern) {
    int minW = 0, minH = 0, maxW = 0, maxH = 0;
    const Window root = DefaultRootWindow(display_);
    if (!XRRGetScreenSizeRange(display_, root, &minW, &minH, &maxW, &maxH))
        GTEST_SKIP() << "this X server has no RandR";
    const int newW = std::max(minW, width_ - 160);
    const int newH = std::max(minH, height_ - 120);
    inject_->KeyDown(XK_Control_L);
    inject_->MoveTo(50, 60);
    inject_->KeyUp(XK_Control_L);
    ASSERT_TRUE(WaitState([](const State& st) { return Int(st, "centerX") == 50; }));
    const long patterns = Int(Now(), "newPatterns");

    // The screen may not be smaller than what its CRTCs show: switch them
    // off first (Xvfb offers no smaller mode), and back on afterwards.
    XRRScreenResources* res = XRRGetScreenResources(display_, root);
    ASSERT_NE(res, nullptr);
    std::vector<XRRCrtcInfo*> saved;
    lastXError = 0;
    for (int i = 0; i < res->ncrtc; ++i) {
        saved.push_back(XRRGetCrtcInfo(display_, res, res->crtcs[i]));
        XRRSetCrtcConfig(display_, res, res->crtcs[i], CurrentTime, 0, 0, None, RR_Rotate_0, nullptr, 0);
    }
    XRRSetScreenSize(display_, root, newW, newH, DisplayWidthMM(display_, 0), DisplayHeightMM(display_, 0));
    XSync(display_, False);
    const bool accepted = lastXError == 0;
    const bool refit = accepted && WaitState([&](const State& st) {
        return Int(st, "width") == newW && Int(st, "height") == newH && Int(st, "centerX") == newW / 2 &&
               Int(st, "centerY") == newH / 2 && Int(st, "newPatterns") > patterns;
    });
    const std::string during = Dump(Now());
    XRRSetScreenSize(display_, root, width_, height_, DisplayWidthMM(display_, 0), DisplayHeightMM(display_, 0));
    for (int i = 0; i < res->ncrtc; ++i) {
        XRRCrtcInfo* c = saved[static_cast<std::size_t>(i)];
        if (c) {
            XRRSetCrtcConfig(display_, res, res->crtcs[i], CurrentTime, c->x, c->y, c->mode, c->rotation, c->outputs,
                             c->noutput);
            XRRFreeCrtcInfo(c);
        }
    }
    XRRFreeScreenResources(res);
    XSync(display_, False);
    if (!accepted) GTEST_SKIP() << "this X server refused the new screen size";
    EXPECT_TRUE(refit) << during;
    EXPECT_TRUE(WaitState([&](const State& st) {
        return Int(st, "width") == width_ && Int(st, "centerX") == width_ / 2;
    }));
}

TEST_F(E2e, WithVariationOffTheScreenMatchesTheHeadlessRenderer) {
    const std::string render = QV_RENDER_PATH;
    if (render.empty()) GTEST_SKIP() << "quorvane-render is not part of this build";
    // One click at a time: a window manager's click-to-focus may hold back
    // a click that follows another too closely.
    for (const std::string box : {"check1021", "check1022", "check1023", "check1025"}) {
        ClickRect(box + ".rect");
        ASSERT_TRUE(WaitState([&](const State& st) { return Int(st, box) == 0; }))
            << box << ": " << Dump(Now());
    }
    ASSERT_TRUE(WaitState([](const State& st) {
        return Int(st, "jitterPercent0") == 0 && Int(st, "jitterPercent1") == 0 && Int(st, "jitterPercent2") == 0 &&
               Int(st, "jitterPercent3") == 0;
    })) << Dump(Now());
    inject_->MoveTo(0, 0);
    const State s = Settled();
    std::this_thread::sleep_for(300ms);
    ExpectScreenIsTheRenderers(s, " --density-jitter 0 --thickness-jitter 0 --space-jitter 0 --alpha-jitter 0");
}

// Without a compositing manager the overlay stays off the screen and the
// panel says why; it follows one that starts or stops.
TEST(E2eBare, WithoutACompositorTheOverlayStaysHiddenAndFollowsOneThatAppears) {
    const char* bare = std::getenv("QV_E2E_BARE_DISPLAY");
    if (!bare || !*bare) GTEST_SKIP() << "QV_E2E_BARE_DISPLAY is not set";
    Display* d = XOpenDisplay(bare);
    ASSERT_NE(d, nullptr);
    pid_t program = Spawn({QV_QUORVANE_PATH}, OutDir() + "/E2eBare.log", bare);
    auto wait = [&](const std::function<bool(const State&)>& c, std::chrono::milliseconds t) {
        const auto end = std::chrono::steady_clock::now() + t;
        while (std::chrono::steady_clock::now() < end) {
            if (c(ReadState(d))) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    };
    EXPECT_TRUE(wait([](const State& s) { return Int(s, "frames") >= 1 && s.count("panelX"); }, 10s));
    State s = ReadState(d);
    EXPECT_EQ(Int(s, "composited"), 0);
    EXPECT_EQ(Int(s, "mapped"), 0);
    EXPECT_EQ(Int(s, "notice"), 1);
    EXPECT_EQ(Int(s, "overlayVisible"), 1);

    pid_t compositor = Spawn({"xcompmgr"}, OutDir() + "/E2eBare.xcompmgr.log", bare);
    EXPECT_TRUE(wait([](const State& st) { return Int(st, "mapped") == 1 && Int(st, "notice") == 0; }, 10s))
        << Dump(ReadState(d));
    Stop(compositor);
    EXPECT_TRUE(wait([](const State& st) { return Int(st, "mapped") == 0 && Int(st, "notice") == 1; }, 10s));
    Stop(program);
    XCloseDisplay(d);
}
}  // namespace
}  // namespace qv::e2e
