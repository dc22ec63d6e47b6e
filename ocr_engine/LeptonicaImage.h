#pragma once
#include <QImage>
#include <memory>

struct Pix;

namespace lumivane::ocr {

struct PixDeleter {
    void operator()(Pix* pix) const;
};
using PixPointer = std::unique_ptr<Pix, PixDeleter>;

// An 8-bit Leptonica image of a Format_Grayscale8 image, and back.
PixPointer pixFromGray(const QImage& gray);
QImage grayFromPix(Pix* pix);

} // namespace lumivane::ocr
