#include "atomic_file.h"

#include <cerrno>
#include <cstring>
#include <random>

namespace qv::render {

namespace {

constexpr int kNameAttempts = 16;

// ".name.XXXXXXXX.tmp" in the target's folder, so the rename stays on one
// file system and is atomic.
std::string TemporaryNameFor(const std::string& target, std::uint32_t salt) {
    const std::size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(salt));
    return folder + "." + name + suffix;
}

}  // namespace

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Open(const std::string& target) {
    Discard();
    target_ = target;
    if (target.empty() || target.back() == '/') {
        error_ = "not a file name";
        return false;
    }
    std::random_device entropy;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = TemporaryNameFor(target, static_cast<std::uint32_t>(entropy()));
        // "x": never open, and later rename, a file someone else made.
        errno = 0;
        file_ = std::fopen(candidate.c_str(), "wbx");
        if (file_ != nullptr) {
            tempPath_ = std::move(candidate);
            return true;
        }
        if (errno != EEXIST) break;
    }
    error_ = errno != 0 ? std::strerror(errno) : "cannot create a temporary file";
    return false;
}

bool AtomicFile::Commit() {
    if (file_ == nullptr) {
        if (error_.empty()) error_ = "not open";
        return false;
    }
    const bool written = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    const int writeErrno = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed) {
        error_ = std::strerror(written ? errno : writeErrno);
        Discard();
        return false;
    }
    if (std::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        error_ = std::strerror(errno);
        Discard();
        return false;
    }
    tempPath_.clear();
    return true;
}

void AtomicFile::Discard() noexcept {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tempPath_.empty()) {
        std::remove(tempPath_.c_str());
        tempPath_.clear();
    }
}

}  // namespace qv::render
