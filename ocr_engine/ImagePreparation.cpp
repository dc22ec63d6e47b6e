#include "ocr_engine/ImagePreparation.h"
#include "ocr_engine/LeptonicaImage.h"

#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <leptonica/allheaders.h>
#include <vector>

namespace lumivane::ocr {

namespace {

struct ColourSum {
    qint64 count = 0, r = 0, g = 0, b = 0;
};

QRgb dominantColour(const QImage& rgb) {
    // 4 bits a channel; the fullest bin's mean colour.
    std::vector<ColourSum> bins(4096);
    const int step = std::max(1, int(std::sqrt(double(rgb.width()) * rgb.height() / 2.0e6)));
    for (int y = 0; y < rgb.height(); y += step) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); x += step) {
            const QRgb p = line[x];
            ColourSum& bin = bins[((qRed(p) >> 4) << 8) | ((qGreen(p) >> 4) << 4) | (qBlue(p) >> 4)];
            ++bin.count;
            bin.r += qRed(p);
            bin.g += qGreen(p);
            bin.b += qBlue(p);
        }
    }
    const auto top = std::max_element(bins.begin(), bins.end(),
                                      [](const ColourSum& a, const ColourSum& b) { return a.count < b.count; });
    if (top->count == 0)
        return qRgb(255, 255, 255);
    return qRgb(int(top->r / top->count), int(top->g / top->count), int(top->b / top->count));
}

int luminance(int r, int g, int b) {
    return (r * 299 + g * 587 + b * 114 + 500) / 1000;
}

QImage opaqueRgb(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    // Transparent parts read as a white page.
    QImage rgb(image.size(), QImage::Format_RGB32);
    rgb.fill(Qt::white);
    QPainter painter(&rgb);
    painter.drawImage(0, 0, image);
    return rgb;
}

double percentile(std::vector<int> values, double fraction) {
    if (values.empty())
        return 0;
    const size_t index = std::min(values.size() - 1, size_t(fraction * double(values.size())));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(index), values.end());
    return values[index];
}

} // namespace

QImage grayForRecognition(const QImage& image, Background* background) {
    const QImage rgb = opaqueRgb(image);
    const QRgb page = dominantColour(rgb);
    const int pr = qRed(page), pg = qGreen(page), pb = qBlue(page);
    const int chroma = std::max({pr, pg, pb}) - std::min({pr, pg, pb});
    const Background kind = chroma >= 40                   ? Background::coloured
                            : luminance(pr, pg, pb) >= 128 ? Background::light
                                                           : Background::dark;
    if (background)
        *background = kind;
    QImage gray(rgb.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* out = gray.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            const int r = qRed(in[x]), g = qGreen(in[x]), b = qBlue(in[x]);
            int value = luminance(r, g, b);
            if (kind == Background::dark) {
                value = 255 - value;
            } else if (kind == Background::coloured) {
                // Anything far from the page colour is ink, whatever its own colour.
                const double distance =
                    std::sqrt(double((r - pr) * (r - pr) + (g - pg) * (g - pg) + (b - pb) * (b - pb)));
                value = 255 - std::min(255, int(distance * 1.5));
            }
            out[x] = uchar(value);
        }
    }
    return gray;
}

