// libFuzzer target for the wallpaper's JPEG decoder: the user may pick any
// file as a wallpaper, and a damaged one must never bring ZEK down.
#include <cstdint>
#include <cstdlib>

#include "ui/JpegDecoder.h"

using namespace zek::ui;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    // A smaller budget than the program's keeps every run quick.
    const std::optional<DecodedJpeg> picture = DecodeJpeg(data, size, std::size_t{16} << 20, &error);
    if (picture) {
        if (picture->width <= 0 || picture->height <= 0 ||
            picture->rgb.size() != std::size_t(picture->width) * std::size_t(picture->height) * 3)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
