// Frame cost, side by side in one run: RenderFrame, the per-triangle
// reference rasteriser, cairo filling the very same triangles, and the floor
// (clearing the buffer and reading it once). Prints a table of medians and
// the ratios the speed goals are stated in.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "frame_accumulator.h"
#include "frame_composer.h"
#include "rasteriser.h"
#include "triangle_recorder.h"

namespace {

constexpr std::uint32_t kSeed = 20261207;

struct Scenario {
    const char* name;
    int width, height;
    int density;
    int alphaJitter;
    int blur;
    int space = -1;          // the start-up space unless set
    const char* plain = "";  // the same frame without blur, for the ratio
    double most = 0;         // the goal: at most this many times `plain`
};

// The defaults keep every start-up jitter; the density-500 frames keep the
// start-up angle, thickness and space jitter and set alpha jitter and blur
// as named.
const Scenario kScenarios[] = {
    {"defaults", 1920, 1080, -1, -1, -1},
    {"density500", 1920, 1080, 500, 0, 0},
    {"density500_alpha50", 1920, 1080, 500, 50, 0},
    {"density500_blur20", 1920, 1080, 500, 0, 20, -1, "density500", 2},
    {"density500_blur1", 1920, 1080, 500, 0, 1, -1, "density500", 3},
    {"density500_alpha50_blur1", 1920, 1080, 500, 50, 1, -1, "density500_alpha50", 3},
    {"4k_density500_blur20", 3840, 2160, 500, 0, 20},
    {"4k_space800", 3840, 2160, 500, 0, 0, 800},
    {"4k_space800_blur1", 3840, 2160, 500, 0, 1, 800, "4k_space800", 3},
};

qv::EffectSettings SettingsFor(const Scenario& s) {
    qv::EffectSettings e;
    qv::ApplyStartupDefaults(e);
    if (s.density >= 0) e.density = static_cast<std::uint16_t>(s.density);
    if (s.alphaJitter >= 0) e.alphaJitter = s.alphaJitter;
    if (s.blur >= 0) e.blurLevel = s.blur;
    if (s.space >= 0) e.space = static_cast<std::uint16_t>(s.space);
    e.centerX = s.width / 2;
    e.centerY = s.height / 2;
    return e;
}

std::uint32_t FixedTick() noexcept { return kSeed; }

qv::RandomSource SourceFor(const qv::EffectSettings& e) {
    qv::RandomSource r(&FixedTick);
    r.SetJitterRanges(e.densityJitter, e.thicknessJitter, e.spaceJitter, e.alphaJitter);
    return r;
}

struct Picture {
    explicit Picture(const Scenario& s)
        : pixels(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height)),
          surface{pixels.data(), pixels.size() * 4, s.width, s.height} {}
    std::vector<std::uint32_t> pixels;
    qv::Surface surface;
};

// On `threads` threads (0: as many as the machine runs); the goals are for
// one, and all of them, timed by the clock, are what a user waits.
void BM_RenderFrame(benchmark::State& state, Scenario s, unsigned threads) {
    const qv::EffectSettings e = SettingsFor(s);
    qv::RandomSource random = SourceFor(e);
    Picture p(s);
    std::uint8_t constantAlpha = 0;
    qv::FrameScratch scratch(threads);
    for (auto _ : state) {
        qv::RenderFrame(qv::kNewPatternSelector, e, random, p.surface, constantAlpha, scratch);
        benchmark::DoNotOptimize(p.pixels.data());
        benchmark::ClobberMemory();
    }
}

// The general per-triangle source-over sink, kept as the reference path.
void BM_ReferenceRasteriser(benchmark::State& state, Scenario s) {
    const qv::EffectSettings e = SettingsFor(s);
    qv::RandomSource random = SourceFor(e);
    Picture p(s);
    std::uint8_t constantAlpha = 0;
    for (auto _ : state) {
        qv::SurfaceRasteriser sink(p.surface);
        qv::RenderFrame(qv::kNewPatternSelector, e, random, s.width, s.height, constantAlpha, sink);
        benchmark::DoNotOptimize(p.pixels.data());
        benchmark::ClobberMemory();
    }
}

