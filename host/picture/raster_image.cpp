#include "raster_image.h"

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "host/text/failure.h"
#include "host/text/replaced_file.h"

namespace vsthost {

RasterImage::RasterImage(std::int32_t width, std::int32_t height, Colour background)
    : width_(width), height_(height), rgb_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
    fill(0, 0, width, height, background);
}

void RasterImage::set(std::int32_t x, std::int32_t y, Colour colour) {
    if (!inside(x, y)) return;
    std::uint8_t* p = &rgb_[offset(x, y)];
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
}

void RasterImage::blend(std::int32_t x, std::int32_t y, Colour colour, float opacity) {
    if (!inside(x, y)) return;
    std::uint8_t* p = &rgb_[offset(x, y)];
    const std::uint8_t over[3] = {colour.r, colour.g, colour.b};
    for (int c = 0; c < 3; ++c)
        p[c] = static_cast<std::uint8_t>(
            std::lround(static_cast<float>(p[c]) * (1.0f - opacity) + static_cast<float>(over[c]) * opacity));
}

void RasterImage::fill(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, Colour colour) {
    const std::int32_t x0 = std::max(x, 0), x1 = std::min(x + w, width_);
    const std::int32_t y0 = std::max(y, 0), y1 = std::min(y + h, height_);
    for (std::int32_t row = y0; row < y1; ++row)
        for (std::int32_t column = x0; column < x1; ++column) set(column, row, colour);
}

Colour RasterImage::at(std::int32_t x, std::int32_t y) const {
    const std::uint8_t* p = &rgb_[offset(x, y)];
    return {p[0], p[1], p[2]};
}

void RasterImage::writePng(const std::string& path) const {
    auto fail = [&](const std::string& why) { return Failure(FailureKind::output, "picture '" + path + "' " + why); };
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width_);
    image.height = static_cast<png_uint_32>(height_);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    // Encoded in memory first, so that writing the file fails only for the
    // system's reasons, which are then named.
    if (png_image_write_to_memory(&image, nullptr, &size, 0, rgb_.data(), 0, nullptr) == 0) {
        const std::string why = image.message;
        png_image_free(&image);
        throw fail("could not be encoded: " + why);
    }
    std::vector<std::uint8_t> encoded(size);
    if (png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb_.data(), 0, nullptr) == 0) {
        const std::string why = image.message;
        png_image_free(&image);
        throw fail("could not be encoded: " + why);
    }
    // Beside its destination under a temporary name, renamed when complete.
    const std::optional<std::string> target = renameTarget(path);
    if (!target) throw fail(std::string("is a symbolic link that leads nowhere: ") + std::strerror(errno));
    std::string pattern;
    const int fd = makeTemporaryBeside(*target, pattern);
    if (fd < 0) throw fail(std::string("could not be written: ") + std::strerror(errno));
    std::size_t done = 0;
    int error = 0;
    while (done < size && error == 0) {
        const ssize_t n = ::write(fd, encoded.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            error = errno;
        else
            done += static_cast<std::size_t>(n);
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(pattern.c_str(), target->c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(pattern.c_str());
        throw fail(std::string("could not be written: ") + std::strerror(error));
    }
}

}  // namespace vsthost
