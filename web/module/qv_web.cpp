// The engine's entry points for the page's worker: a frame as straight RGBA
// bytes (the renderer's PNG pixels), the same frame as SVG or JSON text, the
// seed of an animation frame, and the panel's texts, ranges and defaults as
// JSON so the page shows exactly the panel's words.
//
// The worker fills the request block (kRequestFields, in that order) and
// calls a draw function; what it returns stays valid until the next call.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "effect_settings.h"
#include "focus_lines.h"
#include "frame_composer.h"
#include "options.h"
#include "panel_labels.h"
#include "panel_layout.h"
#include "panel_rules.h"
#include "random_source.h"
#include "sequence.h"
#include "surface.h"
#include "triangle_recorder.h"
#include "writers.h"

namespace {

using namespace qv;

// The request block: the picture, the seed, the centre, then the thirteen
// panel slots in slot order.
enum RequestField : int { kWidth, kHeight, kSeed, kCenterX, kCenterY, kFirstSlot };
constexpr int kRequestFieldCount = kFirstSlot + panel::kSlotCount;
constexpr const char* kRequestFields[kFirstSlot] = {"width", "height", "seed", "centerX", "centerY"};

// The address's words for the slots: the renderer's flag names. The colour
// bytes travel together as color=RRGGBB, so their own names are the panel's.
constexpr const char* kSlotFlags[panel::kSlotCount] = {
    "density",        "thickness",        "space",        "ratio",        "red", "green", "blue", "alpha",
    "density-jitter", "thickness-jitter", "space-jitter", "alpha-jitter", "blur"};

// Pictures larger than this a side or in all are refused before any memory
// is asked for; the page enforces the same limits on images it opens.
constexpr std::int32_t kMaxSide = 16384;
constexpr std::int64_t kMaxPixels = 64ll * 1024 * 1024;

// One draw thread: static hosts and OBS give no cross-origin isolation, so
// the worker must not count on starting threads.
constexpr unsigned kThreads = 1;

SettingRange SlotRange(int slot) noexcept {
    if (slot < panel::kFirstColorSlot) {
        constexpr SettingRange kParams[panel::kParamCount] = {kDensityRange, kThicknessRange, kSpaceRange,
                                                              kRatioRange};
        return kParams[slot];
    }
    if (slot < panel::kFirstJitterSlot) return kColorByteRange;
    return kJitterRanges[slot - panel::kFirstJitterSlot];
}

int SlotValue(const EffectSettings& s, int slot) noexcept {
    if (slot < panel::kFirstColorSlot) return s.*panel::kParamFields[slot];
    if (slot < panel::kFirstJitterSlot) return s.*panel::kColorFields[slot - panel::kFirstColorSlot];
    return JitterAt(s, slot - panel::kFirstJitterSlot);
}

std::wstring SlotName(int slot) {
    if (slot < panel::kFirstColorSlot) return panel::kParamNames[slot];
    if (slot < panel::kFirstJitterSlot) return panel::kColorNames[slot - panel::kFirstColorSlot];
    return panel::kJitterNames[slot - panel::kFirstJitterSlot];
}

struct Engine {
    std::int32_t request[kRequestFieldCount] = {};
    RandomSource random;
    FrameScratch scratch{kThreads};
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint8_t> rgba;
    std::string text;

    // The request as settings, every slot clamped to its range; false when
    // the picture is empty or too large.
    bool Settings(EffectSettings& s, std::int32_t& width, std::int32_t& height) {
        width = request[kWidth];
        height = request[kHeight];
        if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
            static_cast<std::int64_t>(width) * height > kMaxPixels) {
            return false;
        }
        s = kStartupSettings;
        for (int slot = 0; slot < panel::kSlotCount; ++slot) {
            panel::ApplyTrackbarPosition(s, slot, SlotRange(slot).Clamp(request[kFirstSlot + slot]));
        }
        s.centerX = request[kCenterX];
        s.centerY = request[kCenterY];
        random.SeedWith(static_cast<std::uint32_t>(request[kSeed]));
        random.SetJitterRanges(s.densityJitter, s.thicknessJitter, s.spaceJitter, s.alphaJitter);
        return true;
    }
};

Engine& TheEngine() {
    static Engine engine;
    return engine;
}

void AppendString(std::string& out, const std::string& utf8) {
    out += '"';
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    out += '"';
}

