#pragma once
// The program's one image holder: decodes a PNG file with the platform's imaging component and
// draws it with white as the see-through colour. It holds at most one image; the main window
// and the About box share it and load their pictures anew at every paint.

#include "win32/handles.h"
#include "win32/win32.h"

struct IWICImagingFactory;

namespace brenvik {

class ImageHolder {
public:
    ImageHolder() = default;
    ImageHolder(const ImageHolder&) = delete;
    ImageHolder& operator=(const ImageHolder&) = delete;
    // Ends the imaging component when it was started.
    ~ImageHolder();

    // Discards the held image, then decodes `file` (opened as named, relative to the current
    // directory). False, with nothing held, when the file is missing or not a decodable image.
    bool load(const wchar_t* file);
    void discard();
    int width() const { return width_; }
    int height() const { return height_; }

    // Copies the held image to (x, y) at the given size, leaving out every pure white pixel.
    void draw(HDC dc, int x, int y, int width, int height) const;

    // Discards, loads `file` and draws it at (x, y) at its natural size if it decoded.
    void paintFile(HDC dc, const wchar_t* file, int x, int y);

private:
    bool startDecoder();

    bool comStarted_ = false;
    win32::UniqueCom<IWICImagingFactory> factory_;
    win32::UniqueBitmap bitmap_;
    int width_ = 0;
    int height_ = 0;
};

// The program-wide holder, alive from process start to process end.
ImageHolder& imageHolder();

} // namespace brenvik
