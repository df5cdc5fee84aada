#include "panel_dialog.h"

#include <commctrl.h>

#include <array>
#include <string>

#include "panel_ids.h"
#include "panel_labels.h"
#include "private_messages.h"
#include "process_state.h"

static_assert(IDC_RESET == IDOK, "Reset is the dialog's default button");

// The trackbar class lives in comctl32, and the loader maps comctl32 only
// into a program that imports it. The panel never initialises the library
// itself; this reference is what makes the import real.
extern "C" {
extern void(WINAPI* volatile const qvKeepComctl32Imported)();
void(WINAPI* volatile const qvKeepComctl32Imported)() = &InitCommonControls;
}

namespace qv {

TrackbarSlot trackbarSlots[panel::kSlotCount];

namespace {

using panel::kSlots;

constexpr int kNormalExitCode = 0;

void SetText(HWND panelWindow, int id, const std::wstring& text) noexcept {
    SetWindowTextW(GetDlgItem(panelWindow, id), text.c_str());
}

void UpdateParamLabel(HWND panelWindow, int index, int value) noexcept {
    SetText(panelWindow, kSlots[panel::kFirstParamSlot + index].displayId, panel::ParamLabelText(index, value));
}

// Every colour change rewrites the group caption too, so it always shows the
// colour word as it now is.
void UpdateColorLabel(HWND panelWindow, int index, int value) noexcept {
    SetText(panelWindow, kSlots[panel::kFirstColorSlot + index].displayId, panel::ColorLabelText(index, value));
    SetText(panelWindow, IDC_COLOR_GROUP, panel::ColorCaptionText(ColorWord(effectSettings)));
}

void UpdateJitterCaption(HWND panelWindow, int index, int value) noexcept {
    SetText(panelWindow, panel::kCheckBoxIds[index], panel::JitterCaptionText(index, value));
}

void HandOverJitterRanges() noexcept {
    const auto percent = panel::JitterPercents(effectSettings);
    overlayLayer.random.SetJitterRanges(percent.data());
}

void RequestRedraw() noexcept { SendMessageW(overlayWindow, WM_APP_REDRAW, 0, 0); }

void RefreshAllLabels(HWND panelWindow) noexcept {
    SendMessageW(panelWindow, WM_APP_PARAM_LABELS, 0, 0);
    SendMessageW(panelWindow, WM_APP_COLOR_LABELS, 0, 0);
    SendMessageW(panelWindow, WM_APP_JITTER_LABELS, 0, 0);
}

HWND VariationTrackbar(int index) noexcept { return trackbarSlots[panel::kFirstJitterSlot + index].handle; }

void ShowVariationTrackbars() noexcept {
    const auto shown = panel::VariationTrackbarsShown(effectSettings);
    for (int i = 0; i < kJitterCount; ++i) ShowWindow(VariationTrackbar(i), shown[i] ? SW_SHOW : SW_HIDE);
}

void Initialise(HWND panelWindow) noexcept {
    for (int slot = 0; slot < panel::kSlotCount; ++slot) {
        TrackbarSlot& s = trackbarSlots[slot];
        s.handle = GetDlgItem(panelWindow, kSlots[slot].trackbarId);
        const panel::TrackbarSetup setup = panel::InitialSetup(slot, effectSettings);
        s.SetUp(setup.min, setup.max, setup.position);
        SendMessageW(s.handle, TBM_SETTICFREQ, static_cast<WPARAM>(setup.tickFrequency), 0);
    }
    spaceTrackbar = trackbarSlots[panel::kSpaceSlot].handle;  // the wheel gesture moves it

    const auto checked = panel::InitialCheckStates(effectSettings);
    for (int i = 0; i < kJitterPercentCount; ++i)
        CheckDlgButton(panelWindow, panel::kCheckBoxIds[i], checked[i] ? BST_CHECKED : BST_UNCHECKED);
    // The template shows all five variation trackbars, but blur starts off:
    // a visible blur trackbar behind an unchecked box would switch blur on
    // while the box still says it is off. The check box rule's visibility
    // holds from the start instead.
    ShowVariationTrackbars();

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

// The slot of a trackbar window, or -1 for any other window. The handles
// are copied once, on the first notification, and serve from then on.
int SlotForWindow(HWND window) noexcept {
    static std::array<HWND, panel::kSlotCount> lookup{};
    static bool copied = false;
    if (!copied) {
        for (int slot = 0; slot < panel::kSlotCount; ++slot) lookup[slot] = trackbarSlots[slot].handle;
        copied = true;
    }
    if (window == nullptr) return -1;  // a slot whose trackbar was never found must not match
    for (int slot = 0; slot < panel::kSlotCount; ++slot) {
        if (lookup[slot] == window) return slot;
    }
    return -1;
}

void TrackbarMoved(HWND panelWindow, HWND trackbar) noexcept {
    const int slot = SlotForWindow(trackbar);
    if (slot < 0) return;
    const auto position = static_cast<std::int32_t>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
    const panel::SlotWrite w = panel::ApplyTrackbarPosition(effectSettings, slot, position);
    switch (w.group) {
        case panel::SlotGroup::kParam:
            UpdateParamLabel(panelWindow, w.groupIndex, w.value);
            break;
        case panel::SlotGroup::kColor:
            UpdateColorLabel(panelWindow, w.groupIndex, w.value);
            break;
        case panel::SlotGroup::kJitter:
            HandOverJitterRanges();
            UpdateJitterCaption(panelWindow, w.groupIndex, w.value);
            break;
    }
    RequestRedraw();
}

bool IsVariationCheckBox(int id) noexcept {
    for (int box : panel::kCheckBoxIds) {
        if (box == id) return true;
    }
    return false;
}

// Whichever box was clicked, all five are read again.
void VariationBoxClicked(HWND panelWindow) noexcept {
    std::array<bool, kJitterCount> checked{};
    std::array<std::int32_t, kJitterCount> positions{};
    for (int i = 0; i < kJitterCount; ++i) {
        checked[i] = IsDlgButtonChecked(panelWindow, panel::kCheckBoxIds[i]) == BST_CHECKED;
        if (checked[i]) positions[i] = static_cast<std::int32_t>(SendMessageW(VariationTrackbar(i), TBM_GETPOS, 0, 0));
    }
    panel::ApplyCheckBoxRule(effectSettings, checked, positions);
    ShowVariationTrackbars();
    HandOverJitterRanges();
    SendMessageW(panelWindow, WM_APP_JITTER_LABELS, 0, 0);
    RequestRedraw();
}

void Reset(HWND panelWindow) noexcept {
    // Brings back hooks that the system dropped; what Install answers does
    // not matter here.
    keyboardHook.Uninstall();
    mouseHook.Uninstall();
    keyboardHook.Install(KeyboardHookProc);
    mouseHook.Install(MouseHookProc);

    std::array<std::int32_t, panel::kMainSlotCount> remembered{};
    for (int slot = 0; slot < panel::kMainSlotCount; ++slot) remembered[slot] = trackbarSlots[slot].Restore();
    panel::ApplyReset(effectSettings, remembered);

    for (int i = 0; i < kJitterCount; ++i)
        SendMessageW(VariationTrackbar(i), TBM_SETPOS, TRUE, panel::kResetVariationPosition);
    HandOverJitterRanges();
    for (int i = 0; i < kJitterCount; ++i) {
        CheckDlgButton(panelWindow, panel::kCheckBoxIds[i], BST_UNCHECKED);
        ShowWindow(VariationTrackbar(i), SW_HIDE);
    }

    RefreshAllLabels(panelWindow);
    RequestRedraw();
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

INT_PTR CALLBACK PanelDlgProc(HWND panelWindow, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            Initialise(panelWindow);
            return TRUE;  // the first tab stop, Reset, takes the focus
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDC_RESET) {
                Reset(panelWindow);
            } else if (IsVariationCheckBox(id)) {
                VariationBoxClicked(panelWindow);
            }
            return TRUE;
        }
        case WM_HSCROLL:
            TrackbarMoved(panelWindow, reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_APP_PARAM_LABELS:
            for (int i = 0; i < panel::kParamCount; ++i)
                UpdateParamLabel(panelWindow, i, effectSettings.*panel::kParamFields[i]);
            return TRUE;
        case WM_APP_COLOR_LABELS:
            for (int i = 0; i < panel::kColorCount; ++i)
                UpdateColorLabel(panelWindow, i, effectSettings.*panel::kColorFields[i]);
            return TRUE;
        case WM_APP_JITTER_LABELS:
            for (int i = 0; i < kJitterCount; ++i) UpdateJitterCaption(panelWindow, i, JitterAt(effectSettings, i));
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(panelWindow);
            return TRUE;
        case WM_DESTROY:
            PostQuitMessage(kNormalExitCode);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace qv
