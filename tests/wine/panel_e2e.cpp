// The control panel of the running program, driven from outside under Wine:
// its template, its controls, what every trackbar and check box does to the
// labels and to the picture, Reset, the wheel gesture, and closing.
#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>
#include <memory>

#include "panel_e2e_support.h"
#include "panel_ids.h"
#include "shell.h"

namespace qv::e2e {
namespace {

constexpr wchar_t kCaption[] = L"表示設定 - Quorvane ";
constexpr wchar_t kHelpText[] =
    L"左Ctrl+マウス操作で中心位置が変わります。\r\n"
    L"左Ctrl+ALTキー押下で表示/非表示を切り替えます。\r\n"
    L"左Ctrl+左Shiftで再描画します。\r\n"
    L"左Ctrl+ホイールで中心円サイズが変わります。\r\n"
    L"(マウスに追随しなくなった場合は、リセットをしてください)";
constexpr wchar_t kVariationGroup[] = L"ばらつき度の設定\u3000(※グラデーションは重い)";
constexpr int kWheelNotch = 120;

struct ExpectedControl {
    int id;
    const wchar_t* cls;
    const wchar_t* text;
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
};

constexpr wchar_t kButton[] = L"Button";
constexpr wchar_t kStatic[] = L"Static";
constexpr wchar_t kTrackbar[] = L"msctls_trackbar32";

// The layout, in template order.
const ExpectedControl kControls[] = {
    {IDC_RESET, kButton, L"リセット", 223, 188, 180, 28, 0x50010001, 0},
    {IDC_COLOR_GROUP, kButton, L"色設定", 7, 137, 209, 79, 0x50000007, 0},
    {IDC_TB_RED, kTrackbar, L"", 28, 147, 180, 15, 0x50010018, 0},
    {IDC_LB_RED, kStatic, L"R\r\n255", 13, 147, 16, 16, 0x50020001, 0},
    {IDC_TB_GREEN, kTrackbar, L"", 28, 164, 180, 15, 0x50010018, 0},
    {IDC_LB_GREEN, kStatic, L"G\r\n255", 13, 164, 16, 16, 0x50020001, 0},
    {IDC_TB_BLUE, kTrackbar, L"", 28, 181, 180, 15, 0x50010018, 0},
    {IDC_LB_BLUE, kStatic, L"B\r\n255", 13, 181, 16, 16, 0x50020001, 0},
    {IDC_TB_ALPHA, kTrackbar, L"", 28, 198, 180, 15, 0x50010018, 0},
    {IDC_LB_ALPHA, kStatic, L"A\r\n255", 13, 198, 16, 16, 0x50020001, 0},
    {IDC_UNNAMED, kButton, L"表示パラメータ", 7, 7, 396, 88, 0x50000007, 0},
    {IDC_LB_DENSITY, kStatic, L"密度\r\n9999", 15, 18, 19, 16, 0x50020001, 0},
    {IDC_TB_DENSITY, kTrackbar, L"", 34, 18, 361, 16, 0x50010001, 0},
    {IDC_LB_THICKNESS, kStatic, L"太さ\r\n9999", 15, 37, 19, 16, 0x50020001, 0},
    {IDC_TB_THICKNESS, kTrackbar, L"", 34, 36, 361, 16, 0x50010001, 0},
    {IDC_LB_SPACE, kStatic, L"空間\r\n9999", 15, 55, 19, 16, 0x50020001, 0},
    {IDC_TB_SPACE, kTrackbar, L"", 34, 54, 361, 16, 0x50010001, 0},
    {IDC_LB_RATIO, kStatic, L"比率\r\n9999", 15, 73, 19, 16, 0x50020001, 0},
    {IDC_TB_RATIO, kTrackbar, L"", 34, 72, 361, 16, 0x50010001, 0},
    {IDC_UNNAMED, kStatic, kHelpText, 223, 141, 180, 44, 0x50020000, 0x00020000},
    {IDC_CB_DENSITY_JITTER, kButton, L"密度 (999%)", 11, 110, 72, 8, 0x50010003, 0},
    {IDC_CB_THICKNESS_JITTER, kButton, L"太さ (999%)", 89, 110, 64, 8, 0x50010003, 0},
    {IDC_CB_SPACE_JITTER, kButton, L"空間 (999%)", 168, 110, 72, 8, 0x50010003, 0},
    {IDC_CB_ALPHA_JITTER, kButton, L"透明度 (999%)", 247, 110, 65, 8, 0x50010003, 0},
    {IDC_UNNAMED, kButton, kVariationGroup, 7, 97, 396, 37, 0x50000007, 0},
    {IDC_CB_BLUR, kButton, L"ぼかし (999%)", 326, 110, 60, 8, 0x50010003, 0},
    {IDC_TB_DENSITY_JITTER, kTrackbar, L"", 8, 119, 78, 13, 0x50010014, 0},
    {IDC_TB_THICKNESS_JITTER, kTrackbar, L"", 86, 119, 78, 13, 0x50010014, 0},
    {IDC_TB_SPACE_JITTER, kTrackbar, L"", 165, 119, 78, 13, 0x50010014, 0},
    {IDC_TB_ALPHA_JITTER, kTrackbar, L"", 244, 119, 78, 13, 0x50010014, 0},
    {IDC_TB_BLUR, kTrackbar, L"", 323, 119, 78, 13, 0x50010014, 0},
};
constexpr int kControlCount = 31;
static_assert(sizeof kControls / sizeof kControls[0] == kControlCount);

bool SameClass(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

// Reads the extended dialog template resource as the loader would.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, std::size_t size) : p_(data), end_(data + size) {}
    template <typename T>
    T Read() {
        T v{};
        if (p_ + sizeof(T) <= end_) std::memcpy(&v, p_, sizeof(T));
        p_ += sizeof(T);
        return v;
    }
    // A string or an ordinal (0xFFFF then a WORD), as "#n" for ordinals.
    std::wstring StringOrOrdinal() {
        const auto first = Read<WORD>();
        if (first == 0xFFFF) {
            const WORD ordinal = Read<WORD>();
            if (ordinal == 0x0080) return kButton;
            if (ordinal == 0x0082) return kStatic;
            return L"#" + std::to_wstring(ordinal);
        }
        std::wstring s;
        for (WORD c = first; c != 0 && p_ < end_; c = Read<WORD>()) s.push_back(static_cast<wchar_t>(c));
        return s;
    }
    void AlignDword(const BYTE* base) {
        while ((p_ - base) % 4 != 0) ++p_;
    }
    bool Overrun() const { return p_ > end_; }

private:
    const BYTE* p_;
    const BYTE* end_;
};

class PanelE2E : public ::testing::Test {
protected:
    void SetUp() override {
        program = std::make_unique<RunningProgram>(QuorvanePath());
        ASSERT_TRUE(program->Started()) << "quorvane.exe did not show its overlay and panel";
        excluded = program->PanelRect();
        const int w = GetSystemMetrics(SM_CXSCREEN);
        const int h = GetSystemMetrics(SM_CYSCREEN);
        screen = RECT{0, 0, w, h};
        centre = POINT{w / 2, h / 2};
        // Ctrl presses move the centre to the cursor: keep it where it is.
        SetCursorPos(centre.x, centre.y);
    }
    void TearDown() override { program.reset(); }

