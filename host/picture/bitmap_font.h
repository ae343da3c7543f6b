// Labels in pictures: a small pixel font (5 by 7 dots, with descenders
// below), drawn at a whole-number scale. Letters, digits and the usual
// punctuation; anything else shows as a box.
#pragma once

#include <cstdint>
#include <string_view>

#include "raster_image.h"

namespace vsthost {

class BitmapFont {
public:
    explicit BitmapFont(std::int32_t scale) : scale_(scale) {}

    std::int32_t width(std::string_view text) const;
    // From the top of capitals to the baseline; descenders go below it.
    std::int32_t capHeight() const { return 7 * scale_; }
    std::int32_t lineHeight() const { return 10 * scale_; }
    // What a line of text covers, descenders included.
    std::int32_t boxHeight() const { return 9 * scale_; }
    std::int32_t scale() const { return scale_; }

    // (x, y) is the top left corner of the first capital.
    void draw(RasterImage& image, std::int32_t x, std::int32_t y, std::string_view text, Colour colour) const;

private:
    std::int32_t scale_;
};

}  // namespace vsthost
