#include "panel_dialog.h"

#include <commctrl.h>

#include <array>
#include <string>

#include "panel_ids.h"
#include "panel_labels.h"
#include "private_messages.h"

static_assert(IDC_RESET == IDOK, "Reset is the dialog's default button");

// The trackbar class lives in comctl32, and the loader maps comctl32 only
// into a program that imports it. The panel never initialises the library
// itself; this reference is what makes the import real.
extern "C" {
extern void(WINAPI* volatile const qvKeepComctl32Imported)();
void(WINAPI* volatile const qvKeepComctl32Imported)() = &InitCommonControls;
}

namespace qv {
namespace {

using panel::kSlots;

constexpr int kNormalExitCode = 0;

void SetText(HWND panelWindow, int id, const std::wstring& text) noexcept {
    SetWindowTextW(GetDlgItem(panelWindow, id), text.c_str());
}

void UpdateParamLabel(HWND panelWindow, int index, int value) noexcept {
    SetText(panelWindow, kSlots[panel::kFirstParamSlot + index].displayId,
            panel::ParamLabelText(index, value));
}

// Every colour change rewrites the group caption too, so it always shows the
// colour word as it now is.
void UpdateColorLabel(const PanelParts& parts, HWND panelWindow, int index, int value) noexcept {
    SetText(panelWindow, kSlots[panel::kFirstColorSlot + index].displayId,
            panel::ColorLabelText(index, value));
    SetText(panelWindow, IDC_COLOR_GROUP, panel::ColorCaptionText(ColorWord(parts.settings)));
}

void UpdateJitterCaption(HWND panelWindow, int index, int value) noexcept {
    SetText(panelWindow, panel::kCheckBoxIds[index], panel::JitterCaptionText(index, value));
}

void HandOverJitterRanges(const PanelParts& parts) noexcept {
    const auto percent = panel::JitterPercents(parts.settings);
    parts.random.SetJitterRanges(percent.data());
}

void RequestRedraw(const PanelParts& parts) noexcept {
    SendMessageW(parts.overlayWindow, WM_APP_REDRAW, 0, 0);
}

void RefreshAllLabels(HWND panelWindow) noexcept {
    SendMessageW(panelWindow, WM_APP_PARAM_LABELS, 0, 0);
    SendMessageW(panelWindow, WM_APP_COLOR_LABELS, 0, 0);
    SendMessageW(panelWindow, WM_APP_JITTER_LABELS, 0, 0);
}

HWND VariationTrackbar(const PanelParts& parts, int index) noexcept {
    return parts.slots[panel::kFirstJitterSlot + index].handle;
}

void ShowVariationTrackbars(const PanelParts& parts) noexcept {
    const auto shown = panel::VariationTrackbarsShown(parts.settings);
    for (int i = 0; i < kJitterCount; ++i)
        ShowWindow(VariationTrackbar(parts, i), shown[i] ? SW_SHOW : SW_HIDE);
}

void Initialise(const PanelParts& parts, HWND panelWindow) noexcept {
    for (int slot = 0; slot < panel::kSlotCount; ++slot) {
        TrackbarSlot& s = parts.slots[slot];
        s.handle = GetDlgItem(panelWindow, kSlots[slot].trackbarId);
        const panel::TrackbarSetup setup = panel::InitialSetup(slot, parts.settings);
        s.SetUp(setup.min, setup.max, setup.position);
        SendMessageW(s.handle, TBM_SETTICFREQ, static_cast<WPARAM>(setup.tickFrequency), 0);
    }
    parts.spaceTrackbar = parts.slots[panel::kSpaceSlot].handle;  // the wheel gesture moves it

    const auto checked = panel::InitialCheckStates(parts.settings);
    for (int i = 0; i < kJitterPercentCount; ++i)
        CheckDlgButton(panelWindow, panel::kCheckBoxIds[i], checked[i] ? BST_CHECKED : BST_UNCHECKED);
    // The template shows all five variation trackbars, but blur starts off:
    // a visible blur trackbar behind an unchecked box would switch blur on
    // while the box still says it is off. The check box rule's visibility
    // holds from the start instead.
    ShowVariationTrackbars(parts);

    RefreshAllLabels(panelWindow);

    // Into the bottom-right corner of the desktop; the template places the
    // panel at the top left, so its right and bottom edges are its size.
    RECT desktop{};
    RECT own{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(panelWindow, &own);
    SetWindowPos(panelWindow, nullptr, desktop.right - own.right, desktop.bottom - own.bottom, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
}

// The slot of a trackbar window, or -1 for any other window.
int SlotForWindow(const PanelParts& parts, HWND window) noexcept {
    if (window == nullptr) return -1;  // a slot whose trackbar was never found must not match
    for (int slot = 0; slot < panel::kSlotCount; ++slot) {
        if (parts.slots[slot].handle == window) return slot;
    }
    return -1;
}

void TrackbarMoved(const PanelParts& parts, HWND panelWindow, HWND trackbar) noexcept {
    const int slot = SlotForWindow(parts, trackbar);
    if (slot < 0) return;
    const auto position = static_cast<std::int32_t>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
    const panel::SlotWrite w = panel::ApplyTrackbarPosition(parts.settings, slot, position);
    switch (w.group) {
        case panel::SlotGroup::kParam:
            UpdateParamLabel(panelWindow, w.groupIndex, w.value);
            break;
        case panel::SlotGroup::kColor:
            UpdateColorLabel(parts, panelWindow, w.groupIndex, w.value);
            break;
        case panel::SlotGroup::kJitter:
            HandOverJitterRanges(parts);
            UpdateJitterCaption(panelWindow, w.groupIndex, w.value);
            break;
    }
    RequestRedraw(parts);
}

bool IsVariationCheckBox(int id) noexcept {
    for (int box : panel::kCheckBoxIds) {
        if (box == id) return true;
    }
    return false;
}

// Whichever box was clicked, all five are read again.
void VariationBoxClicked(const PanelParts& parts, HWND panelWindow) noexcept {
    std::array<bool, kJitterCount> checked{};
    std::array<std::int32_t, kJitterCount> positions{};
    for (int i = 0; i < kJitterCount; ++i) {
        checked[i] = IsDlgButtonChecked(panelWindow, panel::kCheckBoxIds[i]) == BST_CHECKED;
        if (checked[i])
            positions[i] =
                static_cast<std::int32_t>(SendMessageW(VariationTrackbar(parts, i), TBM_GETPOS, 0, 0));
    }
    panel::ApplyCheckBoxRule(parts.settings, checked, positions);
    ShowVariationTrackbars(parts);
    HandOverJitterRanges(parts);
    SendMessageW(panelWindow, WM_APP_JITTER_LABELS, 0, 0);
    RequestRedraw(parts);
}

void Reset(const PanelParts& parts, HWND panelWindow) noexcept {
    if (parts.reinstallHooks != nullptr) parts.reinstallHooks();

    std::array<std::int32_t, panel::kMainSlotCount> remembered{};
    for (int slot = 0; slot < panel::kMainSlotCount; ++slot) remembered[slot] = parts.slots[slot].Restore();
    panel::ApplyReset(parts.settings, remembered);

    for (int i = 0; i < kJitterCount; ++i)
        SendMessageW(VariationTrackbar(parts, i), TBM_SETPOS, TRUE, panel::kResetVariationPosition);
    HandOverJitterRanges(parts);
    for (int i = 0; i < kJitterCount; ++i) {
        CheckDlgButton(panelWindow, panel::kCheckBoxIds[i], BST_UNCHECKED);
        ShowWindow(VariationTrackbar(parts, i), SW_HIDE);
    }

    RefreshAllLabels(panelWindow);
    RequestRedraw(parts);
}

// The parts handed over with WM_INITDIALOG; null before it.
const PanelParts* PartsOf(HWND panelWindow) noexcept {
    return reinterpret_cast<const PanelParts*>(GetWindowLongPtrW(panelWindow, DWLP_USER));
}

INT_PTR HandleMessage(const PanelParts& parts, HWND panelWindow, UINT message, WPARAM wParam,
                      LPARAM lParam) noexcept {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDC_RESET) {
                Reset(parts, panelWindow);
            } else if (IsVariationCheckBox(id)) {
                VariationBoxClicked(parts, panelWindow);
            }
            return TRUE;
        }
        case WM_HSCROLL:
            TrackbarMoved(parts, panelWindow, reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_APP_PARAM_LABELS:
            for (int i = 0; i < panel::kParamCount; ++i)
                UpdateParamLabel(panelWindow, i, parts.settings.*panel::kParamFields[i]);
            return TRUE;
        case WM_APP_COLOR_LABELS:
            for (int i = 0; i < panel::kColorCount; ++i)
                UpdateColorLabel(parts, panelWindow, i, parts.settings.*panel::kColorFields[i]);
            return TRUE;
        case WM_APP_JITTER_LABELS:
            for (int i = 0; i < kJitterCount; ++i)
                UpdateJitterCaption(panelWindow, i, JitterAt(parts.settings, i));
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void TrackbarSlot::SetUp(int minimum, int maximum, int position) noexcept {
    SendMessageW(handle, TBM_SETRANGEMIN, FALSE, minimum);
    SendMessageW(handle, TBM_SETRANGEMAX, FALSE, maximum);
    SendMessageW(handle, TBM_SETPOS, TRUE, position);
    rememberedPosition = position;
}

std::int32_t TrackbarSlot::Restore() noexcept {
    SendMessageW(handle, TBM_SETPOS, TRUE, rememberedPosition);
    return rememberedPosition;
}

HWND CreateControlPanel(HWND owner, const PanelParts& parts) noexcept {
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PANEL), owner, PanelDlgProc,
                              reinterpret_cast<LPARAM>(&parts));
}

INT_PTR CALLBACK PanelDlgProc(HWND panelWindow, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(panelWindow, DWLP_USER, lParam);
            if (lParam != 0) Initialise(*reinterpret_cast<const PanelParts*>(lParam), panelWindow);
            return TRUE;  // the first tab stop, Reset, takes the focus
        case WM_CLOSE:
            DestroyWindow(panelWindow);
            return TRUE;
        case WM_DESTROY:
            PostQuitMessage(kNormalExitCode);
            return TRUE;
        default:
            break;
    }
    const PanelParts* parts = PartsOf(panelWindow);
    return parts != nullptr ? HandleMessage(*parts, panelWindow, message, wParam, lParam) : FALSE;
}

}  // namespace qv