    RECT AroundCentre(int radius) const {
        return RECT{centre.x - radius, centre.y - radius, centre.x + radius, centre.y + radius};
    }

    std::unique_ptr<RunningProgram> program;
    RECT excluded{};
    RECT screen{};
    POINT centre{};
};

TEST(PanelTemplate, DialogResource101IsTheJapaneseExtendedTemplate) {
    const std::wstring exe = QuorvanePath();
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */, MAKEINTRESOURCEW(IDD_PANEL),
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(found, nullptr) << "dialog 101 in language 1041";
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    const std::size_t size = SizeofResource(module, found);
    TemplateReader r(data, size);

    EXPECT_EQ(r.Read<WORD>(), 1) << "version";
    EXPECT_EQ(r.Read<WORD>(), 0xFFFF) << "signature";
    EXPECT_EQ(r.Read<DWORD>(), 0u) << "help id";
    EXPECT_EQ(r.Read<DWORD>(), 0x00040000u) << "WS_EX_APPWINDOW";
    EXPECT_EQ(r.Read<DWORD>(), 0x90CA02C8u) << "style";
    EXPECT_EQ(r.Read<WORD>(), kControlCount);
    EXPECT_EQ(r.Read<short>(), 0);
    EXPECT_EQ(r.Read<short>(), 0);
    EXPECT_EQ(r.Read<short>(), 410);
    EXPECT_EQ(r.Read<short>(), 223);
    EXPECT_EQ(r.StringOrOrdinal(), L"") << "no menu";
    EXPECT_EQ(r.StringOrOrdinal(), L"") << "no private class";
    EXPECT_EQ(r.StringOrOrdinal(), kCaption);
    EXPECT_EQ(r.Read<WORD>(), 8) << "point size";
    EXPECT_EQ(r.Read<WORD>(), 400) << "FW_NORMAL";
    EXPECT_EQ(r.Read<BYTE>(), 0) << "not italic";
    EXPECT_EQ(r.Read<BYTE>(), 1) << "DEFAULT_CHARSET";
    EXPECT_EQ(r.StringOrOrdinal(), L"MS Shell Dlg");

    for (int i = 0; i < kControlCount; ++i) {
        const ExpectedControl& e = kControls[i];
        r.AlignDword(data);
        EXPECT_EQ(r.Read<DWORD>(), 0u) << i << " help id";
        EXPECT_EQ(r.Read<DWORD>(), e.exStyle) << i;
        EXPECT_EQ(r.Read<DWORD>(), e.style) << i;
        EXPECT_EQ(r.Read<short>(), e.x) << i;
        EXPECT_EQ(r.Read<short>(), e.y) << i;
        EXPECT_EQ(r.Read<short>(), e.cx) << i;
        EXPECT_EQ(r.Read<short>(), e.cy) << i;
        EXPECT_EQ(r.Read<DWORD>(), static_cast<DWORD>(e.id)) << i << " (-1 is 0xFFFFFFFF)";
        EXPECT_TRUE(SameClass(r.StringOrOrdinal(), e.cls)) << i;
        EXPECT_EQ(r.StringOrOrdinal(), e.text) << i;
        const WORD extra = r.Read<WORD>();
        for (WORD k = 0; k < extra; ++k) r.Read<BYTE>();
    }
    EXPECT_FALSE(r.Overrun());
    FreeLibrary(module);
}

TEST(PanelTemplate, ManifestAsksForNoCommonControlsVersion6) {
    const std::wstring exe = QuorvanePath();
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, nullptr) << "manifest 1 in language 1033";
    const auto* text = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(text, SizeofResource(module, found));
    EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
    EXPECT_EQ(manifest.find("dependentAssembly"), std::string::npos);
    FreeLibrary(module);
}

TEST_F(PanelE2E, CaptionAndThirtyOneControlsInOrder) {
    HWND panel = program->Panel();
    EXPECT_EQ(program->Text(panel), kCaption);
    EXPECT_EQ(GetWindow(panel, GW_OWNER), program->Overlay()) << "the overlay owns the panel";
    EXPECT_NE(GetWindowLongW(panel, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);

    int index = 0;
    for (HWND child = GetWindow(panel, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT), ++index) {
        ASSERT_LT(index, kControlCount) << "more than 31 controls";
        const ExpectedControl& e = kControls[index];
        wchar_t cls[64] = {};
        GetClassNameW(child, cls, 64);
        EXPECT_TRUE(SameClass(cls, e.cls)) << index << ": " << cls;
        EXPECT_EQ(GetDlgCtrlID(child), e.id) << index;
    }
    EXPECT_EQ(index, kControlCount);

    // The texts nobody rewrites.
    EXPECT_EQ(program->ItemText(IDC_RESET), L"リセット");
    HWND helpText = GetWindow(GetDlgItem(panel, IDC_TB_RATIO), GW_HWNDNEXT);
    EXPECT_EQ(program->Text(helpText), kHelpText);
    EXPECT_EQ(program->Text(GetWindow(GetDlgItem(panel, IDC_LB_ALPHA), GW_HWNDNEXT)), L"表示パラメータ");
    EXPECT_EQ(program->Text(GetWindow(GetDlgItem(panel, IDC_CB_ALPHA_JITTER), GW_HWNDNEXT)), kVariationGroup);

    EXPECT_EQ(GetDlgItem(panel, IDCANCEL), nullptr) << "no Cancel button";
    EXPECT_EQ(LOWORD(SendMessageW(panel, DM_GETDEFID, 0, 0)), IDC_RESET) << "Reset is the default button";
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(panel, nullptr), &gui));
    EXPECT_EQ(gui.hwndFocus, program->Item(IDC_RESET)) << "the first tab stop has the focus";

