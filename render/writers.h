// The renderer's three outputs. Each writes to a stdio stream and reports
// failure instead of leaving a half-written picture unnoticed.
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

// 8-bit RGBA PNG of the surface. On failure returns false with a reason.
bool WritePng(const Surface& surface, std::uint8_t constantAlpha, std::FILE* out, std::string& error);

// Every triangle as a polygon in draw order, the overall alpha on the
// enclosing group.
bool WriteSvg(const std::vector<RecordedPass>& passes, std::int32_t width, std::int32_t height,
              std::uint8_t constantAlpha, std::FILE* out);

// {"width":W,"height":H,"seed":S,"constantAlpha":A,"passes":[{"spaceValue":F,
// "opacity":O,"triangles":[[tipX,tipY,c1X,c1Y,c2X,c2Y,ARGB],...]},...]}
bool WriteJson(const std::vector<RecordedPass>& passes, std::int32_t width, std::int32_t height,
               std::uint32_t seed, std::uint8_t constantAlpha, std::FILE* out);

}  // namespace qv::render
