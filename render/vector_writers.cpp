// The vector outputs: every recorded triangle as SVG polygons or as JSON
// numbers, written with locale-free number formatting.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "writers.h"

// Floating-point to_chars is missing from some standard libraries (the libc++
// of Emscripten 3.1); there the C formatter stands in, under the C locale
// such a build always has.
#if defined(__cpp_lib_to_chars) || (defined(_LIBCPP_VERSION) && _LIBCPP_VERSION >= 170000) || \
    defined(_MSC_VER)
#define QV_FLOAT_TO_CHARS 1
#else
#define QV_FLOAT_TO_CHARS 0
#endif

namespace qv::render {

namespace {

constexpr int kChannelMax = 255;
constexpr std::size_t kFlushThreshold = 1u << 16;
constexpr int kOpacityDigits = 6;  // enough to give back the 8-bit alpha

// Buffered text output with locale-free number formatting.
class TextOut {
public:
    explicit TextOut(std::FILE* out) : out_(out) { buffer_.reserve(kFlushThreshold + 256); }

    TextOut& operator<<(std::string_view s) {
        buffer_.append(s);
        MaybeFlush();
        return *this;
    }
    TextOut& operator<<(char c) {
        buffer_.push_back(c);
        return *this;
    }
    TextOut& operator<<(long long v) { return Number(v); }
    TextOut& operator<<(std::int32_t v) { return Number(v); }
    TextOut& operator<<(std::uint32_t v) { return Number(v); }

    // Shortest text that reads back as the same single-precision value.
    TextOut& Float(float v) {
#if QV_FLOAT_TO_CHARS
        return Number(v);
#else
        // Fewest significant digits that read back as v; printf's %g picks
        // the same notation as to_chars for the values a frame writes.
        char text[32];
        for (int digits = 1; digits <= std::numeric_limits<float>::max_digits10; ++digits) {
            std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(v));
            if (std::strtof(text, nullptr) == v) break;
        }
        buffer_.append(text);
        return *this;
#endif
    }
    TextOut& Fraction(double v) {
        char text[32];
#if QV_FLOAT_TO_CHARS
        const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::general, kOpacityDigits);
        buffer_.append(text, r.ptr);
#else
        // The same digits: to_chars with a precision follows printf's %g.
        std::snprintf(text, sizeof text, "%.*g", kOpacityDigits, v);
        buffer_.append(text);
#endif
        return *this;
    }

    bool Finish() {
        Flush();
        return std::fflush(out_) == 0 && std::ferror(out_) == 0;
    }

private:
    template <typename T>
    TextOut& Number(T v) {
        char text[32];
        const auto r = std::to_chars(text, text + sizeof text, v);
        buffer_.append(text, r.ptr);
        return *this;
    }
    void MaybeFlush() {
        if (buffer_.size() >= kFlushThreshold) Flush();
    }
    void Flush() {
        if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), out_);
        buffer_.clear();
    }

    std::FILE* out_;
    std::string buffer_;
};

double Opacity(std::uint32_t alpha) { return static_cast<double>(alpha) / kChannelMax; }

}  // namespace

bool WriteSvg(const std::vector<RecordedPass>& passes, std::int32_t width, std::int32_t height,
              std::uint8_t constantAlpha, std::FILE* out) {
    static constexpr char kHex[] = "0123456789abcdef";
    TextOut text(out);
    text << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
         << "\" viewBox=\"0 0 " << width << ' ' << height << "\">\n";
    // The rasteriser puts an integer vertex at the centre of its pixel.
    text << "<g opacity=\"";
    text.Fraction(Opacity(constantAlpha)) << "\" transform=\"translate(0.5 0.5)\">\n";
    for (const RecordedPass& pass : passes) {
        for (const Triangle& t : pass.triangles) {
            char colour[8] = {'#'};
            for (int i = 0; i < 6; ++i) colour[1 + i] = kHex[(t.argb >> (20 - 4 * i)) & 0xFu];
            text << "<polygon points=\"" << t.tipX << ',' << t.tipY << ' ' << t.c1X << ',' << t.c1Y << ' '
                 << t.c2X << ',' << t.c2Y << "\" fill=\"" << std::string_view(colour, 7)
                 << "\" fill-opacity=\"";
            text.Fraction(Opacity(t.argb >> 24)) << "\"/>\n";
        }
    }
    text << "</g>\n</svg>\n";
    return text.Finish();
}

bool WriteJson(const std::vector<RecordedPass>& passes, std::int32_t width, std::int32_t height,
               std::uint32_t seed, std::uint8_t constantAlpha, std::FILE* out) {
    TextOut text(out);
    text << "{\"width\":" << width << ",\"height\":" << height << ",\"seed\":" << seed
         << ",\"constantAlpha\":" << static_cast<std::uint32_t>(constantAlpha) << ",\"passes\":[";
    for (std::size_t p = 0; p < passes.size(); ++p) {
        const RecordedPass& pass = passes[p];
        text << (p == 0 ? "" : ",") << "{\"spaceValue\":";
        text.Float(pass.info.spaceValue)
            << ",\"opacity\":" << static_cast<std::uint32_t>(pass.info.opacity) << ",\"triangles\":[";
        for (std::size_t i = 0; i < pass.triangles.size(); ++i) {
            const Triangle& t = pass.triangles[i];
            text << (i == 0 ? "[" : ",[") << t.tipX << ',' << t.tipY << ',' << t.c1X << ',' << t.c1Y << ','
                 << t.c2X << ',' << t.c2Y << ',' << t.argb << ']';
        }
        text << "]}";
    }
    text << "]}\n";
    return text.Finish();
}

}  // namespace qv::render
