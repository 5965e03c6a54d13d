// Pictures through the Windows Imaging Component, which every Windows since Vista has: decode and
// encode only. Its scaler is placed after the decoder only at a size the decoder reaches by
// itself (JPEG's 1/2, 1/4, 1/8), so no interpolation of WIC's own touches the pixels (Wine's is
// nearest neighbour); all the rest is the program's own code.

#include "platform/picture_codec.h"
#include "platform/picture_header.h"

#include <algorithm>
#include <utility>

#include "platform/win32/windows_api.h"
#include <objbase.h>
#include <propvarutil.h>
#include <wincodec.h>

namespace platform {

namespace {

// The decoder's own scaling, which MinGW-w64's wincodec.h leaves out: Windows' JPEG decoder
// reaches 1/2, 1/4 and 1/8 of the size in the DCT. A COM interface is released, never deleted.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct IWICBitmapSourceTransform : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height, WICPixelFormatGUID* format,
                                                 WICBitmapTransformOptions transform, UINT stride, UINT size,
                                                 BYTE* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) = 0;
};
#pragma GCC diagnostic pop
constexpr IID IID_IWICBitmapSourceTransform = {0x3B16811B, 0x6A43, 0x4EC9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};

// An interface pointer released as it goes.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return pointer_; }
    T* Get() const { return pointer_; }
    T** Out() {
        Reset();
        return &pointer_;
    }
    void Reset() {
        if (pointer_ != nullptr) pointer_->Release();
        pointer_ = nullptr;
    }

private:
    T* pointer_ = nullptr;
};

void Check(HRESULT result, const char* step) {
    if (FAILED(result)) {
        char code[16];
        wsprintfA(code, " (0x%08lX)", static_cast<unsigned long>(result));
        throw EPictureError(std::string(step) + code);
    }
}

// COM for this thread while a codec is in use; a thread that has it already keeps its own.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

void CreateFactory(ComRef<IWICImagingFactory>& factory) {
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(factory.Out())),
          "WIC is not available");
}

// A TIFF's orientation tag, as WIC's TIFF reader gives it.
int TiffOrientation(IWICBitmapFrameDecode* frame) {
    ComRef<IWICMetadataQueryReader> reader;
    if (FAILED(frame->GetMetadataQueryReader(reader.Out()))) return 1;
    PROPVARIANT value;
    PropVariantInit(&value);
    int orientation = 1;
    if (SUCCEEDED(reader->GetMetadataByName(L"/ifd/{ushort=274}", &value)) && value.vt == VT_UI2 &&
        value.uiVal >= 1 && value.uiVal <= 8) {
        orientation = value.uiVal;
    }
    PropVariantClear(&value);
    return orientation;
}

std::string FileHead(const FilePath& path) {
    std::FILE* file = ::_wfopen(path.Native().c_str(), L"rb");
    if (file == nullptr) throw EPictureError("the file does not open");
    std::string head = ReadPictureHead(file);
    std::fclose(file);
    return head;
}

}  // namespace

struct PictureDecoder::Codec {
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    UINT width = 0;
    UINT height = 0;

    // The size the decoder reaches by itself with the long edge still at least minLongEdge; the
    // full size when it scales nothing.
    std::pair<UINT, UINT> SizeOnLoad(int minLongEdge) {
        ComRef<IWICBitmapSourceTransform> transform;
        if (FAILED(frame->QueryInterface(IID_IWICBitmapSourceTransform, reinterpret_cast<void**>(transform.Out())))) {
            return {width, height};
        }
        const UINT longEdge = std::max(width, height);
        for (const UINT divisor : {8u, 4u, 2u}) {
            UINT w = (width + divisor - 1) / divisor, h = (height + divisor - 1) / divisor;
            if ((longEdge + divisor - 1) / divisor < static_cast<UINT>(minLongEdge)) continue;
            if (SUCCEEDED(transform->GetClosestSize(&w, &h)) && std::max(w, h) >= static_cast<UINT>(minLongEdge) &&
                w <= width && h <= height) {
                return {w, h};
            }
        }
        return {width, height};
    }
};

