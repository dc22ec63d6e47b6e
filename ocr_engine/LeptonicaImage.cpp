#include "ocr_engine/LeptonicaImage.h"

#include <leptonica/allheaders.h>

namespace lumivane::ocr {

void PixDeleter::operator()(Pix* pix) const {
    pixDestroy(&pix);
}

PixPointer pixFromGray(const QImage& gray) {
    PixPointer pix(pixCreate(gray.width(), gray.height(), 8));
    if (!pix)
        return pix;
    const l_int32 wpl = pixGetWpl(pix.get());
    l_uint32* data = pixGetData(pix.get());
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* in = gray.constScanLine(y);
        l_uint32* out = data + ptrdiff_t(y) * wpl;
        for (int x = 0; x < gray.width(); ++x)
            SET_DATA_BYTE(out, x, in[x]);
    }
    return pix;
}

QImage grayFromPix(Pix* pix) {
    const l_int32 w = pixGetWidth(pix), h = pixGetHeight(pix), wpl = pixGetWpl(pix);
    QImage gray(w, h, QImage::Format_Grayscale8);
    const l_uint32* data = pixGetData(pix);
    for (int y = 0; y < h; ++y) {
        const l_uint32* in = data + ptrdiff_t(y) * wpl;
        uchar* out = gray.scanLine(y);
        for (int x = 0; x < w; ++x)
            out[x] = uchar(GET_DATA_BYTE(in, x));
    }
    return gray;
}

} // namespace lumivane::ocr
