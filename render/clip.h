// Every output made of pixels, one frame or many: a PNG or a numbered PNG
// sequence, an animated WebP, raw RGBA frames. Each pattern is rendered
// once, with one working memory for the whole run, and handed to the output
// for as many frames as it is held; nothing is kept unless all succeeded.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "options.h"
#include "random_source.h"
#include "surface.h"

namespace qv::render {

// The pixel buffer is the one allocation that can be huge (4 GiB at
// 32767x32767); it is asked for without throwing so a refusal becomes a
// message rather than an abort.
struct PixelBuffer {
    std::unique_ptr<std::uint32_t[]> storage;
    Surface surface;

    bool Allocate(std::int32_t width, std::int32_t height);
};

void ReportOutOfMemory(std::FILE* err, const RenderOptions& o);
void ReportUnwritable(std::FILE* err, const std::string& output, const std::string& reason);

// Writes the frames o asks for, frame i drawn with FrameSeed(firstSeed, i,
// o.hold). Failures are reported on err in one line; returns the exit code.
int WriteClip(const RenderOptions& o, std::uint32_t firstSeed, RandomSource& random, std::FILE* out,
              std::FILE* err, bool showProgress);

}  // namespace qv::render
