// The panel's placement from the window manager's hints, and the stacking
// check's decisions, on the situations real managers produce.
#include <gtest/gtest.h>

#include <vector>

#include "desk_placement.h"
#include "stacking_plan.h"

namespace qv::linuxshell {
namespace {

constexpr Box kScreen{0, 0, 1600, 900};
constexpr std::int32_t kPanelW = 615, kPanelH = 362;

TEST(DeskPlacement, TheWholeFrameTouchesTheWorkAreasBottomRightCorner) {
    // A title bar and borders, as a manager's frame extents give them.
    const FrameExtents decorated{5, 5, 29, 5};
    Point p = BottomRightFramePosition(kScreen, kPanelW, kPanelH, decorated);
    EXPECT_EQ(p.x + decorated.left + kPanelW + decorated.right, 1600);
    EXPECT_EQ(p.y + decorated.top + kPanelH + decorated.bottom, 900);
    // A taskbar along the bottom leaves a smaller work area.
    const Box aboveTaskbar{0, 0, 1600, 860};
    p = BottomRightFramePosition(aboveTaskbar, kPanelW, kPanelH, decorated);
    EXPECT_EQ(p.y + decorated.top + kPanelH + decorated.bottom, 860);
    // No manager: the frame is the window.
    EXPECT_EQ(BottomRightFramePosition(kScreen, kPanelW, kPanelH, {}),
              (Point{1600 - kPanelW, 900 - kPanelH}));
    // Larger than the work area: the title bar stays reachable.
    const Box small{40, 30, 500, 300};
    EXPECT_EQ(BottomRightFramePosition(small, kPanelW, kPanelH, decorated), (Point{40, 30}));
}

TEST(DeskPlacement, TheWorkAreaIsTheCurrentDesktopsAndABadHintFallsBackToTheScreen) {
    const std::vector<long> two{0, 0, 1600, 900, 0, 24, 1600, 836};
    EXPECT_EQ(WorkAreaFrom(two, 1, kScreen), (Box{0, 24, 1600, 836}));
    EXPECT_EQ(WorkAreaFrom(two, 0, kScreen), kScreen);
    EXPECT_EQ(WorkAreaFrom(two, 2, kScreen), kScreen) << "no entry for that desktop";
    EXPECT_EQ(WorkAreaFrom({}, 0, kScreen), kScreen);
    EXPECT_EQ(WorkAreaFrom(std::vector<long>{0, 0, -5, 900}, 0, kScreen), kScreen);
    EXPECT_EQ(WorkAreaFrom(std::vector<long>{2000, 0, 300, 900}, 0, kScreen), kScreen) << "off the screen";
    // Stale after the screen shrank: cut to what is there.
    EXPECT_EQ(WorkAreaFrom(std::vector<long>{0, 0, 1920, 1080}, 0, kScreen), kScreen);

    EXPECT_EQ(FrameExtentsFrom(std::vector<long>{1, 1, 20, 1}), (FrameExtents{1, 1, 20, 1}));
    EXPECT_FALSE(FrameExtentsFrom(std::vector<long>{1, 1, 20}).has_value());
    EXPECT_FALSE(FrameExtentsFrom(std::vector<long>{1, -1, 20, 1}).has_value());
}

constexpr std::uint64_t kOverlay = 1, kPanel = 2, kApp = 3, kHidden = 4, kDesktop = 5;

// The root's children bottom to top, each with whether it is viewable.
std::vector<StackEntry> Stack(std::initializer_list<std::pair<std::uint64_t, bool>> windows) {
    std::vector<StackEntry> v;
    for (const auto& [w, viewable] : windows) v.push_back(StackEntry{w, viewable});
    return v;
}

TEST(StackingPlan, KeepsTheOverlayDirectlyBelowThePanelAndThePanelOnTop) {
    // Right already; an unmapped window in between changes nothing.
    auto s = Stack({{kDesktop, true}, {kOverlay, true}, {kHidden, false}, {kPanel, true}});
    EXPECT_FALSE(PlanStacking(s, kOverlay, kPanel, true).overlayBelowPanel);
    EXPECT_FALSE(PlanStacking(s, kOverlay, kPanel, true).raisePanel);

    // A manager restacked its frames and left the overlay under an application.
    s = Stack({{kOverlay, true}, {kApp, true}, {kPanel, true}});
    StackingPlan plan = PlanStacking(s, kOverlay, kPanel, false);
    EXPECT_TRUE(plan.overlayBelowPanel);
    EXPECT_FALSE(plan.raisePanel);
    EXPECT_FALSE(plan.repaintPanel);

    // An application raised above the panel: with no manager, the program
    // raises the panel itself; with one that keeps windows above, it never
    // asks (its answer would start the next check).
    s = Stack({{kOverlay, true}, {kPanel, true}, {kApp, true}});
    plan = PlanStacking(s, kOverlay, kPanel, true);
    EXPECT_TRUE(plan.raisePanel);
    EXPECT_TRUE(plan.overlayBelowPanel);
    plan = PlanStacking(s, kOverlay, kPanel, false);
    EXPECT_FALSE(plan.raisePanel);
    EXPECT_FALSE(plan.overlayBelowPanel);

    // The overlay above the panel: below it again, and the panel repainted.
    s = Stack({{kPanel, true}, {kOverlay, true}});
    plan = PlanStacking(s, kOverlay, kPanel, true);
    EXPECT_TRUE(plan.overlayBelowPanel);
    EXPECT_TRUE(plan.repaintPanel);
    EXPECT_FALSE(plan.raisePanel) << "the overlay above the panel is no other window";
}

TEST(StackingPlan, WithThePanelOffTheScreenTheOverlayStaysOnTopByItself) {
    auto s = Stack({{kOverlay, true}, {kPanel, false}, {kApp, true}});
    StackingPlan plan = PlanStacking(s, kOverlay, kPanel, true);
    EXPECT_TRUE(plan.raiseOverlay);
    EXPECT_FALSE(plan.overlayBelowPanel);
    EXPECT_FALSE(plan.raisePanel);
    s = Stack({{kApp, true}, {kOverlay, true}, {kHidden, false}});
    EXPECT_FALSE(PlanStacking(s, kOverlay, kPanel, true).raiseOverlay)
        << "only an unmapped window lies above";
    // A hidden overlay is left where it is.
    s = Stack({{kOverlay, false}, {kApp, true}, {kPanel, true}});
    plan = PlanStacking(s, kOverlay, kPanel, true);
    EXPECT_FALSE(plan.raiseOverlay || plan.overlayBelowPanel || plan.raisePanel);
}

}  // namespace
}  // namespace qv::linuxshell