    // Placed once, in the bottom-right corner of the desktop.
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    const RECT r = program->PanelRect();
    EXPECT_EQ(r.right, desktop.right);
    EXPECT_EQ(r.bottom, desktop.bottom);
}

TEST_F(PanelE2E, LabelsTrackbarsAndBoxesAtStart) {
    const std::pair<int, const wchar_t*> labels[] = {
        {IDC_LB_DENSITY, L"密度\r\n180"},           {IDC_LB_THICKNESS, L"太さ\r\n50"},
        {IDC_LB_SPACE, L"空間\r\n100"},             {IDC_LB_RATIO, L"比率\r\n0.00"},
        {IDC_LB_RED, L"R\r\n0"},                    {IDC_LB_GREEN, L"G\r\n0"},
        {IDC_LB_BLUE, L"B\r\n0"},                   {IDC_LB_ALPHA, L"A\r\n255"},
        {IDC_COLOR_GROUP, L"色設定 (0xff000000)"},  {IDC_CB_DENSITY_JITTER, L"密度 (40%)"},
        {IDC_CB_THICKNESS_JITTER, L"太さ (50%)"},   {IDC_CB_SPACE_JITTER, L"空間 (70%)"},
        {IDC_CB_ALPHA_JITTER, L"透明度 (50%)"},     {IDC_CB_BLUR, L"ぼかし (0%)"},
    };
    for (const auto& [id, text] : labels) EXPECT_EQ(program->ItemText(id), text) << id;

    struct Range {
        int id, min, max, position;
    };
    const Range ranges[] = {
        {IDC_TB_DENSITY, 10, 500, 180},       {IDC_TB_THICKNESS, 10, 300, 50},    {IDC_TB_SPACE, 10, 800, 100},
        {IDC_TB_RATIO, 0, 1000, 500},         {IDC_TB_RED, 0, 255, 0},            {IDC_TB_ALPHA, 0, 255, 255},
        {IDC_TB_DENSITY_JITTER, 1, 100, 50},  {IDC_TB_SPACE_JITTER, 1, 200, 100}, {IDC_TB_ALPHA_JITTER, 1, 100, 50},
        {IDC_TB_BLUR, 1, 20, 1},
    };
    for (const Range& r : ranges) {
        HWND tb = program->Item(r.id);
        EXPECT_EQ(SendMessageW(tb, TBM_GETRANGEMIN, 0, 0), r.min) << r.id;
        EXPECT_EQ(SendMessageW(tb, TBM_GETRANGEMAX, 0, 0), r.max) << r.id;
        EXPECT_EQ(program->Position(r.id), r.position) << r.id;
    }

    for (int id : {IDC_CB_DENSITY_JITTER, IDC_CB_THICKNESS_JITTER, IDC_CB_SPACE_JITTER, IDC_CB_ALPHA_JITTER})
        EXPECT_TRUE(program->Checked(id)) << id;
    EXPECT_FALSE(program->Checked(IDC_CB_BLUR));
    for (int id : {IDC_TB_DENSITY_JITTER, IDC_TB_THICKNESS_JITTER, IDC_TB_SPACE_JITTER, IDC_TB_ALPHA_JITTER})
        EXPECT_TRUE(program->Visible(id)) << id;
    EXPECT_FALSE(program->Visible(IDC_TB_BLUR)) << "blur is off, so its trackbar starts hidden like any other";
}

