#include "clip.h"

#include <algorithm>
#include <new>
#include <vector>

#include "atomic_file.h"
#include "frame_composer.h"
#include "interrupt.h"
#include "progress.h"
#include "renderer.h"
#include "sequence.h"
#include "webp_clip.h"
#include "writers.h"

namespace qv::render {

namespace {

constexpr std::size_t kBytesPerMiB = std::size_t{1} << 20;
constexpr char kInterrupted[] = "interrupted";

// Where a clip's frames go. Prepare opens before any work, so a folder that
// cannot take the output is reported at once; destruction before Finish
// leaves nothing new behind.
class FrameOutput {
public:
    virtual ~FrameOutput() = default;
    virtual bool Prepare(std::string& error) = 0;
    // The picture of frames first .. first + count - 1.
    virtual bool Pattern(const Surface& surface, std::uint8_t constantAlpha, int first, int count,
                         std::string& error) = 0;
    virtual bool Finish(std::string& error) = 0;
    // The name a failure is about.
    virtual std::string FailedName() const { return output_; }

protected:
    explicit FrameOutput(std::string output) : output_(std::move(output)) {}
    bool ToStdout() const { return output_ == kStdoutName; }
    std::string output_;
};

// One PNG a frame, encoded once a pattern.
class PngFrames final : public FrameOutput {
public:
    PngFrames(const RenderOptions& o, std::FILE* out)
        : FrameOutput(o.output), pattern_(o.frameNames), out_(out) {}

    bool Prepare(std::string& error) override { return ToStdout() || Open(0, error); }

    bool Pattern(const Surface& surface, std::uint8_t constantAlpha, int first, int count,
                 std::string& error) override {
        if (!EncodePng(surface, constantAlpha, bytes_, error)) return false;
        if (ToStdout()) return WriteBytes(bytes_, out_, error);
        for (int frame = first; frame < first + count; ++frame) {
            if (frame != 0 && !Open(frame, error)) return false;
            if (!WriteBytes(bytes_, files_.current(), error)) {
                failed_ = Name(frame);
                return false;
            }
            if (!files_.CloseCurrent()) return Failed(error);
        }
        return true;
    }

    bool Finish(std::string& error) override { return ToStdout() || files_.Commit() || Failed(error); }
    std::string FailedName() const override { return failed_.empty() ? output_ : failed_; }

private:
    std::string Name(int frame) const { return pattern_ ? FrameFileName(*pattern_, frame) : output_; }
    bool Open(int frame, std::string& error) { return files_.Open(Name(frame)) || Failed(error); }
    bool Failed(std::string& error) {
        error = files_.error();
        failed_ = files_.failedTarget();
        return false;
    }

    std::optional<FrameNamePattern> pattern_;
    std::FILE* out_;
    AtomicFileSet files_;
    std::vector<std::uint8_t> bytes_;
    std::string failed_;
};

// The outputs that are one file (or standard output) for the whole clip.
class SingleFileOutput : public FrameOutput {
public:
    bool Prepare(std::string& error) override {
        if (ToStdout()) return true;
        if (!file_.Open(output_)) {
            error = file_.error();
            return false;
        }
        stream_ = file_.stream();
        return true;
    }

protected:
    SingleFileOutput(const RenderOptions& o, std::FILE* out) : FrameOutput(o.output), stream_(out) {}

    bool Commit(std::string& error) {
        if (ToStdout() || file_.Commit()) return true;
        error = file_.error();
        return false;
    }

    AtomicFile file_;
    std::FILE* stream_;
    std::vector<std::uint8_t> rgba_;
};

// W x H x 4 straight RGBA bytes a frame, no header.
class RawFrames final : public SingleFileOutput {
public:
    RawFrames(const RenderOptions& o, std::FILE* out) : SingleFileOutput(o, out) {}

    bool Pattern(const Surface& surface, std::uint8_t constantAlpha, int, int count,
                 std::string& error) override {
        StraightRgba(surface, constantAlpha, rgba_);
        for (int i = 0; i < count; ++i) {
            if (!WriteBytes(rgba_, stream_, error)) return false;
        }
        return true;
    }
    bool Finish(std::string& error) override { return Commit(error); }
};

// Built in memory by libwebp and written only when whole.
class WebpFrames final : public SingleFileOutput {
public:
    WebpFrames(const RenderOptions& o, std::FILE* out) : SingleFileOutput(o, out), options_(o) {}

