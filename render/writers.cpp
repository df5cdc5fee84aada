#include "writers.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csetjmp>
#include <cstring>
#include <new>

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
    TextOut& Float(float v) { return Number(v); }
    TextOut& Fraction(double v) {
        char text[32];
        const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::general, kOpacityDigits);
        buffer_.append(text, r.ptr);
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

std::uint8_t ScaledAlpha(std::uint32_t a, std::uint8_t constantAlpha) noexcept {
    return static_cast<std::uint8_t>((a * constantAlpha + kChannelMax / 2) / kChannelMax);
}

// a > 0; inconsistent input (c > a) saturates, never wraps.
std::uint8_t Unpremultiply(std::uint32_t c, std::uint32_t a) noexcept {
    return static_cast<std::uint8_t>(std::min<std::uint32_t>(kChannelMax, (c * kChannelMax + a / 2) / a));
}

// Unpremultiply for every alpha and channel value, built once (64 KiB).
struct UnpremultiplyTable {
    std::uint8_t values[kChannelMax + 1][kChannelMax + 1];

    static const UnpremultiplyTable& Get() {
        static const UnpremultiplyTable table = [] {
            UnpremultiplyTable t{};
            for (std::uint32_t a = 1; a <= kChannelMax; ++a) {
                for (std::uint32_t c = 0; c <= kChannelMax; ++c) t.values[a][c] = Unpremultiply(c, a);
            }
            return t;
        }();
        return table;
    }
};

double Opacity(std::uint32_t alpha) { return static_cast<double>(alpha) / kChannelMax; }

// libpng reports errors by longjmp; these callbacks keep the reason.
struct PngContext {
    std::vector<std::uint8_t>* bytes;
    char message[256];
    bool outOfMemory;
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
    auto* ctx = static_cast<PngContext*>(png_get_error_ptr(png));
    if (ctx->message[0] == '\0') std::snprintf(ctx->message, sizeof ctx->message, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void OnPngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* ctx = static_cast<PngContext*>(png_get_io_ptr(png));
    // An exception must not cross libpng's C frames; it is thrown again
    // once the encoder has returned.
    try {
        ctx->bytes->insert(ctx->bytes->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        ctx->outOfMemory = true;
        png_error(png, "not enough memory");
    }
}

void OnPngFlush(png_structp) {}

// Kept free of objects with destructors: a longjmp may leave it.
bool EncodeRows(png_structp png, png_infop info, const Surface& surface, const StraightConverter& converter,
                png_bytep row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(surface.width), static_cast<png_uint_32>(surface.height),
                 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, kPngCompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    const std::size_t width = static_cast<std::size_t>(surface.width);
    for (std::int32_t y = 0; y < surface.height; ++y) {
        const std::uint32_t* src = surface.bits + static_cast<std::size_t>(y) * width;
        converter.Row(src, width, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

void StraightPixel(std::uint32_t premultiplied, std::uint8_t constantAlpha, std::uint8_t rgba[4]) noexcept {
    const std::uint32_t a = premultiplied >> 24;
    const std::uint32_t alpha = ScaledAlpha(a, constantAlpha);
    if (alpha == 0) {
        std::memset(rgba, 0, 4);
        return;
    }
    rgba[0] = Unpremultiply((premultiplied >> 16) & 0xFFu, a);
    rgba[1] = Unpremultiply((premultiplied >> 8) & 0xFFu, a);
    rgba[2] = Unpremultiply(premultiplied & 0xFFu, a);
    rgba[3] = static_cast<std::uint8_t>(alpha);
}

StraightConverter::StraightConverter(std::uint8_t constantAlpha) noexcept {
    for (std::uint32_t a = 0; a <= kChannelMax; ++a) alpha_[a] = ScaledAlpha(a, constantAlpha);
}

void StraightConverter::Row(const std::uint32_t* premultiplied, std::size_t count,
                            std::uint8_t* rgba) const noexcept {
    const UnpremultiplyTable& table = UnpremultiplyTable::Get();
    for (std::size_t i = 0; i < count; ++i, rgba += 4) {
        const std::uint32_t p = premultiplied[i];
        const std::uint32_t a = p >> 24;
        const std::uint8_t alpha = alpha_[a];
        if (alpha == 0) {
            std::memset(rgba, 0, 4);
            continue;
        }
        const std::uint8_t* byAlpha = table.values[a];
        rgba[0] = byAlpha[(p >> 16) & 0xFFu];
        rgba[1] = byAlpha[(p >> 8) & 0xFFu];
        rgba[2] = byAlpha[p & 0xFFu];
        rgba[3] = alpha;
    }
}

void StraightRgba(const Surface& surface, std::uint8_t constantAlpha, std::vector<std::uint8_t>& bytes) {
    const std::size_t count =
        static_cast<std::size_t>(surface.width) * static_cast<std::size_t>(surface.height);
    bytes.resize(count * 4);
    StraightConverter(constantAlpha).Row(surface.bits, count, bytes.data());
}

bool EncodePng(const Surface& surface, std::uint8_t constantAlpha, std::vector<std::uint8_t>& bytes,
               std::string& error) {
    bytes.clear();
    if (!surface.Drawable()) {
        error = "no pixels to write";
        return false;
    }
    std::vector<png_byte> row(static_cast<std::size_t>(surface.width) * 4);
    PngContext ctx{&bytes, {}, false};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, OnPngError, OnPngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        error = "libpng could not start";
        return false;
    }
    png_set_write_fn(png, &ctx, OnPngWrite, OnPngFlush);
    const StraightConverter converter(constantAlpha);
    const bool encoded = EncodeRows(png, info, surface, converter, row.data());
    png_destroy_write_struct(&png, &info);
    if (ctx.outOfMemory) throw std::bad_alloc();
    if (!encoded) {
        error = ctx.message[0] != '\0' ? ctx.message : "libpng failed";
        return false;
    }
    return true;
}

bool WriteBytes(const std::vector<std::uint8_t>& bytes, std::FILE* out, std::string& error) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (!written || std::fflush(out) != 0 || std::ferror(out) != 0) {
        error = std::string("write failed: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool WritePng(const Surface& surface, std::uint8_t constantAlpha, std::FILE* out, std::string& error) {
    std::vector<std::uint8_t> bytes;
    return EncodePng(surface, constantAlpha, bytes, error) && WriteBytes(bytes, out, error);
}

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