TEST_F(PanelE2E, ParameterTrackbarsChangeLabelsAndPicture) {
    const Screenshot background = program->Background();
    const Screenshot start = program->Capture();
    const long startLines = CountMarked(start, background, screen, excluded);
    ASSERT_GT(startLines, 0) << "the overlay shows lines over the desktop";

    program->MoveTrackbar(IDC_TB_DENSITY, 10);
    EXPECT_EQ(program->ItemText(IDC_LB_DENSITY), L"密度\r\n10");
    const long sparse = CountMarked(program->Capture(), background, screen, excluded);
    program->MoveTrackbar(IDC_TB_DENSITY, 500);
    EXPECT_EQ(program->ItemText(IDC_LB_DENSITY), L"密度\r\n500");
    const long dense = CountMarked(program->Capture(), background, screen, excluded);
    EXPECT_LT(sparse, startLines);
    EXPECT_GT(dense, startLines);

    program->MoveTrackbar(IDC_TB_DENSITY, 180);
    program->MoveTrackbar(IDC_TB_THICKNESS, 300);
    EXPECT_EQ(program->ItemText(IDC_LB_THICKNESS), L"太さ\r\n300");
    EXPECT_GT(CountMarked(program->Capture(), background, screen, excluded), startLines);
    program->MoveTrackbar(IDC_TB_THICKNESS, 50);

    // The empty centre: nothing within 60 pixels at the widest space, lines
    // there at the narrowest.
    program->MoveTrackbar(IDC_TB_SPACE, 800);
    EXPECT_EQ(program->ItemText(IDC_LB_SPACE), L"空間\r\n800");
    EXPECT_EQ(CountMarked(program->Capture(), background, AroundCentre(60), excluded), 0);
    program->MoveTrackbar(IDC_TB_SPACE, 10);
    EXPECT_EQ(program->ItemText(IDC_LB_SPACE), L"空間\r\n10");
    EXPECT_GT(CountMarked(program->Capture(), background, AroundCentre(60), excluded), 0);

    // The remembered positions are the start values: Reset restores them.
    program->Click(IDC_RESET);
    EXPECT_EQ(program->Position(IDC_TB_SPACE), 100);
    EXPECT_EQ(program->ItemText(IDC_LB_SPACE), L"空間\r\n100");
}

