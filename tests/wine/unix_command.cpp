#include "unix_command.h"

#ifndef UNICODE
#define UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace qv::e2e {
namespace {

constexpr unsigned kPollMs = 50;

bool WriteWholeFile(const std::string& unixPath, const std::string& text) {
    std::ofstream out(std::filesystem::path(WinePath(unixPath)), std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string WorkDir() {
    std::string dir = Env("QV_E2E_DIR");
    if (dir.empty()) dir = "/tmp/qv-e2e-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryW(WinePath(dir).c_str(), nullptr);
    return dir;
}

std::wstring WinePath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

int RunUnix(const std::string& script, unsigned timeoutMs) {
    static int serial = 0;
    const std::string base = WorkDir() + "/cmd" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    const std::string status = base + ".status";
    // The status file appears whole: written aside, then renamed.
    const std::string text = "#!/bin/sh\n(\n" + script + "\n) >" + base + ".log 2>&1\necho $? >" + status +
                             ".tmp\nmv " + status + ".tmp " + status + "\n";
    if (!WriteWholeFile(base + ".sh", text)) return -1;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"/bin/sh " + std::wstring(base.begin(), base.end()) + L".sh";
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    if (info.hThread != nullptr) CloseHandle(info.hThread);
    if (info.hProcess != nullptr) CloseHandle(info.hProcess);

    for (unsigned waited = 0; waited < timeoutMs; waited += kPollMs) {
        std::vector<std::uint8_t> bytes;
        if (ReadWholeFile(status, bytes) && !bytes.empty())
            return std::atoi(std::string(bytes.begin(), bytes.end()).c_str());
        Sleep(kPollMs);
    }
    return -1;
}

bool ReadWholeFile(const std::string& unixPath, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(std::filesystem::path(WinePath(unixPath)), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace qv::e2e
