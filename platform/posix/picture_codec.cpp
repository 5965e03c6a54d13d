#include "platform/picture_codec.h"

#include <stb/stb_image.h>
#include <tiffio.h>

#include <cstdint>
#include <cstdlib>

#include "platform/posix/picture_decoders.h"

namespace platform {

namespace {

struct StbFree {
    void operator()(stbi_uc* data) const { stbi_image_free(data); }
};

class StbDecoder : public PictureDecoder::Codec {
public:
    // stb refuses a PNG header past a gigabyte of pixels without telling its size: the claim
    // read from the header is taken instead, so that the refusal can name it.
    StbDecoder(std::FILE* file, PictureHeader& header, std::optional<ClaimedSize> pngClaim) : file_(file) {
        int components = 0;
        if (stbi_info_from_file(file, &header.width, &header.height, &components)) {
            alpha_ = components == 2 || components == 4;
        } else if (pngClaim) {
            header.width = pngClaim->width;
            header.height = pngClaim->height;
        } else {
            throw EPictureError(stbi_failure_reason());
        }
    }

    Pixels Decode(int) override {
        const int channels = alpha_ ? 4 : 3;
        int width = 0, height = 0, components = 0;
        std::unique_ptr<stbi_uc, StbFree> data(stbi_load_from_file(file_.get(), &width, &height, &components, channels));
        if (!data) throw EPictureError(stbi_failure_reason());
        Pixels pixels{width, height, channels, {}};
        pixels.bytes.assign(data.get(), data.get() + pixels.RowBytes() * static_cast<std::size_t>(height));
        return pixels;
    }

private:
    OwnedFile file_;
    bool alpha_ = false;
};

struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

class TiffDecoder : public PictureDecoder::Codec {
public:
    TiffDecoder(std::FILE* file, PictureHeader& header) : file_(file) {
        // libtiff reads through its own descriptor; the FILE stays open beside it until the end.
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        tiff_.reset(TIFFFdOpen(::fileno(file), "picture", "rm"));
        if (!tiff_) throw EPictureError("not a readable TIFF file");
        std::uint32_t width = 0, height = 0;
        std::uint16_t orientation = ORIENTATION_TOPLEFT;
        TIFFGetField(tiff_.get(), TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff_.get(), TIFFTAG_IMAGELENGTH, &height);
        TIFFGetFieldDefaulted(tiff_.get(), TIFFTAG_ORIENTATION, &orientation);
        if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) throw EPictureError("TIFF file without a picture size");
        header.width = static_cast<int>(width);
        header.height = static_cast<int>(height);
        // TIFF's orientation values are EXIF's.
        header.exifOrientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    }

    Pixels Decode(int) override {
        char message[1024] = "";
        TIFFRGBAImage image{};
        if (!TIFFRGBAImageOK(tiff_.get(), message) || !TIFFRGBAImageBegin(&image, tiff_.get(), 0, message)) {
            throw EPictureError(message);
        }
        // The rows in the order they are stored: the orientation is turned by the caller.
        image.req_orientation = image.orientation;
        Pixels pixels = MakePixels(static_cast<int>(image.width), static_cast<int>(image.height), 4);
        auto* raster = reinterpret_cast<std::uint32_t*>(pixels.bytes.data());
        const int ok = TIFFRGBAImageGet(&image, raster, image.width, image.height);
        TIFFRGBAImageEnd(&image);
        if (!ok) throw EPictureError("TIFF data does not decode");
        for (std::size_t i = 0, count = pixels.bytes.size() / 4; i < count; ++i) {
            const std::uint32_t abgr = raster[i];
            std::uint8_t* p = pixels.bytes.data() + i * 4;
            p[0] = static_cast<std::uint8_t>(TIFFGetR(abgr));
            p[1] = static_cast<std::uint8_t>(TIFFGetG(abgr));
            p[2] = static_cast<std::uint8_t>(TIFFGetB(abgr));
            p[3] = static_cast<std::uint8_t>(TIFFGetA(abgr));
        }
        return pixels;
    }

private:
    OwnedFile file_;
    std::unique_ptr<TIFF, TiffClose> tiff_;
};

}  // namespace

std::unique_ptr<PictureDecoder::Codec> OpenStbPicture(std::FILE* file, PictureHeader& header,
                                                      std::optional<ClaimedSize> pngClaim) {
    return std::make_unique<StbDecoder>(file, header, pngClaim);
}

std::unique_ptr<PictureDecoder::Codec> OpenTiff(std::FILE* file, PictureHeader& header) {
    return std::make_unique<TiffDecoder>(file, header);
}

PictureDecoder::PictureDecoder(const FilePath& path) {
    std::FILE* file = std::fopen(path.Native().c_str(), "rb");
    if (file == nullptr) throw EPictureError("the file does not open");
    const std::string head = ReadPictureHead(file);
    switch (FormatOf(head)) {
    case PictureFormat::Jpeg:
        codec_ = OpenJpeg(file, header_);
        header_.exifOrientation = JpegExifOrientation(head);
        break;
    case PictureFormat::Png:
    case PictureFormat::Gif:
    case PictureFormat::Bmp: codec_ = OpenStbPicture(file, header_, PngClaimedSize(head)); break;
    case PictureFormat::Tiff: codec_ = OpenTiff(file, header_); break;
    case PictureFormat::Unknown:
        std::fclose(file);
        throw EPictureError("not a JPEG, PNG, BMP, GIF or TIFF picture");
    }
}

PictureDecoder::~PictureDecoder() = default;

Pixels PictureDecoder::Decode(int minLongEdge) { return codec_->Decode(minLongEdge); }

}  // namespace platform