TEST_F(PanelE2E, RatioLabelAroundTheRoundPosition) {
    const Screenshot round = program->Capture();
    const std::pair<int, const wchar_t*> cases[] = {
        {0, L"比率\r\n-5.00"}, {499, L"比率\r\n-0.01"}, {500, L"比率\r\n0.00"}, {1000, L"比率\r\n5.00"}};
    for (const auto& [position, text] : cases) {
        program->MoveTrackbar(IDC_TB_RATIO, position);
        EXPECT_EQ(program->ItemText(IDC_LB_RATIO), text) << position;
    }
    EXPECT_GT(CountDifferent(program->Capture(), round, excluded), 0) << "a stretched figure is drawn";
    program->MoveTrackbar(IDC_TB_RATIO, 500);
    EXPECT_EQ(CountDifferent(program->Capture(), round, excluded), 0) << "same pattern, same settings, same picture";
}

TEST_F(PanelE2E, ColourTrackbarsChangeCaptionAndPicture) {
    const Screenshot background = program->Background();
    EXPECT_EQ(CountReddish(program->Capture(), screen), 0) << "black lines on a grey desktop";

    program->MoveTrackbar(IDC_TB_RED, 255);
    EXPECT_EQ(program->ItemText(IDC_LB_RED), L"R\r\n255");
    EXPECT_EQ(program->ItemText(IDC_COLOR_GROUP), L"色設定 (0xffff0000)");
    program->MoveTrackbar(IDC_TB_GREEN, 128);
    EXPECT_EQ(program->ItemText(IDC_LB_GREEN), L"G\r\n128");
    program->MoveTrackbar(IDC_TB_BLUE, 0);
    EXPECT_EQ(program->ItemText(IDC_LB_BLUE), L"B\r\n0");
    EXPECT_EQ(program->ItemText(IDC_COLOR_GROUP), L"色設定 (0xffff8000)");
    EXPECT_GT(CountReddish(program->Capture(), screen), 1000) << "orange lines";

    // Overall opacity 0: the overlay shows nothing at all.
    program->MoveTrackbar(IDC_TB_ALPHA, 0);
    EXPECT_EQ(program->ItemText(IDC_LB_ALPHA), L"A\r\n0");
    EXPECT_EQ(program->ItemText(IDC_COLOR_GROUP), L"色設定 (0x00ff8000)");
    EXPECT_EQ(CountMarked(program->Capture(), background, screen, excluded, 0), 0);
}