PictureDecoder::PictureDecoder(const FilePath& path) : codec_(std::make_unique<Codec>()) {
    const std::string head = FileHead(path);
    const PictureFormat format = FormatOf(head);
    if (format == PictureFormat::Unknown) throw EPictureError("not a JPEG, PNG, BMP, GIF or TIFF picture");
    CreateFactory(codec_->factory);
    const HRESULT opened = codec_->factory->CreateDecoderFromFilename(
        path.Native().c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, codec_->decoder.Out());
    // WIC refuses a huge PNG header without telling its size: the claim is taken, so that the
    // refusal can name it (and a decode would fail).
    if (const auto claim = PngClaimedSize(head); FAILED(opened) && claim) {
        header_.width = claim->width;
        header_.height = claim->height;
        return;
    }
    Check(opened, "not a picture this system decodes");
    Check(codec_->decoder->GetFrame(0, codec_->frame.Out()), "the picture has no frame");
    Check(codec_->frame->GetSize(&codec_->width, &codec_->height), "the picture has no size");
    header_.width = static_cast<int>(codec_->width);
    header_.height = static_cast<int>(codec_->height);
    if (format == PictureFormat::Jpeg) header_.exifOrientation = JpegExifOrientation(head);
    if (format == PictureFormat::Tiff) header_.exifOrientation = TiffOrientation(codec_->frame.Get());
}

PictureDecoder::~PictureDecoder() = default;

Pixels PictureDecoder::Decode(int minLongEdge) {
    if (codec_->frame.Get() == nullptr) throw EPictureError("not a picture this system decodes");
    const auto [width, height] = codec_->SizeOnLoad(minLongEdge);
    ComRef<IWICBitmapScaler> scaler;
    IWICBitmapSource* source = codec_->frame.Get();
    if (width != codec_->width || height != codec_->height) {
        Check(codec_->factory->CreateBitmapScaler(scaler.Out()), "no scaler");
        Check(scaler->Initialize(source, width, height, WICBitmapInterpolationModeFant), "the scaler refused the size");
        source = scaler.Get();
    }
    // BGRA: the one 32-bit format every WIC converts to.
    ComRef<IWICFormatConverter> converter;
    Check(codec_->factory->CreateFormatConverter(converter.Out()), "no format converter");
    Check(converter->Initialize(source, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                WICBitmapPaletteTypeCustom),
          "the picture's pixels do not convert");
    Pixels pixels = MakePixels(static_cast<int>(width), static_cast<int>(height), 4);
    Check(converter->CopyPixels(nullptr, static_cast<UINT>(pixels.RowBytes()), static_cast<UINT>(pixels.bytes.size()),
                                pixels.bytes.data()),
          "the picture's data does not decode");
    for (std::size_t i = 0; i < pixels.bytes.size(); i += 4) std::swap(pixels.bytes[i], pixels.bytes[i + 2]);
    return pixels;
}

std::string EncodeJpeg(const Pixels& pixels, int quality) {
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    CreateFactory(factory);
    ComRef<IStream> stream;
    Check(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out()), "no memory stream");
    ComRef<IWICBitmapEncoder> encoder;
    Check(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.Out()), "no JPEG encoder");
    Check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "the JPEG encoder does not start");
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    Check(encoder->CreateNewFrame(frame.Out(), options.Out()), "the JPEG encoder has no frame");
    // Each option on its own: a Windows that lacks one (4:2:0 is Windows 8's) still encodes.
    PROPBAG2 option{};
    VARIANT value;
    option.pstrName = const_cast<wchar_t*>(L"ImageQuality");
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(quality) / 100.0f;
    options->Write(1, &option, &value);
    option.pstrName = const_cast<wchar_t*>(L"JpegYCrCbSubsampling");
    VariantInit(&value);
    value.vt = VT_UI1;
    value.bVal = WICJpegYCrCbSubsampling420;
    options->Write(1, &option, &value);
    Check(frame->Initialize(options.Get()), "the JPEG frame does not start");
    Check(frame->SetSize(static_cast<UINT>(pixels.width), static_cast<UINT>(pixels.height)), "the JPEG size");
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    Check(frame->SetPixelFormat(&format), "the JPEG pixel format");
    // Row by row, in the encoder's order of colours.
    std::vector<BYTE> row(pixels.RowBytes());
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint8_t* rgb = pixels.Row(y);
        for (std::size_t i = 0; i < row.size(); i += 3) {
            row[i] = rgb[i + 2];
            row[i + 1] = rgb[i + 1];
            row[i + 2] = rgb[i];
        }
        Check(frame->WritePixels(1, static_cast<UINT>(row.size()), static_cast<UINT>(row.size()), row.data()),
              "the JPEG encoder refused the pixels");
    }
    Check(frame->Commit(), "the JPEG frame does not end");
    Check(encoder->Commit(), "the JPEG does not end");
    HGLOBAL memory = nullptr;
    Check(GetHGlobalFromStream(stream.Get(), &memory), "the JPEG is not in memory");
    STATSTG stat{};
    Check(stream->Stat(&stat, STATFLAG_NONAME), "the JPEG's size");
    const auto* bytes = static_cast<const char*>(GlobalLock(memory));
    std::string jpeg(bytes, static_cast<std::size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    return jpeg;
}

}  // namespace platform
