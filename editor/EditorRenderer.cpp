#include "editor/EditorRenderer.h"
#include "core/ImageMemory.h"
#include "editor_model/AnnotationGeometry.h"
#include "editor_model/DocumentLimits.h"

#include <QHash>
#include <QPainterPath>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace lumivane::EditorRenderer {

namespace {

constexpr double spotlightCornerRadius = 18;

QColor colorOf(const RgbaColor& c) {
    auto unit = [](double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(unit(c.red)), float(unit(c.green)), float(unit(c.blue)), float(unit(c.alpha)));
}

QPainterPath roundedRectPath(const QRectF& r, double radius) {
    QPainterPath path;
    const double rr = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    if (rr > 0)
        path.addRoundedRect(r, rr, rr);
    else
        path.addRect(r);
    return path;
}

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

// Largest whole-pixel rectangle inside r (empty when none).
QRect innerRect(const QRectF& r) {
    const int l = int(std::ceil(r.left())), t = int(std::ceil(r.top()));
    const int rt = int(std::floor(r.right())), b = int(std::floor(r.bottom()));
    return (rt > l && b > t) ? QRect(l, t, rt - l, b - t) : QRect();
}

bool isWholePixels(const QRectF& r) {
    return r.x() == std::floor(r.x()) && r.y() == std::floor(r.y()) && r.width() == std::floor(r.width()) &&
           r.height() == std::floor(r.height());
}

void drawShadow(QPainter& painter, const CanvasBackgroundStyle& style, const QRectF& k) {
    const double sigma = std::max(style.shadowBlur, 0.0) / 2;
    const int margin = int(std::ceil(3 * sigma)) + 1;
    const int kw = std::max(int(std::lround(k.width())), 1), kh = std::max(int(std::lround(k.height())), 1);
    const double corner = std::clamp(style.cornerRadius, 0.0, std::min(kw, kh) / 2.0);
    // A small mask whose middle row and column are stretched (nine-patch): the blurred
    // shadow is constant along the straight edges.
    const int span = 2 * (int(std::ceil(corner)) + margin) + 3;
    const int mw = std::min(kw, span), mh = std::min(kh, span);
    QImage mask(mw + 2 * margin, mh + 2 * margin, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(roundedRectPath(QRectF(margin, margin, mw, mh), corner), Qt::black);
    }
    gaussianBlur(mask, sigma);

    const QRectF target(k.x() - margin, k.y() - margin + style.shadowOffsetY, kw + 2 * margin, kh + 2 * margin);
    const int sw = mask.width(), sh = mask.height();
    const int cx = sw / 2, cy = sh / 2;
    const double sx[4] = {0, double(cx), double(cx + 1), double(sw)};
    const double sy[4] = {0, double(cy), double(cy + 1), double(sh)};
    const double dx[4] = {0, double(cx), target.width() - (sw - cx - 1), target.width()};
    const double dy[4] = {0, double(cy), target.height() - (sh - cy - 1), target.height()};
    // The image is copied over K afterwards, so the shadow only shows outside the
    // rounded rectangle: the uniform middle patch is drawn only where K does not cover it.
    const QRegion covered =
        QRegion(innerRect(k.adjusted(0, corner, 0, -corner))) + QRegion(innerRect(k.adjusted(corner, 0, -corner, 0)));
    painter.save();
    painter.setOpacity(std::clamp(style.shadowOpacity, 0.0, 1.0));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const QRectF src(sx[i], sy[j], sx[i + 1] - sx[i], sy[j + 1] - sy[j]);
            const QRectF dst(target.x() + dx[i], target.y() + dy[j], dx[i + 1] - dx[i], dy[j + 1] - dy[j]);
            if (src.isEmpty() || dst.width() <= 0 || dst.height() <= 0)
                continue;
            if (i == 1 && j == 1) {
                for (const QRect& part : QRegion(dst.toAlignedRect()) - covered)
                    if (const QRectF piece = dst & QRectF(part); !piece.isEmpty())
                        painter.drawImage(piece, mask, src);
                continue;
            }
            painter.drawImage(dst, mask, src);
        }
    painter.restore();
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

void drawText(QPainter& painter, const Annotation& a) {
    const QSizeF display = TextAnnotationLayout::displaySize(a.text, a.fontSize);
    const QRectF r = a.rect.normalized();
    const QRectF box(r.topLeft(), QSizeF(std::max(r.width(), display.width()), std::max(r.height(), display.height())));
    if (a.text.isEmpty())
        return;
    const QFont font = TextAnnotationLayout::font(a.fontSize);
    const QFontMetricsF fm = TextAnnotationLayout::metrics(font);
    const QRectF inner = box.adjusted(TextAnnotationLayout::insetX, TextAnnotationLayout::insetY,
                                      -TextAnnotationLayout::insetX, -TextAnnotationLayout::insetY);
    painter.save();
    painter.setFont(font);
    painter.setPen(colorOf(a.color));
    painter.setClipRect(box, Qt::IntersectClip);
    double baseline = inner.top() + fm.ascent();
    for (const QString& line : a.text.split(QLatin1Char('\n'))) {
        if (baseline - fm.ascent() > box.bottom())
            break;
        painter.drawText(QPointF(inner.left(), baseline), line);
        baseline += fm.lineSpacing() + TextAnnotationLayout::lineSpacing;
    }
    painter.restore();
}

void drawMarker(QPainter& painter, const Annotation& a) {
    if (a.markerPoints.empty())
        return;
    const std::vector<QPointF> points = refinedMarkerPoints(a.markerPoints, a.lineWidth);
    // Guard against absurd strokes: more stamps than any real stroke needs.
    double pathLength = 0;
    for (size_t i = 1; i < points.size(); ++i)
        pathLength += QLineF(points[i - 1], points[i]).length();
    const auto stamp = MarkerChiselPath::stampSize(a.lineWidth);
    if (!std::isfinite(pathLength) || pathLength / stamp.spacing > 2e6)
        return;
    // The ink is the union of the stamps (the chisel path's stamps), multiplied into
    // the canvas once. The stamps are laid opaque into a layer one by one (far cheaper
    // than filling one path of hundreds of overlapping curved subpaths); the ink's
    // alpha is applied when the layer is multiplied in.
    const std::vector<QPointF> centers = markerStampCenters(points, stamp.spacing);
    auto stampRect = [&](QPointF c) {
        return QRectF(c.x() - stamp.width / 2, c.y() - stamp.height / 2, stamp.width, stamp.height);
    };
    QRectF inkBounds;
    for (const QPointF& c : centers)
        inkBounds |= stampRect(c);
    const QRect bounds =
        painter.transform().mapRect(inkBounds).toAlignedRect().adjusted(-1, -1, 1, 1) &
        QRect(QPoint(0, 0), painter.device() ? QSize(painter.device()->width(), painter.device()->height()) : QSize());
    if (bounds.isEmpty())
        return;
    QImage layer(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        lp.setTransform(painter.transform() * QTransform::fromTranslate(-bounds.x(), -bounds.y()));
        lp.setPen(Qt::NoPen);
        QColor opaque = colorOf(a.color);
        opaque.setAlphaF(1);
        lp.setBrush(opaque);
        for (const QPointF& c : centers) {
            QPainterPath one;
            MarkerChiselPath::addContinuousRoundedRect(one, stampRect(c), stamp.cornerRadius);
            lp.drawPath(one);
        }
    }
    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.setOpacity(painter.opacity() * colorOf(a.color).alphaF());
    painter.drawImage(bounds.topLeft(), layer);
    painter.restore();
}

} // namespace