TEST_F(PanelE2E, VariationTrackbarsChangeCaptionsAndPicture) {
    const Screenshot before = program->Capture();
    program->MoveTrackbar(IDC_TB_ALPHA_JITTER, 100);
    EXPECT_EQ(program->ItemText(IDC_CB_ALPHA_JITTER), L"透明度 (100%)");
    const Screenshot more = program->Capture();
    EXPECT_GT(CountDifferent(more, before, excluded), 0) << "the new range reaches the renderer";
    program->MoveTrackbar(IDC_TB_SPACE_JITTER, 200);
    EXPECT_EQ(program->ItemText(IDC_CB_SPACE_JITTER), L"空間 (200%)");
    EXPECT_GT(CountDifferent(program->Capture(), more, excluded), 0);
}

TEST_F(PanelE2E, CheckBoxRule) {
    // The first click, on any box, reads all five trackbars.
    program->Click(IDC_CB_BLUR);
    EXPECT_TRUE(program->Checked(IDC_CB_BLUR));
    EXPECT_EQ(program->ItemText(IDC_CB_DENSITY_JITTER), L"密度 (50%)");
    EXPECT_EQ(program->ItemText(IDC_CB_THICKNESS_JITTER), L"太さ (50%)");
    EXPECT_EQ(program->ItemText(IDC_CB_SPACE_JITTER), L"空間 (100%)");
    EXPECT_EQ(program->ItemText(IDC_CB_ALPHA_JITTER), L"透明度 (50%)");
    EXPECT_EQ(program->ItemText(IDC_CB_BLUR), L"ぼかし (1%)");
    EXPECT_TRUE(program->Visible(IDC_TB_BLUR));

    // The blur trackbar now sets the level, shown with a percent sign.
    program->MoveTrackbar(IDC_TB_BLUR, 20);
    EXPECT_EQ(program->ItemText(IDC_CB_BLUR), L"ぼかし (20%)");

    // Unchecking hides the trackbar and zeroes the value; checking again
    // takes the position it kept while hidden.
    const Screenshot withDensityJitter = program->Capture();
    program->Click(IDC_CB_DENSITY_JITTER);
    EXPECT_FALSE(program->Checked(IDC_CB_DENSITY_JITTER));
    EXPECT_EQ(program->ItemText(IDC_CB_DENSITY_JITTER), L"密度 (0%)");
    EXPECT_FALSE(program->Visible(IDC_TB_DENSITY_JITTER));
    EXPECT_GT(CountDifferent(program->Capture(), withDensityJitter, excluded), 0);
    program->Click(IDC_CB_DENSITY_JITTER);
    EXPECT_TRUE(program->Visible(IDC_TB_DENSITY_JITTER));
    EXPECT_EQ(program->ItemText(IDC_CB_DENSITY_JITTER), L"密度 (50%)");
    EXPECT_EQ(CountDifferent(program->Capture(), withDensityJitter, excluded), 0);
}

