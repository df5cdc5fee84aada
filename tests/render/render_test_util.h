// Helpers for the renderer's tests: captured streams, a scratch folder,
// decoding PNGs, and running the real program.
#pragma once

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "renderer.h"

namespace qv::render::testing {

// A stdio stream whose bytes can be read back.
class Captured {
public:
    Captured() : file_(std::tmpfile()) {}
    ~Captured() {
        if (file_) std::fclose(file_);
    }
    Captured(const Captured&) = delete;
    Captured& operator=(const Captured&) = delete;

    std::FILE* stream() const { return file_; }
    std::string Text() const {
        std::fflush(file_);
        std::string text;
        std::rewind(file_);
        char buffer[1 << 14];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, n);
        return text;
    }

private:
    std::FILE* file_;
};

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

inline std::uint32_t FixedTick() noexcept { return 424242u; }

// The renderer in-process, with a tick source that always reads 424242.
inline RunResult RunInProcess(const std::vector<std::string>& args) {
    Captured out, err;
    const int code = RunRenderer(args, out.stream(), err.stream(), &FixedTick);
    return {code, out.Text(), err.Text()};
}

// A fresh folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv-render-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        const char* made = mkdtemp(buffer.data());
        if (made == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = made;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            names.push_back(e.path().filename().string());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline int CountLines(const std::string& text) {
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

struct Decoded {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    const std::uint8_t* At(std::uint32_t x, std::uint32_t y) const {
        return &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
    }
};

inline Decoded DecodePng(const std::string& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        throw std::runtime_error(std::string("not a PNG: ") + image.message);
    }
    image.format = PNG_FORMAT_RGBA;
    Decoded d;
    d.width = image.width;
    d.height = image.height;
    d.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, d.rgba.data(), 0, nullptr)) {
        throw std::runtime_error(std::string("bad PNG: ") + image.message);
    }
    return d;
}

struct ExeResult {
    int exitCode;
    std::string out;
    std::string err;
};

// The real program through the shell; prefix runs first (a ulimit, say).
inline ExeResult RunExe(const std::string& args, const std::string& prefix = "") {
    ScratchDir io;
    const std::string command =
        prefix + "'" QV_RENDER_EXE "' " + args + " >'" + (io / "out") + "' 2>'" + (io / "err") + "'";
    const int status = std::system(command.c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return {code, ReadFile(io / "out"), ReadFile(io / "err")};
}

}  // namespace qv::render::testing
