#include "ui/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include <jpeglib.h>

namespace zek::ui {
namespace {

// libjpeg's error manager, extended by the place to jump back to: its
// default error exit would end the whole program.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings (data damaged but decodable) are not printed on stderr.
void onMessage(j_common_ptr, int) {}

void toRgb(const jpeg_decompress_struct& cinfo, const JSAMPLE* in, unsigned char* out) {
    const JDIMENSION width = cinfo.output_width;
    if (cinfo.out_color_space == JCS_RGB) {
        std::memcpy(out, in, std::size_t{width} * 3);
        return;
    }
    // CMYK: Adobe's files store the inks inverted, others as they are.
    const bool inverted = cinfo.saw_Adobe_marker;
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        const int k = inverted ? in[3] : 255 - in[3];
        for (int c = 0; c < 3; ++c) {
            const int ink = inverted ? in[c] : 255 - in[c];
            out[c] = static_cast<unsigned char>(ink * k / 255);
        }
    }
}

// The part that libjpeg may leave by its error exit: no object with a
// destructor lives in this frame. False with manager.message set on errors.
bool decodeInto(jpeg_decompress_struct& cinfo, ErrorManager& manager, const unsigned char* data, std::size_t size,
                std::size_t maxBytes, DecodedJpeg& out) {
    if (setjmp(manager.jump))
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    // libjpeg's own buffers (a progressive picture keeps all its
    // coefficients) stay within the same budget.
    cinfo.mem->max_memory_to_use = static_cast<long>(maxBytes);
    cinfo.out_color_space =
        (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) ? JCS_CMYK : JCS_RGB;
    jpeg_calc_output_dimensions(&cinfo);
    const std::size_t width = cinfo.output_width;
    const std::size_t height = cinfo.output_height;
    if (width == 0 || height == 0 || width > maxBytes / 4 / height) {
        std::snprintf(manager.message, sizeof manager.message, "picture of %zu x %zu pixels is too large", width,
                      height);
        return false;
    }
    out.rgb.resize(width * height * 3);
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    jpeg_start_decompress(&cinfo);
    // From libjpeg's pool, so an error exit leaks nothing.
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.output_width * static_cast<JDIMENSION>(cinfo.output_components), 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION y = cinfo.output_scanline;
        if (jpeg_read_scanlines(&cinfo, row, 1) != 1)
            break;
        toRgb(cinfo, row[0], out.rgb.data() + std::size_t{y} * width * 3);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace

std::optional<DecodedJpeg> DecodeJpeg(const unsigned char* data, std::size_t size, std::size_t maxBytes,
                                      std::string* error) {
    jpeg_decompress_struct cinfo{};
    ErrorManager manager{};
    cinfo.err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = onError;
    manager.pub.emit_message = onMessage;
    DecodedJpeg out;
    bool ok = false;
    try {
        ok = decodeInto(cinfo, manager, data, size, maxBytes, out);
    } catch (const std::bad_alloc&) {
        std::snprintf(manager.message, sizeof manager.message, "out of memory");
    }
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        if (error)
            *error = manager.message;
        return std::nullopt;
    }
    return out;
}

}  // namespace zek::ui
