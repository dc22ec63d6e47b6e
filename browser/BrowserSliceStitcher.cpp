#include "browser/BrowserSliceStitcher.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>

namespace lumivane {

namespace browser_output {
double scaleFor(double w, double h) {
    if (w <= 0 || h <= 0)
        return 1;
    const double a = maxDimension / std::max(w, h);
    const double b = std::sqrt(maxPixels / std::max(w * h, 1.0));
    const double s = std::min({1.0, a, b});
    return s >= 0.999 ? 1.0 : s;
}
} // namespace browser_output

namespace {

struct Place {
    qint64 x = 0, y = 0;
};

Place placeOf(const BrowserCapturedSegment& s, double scale) {
    return {qint64(std::floor(s.scrollX * scale)), qint64(std::floor(s.scrollY * scale))};
}

// Where a w × h piece at full-size position (x, y) lands at factor outScale. Edges are
// rounded the same way for neighbours, so pieces meet without gaps.
QRect scaledRect(qint64 x, qint64 y, int w, int h, double outScale) {
    if (outScale == 1.0)
        return QRect(int(x), int(y), w, h);
    const int x0 = int(std::lround(double(x) * outScale)), y0 = int(std::lround(double(y) * outScale));
    const int x1 = int(std::lround(double(x + w) * outScale)), y1 = int(std::lround(double(y + h) * outScale));
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

QImage decodedSlice(const BrowserCapturedSegment& s) {
    QImage slice = QImage::fromData(s.png, "png");
    if (slice.isNull())
        return {};
    return slice.copy(s.crop);
}

QImage scaledTo(const QImage& piece, QSize size) {
    if (piece.size() == size)
        return piece;
    return piece.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

BrowserSliceStitcher::~BrowserSliceStitcher() {
    for (Strip& s : strips_)
        if (s.image.valid())
            s.image.wait();
}

QSize BrowserSliceStitcher::fullSize(const std::vector<BrowserCapturedSegment>& segments, double scale) {
    qint64 maxX = 0, maxY = 0;
    bool any = false;
    for (const BrowserCapturedSegment& s : segments) {
        if (s.crop.isEmpty())
            continue;
        const Place p = placeOf(s, scale);
        maxX = std::max(maxX, p.x + s.crop.width());
        maxY = std::max(maxY, p.y + s.crop.height());
        any = true;
    }
    if (!any || maxX > INT_MAX || maxY > INT_MAX)
        return {};
    return QSize(int(maxX), int(maxY));
}

ImageRef BrowserSliceStitcher::stitchRows(const std::vector<BrowserCapturedSegment>& segments, double scale, qint64 top,
                                          qint64 bottom, double outScale) {
    const QSize full = fullSize(segments, scale);
    if (full.isEmpty() || !(scale > 0) || bottom <= top || !(outScale > 0))
        return nullptr;
    const int outW = std::max(int(std::floor(full.width() * outScale)), 1);
    const int outH = std::max(int(std::floor(double(bottom - top) * outScale)), 1);
    if (double(outW) * outH > browser_output::maxPixels * 1.01)
        return nullptr;
    QImage canvas(outW, outH, QImage::Format_RGB32);
    if (canvas.isNull())
        return nullptr;
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    int drawn = 0;
    for (const BrowserCapturedSegment& s : segments) {
        if (s.crop.isEmpty())
            continue;
        const Place p = placeOf(s, scale);
        if (p.y + s.crop.height() <= top || p.y >= bottom)
            continue;
        const QImage slice = decodedSlice(s);
        if (slice.isNull())
            continue;
        const QRect r = scaledRect(p.x, p.y - top, slice.width(), slice.height(), outScale);
        if (r.isEmpty())
            continue;
        painter.drawImage(r.topLeft(), scaledTo(slice, r.size()));
        ++drawn;
    }
    painter.end();
    if (drawn == 0)
        return nullptr;
    return makeImage(std::move(canvas));
}

ImageRef BrowserSliceStitcher::stitch(const std::vector<BrowserCapturedSegment>& segments, double scale) {
    const QSize full = fullSize(segments, scale);
    if (full.isEmpty())
        return nullptr;
    return stitchRows(segments, scale, 0, full.height(), browser_output::scaleFor(full.width(), full.height()));
}

void BrowserSliceStitcher::add(BrowserCapturedSegment segment, double expectedWidth, double expectedHeight) {
    Strip strip;
    strip.outScale = browser_output::scaleFor(expectedWidth, expectedHeight);
    const Place p = placeOf(segment, scale_);
    const QRect r = scaledRect(p.x, p.y, segment.crop.width(), segment.crop.height(), strip.outScale);
    // The task reads its own copies: segments_ may grow meanwhile.
    strip.image = std::async(std::launch::async, [png = segment.png, crop = segment.crop, size = r.size()] {
        const QImage slice = decodedSlice({0, 0, png, crop});
        return slice.isNull() || size.isEmpty() ? QImage() : scaledTo(slice, size);
    });
    segments_.push_back(std::move(segment));
    strips_.push_back(std::move(strip));
}

ImageRef BrowserSliceStitcher::finish() {
    const QSize full = fullSize(segments_, scale_);
    if (full.isEmpty() || !(scale_ > 0))
        return nullptr;
    const double outScale = browser_output::scaleFor(full.width(), full.height());
    const QSize area(std::max(int(std::floor(full.width() * outScale)), 1),
                     std::max(int(std::floor(full.height() * outScale)), 1));
    if (double(area.width()) * area.height() > browser_output::maxPixels * 1.01)
        return nullptr;
    QImage canvas(area, QImage::Format_RGB32);
    if (canvas.isNull())
        return nullptr;
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    int drawn = 0;
    for (size_t i = 0; i < segments_.size(); ++i) {
        const BrowserCapturedSegment& s = segments_[i];
        QImage piece = strips_[i].image.get();
        if (s.crop.isEmpty())
            continue;
        const Place p = placeOf(s, scale_);
        const QRect r = scaledRect(p.x, p.y, s.crop.width(), s.crop.height(), outScale);
        if (r.isEmpty())
            continue;
        // Prepared at another scale (the page changed its size): decode again.
        if (strips_[i].outScale != outScale || piece.size() != r.size()) {
            const QImage slice = decodedSlice(s);
            piece = slice.isNull() ? QImage() : scaledTo(slice, r.size());
        }
        if (piece.isNull())
            continue;
        painter.drawImage(r.topLeft(), piece);
        ++drawn;
    }
    painter.end();
    strips_.clear();
    if (drawn == 0)
        return nullptr;
    return makeImage(std::move(canvas));
}

} // namespace lumivane
