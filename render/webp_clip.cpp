#include "webp_clip.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <new>

namespace qv::render {

namespace {

constexpr int kRgbaBytes = 4;
static_assert(kWebpMaxSide == WEBP_MAX_DIMENSION);

std::string EncoderError(WebPAnimEncoder* encoder) {
    const char* message = WebPAnimEncoderGetError(encoder);
    return std::string("libwebp: ") +
           (message != nullptr && message[0] != '\0' ? message : "encoding failed");
}

}  // namespace

int FrameDurationMs(int fps) noexcept { return (kMillisecondsPerSecond + fps / 2) / fps; }

WebpClip::~WebpClip() {
    if (encoder_ != nullptr) WebPAnimEncoderDelete(encoder_);
}

bool WebpClip::Start(std::int32_t width, std::int32_t height, int fps, std::string& error) {
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options)) {
        error = "libwebp: the animation encoder does not match its header";
        return false;
    }
    options.anim_params.loop_count = 0;  // forever
    options.anim_params.bgcolor = 0;     // transparent
    // libwebp's own key-frame spacing is kept: making every frame a key
    // frame measured slower (about 9 against 15 frames a second at
    // 1920x1080) for the same size.
    options.allow_mixed = 0;
    options.minimize_size = 0;
    encoder_ = WebPAnimEncoderNew(width, height, &options);
    if (encoder_ == nullptr) throw std::bad_alloc();
    width_ = width;
    height_ = height;
    durationMs_ = FrameDurationMs(fps);
    return true;
}

bool WebpClip::Add(const std::vector<std::uint8_t>& rgba, int frame, std::string& error) {
    WebPConfig config;
    if (!WebPConfigInit(&config) || !WebPConfigLosslessPreset(&config, kWebpLosslessLevel)) {
        error = "libwebp: the encoder does not match its header";
        return false;
    }
    // Keep the colour under transparent pixels as given (all zero), so a
    // decoded frame is byte for byte the PNG frame.
    config.exact = 1;
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) {
        error = "libwebp: the picture does not match its header";
        return false;
    }
    picture.use_argb = 1;
    picture.width = width_;
    picture.height = height_;
    if (!WebPPictureImportRGBA(&picture, rgba.data(), width_ * kRgbaBytes)) {
        WebPPictureFree(&picture);
        throw std::bad_alloc();
    }
    const bool added = WebPAnimEncoderAdd(encoder_, &picture, frame * durationMs_, &config) != 0;
    const bool outOfMemory = picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY;
    WebPPictureFree(&picture);
    if (outOfMemory) throw std::bad_alloc();
    if (!added) error = EncoderError(encoder_);
    return added;
}

bool WebpClip::Finish(int frameCount, std::vector<std::uint8_t>& file, std::string& error) {
    WebPData data;
    WebPDataInit(&data);
    if (!WebPAnimEncoderAdd(encoder_, nullptr, frameCount * durationMs_, nullptr) ||
        !WebPAnimEncoderAssemble(encoder_, &data)) {
        error = EncoderError(encoder_);
        return false;
    }
    try {
        file.assign(data.bytes, data.bytes + data.size);
    } catch (...) {
        WebPDataClear(&data);
        throw;
    }
    WebPDataClear(&data);
    return true;
}

}  // namespace qv::render
