#include "editor/AnnotationEffects.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace lumivane::AnnotationEffects {

namespace {

bool finiteRect(const QRectF& r) {
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

// Box sizes of three passes approximating a Gaussian of deviation sigma.
std::array<int, 3> boxRadii(double sigma) {
    const double wIdeal = std::sqrt(12 * sigma * sigma / 3 + 1);
    int wl = int(std::floor(wIdeal));
    if (wl % 2 == 0)
        --wl;
    const int wu = wl + 2;
    const double mIdeal = (12 * sigma * sigma - 3.0 * wl * wl - 12.0 * wl - 9) / (-4.0 * wl - 4);
    const int m = int(std::lround(mIdeal));
    std::array<int, 3> radii{};
    for (int i = 0; i < 3; ++i)
        radii[i] = ((i < m ? wl : wu) - 1) / 2;
    return radii;
}

// Box passes with edges clamped (edge pixels repeat). Cost is linear in the pixel
// count whatever the radius. Division by the window uses an exact reciprocal.
struct BoxDivider {
    uint64_t inverse;
    uint32_t half;
    explicit BoxDivider(int window) : inverse((uint64_t(1) << 32) / uint64_t(window) + 1), half(uint32_t(window / 2)) {}
    uint8_t operator()(uint32_t sum) const { return uint8_t((uint64_t(sum + half) * inverse) >> 32); }
};

void boxPassHorizontal(uint8_t* bits, int w, int h, ptrdiff_t bpl, int radius, std::vector<uint8_t>& row) {
    if (radius <= 0 || w <= 1)
        return;
    const BoxDivider divide(2 * radius + 1);
    row.resize(size_t(w) * 4);
    for (int y = 0; y < h; ++y) {
        uint8_t* line = bits + y * bpl;
        std::copy(line, line + size_t(w) * 4, row.begin());
        auto at = [&](int x) { return &row[size_t(std::clamp(x, 0, w - 1)) * 4]; };
        uint32_t sum[4] = {0, 0, 0, 0};
        for (int i = -radius; i <= radius; ++i)
            for (int c = 0; c < 4; ++c)
                sum[c] += at(i)[c];
        for (int x = 0; x < w; ++x) {
            const uint8_t* in = at(x + radius + 1);
            const uint8_t* out = at(x - radius);
            for (int c = 0; c < 4; ++c) {
                line[size_t(x) * 4 + c] = divide(sum[c]);
                sum[c] += uint32_t(in[c]) - uint32_t(out[c]);
            }
        }
    }
}

void boxPassVertical(uint8_t* bits, int w, int h, ptrdiff_t bpl, int radius, std::vector<uint8_t>& copy,
                     std::vector<uint32_t>& sums) {
    if (radius <= 0 || h <= 1)
        return;
    const BoxDivider divide(2 * radius + 1);
    const size_t rowBytes = size_t(w) * 4;
    copy.resize(rowBytes * size_t(h));
    for (int y = 0; y < h; ++y)
        std::copy(bits + y * bpl, bits + y * bpl + rowBytes, copy.begin() + rowBytes * y);
    auto rowAt = [&](int y) { return &copy[rowBytes * size_t(std::clamp(y, 0, h - 1))]; };
    sums.assign(rowBytes, 0);
    for (int i = -radius; i <= radius; ++i) {
        const uint8_t* r = rowAt(i);
        for (size_t k = 0; k < rowBytes; ++k)
            sums[k] += r[k];
    }
    for (int y = 0; y < h; ++y) {
        uint8_t* line = bits + y * bpl;
        const uint8_t* in = rowAt(y + radius + 1);
        const uint8_t* out = rowAt(y - radius);
        for (size_t k = 0; k < rowBytes; ++k) {
            line[k] = divide(sums[k]);
            sums[k] += uint32_t(in[k]) - uint32_t(out[k]);
        }
    }
}

QImage pixelated(const QImage& image, const QRect& r, double cell, QPointF center) {
    // Cell boundaries lie at center + k × cell; each cell takes the mean of its pixels.
    auto cellOf = [&](double coordinate, double origin) { return std::floor((coordinate + 0.5 - origin) / cell); };
    const double firstCol = cellOf(r.left(), center.x()), lastCol = cellOf(r.right(), center.x());
    const double firstRow = cellOf(r.top(), center.y()), lastRow = cellOf(r.bottom(), center.y());
    const int x0 = std::max(0, int(std::floor(center.x() + firstCol * cell)));
    const int x1 = std::min(image.width(), int(std::ceil(center.x() + (lastCol + 1) * cell)));
    const int y0 = std::max(0, int(std::floor(center.y() + firstRow * cell)));
    const int y1 = std::min(image.height(), int(std::ceil(center.y() + (lastRow + 1) * cell)));
    const int cols = int(lastCol - firstCol) + 1, rows = int(lastRow - firstRow) + 1;
    std::vector<int> colCell(size_t(std::max(x1 - x0, 0))), rowCell(size_t(std::max(y1 - y0, 0)));
    for (int x = x0; x < x1; ++x)
        colCell[size_t(x - x0)] = std::clamp(int(cellOf(x, center.x()) - firstCol), 0, cols - 1);
    for (int y = y0; y < y1; ++y)
        rowCell[size_t(y - y0)] = std::clamp(int(cellOf(y, center.y()) - firstRow), 0, rows - 1);
    std::vector<uint64_t> sums(size_t(cols) * rows * 5, 0);
    for (int y = y0; y < y1; ++y) {
        const uint8_t* line = image.constScanLine(y);
        const size_t rowBase = size_t(rowCell[size_t(y - y0)]) * cols;
        for (int x = x0; x < x1; ++x) {
            uint64_t* s = &sums[(rowBase + colCell[size_t(x - x0)]) * 5];
            const uint8_t* px = line + size_t(x) * 4;
            s[0] += px[0];
            s[1] += px[1];
            s[2] += px[2];
            s[3] += px[3];
            s[4] += 1;
        }
    }
    QImage out(r.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        uint8_t* line = out.scanLine(y - r.top());
        const size_t rowBase = size_t(rowCell[size_t(y - y0)]) * cols;
        for (int x = r.left(); x <= r.right(); ++x) {
            const uint64_t* s = &sums[(rowBase + colCell[size_t(x - x0)]) * 5];
            uint8_t* px = line + size_t(x - r.left()) * 4;
            for (int c = 0; c < 4; ++c)
                px[c] = s[4] ? uint8_t((s[c] + s[4] / 2) / s[4]) : 0;
        }
    }
    return out;
}

} // namespace

void gaussianBlur(QImage& image, double sigma) {
    if (!(sigma > 0) || image.isNull())
        return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const auto radii = boxRadii(sigma);
    std::vector<uint8_t> buffer;
    std::vector<uint32_t> sums;
    const int w = image.width(), h = image.height();
    const ptrdiff_t bpl = image.bytesPerLine();
    uint8_t* bits = image.bits();
    for (int radius : radii) {
        boxPassHorizontal(bits, w, h, bpl, radius, buffer);
        boxPassVertical(bits, w, h, bpl, radius, buffer, sums);
    }
}

QPointF pixelateGridOffset(const QUuid& id) {
    const size_t h = qHash(id.toString(QUuid::WithoutBraces).toUpper(), size_t(0));
    return QPointF((double(h & 255) / 255 - 0.5) * 6, (double((h >> 8) & 255) / 255 - 0.5) * 6);
}

QImage effectImage(const QImage& base, const Annotation& a, QRect* pixelRect) {
    if (base.isNull() || !finiteRect(a.rect))
        return {};
    const QRectF rf = a.rect.normalized();
    const double left = std::floor(rf.left()), top = std::floor(rf.top());
    const double right = std::ceil(rf.right()), bottom = std::ceil(rf.bottom());
    const double l = std::max(left, 0.0), t = std::max(top, 0.0);
    const double rr = std::min(right, double(base.width())), bb = std::min(bottom, double(base.height()));
    if (!(rr > l) || !(bb > t))
        return {};
    const QRect r(int(l), int(t), int(rr - l), int(bb - t));
    if (pixelRect)
        *pixelRect = r;
    // Beyond the image's size a larger blur or cell changes nothing worth the work
    // (a cell wider than twice the image groups its pixels the same way).
    const double extent = double(std::max(base.width(), base.height()));
    if (a.kind == AnnotationKind::blur) {
        const double sigma = std::clamp(a.effectIntensity, 4.0, std::max(extent, 4.0));
        const double m = std::min(std::ceil(3 * sigma), double(std::max(base.width(), base.height())));
        const QRect region = r.adjusted(-int(m), -int(m), int(m), int(m)) & base.rect();
        QImage work = base.copy(region).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        gaussianBlur(work, sigma);
        return work.copy(r.translated(-region.topLeft()));
    }
    if (a.kind == AnnotationKind::pixelate) {
        const double cell = std::clamp(a.effectIntensity, 10.0, std::max(4 * extent, 10.0));
        const QPointF offset = pixelateGridOffset(a.id);
        // Offset y is in the bitmap's bottom-up sense.
        const QPointF center(r.x() + r.width() / 2.0 + offset.x(), r.y() + r.height() / 2.0 - offset.y());
        // RGB32 pixels are already opaque premultiplied ARGB; other formats convert only
        // the part the cells reach (at most one cell beyond the rectangle).
        if (base.format() == QImage::Format_ARGB32_Premultiplied || base.format() == QImage::Format_RGB32)
            return pixelated(base, r, cell, center);
        const int reach = int(std::ceil(cell)) + 2;
        const QRect region = r.adjusted(-reach, -reach, reach, reach) & base.rect();
        const QImage part = base.copy(region).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        return pixelated(part, r.translated(-region.topLeft()), cell, center - QPointF(region.topLeft()));
    }
    return {};
}

} // namespace lumivane::AnnotationEffects