void drawAnnotation(QPainter& painter, const Annotation& a, const QImage& base, const QRectF& canvasRect) {
    const QRectF r = a.rect.normalized();
    const QColor color = colorOf(a.color);
    switch (a.kind) {
    case AnnotationKind::rectangle:
    case AnnotationKind::ellipse: {
        QPen pen(color, std::max(a.lineWidth, 0.0), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        if (a.kind == AnnotationKind::rectangle)
            painter.drawRect(r);
        else
            painter.drawEllipse(r);
        painter.setPen(Qt::NoPen);
        break;
    }
    case AnnotationKind::arrow: {
        const QPointF start = a.arrowStart.value_or(a.rect.topLeft());
        const QPointF end = a.arrowEnd.value_or(a.rect.bottomRight());
        painter.fillPath(ArrowGeometry(start, end, a.lineWidth).outline(), color);
        break;
    }
    case AnnotationKind::text:
        drawText(painter, a);
        break;
    case AnnotationKind::marker:
        drawMarker(painter, a);
        break;
    case AnnotationKind::highlight:
        painter.fillRect(r, color);
        break;
    case AnnotationKind::blur:
    case AnnotationKind::pixelate: {
        QRect pixels;
        const QImage effect = effectImage(base, a, &pixels);
        if (!effect.isNull())
            painter.drawImage(QRectF(pixels), effect);
        break;
    }
    case AnnotationKind::spotlight:
        drawSpotlight(painter, r, canvasRect, a.effectIntensity);
        break;
    }
}

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

void drawBackground(QPainter& painter, const CanvasBackgroundStyle& style, QSizeF canvasSize,
                    const QRectF& contentRect) {
    const QRectF canvas(QPointF(0, 0), canvasSize);
    if (!style.isEnabled) {
        painter.fillRect(canvas, Qt::white);
        return;
    }
    painter.fillRect(canvas, colorOf(style.color));
    // Only the shadow of the content rectangle shows: the image is copied over it.
    if (style.shadowOpacity > 0.001)
        drawShadow(painter, style, contentRect);
}

void drawSpotlight(QPainter& painter, const QRectF& rect, const QRectF& canvasRect, double dimOpacity) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRect(canvasRect);
    const QPainterPath hole = roundedRectPath(rect, spotlightCornerRadius);
    path.addPath(hole);
    const double d = std::isfinite(dimOpacity) ? std::clamp(dimOpacity, 0.18, 0.82) : 0.18;
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, float(d)));
    painter.save();
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.7f), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(hole);
    painter.restore();
}

