#include "atomic_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
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
    error_.clear();
    target_ = target;
    if (target.empty() || target.back() == '/') {
        error_ = "not a file name";
        return false;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path path(target);
    const fs::file_status status = fs::status(path, ec);  // follows links
    if (!ec && fs::is_directory(status)) {
        error_ = "is a directory";
        return false;
    }
    if (!ec && fs::exists(status) && !fs::is_regular_file(status)) {
        errno = 0;
        file_ = std::fopen(target.c_str(), "wb");
        if (file_ == nullptr) {
            error_ = errno != 0 ? std::strerror(errno) : "cannot open";
            return false;
        }
        direct_ = true;
        return true;
    }
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path resolved = fs::canonical(path, ec);
        if (!ec) target_ = resolved.string();
    }

    std::random_device entropy;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = TemporaryNameFor(target_, static_cast<std::uint32_t>(entropy()));
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

bool AtomicFile::Close() {
    if (file_ == nullptr) {
        if (tempPath_.empty() && !direct_ && error_.empty()) error_ = "not open";
        return error_.empty();
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
    return true;
}

bool AtomicFile::Commit() {
    if (!Close()) return false;
    if (direct_) {
        direct_ = false;
        return true;
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
    direct_ = false;
    if (!tempPath_.empty()) {
        std::remove(tempPath_.c_str());
        tempPath_.clear();
    }
}

}  // namespace qv::render

namespace qv::render {

bool AtomicFileSet::Fail(const AtomicFile& file, const std::string& target) {
    error_ = file.error();
    failedTarget_ = target;
    Discard();
    return false;
}

bool AtomicFileSet::Open(const std::string& target) {
    files_.push_back(std::make_unique<AtomicFile>());
    targets_.push_back(target);
    if (!files_.back()->Open(target)) return Fail(*files_.back(), target);
    return true;
}

bool AtomicFileSet::CloseCurrent() {
    if (files_.empty()) return true;
    if (!files_.back()->Close()) return Fail(*files_.back(), targets_.back());
    return true;
}

bool AtomicFileSet::Commit() {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (!files_[i]->Commit()) return Fail(*files_[i], targets_[i]);
    }
    files_.clear();
    targets_.clear();
    return true;
}

void AtomicFileSet::Discard() noexcept {
    for (auto& file : files_) file->Discard();
    files_.clear();
    targets_.clear();
}

}  // namespace qv::render
