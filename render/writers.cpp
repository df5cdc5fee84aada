// The PNG encoding through libpng, and writing encoded bytes to a stream.
#include "writers.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <new>

namespace qv::render {

namespace {

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

}  // namespace qv::render
