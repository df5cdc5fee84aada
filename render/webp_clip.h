// An animated WebP built frame by frame with libwebp's own animation
// encoder: lossless, with alpha, looping forever.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WebPAnimEncoder;

namespace qv::render {

// libwebp's lossless effort, 0 (fastest) to 9 (smallest). A clip is an
// intermediate: speed first, as video tools choose for theirs (the README's
// speed table shows the trade).
inline constexpr int kWebpLosslessLevel = 0;
// The format's limit on either side of the canvas.
inline constexpr std::int32_t kWebpMaxSide = 16383;
inline constexpr int kMillisecondsPerSecond = 1000;

// How long each frame shows: 1000 / fps rounded to whole milliseconds.
int FrameDurationMs(int fps) noexcept;

class WebpClip {
public:
    WebpClip() = default;
    WebpClip(const WebpClip&) = delete;
    WebpClip& operator=(const WebpClip&) = delete;
    ~WebpClip();

    // False with a reason when libwebp refuses the canvas.
    bool Start(std::int32_t width, std::int32_t height, int fps, std::string& error);

    // The picture shown from frame `frame` on, as straight RGBA rows. Frames
    // between two calls repeat the earlier picture. Throws std::bad_alloc
    // when libwebp runs out of memory.
    bool Add(const std::vector<std::uint8_t>& rgba, int frame, std::string& error);

    // Ends the clip after frameCount frames and gives the whole file. A clip
    // of one picture comes out as a still WebP.
    bool Finish(int frameCount, std::vector<std::uint8_t>& file, std::string& error);

private:
    WebPAnimEncoder* encoder_ = nullptr;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    int durationMs_ = 0;
};

}  // namespace qv::render
