// quorvane.exe's resources read back the way Explorer reads them: the
// version resource through the version API in both string tables, and icon
// group 1 with its seven images. QV_QUORVANE_EXE points it at a released
// copy (scripts/test-package), otherwise it reads the build's own.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "panel_e2e_support.h"

#ifndef QV_VERSION
#error "QV_VERSION must come from the build"
#endif

namespace qv::e2e {
namespace {

#define QV_WIDEN2(s) L##s
#define QV_WIDEN(s) QV_WIDEN2(s)
constexpr wchar_t kVersion[] = QV_WIDEN(QV_VERSION);

class VersionInfo {
public:
    explicit VersionInfo(const std::wstring& path) {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        if (size == 0) return;
        data_.resize(size);
        if (!GetFileVersionInfoW(path.c_str(), 0, size, data_.data())) data_.clear();
    }

    bool Loaded() const { return !data_.empty(); }

    // One string of the table for a language and code page, "" if absent.
    std::wstring String(const wchar_t* table, const wchar_t* name) const {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), query.c_str(), &value, &length) || length == 0) return L"";
        return static_cast<const wchar_t*>(value);
    }

    const VS_FIXEDFILEINFO* Fixed() const {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    // The declared translations as 0xLLLLCCCC (language, code page).
    std::set<DWORD> Translations() const {
        void* value = nullptr;
        UINT length = 0;
        std::set<DWORD> result;
        if (!VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &value, &length)) return result;
        const WORD* words = static_cast<const WORD*>(value);
        for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) result.insert(MAKELONG(words[i + 1], words[i]));
        return result;
    }

private:
    std::vector<BYTE> data_;
};

TEST(Resources, VersionResourceCarriesTheBuildVersionInEnglishAndJapanese) {
    const VersionInfo info(QuorvanePath());
    ASSERT_TRUE(info.Loaded()) << "no version resource";

    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    wchar_t numeric[64] = {};
    swprintf(numeric, 64, L"%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
             HIWORD(fixed->dwFileVersionLS));
    EXPECT_STREQ(numeric, kVersion) << "the numeric file version";
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    EXPECT_EQ(info.Translations(), (std::set<DWORD>{0x040904B0, 0x041104B0}));
    for (const wchar_t* table : {L"040904B0", L"041104B0"}) {
        SCOPED_TRACE(table);
        EXPECT_EQ(info.String(table, L"ProductName"), L"Quorvane");
        EXPECT_EQ(info.String(table, L"FileVersion"), kVersion);
        EXPECT_EQ(info.String(table, L"ProductVersion"), kVersion);
        EXPECT_EQ(info.String(table, L"OriginalFilename"), L"quorvane.exe");
        EXPECT_NE(info.String(table, L"LegalCopyright").find(L"The Quorvane authors"), std::wstring::npos);
    }
    EXPECT_EQ(info.String(L"040904B0", L"FileDescription"), L"Quorvane focus-line overlay");
    // Decoded from the script's UTF-8, not taken byte by byte.
    EXPECT_EQ(info.String(L"041104B0", L"FileDescription"), L"Quorvane 集中線オーバーレイ");
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;  // 0 means 256
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved;
    WORD type;  // 1: icon
    WORD count;
};
#pragma pack(pop)

TEST(Resources, IconGroupOneHoldsTheSevenSizesAndLoads) {
    HMODULE module = LoadLibraryExW(QuorvanePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    ASSERT_NE(group, nullptr) << "no icon group 1: Explorer and the taskbar would show a blank icon";
    const auto* header = static_cast<const GroupIconHeader*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(header, nullptr);
    ASSERT_EQ(header->type, 1);
    ASSERT_GE(SizeofResource(module, group), sizeof(GroupIconHeader) + header->count * sizeof(GroupIconEntry));

    const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
    std::set<int> sizes;
    for (WORD i = 0; i < header->count; ++i) {
        const int side = entries[i].width == 0 ? 256 : entries[i].width;
        EXPECT_EQ(entries[i].width, entries[i].height);
        EXPECT_EQ(entries[i].bitCount, 32) << side << " px";
        EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(entries[i].id), MAKEINTRESOURCEW(3) /* RT_ICON */),
                  nullptr)
            << side << " px image missing";
        sizes.insert(side);
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 24, 32, 48, 64, 128, 256}));

    // The smallest and the largest (stored as PNG) as the shell loads them.
    for (int side : {16, 256}) {
        HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, side, side, 0));
        EXPECT_NE(icon, nullptr) << side << " px";
        if (icon != nullptr) DestroyIcon(icon);
    }
    FreeLibrary(module);
}

}  // namespace
}  // namespace qv::e2e
