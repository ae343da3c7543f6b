// An RGB picture in memory, drawn into pixel by pixel and saved as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

struct Colour {
    std::uint8_t r, g, b;
};

class RasterImage {
public:
    RasterImage(std::int32_t width, std::int32_t height, Colour background);

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // Drawing outside the picture is clipped.
    void set(std::int32_t x, std::int32_t y, Colour colour);
    // Mixes `colour` over what is there; opacity 0 leaves it, 1 replaces it.
    void blend(std::int32_t x, std::int32_t y, Colour colour, float opacity);
    void fill(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, Colour colour);
    Colour at(std::int32_t x, std::int32_t y) const;

    // Throws Failure (output) naming the file when it cannot be written.
    void writePng(const std::string& path) const;

private:
    bool inside(std::int32_t x, std::int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    std::size_t offset(std::int32_t x, std::int32_t y) const {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) * 3;
    }

    std::int32_t width_;
    std::int32_t height_;
    std::vector<std::uint8_t> rgb_;
};

}  // namespace vsthost