// The text of the `nth` control of this kind and id, in template order.
const char* TextOf(panel::ControlKind kind, int id, int nth = 0) {
    for (const auto& c : panel::kPanelControls) {
        if (c.kind == kind && c.id == id && nth-- == 0) return c.text;
    }
    return "";
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE std::int32_t* qv_request() { return TheEngine().request; }

// The frame as straight RGBA rows, the overall alpha applied: the pixels of
// quorvane-render's PNG. Null when the request's picture is refused or no
// memory is left for it.
EMSCRIPTEN_KEEPALIVE std::uint8_t* qv_draw_rgba() {
    Engine& e = TheEngine();
    EffectSettings s;
    std::int32_t width = 0, height = 0;
    if (!e.Settings(s, width, height)) return nullptr;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    e.pixels.resize(count);
    e.rgba.resize(count * 4);
    Surface surface{e.pixels.data(), count * 4, width, height};
    std::uint8_t constantAlpha = 0;
    RenderFrame(kReplaySelector, s, e.random, surface, constantAlpha, e.scratch);
    render::StraightConverter(constantAlpha).Row(e.pixels.data(), count, e.rgba.data());
    return e.rgba.data();
}

// The frame as the renderer's SVG (json == 0) or JSON text; null on failure.
EMSCRIPTEN_KEEPALIVE const char* qv_draw_vector(int json) {
    Engine& e = TheEngine();
    EffectSettings s;
    std::int32_t width = 0, height = 0;
    if (!e.Settings(s, width, height)) return nullptr;
    std::uint8_t constantAlpha = 0;
    TriangleRecorder recorder;
    RenderFrame(kReplaySelector, s, e.random, width, height, constantAlpha, recorder);
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    if (stream == nullptr) return nullptr;
    const bool written = json != 0 ? render::WriteJson(recorder.passes, width, height, e.random.storedSeed,
                                                       constantAlpha, stream)
                                   : render::WriteSvg(recorder.passes, width, height, constantAlpha, stream);
    std::fclose(stream);
    e.text.assign(buffer != nullptr ? buffer : "", written ? size : 0);
    std::free(buffer);
    return written ? e.text.c_str() : nullptr;
}

// The seed of frame `frame` of an animation that starts at `first` and
// shows each pattern `hold` frames, as the renderer's clips number them.
EMSCRIPTEN_KEEPALIVE std::uint32_t qv_frame_seed(std::uint32_t first, int frame, int hold) {
    return render::FrameSeed(first, frame, hold);
}

// The panel's words and numbers for the page, as one JSON object.
EMSCRIPTEN_KEEPALIVE const char* qv_panel() {
    static const std::string json = [] {
        std::string out = "{\"request\":[";
        for (int i = 0; i < kFirstSlot; ++i) {
            if (i > 0) out += ',';
            AppendString(out, kRequestFields[i]);
        }
        out += "],\"slots\":[";
        for (int slot = 0; slot < panel::kSlotCount; ++slot) {
            const SettingRange r = SlotRange(slot);
            const panel::SlotEntry& entry = panel::kSlots[slot];
            const char* group = entry.group == panel::SlotGroup::kParam   ? "param"
                                : entry.group == panel::SlotGroup::kColor ? "color"
                                                                          : "jitter";
            out += slot > 0 ? ",{" : "{";
            out += "\"flag\":";
            AppendString(out, kSlotFlags[slot]);
            out += ",\"name\":";
            AppendString(out, panel::ToUtf8(SlotName(slot)));
            out += ",\"group\":";
            AppendString(out, group);
            out += ",\"min\":" + std::to_string(r.min) + ",\"max\":" + std::to_string(r.max) +
                   ",\"default\":" + std::to_string(SlotValue(kStartupSettings, slot)) +
                   ",\"tick\":" + std::to_string(entry.tickFrequency) + "}";
        }
        out += "],\"caption\":";
        AppendString(out, panel::kPanelCaption);
        out += ",\"paramGroup\":";
        AppendString(out, TextOf(panel::ControlKind::kGroupBox, IDC_UNNAMED, 0));
        out += ",\"jitterGroup\":";
        AppendString(out, TextOf(panel::ControlKind::kGroupBox, IDC_UNNAMED, 1));
        out += ",\"colorGroup\":";
        AppendString(out, TextOf(panel::ControlKind::kGroupBox, IDC_COLOR_GROUP));
        out += ",\"reset\":";
        AppendString(out, TextOf(panel::ControlKind::kPushButton, IDC_RESET));
        out += ",\"help\":";
        AppendString(out, TextOf(panel::ControlKind::kHelpText, IDC_UNNAMED));
        out += ",\"maxSide\":" + std::to_string(kMaxSide) + ",\"maxPixels\":" + std::to_string(kMaxPixels) +
               ",\"variationMin\":" + std::to_string(panel::kVariationTrackbarMin) +
               ",\"holdRange\":{\"min\":" + std::to_string(render::kHoldRange.min) +
               ",\"max\":" + std::to_string(render::kHoldRange.max) + "}}";
        return out;
    }();
    return json.c_str();
}

}  // extern "C"