TEST_F(PanelE2E, ResetRestoresStartValuesClearsVariationAndKeepsGestures) {
    // Wine 8 cannot shape a layered window made of very many thin, separate
    // lines (the X request overflows and the program dies), so the values
    // here stay away from that.
    program->MoveTrackbar(IDC_TB_DENSITY, 200);
    program->MoveTrackbar(IDC_TB_THICKNESS, 60);
    program->MoveTrackbar(IDC_TB_RATIO, 600);
    program->MoveTrackbar(IDC_TB_RED, 200);
    program->MoveTrackbar(IDC_TB_ALPHA, 100);
    program->Click(IDC_CB_BLUR);
    CtrlWheel(-kWheelNotch);
    program->Settle();
    ASSERT_EQ(program->Position(IDC_TB_SPACE), 90) << "the wheel gesture reaches the hook";

    program->Click(IDC_RESET);
    const std::pair<int, int> positions[] = {{IDC_TB_DENSITY, 180}, {IDC_TB_THICKNESS, 50}, {IDC_TB_SPACE, 100},
                                             {IDC_TB_RATIO, 500},   {IDC_TB_RED, 0},        {IDC_TB_ALPHA, 255}};
    for (const auto& [id, position] : positions) EXPECT_EQ(program->Position(id), position) << id;
    EXPECT_EQ(program->ItemText(IDC_LB_DENSITY), L"密度\r\n180");
    EXPECT_EQ(program->ItemText(IDC_LB_THICKNESS), L"太さ\r\n50");
    EXPECT_EQ(program->ItemText(IDC_LB_SPACE), L"空間\r\n100");
    EXPECT_EQ(program->ItemText(IDC_LB_RATIO), L"比率\r\n0.00");
    EXPECT_EQ(program->ItemText(IDC_LB_RED), L"R\r\n0");
    EXPECT_EQ(program->ItemText(IDC_LB_ALPHA), L"A\r\n255");
    EXPECT_EQ(program->ItemText(IDC_COLOR_GROUP), L"色設定 (0xff000000)");
    const std::pair<int, const wchar_t*> boxes[] = {
        {IDC_CB_DENSITY_JITTER, L"密度 (0%)"}, {IDC_CB_THICKNESS_JITTER, L"太さ (0%)"},
        {IDC_CB_SPACE_JITTER, L"空間 (0%)"},   {IDC_CB_ALPHA_JITTER, L"透明度 (0%)"},
        {IDC_CB_BLUR, L"ぼかし (0%)"}};
    for (const auto& [id, text] : boxes) {
        EXPECT_EQ(program->ItemText(id), text) << id;
        EXPECT_FALSE(program->Checked(id)) << id;
    }
    for (int id : {IDC_TB_DENSITY_JITTER, IDC_TB_THICKNESS_JITTER, IDC_TB_SPACE_JITTER, IDC_TB_ALPHA_JITTER,
                   IDC_TB_BLUR}) {
        EXPECT_FALSE(program->Visible(id)) << id;
        EXPECT_EQ(program->Position(id), 1) << id;
    }

    // No variation reaches the renderer: a new pattern looks the same.
    const Screenshot afterReset = program->Capture();
    CtrlShift();
    program->Settle();
    EXPECT_EQ(CountDifferent(program->Capture(), afterReset, excluded), 0);

    // The hooks are back: the wheel still moves the space slider.
    CtrlWheel(kWheelNotch);
    program->Settle();
    EXPECT_EQ(program->Position(IDC_TB_SPACE), 110);

    // Checking a box now starts its variation at 1, where Reset left it.
    program->Click(IDC_CB_SPACE_JITTER);
    EXPECT_EQ(program->ItemText(IDC_CB_SPACE_JITTER), L"空間 (1%)");
}

