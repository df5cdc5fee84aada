// The whole renderer behind main(): parse, seed, render, write, report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "tick_source.h"

namespace qv::render {

inline constexpr char kProgram[] = "quorvane-render";  // how its messages begin
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;   // the picture could not be made (memory)
inline constexpr int kExitBadInput = 2;  // bad flags, or an output that cannot be written

// args excludes the program name. The picture (or, with -o -, its bytes)
// and the help go to out; complaints and the seed line go to err.
int RunRenderer(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                TickSource tick = &SteadyTickCount);

// Median of per-frame times, in milliseconds; the middle pair averaged.
double MedianMilliseconds(std::vector<double> samples);

}  // namespace qv::render
