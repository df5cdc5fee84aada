// The monitor choice and the refit rule on desktops people have: a monitor
// left of and one above the primary (negative coordinates), of different
// sizes, with gaps where their heights differ.
#include "monitor_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

constexpr std::uint64_t kPrimaryId = 11, kLeftId = 22, kAboveId = 33;
constexpr Monitor kPrimary{{0, 0, 1920, 1080}, kPrimaryId, true};
constexpr Monitor kLeft{{-1280, 0, 0, 1024}, kLeftId, false};  // below it, x < 0 and y >= 1024: no monitor
constexpr Monitor kAbove{{0, -768, 1024, 0}, kAboveId, false};
const std::vector<Monitor> kDesk{kLeft, kPrimary, kAbove};

TEST(MonitorLayout, EveryPointHasOneMonitorSeamsGoRightAndDownGapsToTheNearest) {
    EXPECT_EQ(MonitorAt(kDesk, {0, 0}), 1u) << "the seam with the left monitor belongs to the primary";
    EXPECT_EQ(MonitorAt(kDesk, {-1, 500}), 0u);
    EXPECT_EQ(MonitorAt(kDesk, {-1280, 0}), 0u);
    EXPECT_EQ(MonitorAt(kDesk, {100, -1}), 2u);
    EXPECT_EQ(MonitorAt(kDesk, {1023, -768}), 2u);
    EXPECT_EQ(MonitorAt(kDesk, {1024, -1}), 1u) << "right of the upper monitor: nearest is the primary";
    EXPECT_EQ(MonitorAt(kDesk, {-640, 1050}), 0u) << "the gap below the shorter left monitor";
    EXPECT_EQ(MonitorAt(kDesk, {-1, -1}), 0u) << "a corner as near to two: the first listed";
    EXPECT_EQ(MonitorAt(kDesk, {5000, 500}), 1u);

    EXPECT_EQ(MonitorAt({}, {0, 0}), kNoMonitor);
    const std::vector<Monitor> withEmpty{{{0, 0, 0, 1080}, 1, true}, kLeft};
    EXPECT_EQ(MonitorAt(withEmpty, {10, 10}), 1u) << "a monitor without pixels is never chosen";
    EXPECT_EQ(PrimaryMonitor(withEmpty), 1u);
}

TEST(MonitorLayout, ThePrimaryIsTheMarkedOneElseTheOneAtTheOriginElseTheFirst) {
    EXPECT_EQ(PrimaryMonitor(kDesk), 1u);
    Monitor unmarked = kPrimary, markedAbove = kAbove;
    unmarked.primary = false;
    markedAbove.primary = true;
    EXPECT_EQ(PrimaryMonitor(std::vector<Monitor>{unmarked, markedAbove}), 1u);
    EXPECT_EQ(PrimaryMonitor(std::vector<Monitor>{kLeft, kAbove, unmarked}), 2u);
    EXPECT_EQ(PrimaryMonitor(std::vector<Monitor>{kLeft, kAbove}), 0u);
    EXPECT_EQ(PrimaryMonitor({}), kNoMonitor);
}

TEST(MonitorLayout, ADisplayChangeRefitsToTheCoveredMonitorIfStillThereElseThePrimary) {
    // At start nothing is covered yet: the primary, a new pattern in its middle.
    EXPECT_EQ(FitAfterDisplayChange(kDesk, Monitor{}), (OverlayFit{kPrimary, {960, 540}, true}));

    // The left monitor resized and moved: found again by its id.
    const Monitor leftResized{{-1600, -100, 0, 800}, kLeftId, false};
    EXPECT_EQ(FitAfterDisplayChange(std::vector<Monitor>{leftResized, kPrimary}, kLeft),
              (OverlayFit{leftResized, {800, 450}, true}));
    // Another primary: the overlay stays where it was.
    Monitor abovePrimary = kAbove, primaryNoMore = kPrimary;
    abovePrimary.primary = true;
    primaryNoMore.primary = false;
    EXPECT_EQ(RefitMonitor(std::vector<Monitor>{kLeft, primaryNoMore, abovePrimary}, kPrimary), 1u);
    // The system named it anew, its rectangle unchanged: still the same monitor.
    Monitor renamed = kLeft;
    renamed.id = 99;
    EXPECT_EQ(RefitMonitor(std::vector<Monitor>{kPrimary, renamed}, kLeft), 1u);

    // Removed while the overlay was on it: back on the primary.
    EXPECT_EQ(FitAfterDisplayChange(std::vector<Monitor>{kAbove, kPrimary}, kLeft),
              (OverlayFit{kPrimary, {960, 540}, true}));
    EXPECT_FALSE(FitAfterDisplayChange({}, kLeft).has_value());
}

TEST(MonitorLayout, AGestureOnAnotherMonitorMovesTheOverlayThereWithTheSamePattern) {
    // A drag onto the left monitor: the centre is the pointer, in that monitor's pixels.
    EXPECT_EQ(FitForGesture(kDesk, kPrimary, {-300, 200}, GestureReach::kCenterToPointer),
              (OverlayFit{kLeft, {980, 200}, false}));
    // The wheel, a new pattern or show there: the centre goes to its middle.
    EXPECT_EQ(FitForGesture(kDesk, kPrimary, {-300, 200}, GestureReach::kInPlace),
              (OverlayFit{kLeft, {640, 512}, false}));
    EXPECT_EQ(FitForGesture(kDesk, kPrimary, {500, -10}, GestureReach::kCenterToPointer),
              (OverlayFit{kAbove, {500, 758}, false}));
    // Dragged back across the seam.
    EXPECT_EQ(FitForGesture(kDesk, kLeft, {0, 10}, GestureReach::kCenterToPointer),
              (OverlayFit{kPrimary, {0, 10}, false}));

    // On the covered monitor, or in a gap nearest to it: the overlay stays.
    EXPECT_FALSE(FitForGesture(kDesk, kPrimary, {1919, 1079}, GestureReach::kCenterToPointer).has_value());
    EXPECT_FALSE(FitForGesture(kDesk, kLeft, {-640, 1050}, GestureReach::kInPlace).has_value());
    // A smaller monitor showing part of the primary's picture: no flapping between the two.
    const Monitor clone{{0, 0, 1280, 720}, 44, false};
    EXPECT_FALSE(
        FitForGesture(std::vector<Monitor>{kPrimary, clone}, clone, {10, 10}, GestureReach::kCenterToPointer)
            .has_value());
}

}  // namespace
}  // namespace qv
