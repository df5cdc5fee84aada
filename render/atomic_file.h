// A file that appears whole or not at all: everything goes to a temporary
// file beside the target, which is renamed over it only after the last byte
// was written and the stream closed without error. A target that is a device
// or a pipe (/dev/stdout, /dev/null, a FIFO) cannot be replaced, so it is
// written directly; a symbolic link is followed, so the link survives.
#pragma once

#include <cstdio>
#include <string>

namespace qv::render {

class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();  // removes the temporary file unless committed

    // Creates the temporary file. False, with a reason in error(), when the
    // target's folder cannot take a new file.
    bool Open(const std::string& target);

    std::FILE* stream() const noexcept { return file_; }

    // Flushes, closes and renames into place. False, with the temporary
    // removed and a reason in error(), on any failure along the way.
    bool Commit();

    // Drops what was written; the target is untouched.
    void Discard() noexcept;

    const std::string& error() const noexcept { return error_; }
    const std::string& temporaryPath() const noexcept { return tempPath_; }

private:
    std::FILE* file_ = nullptr;
    bool direct_ = false;  // writing into a device or pipe, no rename
    std::string target_;
    std::string tempPath_;
    std::string error_;
};

}  // namespace qv::render