    bool Prepare(std::string& error) override {
        return SingleFileOutput::Prepare(error) &&
               clip_.Start(options_.width, options_.height, options_.fps, error);
    }
    bool Pattern(const Surface& surface, std::uint8_t constantAlpha, int first, int,
                 std::string& error) override {
        StraightRgba(surface, constantAlpha, rgba_);
        return clip_.Add(rgba_, first, error);
    }
    bool Finish(std::string& error) override {
        std::vector<std::uint8_t> file;
        // Assembling a long clip takes a while; Ctrl+C during it still counts.
        return clip_.Finish(options_.frames, file, error) && !InterruptGuard::Interrupted() &&
               WriteBytes(file, stream_, error) && Commit(error);
    }

private:
    const RenderOptions& options_;
    WebpClip clip_;
};

std::unique_ptr<FrameOutput> MakeOutput(const RenderOptions& o, std::FILE* out) {
    switch (o.format) {
        case OutputFormat::kWebp:
            return std::make_unique<WebpFrames>(o, out);
        case OutputFormat::kRgba:
            return std::make_unique<RawFrames>(o, out);
        default:
            return std::make_unique<PngFrames>(o, out);
    }
}

}  // namespace

bool PixelBuffer::Allocate(std::int32_t width, std::int32_t height) {
    const std::size_t bytes = SurfaceByteSize(width, height);
    storage.reset(new (std::nothrow) std::uint32_t[bytes / sizeof(std::uint32_t)]);
    if (!storage) return false;
    surface = Surface{storage.get(), bytes, width, height};
    return true;
}

void ReportOutOfMemory(std::FILE* err, const RenderOptions& o) {
    std::fprintf(err,
                 "%s: not enough memory for a %dx%d picture (%zu MiB of pixels); try a smaller --size, "
                 "or --format svg or json, which need no pixels\n",
                 kProgram, o.width, o.height, SurfaceByteSize(o.width, o.height) / kBytesPerMiB);
}

void ReportUnwritable(std::FILE* err, const std::string& output, const std::string& reason) {
    std::fprintf(err, "%s: -o/--output: cannot write '%s': %s\n", kProgram,
                 output == kStdoutName ? "standard output" : output.c_str(), reason.c_str());
}

int WriteClip(const RenderOptions& o, std::uint32_t firstSeed, RandomSource& random, std::FILE* out,
              std::FILE* err, bool showProgress) {
    PixelBuffer pixels;
    if (!pixels.Allocate(o.width, o.height)) {
        ReportOutOfMemory(err, o);
        return kExitFailure;
    }
    const std::unique_ptr<FrameOutput> output = MakeOutput(o, out);
    std::string error;
    if (!output->Prepare(error)) {
        ReportUnwritable(err, output->FailedName(), error);
        return kExitBadInput;
    }
    FrameScratch scratch;  // one working memory for every frame
    Progress progress(err, showProgress, o.frames);
    bool ok = true;
    for (int first = 0; ok && first < o.frames && !InterruptGuard::Interrupted(); first += o.hold) {
        random.SeedWith(FrameSeed(firstSeed, first, o.hold));
        std::uint8_t constantAlpha = 0;
        RenderFrame(kReplaySelector, o.settings, random, pixels.surface, constantAlpha, scratch);
        const int count = std::min(o.hold, o.frames - first);
        ok = output->Pattern(pixels.surface, constantAlpha, first, count, error);
        progress.FramesDone(first + count);
    }
    ok = ok && !InterruptGuard::Interrupted() && output->Finish(error);
    progress.Clear();
    if (ok) return kExitOk;  // even if a signal came while the files were renamed
    if (InterruptGuard::Interrupted()) {
        std::fprintf(err, "%s: %s; %s\n", kProgram, kInterrupted,
                     o.output == kStdoutName ? "standard output has the frames written so far"
                                             : "no new file was kept");
    } else {
        ReportUnwritable(err, output->FailedName(), error);
    }
    return kExitBadInput;
}

}  // namespace qv::render
