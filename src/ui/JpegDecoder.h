#pragma once
// Our small JPEG decoder over libjpeg: baseline and progressive, colour,
// grey and CMYK pictures to packed RGB. Free of Qt, so it is fuzzed alone.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zek::ui {

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  // 3 bytes a pixel, rows without padding
};

// About what one wallpaper may take in memory.
inline constexpr std::size_t kMaxPictureBytes = std::size_t{256} << 20;

// Decodes `size` bytes. Anything libjpeg refuses (no picture, damaged
// headers or markers) and any picture whose decoding would need more than
// `maxBytes` (counting 4 bytes a pixel for showing it) gives nullopt, with
// libjpeg's text in *error. Damage inside the picture data that libjpeg
// gets past leaves the affected part grey, as in other viewers.
std::optional<DecodedJpeg> DecodeJpeg(const unsigned char* data, std::size_t size,
                                      std::size_t maxBytes = kMaxPictureBytes, std::string* error = nullptr);

}  // namespace zek::ui
