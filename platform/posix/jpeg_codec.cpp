// JPEG decoding and encoding through libjpeg(-turbo). Its errors come back as EPictureError,
// thrown from its error handler (the x86-64 and ARM ABIs unwind through C frames), and its
// "premature end" warning counts as an error: a truncated file is refused, not sent half grey.

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdlib>

#include "platform/posix/picture_decoders.h"

namespace platform {

namespace {

[[noreturn]] void ThrowJpegError(j_common_ptr common) {
    char text[JMSG_LENGTH_MAX];
    (*common->err->format_message)(common, text);
    throw EPictureError(text);
}

void RefuseTruncation(j_common_ptr common, int level) {
    if (level < 0 && common->err->msg_code == JWRN_JPEG_EOF) ThrowJpegError(common);
}

void QuietErrors(jpeg_error_mgr& errors) {
    jpeg_std_error(&errors);
    errors.error_exit = ThrowJpegError;
    errors.emit_message = RefuseTruncation;
}

bool IsCmyk(J_COLOR_SPACE space) { return space == JCS_CMYK || space == JCS_YCCK; }

// Adobe's CMYK JPEGs, the only common ones, store the inks inverted.
void CmykToRgb(const JSAMPLE* cmyk, std::uint8_t* rgb, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        const unsigned k = cmyk[3];
        for (int c = 0; c < 3; ++c) rgb[c] = static_cast<std::uint8_t>((cmyk[c] * k + 127) / 255);
    }
}

class JpegDecoder : public PictureDecoder::Codec {
public:
    JpegDecoder(std::FILE* file, PictureHeader& header) : file_(file) {
        QuietErrors(errors_);
        info_.err = &errors_;
        jpeg_create_decompress(&info_);
        try {
            jpeg_stdio_src(&info_, file_.get());
            jpeg_read_header(&info_, TRUE);
        } catch (...) {
            jpeg_destroy_decompress(&info_);
            throw;
        }
        header.width = static_cast<int>(info_.image_width);
        header.height = static_cast<int>(info_.image_height);
    }
    ~JpegDecoder() override { jpeg_destroy_decompress(&info_); }

    Pixels Decode(int minLongEdge) override {
        ScaleOnLoad(minLongEdge);
        const bool cmyk = IsCmyk(info_.jpeg_color_space);
        info_.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
        jpeg_start_decompress(&info_);
        Pixels pixels = MakePixels(static_cast<int>(info_.output_width), static_cast<int>(info_.output_height), 3);
        std::unique_ptr<JSAMPLE[]> cmykRow(cmyk ? new JSAMPLE[info_.output_width * 4] : nullptr);
        while (info_.output_scanline < info_.output_height) {
            std::uint8_t* row = pixels.Row(static_cast<int>(info_.output_scanline));
            JSAMPROW target = cmyk ? cmykRow.get() : row;
            jpeg_read_scanlines(&info_, &target, 1);
            if (cmyk) CmykToRgb(cmykRow.get(), row, info_.output_width);
        }
        jpeg_finish_decompress(&info_);
        return pixels;
    }

private:
    // The least of n/8 (libjpeg-turbo's scaled IDCT) that keeps the long edge at minLongEdge.
    void ScaleOnLoad(int minLongEdge) {
        info_.scale_denom = 8;
        for (unsigned eighths = 1; eighths <= 8; ++eighths) {
            info_.scale_num = eighths;
            jpeg_calc_output_dimensions(&info_);
            if (static_cast<int>(std::max(info_.output_width, info_.output_height)) >= minLongEdge) return;
        }
    }

    OwnedFile file_;
    jpeg_error_mgr errors_{};
    jpeg_decompress_struct info_{};
};

// libjpeg's output buffer, freed with free() as its memory destination says.
struct JpegBuffer {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    ~JpegBuffer() { std::free(data); }
};

}  // namespace

std::unique_ptr<PictureDecoder::Codec> OpenJpeg(std::FILE* file, PictureHeader& header) {
    return std::make_unique<JpegDecoder>(file, header);
}

std::string EncodeJpeg(const Pixels& pixels, int quality) {
    jpeg_error_mgr errors{};
    QuietErrors(errors);
    jpeg_compress_struct info{};
    info.err = &errors;
    jpeg_create_compress(&info);
    JpegBuffer buffer;
    try {
        jpeg_mem_dest(&info, &buffer.data, &buffer.size);
        info.image_width = static_cast<JDIMENSION>(pixels.width);
        info.image_height = static_cast<JDIMENSION>(pixels.height);
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, quality, TRUE);
        info.comp_info[0].h_samp_factor = 2;  // 4:2:0: colour at half the resolution both ways
        info.comp_info[0].v_samp_factor = 2;
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = const_cast<JSAMPLE*>(pixels.Row(static_cast<int>(info.next_scanline)));
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
    } catch (...) {
        jpeg_destroy_compress(&info);
        throw;
    }
    jpeg_destroy_compress(&info);
    return std::string(reinterpret_cast<const char*>(buffer.data), buffer.size);
}

}  // namespace platform
