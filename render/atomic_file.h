// A file that appears whole or not at all: everything goes to a temporary
// file beside the target, which is renamed over it only after the last byte
// was written and the stream closed without error. A target that is a device
// or a pipe (/dev/stdout, /dev/null, a FIFO) cannot be replaced, so it is
// written directly; a symbolic link is followed, so the link survives.
// AtomicFileSet does the same for the many files of one run: none of them
// replaces its target until every one was written.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

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

    // Flushes and closes, keeping the temporary for Commit. False, with the
    // temporary removed and a reason in error(), when a byte was lost.
    bool Close();

    // Closes if still open, then renames into place. False, with the
    // temporary removed and a reason in error(), on any failure along the way.
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

class AtomicFileSet {
public:
    // Starts the next file; its stream is current() until CloseCurrent.
    // False, with a reason in error() and the target in failedTarget().
    bool Open(const std::string& target);
    std::FILE* current() const noexcept { return files_.empty() ? nullptr : files_.back()->stream(); }
    bool CloseCurrent();

    // Renames every file into place in the order opened. A rename that fails
    // stops there and removes the temporaries not yet renamed.
    bool Commit();
    void Discard() noexcept;  // also what destruction does before Commit

    const std::string& error() const noexcept { return error_; }
    const std::string& failedTarget() const noexcept { return failedTarget_; }

private:
    bool Fail(const AtomicFile& file, const std::string& target);

    // Each file holds only its names once closed, so thousands stay cheap.
    std::vector<std::unique_ptr<AtomicFile>> files_;
    std::vector<std::string> targets_;
    std::string error_;
    std::string failedTarget_;
};

}  // namespace qv::render
