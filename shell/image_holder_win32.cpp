#include "shell/image_holder_win32.h"

#include <objbase.h>
#include <utility>
#include <wincodec.h>

namespace brenvik {
namespace {

using win32::UniqueCom;

template <class Interface, class Call>
UniqueCom<Interface> comResult(Call call) {
    Interface* raw = nullptr;
    if (FAILED(call(&raw))) {
        return {};
    }
    return UniqueCom<Interface>(raw);
}

ImageHolder theImageHolder;

} // namespace

ImageHolder& imageHolder() {
    return theImageHolder;
}

ImageHolder::~ImageHolder() {
    discard();
    factory_.reset();
    if (comStarted_) {
        ::CoUninitialize();
    }
}

bool ImageHolder::startDecoder() {
    if (factory_) {
        return true;
    }
    if (!comStarted_) {
        comStarted_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    factory_ = comResult<IWICImagingFactory>([](IWICImagingFactory** out) {
        return ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(out));
    });
    return static_cast<bool>(factory_);
}

void ImageHolder::discard() {
    bitmap_.reset();
    width_ = 0;
    height_ = 0;
}

bool ImageHolder::load(const wchar_t* file) {
    discard();
    if (!startDecoder()) {
        return false;
    }
    IWICImagingFactory* factory = factory_.get();
    const auto decoder = comResult<IWICBitmapDecoder>([&](IWICBitmapDecoder** out) {
        return factory->CreateDecoderFromFilename(file, nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, out);
    });
    const auto frame = decoder ? comResult<IWICBitmapFrameDecode>([&](IWICBitmapFrameDecode** out) {
        return decoder.get()->GetFrame(0, out);
    })
                               : UniqueCom<IWICBitmapFrameDecode>();
    const auto converter = frame ? comResult<IWICFormatConverter>([&](IWICFormatConverter** out) {
        return factory->CreateFormatConverter(out);
    })
                                 : UniqueCom<IWICFormatConverter>();
    // Every pixel keeps its stored colour; an alpha channel plays no part.
    if (!converter || FAILED(converter.get()->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR,
                                                         WICBitmapDitherTypeNone, nullptr, 0.0,
                                                         WICBitmapPaletteTypeCustom))) {
        return false;
    }
    UINT width = 0;
    UINT height = 0;
    if (FAILED(converter.get()->GetSize(&width, &height)) || width == 0 || height == 0) {
        return false;
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height); // top row first, as decoded
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    win32::UniqueBitmap bitmap(
        ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    const UINT stride = width * 4;
    if (!bitmap || FAILED(converter.get()->CopyPixels(nullptr, stride, stride * height,
                                                      static_cast<BYTE*>(pixels)))) {
        return false;
    }
    bitmap_ = std::move(bitmap);
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    return true;
}

void ImageHolder::draw(HDC dc, int x, int y, int width, int height) const {
    if (!bitmap_) {
        return;
    }
    const win32::UniqueMemoryDc source(::CreateCompatibleDC(dc));
    const win32::SelectedObject selected(source.get(), bitmap_.get());
    ::TransparentBlt(dc, x, y, width, height, source.get(), 0, 0, width_, height_,
                     RGB(255, 255, 255));
}

void ImageHolder::paintFile(HDC dc, const wchar_t* file, int x, int y) {
    if (load(file)) {
        draw(dc, x, y, width(), height());
    }
}

} // namespace brenvik