std::optional<QImage> render(const EditorDocument& document) {
    if (!document.baseImage || document.baseImage->isNull())
        return std::nullopt;
    if (!DocumentLimits::renderProblem(document).isEmpty())
        return std::nullopt;
    const QImage& base = *document.baseImage;
    const QRectF imageRect(0, 0, base.width(), base.height());
    const QRectF s = document.cropRect ? document.cropRect->normalized() : imageRect;
    const CanvasBackgroundStyle& style = document.backgroundStyle;
    const double p = style.isEnabled ? std::max(style.padding, 0.0) : 0.0;
    if (!finiteRect(s) || !std::isfinite(p))
        return std::nullopt;
    const QSizeF c(s.width() + 2 * p, s.height() + 2 * p);
    const QRectF k(p, p, s.width(), s.height());

    QImage canvas = allocateImage(QSize(int(std::ceil(c.width() - 1e-9)), int(std::ceil(c.height() - 1e-9))),
                                  QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return std::nullopt;
    canvas.setDotsPerMeterX(2835); // 72 dpi: font points are pixels
    canvas.setDotsPerMeterY(2835);
    QPainter painter(&canvas);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);

    drawBackground(painter, style, c, k);

    const double corner =
        style.isEnabled ? std::clamp(style.cornerRadius, 0.0, std::min(k.width(), k.height()) / 2) : 0.0;
    const QPainterPath frame = roundedRectPath(k, corner);
    // With K on whole pixels, only K's corner squares differ from a rectangular clip:
    // everything is drawn clipped to K and the corners are rounded afterwards from a
    // copy of the background taken now.
    const bool roundCornersAfter = style.isEnabled && isWholePixels(k);
    const int cornerSide =
        roundCornersAfter ? std::min(int(std::ceil(corner)) + 1, int(std::min(k.width(), k.height()))) : 0;
    std::array<QRect, 4> corners;
    std::array<QImage, 4> groundAtCorners;
    if (cornerSide > 0 && corner > 0) {
        const QRect kk = k.toRect();
        corners = {QRect(kk.left(), kk.top(), cornerSide, cornerSide),
                   QRect(kk.right() + 1 - cornerSide, kk.top(), cornerSide, cornerSide),
                   QRect(kk.left(), kk.bottom() + 1 - cornerSide, cornerSide, cornerSide),
                   QRect(kk.right() + 1 - cornerSide, kk.bottom() + 1 - cornerSide, cornerSide, cornerSide)};
        for (size_t i = 0; i < 4; ++i)
            groundAtCorners[i] = canvas.copy(corners[i]);
    }

    // The part of the image inside S, copied (not blended) into its place in K.
    const QRectF visible = s & imageRect;
    if (!visible.isEmpty()) {
        const QRectF target = visible.translated(k.topLeft() - s.topLeft());
        if (style.isEnabled && !roundCornersAfter) {
            QImage layer(int(std::ceil(k.width())), int(std::ceil(k.height())), QImage::Format_ARGB32_Premultiplied);
            if (layer.isNull())
                return std::nullopt;
            layer.fill(Qt::transparent);
            {
                QPainter lp(&layer);
                lp.setRenderHint(QPainter::SmoothPixmapTransform);
                lp.setCompositionMode(QPainter::CompositionMode_Source);
                lp.drawImage(target.translated(-k.topLeft()), base, visible);
            }
            QBrush brush(layer);
            brush.setTransform(QTransform::fromTranslate(k.x(), k.y()));
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillPath(frame, brush);
        } else {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(target, base, visible);
        }
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }

    // Annotations never paint on the padding. They are drawn in image points moved by
    // K's origin minus S's origin.
    painter.save();
    if (roundCornersAfter)
        painter.setClipRect(k);
    else if (style.isEnabled)
        painter.setClipPath(frame);
    const QPointF shift = k.topLeft() - s.topLeft();
    painter.translate(shift);
    painter.setPen(Qt::NoPen);
    const QRectF canvasInImage(-shift, c);
    for (const Annotation& a : document.annotations) {
        if (!finiteRect(a.rect))
            continue;
        drawAnnotation(painter, a, base, canvasInImage);
    }
    painter.restore();

    // Round K's corners: the background outside the arc, the drawing inside it.
    for (size_t i = 0; i < 4 && !groundAtCorners[0].isNull(); ++i) {
        QImage merged = groundAtCorners[i];
        {
            QPainter mp(&merged);
            mp.setRenderHint(QPainter::Antialiasing);
            mp.setCompositionMode(QPainter::CompositionMode_Source);
            QBrush drawn(canvas.copy(corners[i]));
            mp.fillPath(frame.translated(-corners[i].topLeft()), drawn);
        }
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(corners[i].topLeft(), merged);
    }
    painter.end();
    return canvas;
}

} // namespace lumivane::EditorRenderer
