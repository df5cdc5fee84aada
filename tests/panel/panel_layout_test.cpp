#include "panel_layout.h"

#include <gtest/gtest.h>

#include <set>

#include "panel_rules.h"

namespace qv::panel {
namespace {

TEST(PanelLayout, EverySlotHasItsTrackbarAndDisplayControl) {
    for (const auto& slot : kSlots) {
        const PanelControl* bar = FindControl(slot.trackbarId);
        ASSERT_NE(bar, nullptr) << slot.trackbarId;
        EXPECT_TRUE(bar->kind == ControlKind::kTicksBelow || bar->kind == ControlKind::kPlainTrackbar);
        const PanelControl* shown = FindControl(slot.displayId);
        ASSERT_NE(shown, nullptr) << slot.displayId;
        EXPECT_EQ(shown->kind, slot.group == SlotGroup::kJitter ? ControlKind::kCheckBox
                                                                        : ControlKind::kValueLabel);
        // Only the four parameter trackbars carry tick marks.
        EXPECT_EQ(bar->kind == ControlKind::kTicksBelow, slot.group == SlotGroup::kParam);
    }
}

TEST(PanelLayout, IdsAreUniqueExceptTheThreeUnnamedControls) {
    std::set<int> ids;
    int unnamed = 0;
    for (const auto& c : kPanelControls) {
        if (c.id == IDC_UNNAMED) ++unnamed;
        else EXPECT_TRUE(ids.insert(c.id).second) << c.id;
    }
    EXPECT_EQ(unnamed, 3);
    EXPECT_EQ(ids.count(2), 0u);     // no Cancel
    EXPECT_EQ(ids.count(1024), 0u);  // the gap among the check boxes
    EXPECT_EQ(kPanelControls.front().id, IDC_RESET);  // the first tab stop
}

TEST(PanelLayout, EveryControlLiesInsideThePanel) {
    for (const auto& c : kPanelControls) {
        EXPECT_GE(c.x, 0);
        EXPECT_GE(c.y, 0);
        EXPECT_LE(c.x + c.width, kPanelWidthDu) << c.id;
        EXPECT_LE(c.y + c.height, kPanelHeightDu) << c.id;
    }
}

TEST(PanelLayout, CaptionKeepsItsTrailingBlank) {
    const std::string caption = kPanelCaption;
    EXPECT_EQ(caption.back(), ' ');
    EXPECT_EQ(caption, "表示設定 - Quorvane ");
}

TEST(PanelLayout, DialogUnitsScaleByTheFontsBaseUnits) {
    EXPECT_EQ(DuToPixelsX(410), 615);
    EXPECT_EQ(DuToPixelsY(223), 362);
    EXPECT_EQ(DuToPixelsY(8), 13);  // a check box row is one text line high
}

}  // namespace
}  // namespace qv::panel