TEST_F(PanelE2E, NewPatternGestureChangesTheVariedPicture) {
    // The counterpart of the check after Reset: with variation on, the same
    // gesture does change the picture, so an unchanged one means something.
    const Screenshot before = program->Capture();
    CtrlShift();
    program->Settle();
    EXPECT_GT(CountDifferent(program->Capture(), before, excluded), 0);
}

TEST_F(PanelE2E, ScrollFromAForeignWindowChangesNothing) {
    const Screenshot before = program->Capture();
    // A moved slider that nobody announced: a handler that read any
    // trackbar would pick it up.
    program->SetTrackbarOnly(IDC_TB_DENSITY, 10);
    HWND panel = program->Panel();
    const HWND foreign[] = {nullptr, panel, program->Overlay(), program->Item(IDC_LB_DENSITY),
                            program->Item(IDC_RESET)};
    for (HWND window : foreign) {
        SendMessageW(panel, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 10), reinterpret_cast<LPARAM>(window));
        EXPECT_EQ(program->ItemText(IDC_LB_DENSITY), L"密度\r\n180");
    }
    EXPECT_EQ(CountDifferent(program->Capture(), before, excluded), 0);

    // The same message from the trackbar itself does change things.
    SendMessageW(panel, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 10),
                 reinterpret_cast<LPARAM>(program->Item(IDC_TB_DENSITY)));
    EXPECT_EQ(program->ItemText(IDC_LB_DENSITY), L"密度\r\n10");
    EXPECT_GT(CountDifferent(program->Capture(), before, excluded), 0);
}

TEST_F(PanelE2E, WheelGestureMovesTheSpaceSliderOnly) {
    const Screenshot background = program->Background();
    const long centreBefore = CountMarked(program->Capture(), background, AroundCentre(200), excluded);
    CtrlWheel(kWheelNotch);
    CtrlWheel(kWheelNotch);
    program->Settle();
    EXPECT_EQ(program->Position(IDC_TB_SPACE), 120);
    EXPECT_EQ(program->ItemText(IDC_LB_SPACE), L"空間\r\n100") << "the label is not told";
    EXPECT_LT(CountMarked(program->Capture(), background, AroundCentre(200), excluded), centreBefore)
        << "a larger empty centre";

    CtrlWheel(-kWheelNotch);
    program->Settle();
    EXPECT_EQ(program->Position(IDC_TB_SPACE), 110);

    // Its remembered position is still the start value.
    program->Click(IDC_RESET);
    EXPECT_EQ(program->Position(IDC_TB_SPACE), 100);
}

TEST_F(PanelE2E, CancelAndUnknownCommandsDoNothing) {
    HWND panel = program->Panel();
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(program->Exited(500)) << "IDCANCEL does not close the panel";
    program->MoveTrackbar(IDC_TB_DENSITY, 20);
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(IDC_LB_DENSITY, 0), 0);
    EXPECT_EQ(program->ItemText(IDC_LB_DENSITY), L"密度\r\n20") << "unknown commands do nothing";
}

TEST_F(PanelE2E, ClosingThePanelEndsTheProgramWithZero) {
    EXPECT_EQ(program->CloseAndWait(), 0u);
    EXPECT_EQ(FindWindowW(kWindowClassName, kWindowClassName), nullptr) << "the overlay went with the process";
}

}  // namespace
}  // namespace qv::e2e
