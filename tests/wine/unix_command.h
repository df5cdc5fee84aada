// Running Unix programs (ImageMagick, the headless renderer) from a test
// that runs under Wine, and reading the Unix side's files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::e2e {

// A directory for the test's files, as a Unix path: $QV_E2E_DIR, or a
// directory under /tmp.
std::string WorkDir();

// The Windows path of a Unix path (Wine's Z: drive is the Unix root).
std::wstring WinePath(const std::string& unixPath);

// Runs a shell script on the Unix side and returns its exit status, or -1
// when it did not finish in time. Wine starts Unix programs but gives no
// handle to wait on, so the script reports its status through a file.
int RunUnix(const std::string& script, unsigned timeoutMs = 60000);

bool ReadWholeFile(const std::string& unixPath, std::vector<std::uint8_t>& bytes);

// The value of an environment variable, or "".
std::string Env(const char* name);

}  // namespace qv::e2e