TextLayoutEstimate estimateTextLayout(const QImage& gray) {
    TextLayoutEstimate estimate;
    PixPointer pix = pixFromGray(gray);
    PixPointer ink(pixThresholdToBinary(pix.get(), 128));
    if (!ink)
        return estimate;
    BOXA* boxes = pixConnCompBB(ink.get(), 8);
    if (!boxes)
        return estimate;
    struct Box {
        int x, y, w, h;
    };
    std::vector<Box> glyphs;
    std::vector<int> heights;
    const int count = boxaGetCount(boxes);
    for (int i = 0; i < count; ++i) {
        l_int32 x = 0, y = 0, w = 0, h = 0;
        boxaGetBoxGeometry(boxes, i, &x, &y, &w, &h);
        estimate.inkBounds |= QRect(x, y, w, h);
        // Ruling lines, frames and specks are not characters.
        if (h < 3 || h > 300 || w > 3 * h || h > 12 * w)
            continue;
        glyphs.push_back({x, y, w, h});
        heights.push_back(h);
    }
    boxaDestroy(&boxes);
    // Parts of characters (radicals, dots, lower-case letters) are smaller than whole
    // ones: an upper percentile is the height of a whole character.
    const double height = percentile(heights, 0.8);
    if (heights.size() < 3)
        return estimate;
    estimate.glyphHeight = int(std::lround(height));

    // Writing direction: the nearest whole character of a whole character sits beside
    // it in horizontal text and below or above it in vertical text.
    std::vector<Box> whole;
    for (const Box& b : glyphs)
        if (b.w >= 0.6 * height && b.h >= 0.6 * height && b.w <= 1.6 * height && b.h <= 1.6 * height)
            whole.push_back(b);
    std::sort(whole.begin(), whole.end(), [](const Box& a, const Box& b) { return a.x < b.x; });
    const double reach = 2.0 * height;
    int besideCount = 0, belowCount = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
        const double cx = whole[i].x + whole[i].w / 2.0, cy = whole[i].y + whole[i].h / 2.0;
        double best = reach * reach;
        int bestDirection = 0; // 1 beside, 2 below or above
        // Sorted by x: only the neighbours within reach along x are looked at.
        const auto first = std::lower_bound(whole.begin(), whole.end(), whole[i].x - reach,
                                            [](const Box& b, double x) { return b.x < x; });
        for (size_t j = size_t(first - whole.begin()); j < whole.size() && whole[j].x <= whole[i].x + reach; ++j) {
            if (j == i)
                continue;
            const double dx = whole[j].x + whole[j].w / 2.0 - cx, dy = whole[j].y + whole[j].h / 2.0 - cy;
            const double d = dx * dx + dy * dy;
            if (d < best) {
                best = d;
                bestDirection = std::abs(dx) >= std::abs(dy) ? 1 : 2;
            }
        }
        besideCount += bestDirection == 1;
        belowCount += bestDirection == 2;
    }
    estimate.vertical = belowCount >= 10 && belowCount > 2 * besideCount;
    return estimate;
}

PreparedImage prepareForRecognition(const QImage& image) {
    PreparedImage prepared;
    const QImage gray = grayForRecognition(image, &prepared.background);
    prepared.layout = estimateTextLayout(gray);
    // A margin of a character or two keeps the engine's view of the text's edges.
    const int margin = std::max(16, 2 * prepared.layout.glyphHeight);
    prepared.crop = prepared.layout.inkBounds.isEmpty()
                        ? gray.rect()
                        : prepared.layout.inkBounds.adjusted(-margin, -margin, margin, margin) & gray.rect();
    double scale = 1.0;
    if (prepared.layout.glyphHeight > 0)
        scale = std::clamp(double(kTargetGlyphHeight) / prepared.layout.glyphHeight, 1.0, 4.0);
    const double w = prepared.crop.width(), h = prepared.crop.height();
    scale = std::min({scale, kMaxPreparedSide / w, kMaxPreparedSide / h, std::sqrt(kMaxPreparedPixels / (w * h))});
    PixPointer pix = pixFromGray(prepared.crop == gray.rect() ? gray : gray.copy(prepared.crop));
    // Text near the engine's size is left as it is: scaling costs time and gains nothing.
    if (scale >= 1.25) {
        if (PixPointer scaled{pixScaleGrayLI(pix.get(), float(scale), float(scale))}) {
            pix = std::move(scaled);
            prepared.scale = scale;
        }
    }
    if (prepared.background == Background::coloured) {
        // Thin light text on colour keeps little contrast once grey: one threshold
        // for the page (Otsu), after scaling so the strokes keep their shape.
        PIX* binary = nullptr;
        const l_int32 side = std::max(pixGetWidth(pix.get()), pixGetHeight(pix.get()));
        if (pixOtsuAdaptiveThreshold(pix.get(), side, side, 0, 0, 0.1f, nullptr, &binary) == 0 && binary) {
            PixPointer owned(binary);
            if (PixPointer eight{pixConvert1To8(nullptr, owned.get(), 255, 0)}) {
                pix = std::move(eight);
                prepared.binarised = true;
            }
        }
    }
    prepared.gray = grayFromPix(pix.get());
    return prepared;
}

} // namespace lumivane::ocr
