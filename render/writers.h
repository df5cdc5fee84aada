// The renderer's picture encodings: PNG, SVG, JSON, and the straight RGBA
// bytes the clip formats start from. Each reports failure instead of leaving
// a half-written picture unnoticed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "surface.h"
#include "triangle_recorder.h"

namespace qv::render {

// One premultiplied 0xAARRGGBB pixel as straight R, G, B, A bytes with the
// overall alpha applied; a pixel left with no alpha becomes all zero.
void StraightPixel(std::uint32_t premultiplied, std::uint8_t constantAlpha, std::uint8_t rgba[4]) noexcept;

// StraightPixel for whole rows, by table lookups instead of its divisions:
// every frame of a clip goes through here, and the divisions cost as much as
// zlib's level 1.
class StraightConverter {
public:
    explicit StraightConverter(std::uint8_t constantAlpha) noexcept;
    void Row(const std::uint32_t* premultiplied, std::size_t count, std::uint8_t* rgba) const noexcept;

private:
    std::uint8_t alpha_[UINT8_MAX + 1];  // a pixel's alpha with the overall alpha applied
};

// The whole surface as StraightPixel bytes, row after row; bytes is reused.
void StraightRgba(const Surface& surface, std::uint8_t constantAlpha, std::vector<std::uint8_t>& bytes);

// zlib level and no row filters: a clip's frames are mostly empty runs,
// which level 1 already packs tightly, and filtering them costs as much as
// it saves (the README's speed table shows the trade).
inline constexpr int kPngCompressionLevel = 1;

// 8-bit RGBA PNG of the surface into bytes (replaced). On failure returns
// false with a reason.
bool EncodePng(const Surface& surface, std::uint8_t constantAlpha, std::vector<std::uint8_t>& bytes,
               std::string& error);

// The same, written to a stream.
bool WritePng(const Surface& surface, std::uint8_t constantAlpha, std::FILE* out, std::string& error);

// All of bytes to the stream, flushed; false with a reason otherwise.
bool WriteBytes(const std::vector<std::uint8_t>& bytes, std::FILE* out, std::string& error);

// Every triangle as a polygon in draw order, the overall alpha on the
// enclosing group.
bool WriteSvg(const std::vector<RecordedPass>& passes, std::int32_t width, std::int32_t height,
              std::uint8_t constantAlpha, std::FILE* out);

// {"width":W,"height":H,"seed":S,"constantAlpha":A,"passes":[{"spaceValue":F,
// "opacity":O,"triangles":[[tipX,tipY,c1X,c1Y,c2X,c2Y,ARGB],...]},...]}
bool WriteJson(const std::vector<RecordedPass>& passes, std::int32_t width, std::int32_t height,
               std::uint32_t seed, std::uint8_t constantAlpha, std::FILE* out);

}  // namespace qv::render
