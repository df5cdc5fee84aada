#include "renderer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>

#include "atomic_file.h"
#include "clip.h"
#include "frame_composer.h"
#include "interrupt.h"
#include "random_source.h"
#include "surface.h"
#include "triangle_recorder.h"
#include "writers.h"

#ifndef QV_VERSION
#error "QV_VERSION must come from the build"
#endif

namespace qv::render {

namespace {

int RunBench(const RenderOptions& o, RandomSource& random, std::FILE* out, std::FILE* err) {
    PixelBuffer pixels;
    if (!pixels.Allocate(o.width, o.height)) {
        ReportOutOfMemory(err, o);
        return kExitFailure;
    }
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(o.benchFrames));
    std::uint8_t constantAlpha = 0;
    FrameScratch scratch;  // kept across frames, as a running overlay keeps it
    for (int i = 0; i < o.benchFrames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        RenderFrame(kReplaySelector, o.settings, random, pixels.surface, constantAlpha, scratch);
        const auto stop = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    std::fprintf(out, "median %.3f ms per frame (%d frames at %dx%d)\n", MedianMilliseconds(samples),
                 o.benchFrames, o.width, o.height);
    return std::fflush(out) == 0 ? kExitOk : kExitFailure;
}

// The vector outputs into the stream; false with a reason when it refused.
bool WriteVector(const RenderOptions& o, RandomSource& random, std::FILE* stream, std::string& reason) {
    std::uint8_t constantAlpha = 0;
    TriangleRecorder recorder;
    RenderFrame(kReplaySelector, o.settings, random, o.width, o.height, constantAlpha, recorder);
    const bool written =
        o.format == OutputFormat::kSvg
            ? WriteSvg(recorder.passes, o.width, o.height, constantAlpha, stream)
            : WriteJson(recorder.passes, o.width, o.height, random.storedSeed, constantAlpha, stream);
    if (!written) reason = std::string("write failed: ") + std::strerror(errno);
    return written;
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, TickSource tick) {
    const ParseResult parsed = ParseArguments(args);
    switch (parsed.status) {
        case ParseStatus::kError:
            std::fprintf(err, "%s: %s\n", kProgram, parsed.error.c_str());
            return kExitBadInput;
        case ParseStatus::kHelp:
            std::fputs(HelpText().c_str(), out);
            return kExitOk;
        case ParseStatus::kVersion:
            std::fprintf(out, "%s %s\n", kProgram, QV_VERSION);
            return kExitOk;
        case ParseStatus::kRun:
            break;
    }
    const RenderOptions& o = parsed.options;

    // The constructor takes a seed from the tick count; --seed replaces it.
    // Every frame then replays the stored seed.
    RandomSource random(tick);
    if (o.seed) random.SeedWith(*o.seed);
    random.SetJitterRanges(o.settings.densityJitter, o.settings.thicknessJitter, o.settings.spaceJitter,
                           o.settings.alphaJitter);
    const std::uint32_t seed = random.storedSeed;
    // Told only once the work succeeded, so a failure stays one line.
    auto tellSeed = [&] {
        if (o.seed || o.quiet) return;
        std::fprintf(err, "%s: seed %u (--seed %u makes %s again)\n", kProgram, static_cast<unsigned>(seed),
                     static_cast<unsigned>(seed), o.frames == 1 ? "this picture" : "these frames");
    };

    if (o.benchFrames > 0) {
        const int status = RunBench(o, random, out, err);
        if (status == kExitOk) tellSeed();
        return status;
    }

    const InterruptGuard guard;
    if (o.format != OutputFormat::kSvg && o.format != OutputFormat::kJson) {
        const bool showProgress = !o.quiet && isatty(fileno(err)) != 0;
        const int status = WriteClip(o, seed, random, out, err, showProgress);
        if (status == kExitOk) tellSeed();
        return status;
    }

    // The output is opened before the work starts, so a folder that cannot
    // take the file is reported at once.
    AtomicFile file;
    std::FILE* stream = out;
    if (o.output != kStdoutName) {
        if (!file.Open(o.output)) {
            ReportUnwritable(err, o.output, file.error());
            return kExitBadInput;
        }
        stream = file.stream();
    }
    std::string reason;
    if (!WriteVector(o, random, stream, reason) || InterruptGuard::Interrupted()) {
        file.Discard();
        ReportUnwritable(err, o.output, InterruptGuard::Interrupted() ? "interrupted" : reason);
        return kExitBadInput;
    }
    if (o.output != kStdoutName && !file.Commit()) {
        ReportUnwritable(err, o.output, file.error());
        return kExitBadInput;
    }
    tellSeed();
    return kExitOk;
}

}  // namespace

double MedianMilliseconds(std::vector<double> samples) {
    if (samples.empty()) return 0.0;
    const std::size_t mid = samples.size() / 2;
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(mid), samples.end());
    const double upper = samples[mid];
    if (samples.size() % 2 != 0) return upper;
    const double lower =
        *std::max_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(mid));
    return (lower + upper) / 2.0;
}

int RunRenderer(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, TickSource tick) {
    try {
        return Run(args, out, err, tick);
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "%s: not enough memory\n", kProgram);
        return kExitFailure;
    }
}

}  // namespace qv::render