void BM_Cairo(benchmark::State& state, Scenario s) {
    const qv::EffectSettings e = SettingsFor(s);
    qv::RandomSource random = SourceFor(e);
    qv::TriangleRecorder recorder;
    std::uint8_t constantAlpha = 0;
    qv::RenderFrame(qv::kNewPatternSelector, e, random, s.width, s.height, constantAlpha, recorder);
    Picture p(s);
    cairo_surface_t* surface =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(p.pixels.data()),
                                            CAIRO_FORMAT_ARGB32, s.width, s.height, s.width * 4);
    cairo_t* cr = cairo_create(surface);
    for (auto _ : state) {
        std::memset(p.pixels.data(), 0, p.surface.byteSize);
        cairo_surface_mark_dirty(surface);
        for (const qv::RecordedPass& pass : recorder.passes) {
            for (const qv::Triangle& t : pass.triangles) {
                // Integer vertices at pixel centres, as our rasteriser places them.
                cairo_move_to(cr, t.tipX + 0.5, t.tipY + 0.5);
                cairo_line_to(cr, t.c1X + 0.5, t.c1Y + 0.5);
                cairo_line_to(cr, t.c2X + 0.5, t.c2Y + 0.5);
                cairo_close_path(cr);
                cairo_set_source_rgba(cr, ((t.argb >> 16) & 0xFF) / 255.0, ((t.argb >> 8) & 0xFF) / 255.0,
                                      (t.argb & 0xFF) / 255.0, (t.argb >> 24) / 255.0);
                cairo_fill(cr);
            }
        }
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(p.pixels.data());
        benchmark::ClobberMemory();
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

// Clearing the buffer and reading it once: no frame can cost less.
void BM_Floor(benchmark::State& state, Scenario s) {
    Picture p(s);
    for (auto _ : state) {
        std::memset(p.pixels.data(), 0, p.surface.byteSize);
        benchmark::ClobberMemory();
        std::uint32_t sum = 0;
        for (std::uint32_t v : p.pixels) sum |= v;
        benchmark::DoNotOptimize(sum);
    }
}

// Collects the medians while the console reporter prints as usual.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                std::string name = r.run_name.function_name;
                // In the unit set, ms; the frames on all threads by the clock.
                medians[name] =
                    name.rfind("threads/", 0) == 0 ? r.GetAdjustedRealTime() : r.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

double Find(const std::map<std::string, double>& m, const std::string& key) {
    const auto it = m.find(key);
    return it == m.end() ? -1.0 : it->second;
}

std::string Ms(double v) {
    if (v < 0) return "-";
    char buf[32];
    std::snprintf(buf, sizeof buf, v < 10 ? "%.2f" : "%.1f", v);
    return buf;
}

std::string Times(double num, double den) {
    if (num < 0 || den <= 0) return "-";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1fx", num / den);
    return buf;
}

void PrintTable(const std::map<std::string, double>& m, bool withReference) {
    const double floor1080 = Find(m, "floor/1920x1080");
    std::printf(
        "\n| Frame | RenderFrame ms | all %u threads, wall ms | cairo ms | cairo / "
        "RenderFrame "
        "|%s Measure | Goal |\n",
        std::thread::hardware_concurrency(), withReference ? " reference rasteriser ms |" : "");
    std::printf("|---|---:|---:|---:|---:|%s---:|---|\n", withReference ? "---:|" : "");
    double worst1080 = -1, worst4k = -1;  // "-" where no frame of the size ran
    for (const Scenario& s : kScenarios) {
        const std::string n = s.name;
        const double ours = Find(m, "RenderFrame/" + n);
        const double cairo = Find(m, "cairo/" + n);
        (s.width > 1920 ? worst4k : worst1080) = std::max(s.width > 1920 ? worst4k : worst1080, ours);
        std::string measure, goal;
        if (n == "defaults") {
            measure = Times(ours, floor1080) + " floor";
            goal = "<= 8x floor";
        } else if (s.most > 0) {
            const double plain = Find(m, "RenderFrame/" + std::string(s.plain));
            measure = Times(ours, plain) + " " + s.plain;
            char buf[64];
            std::snprintf(buf, sizeof buf, "<= %.0fx %s", s.most, s.plain);
            goal = buf;
            if (n == "density500_blur1") goal += ", >= 90x cairo";
        } else if (n == "density500" || n == "density500_alpha50") {
            measure = Ms(ours) + " ms";
            goal = "<= 15 ms, >= 10x cairo";
        } else {
            measure = Ms(ours) + " ms";
            goal = s.width > 1920 ? "< 100 ms" : "< 33 ms";
        }
        std::printf("| %s | %s | %s | %s | %s |", n.c_str(), Ms(ours).c_str(),
                    Ms(Find(m, "threads/" + n)).c_str(), Ms(cairo).c_str(), Times(cairo, ours).c_str());
        if (withReference) std::printf(" %s |", Ms(Find(m, "reference/" + n)).c_str());
        std::printf(" %s | %s |\n", measure.c_str(), goal.c_str());
    }
    const std::string extra = withReference ? " |" : "";
    std::printf("| floor 1920x1080 | %s | | | |%s | |\n", Ms(floor1080).c_str(), extra.c_str());
    std::printf("| floor 3840x2160 | %s | | | |%s | |\n", Ms(Find(m, "floor/3840x2160")).c_str(),
                extra.c_str());
    std::printf("| worst frame 1920x1080 | %s | | | |%s | readout: < 33 ms |\n", Ms(worst1080).c_str(),
                extra.c_str());
    std::printf("| worst frame 3840x2160 | %s | | | |%s | readout: < 100 ms |\n", Ms(worst4k).c_str(),
                extra.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    // --no-cairo and --with-reference are ours; the rest go
    // to the library.
    bool withCairo = true;
    bool withReference = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-cairo") == 0) {
            withCairo = false;
        } else if (std::strcmp(argv[i], "--with-reference") == 0) {
            withReference = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());

    for (const Scenario& s : kScenarios) {
        benchmark::RegisterBenchmark(("RenderFrame/" + std::string(s.name)).c_str(), BM_RenderFrame, s, 1u)
            ->Unit(benchmark::kMillisecond);
        if (s.blur > 0) {
            benchmark::RegisterBenchmark(("threads/" + std::string(s.name)).c_str(), BM_RenderFrame, s, 0u)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        if (withCairo) {
            benchmark::RegisterBenchmark(("cairo/" + std::string(s.name)).c_str(), BM_Cairo, s)
                ->Unit(benchmark::kMillisecond);
        }
        if (withReference) {
            benchmark::RegisterBenchmark(("reference/" + std::string(s.name)).c_str(), BM_ReferenceRasteriser,
                                         s)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::RegisterBenchmark("floor/1920x1080", BM_Floor, kScenarios[0])->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("floor/3840x2160", BM_Floor, kScenarios[6])->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&count, args.data());
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintTable(reporter.medians, withReference);
    benchmark::Shutdown();
    return 0;
}
