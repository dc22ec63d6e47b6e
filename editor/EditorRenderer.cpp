#include "editor/EditorRenderer.h"
#include "editor_model/AnnotationGeometry.h"

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

QColor colorOf(const CodableColor& c) {
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
    if (wl % 2 == 0) --wl;
    const int wu = wl + 2;
    const double mIdeal = (12 * sigma * sigma - 3.0 * wl * wl - 12.0 * wl - 9) / (-4.0 * wl - 4);
    const int m = int(std::lround(mIdeal));
    std::array<int, 3> radii{};
    for (int i = 0; i < 3; ++i) radii[i] = ((i < m ? wl : wu) - 1) / 2;
    return radii;
}

// One box pass over `count` 4-byte samples spaced `stride` bytes, edges clamped.
// Cost is linear in count whatever the radius.
void boxPass(uint8_t* data, int count, ptrdiff_t stride, int radius, std::vector<int64_t>& prefix,
             std::vector<uint8_t>& line) {
    if (radius <= 0 || count <= 0) return;
    prefix.assign(size_t(count + 1) * 4, 0);
    line.resize(size_t(count) * 4);
    for (int i = 0; i < count; ++i) {
        const uint8_t* px = data + i * stride;
        for (int c = 0; c < 4; ++c) {
            line[size_t(i) * 4 + c] = px[c];
            prefix[size_t(i + 1) * 4 + c] = prefix[size_t(i) * 4 + c] + px[c];
        }
    }
    const int64_t window = 2 * int64_t(radius) + 1;
    for (int i = 0; i < count; ++i) {
        const int64_t lo = int64_t(i) - radius, hi = int64_t(i) + radius;
        const int64_t a = std::clamp<int64_t>(lo, 0, count - 1), b = std::clamp<int64_t>(hi, 0, count - 1);
        const int64_t before = lo < 0 ? -lo : 0;
        const int64_t after = hi > count - 1 ? hi - (count - 1) : 0;
        uint8_t* out = data + i * stride;
        for (int c = 0; c < 4; ++c) {
            int64_t sum = prefix[size_t(b + 1) * 4 + c] - prefix[size_t(a) * 4 + c];
            if (lo > count - 1) sum = 0;   // whole window beyond the end
            sum += before * line[c] + after * line[size_t(count - 1) * 4 + c];
            if (lo > count - 1) sum = window * line[size_t(count - 1) * 4 + c];
            if (hi < 0) sum = window * line[c];
            out[c] = uint8_t((sum + window / 2) / window);
        }
    }
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
    painter.save();
    painter.setOpacity(std::clamp(style.shadowOpacity, 0.0, 1.0));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const QRectF src(sx[i], sy[j], sx[i + 1] - sx[i], sy[j + 1] - sy[j]);
            const QRectF dst(target.x() + dx[i], target.y() + dy[j], dx[i + 1] - dx[i], dy[j + 1] - dy[j]);
            if (src.isEmpty() || dst.width() <= 0 || dst.height() <= 0) continue;
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
            for (int c = 0; c < 4; ++c) px[c] = s[4] ? uint8_t((s[c] + s[4] / 2) / s[4]) : 0;
        }
    }
    return out;
}

void drawText(QPainter& painter, const Annotation& a) {
    const QSizeF display = TextAnnotationLayout::displaySize(a.text, a.fontSize);
    const QRectF r = a.rect.normalized();
    const QRectF box(r.topLeft(), QSizeF(std::max(r.width(), display.width()), std::max(r.height(), display.height())));
    if (a.text.isEmpty()) return;
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
        if (baseline - fm.ascent() > box.bottom()) break;
        painter.drawText(QPointF(inner.left(), baseline), line);
        baseline += fm.lineSpacing() + TextAnnotationLayout::lineSpacing;
    }
    painter.restore();
}

void drawMarker(QPainter& painter, const Annotation& a) {
    if (a.markerPoints.empty()) return;
    const std::vector<QPointF> points = refinedMarkerPoints(a.markerPoints, a.lineWidth);
    // Guard against absurd strokes: more stamps than any real stroke needs.
    double pathLength = 0;
    for (size_t i = 1; i < points.size(); ++i) pathLength += QLineF(points[i - 1], points[i]).length();
    const double spacing = MarkerChiselPath::stampSize(a.lineWidth).spacing;
    if (!std::isfinite(pathLength) || pathLength / spacing > 2e6) return;
    const QPainterPath path = MarkerChiselPath::stampPath(points, a.lineWidth);
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.fillPath(path, colorOf(a.color));
    painter.restore();
}

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
    case AnnotationKind::text: drawText(painter, a); break;
    case AnnotationKind::marker: drawMarker(painter, a); break;
    case AnnotationKind::highlight: painter.fillRect(r, color); break;
    case AnnotationKind::blur:
    case AnnotationKind::pixelate: {
        QRect pixels;
        const QImage effect = effectImage(base, a, &pixels);
        if (!effect.isNull()) painter.drawImage(QRectF(pixels), effect);
        break;
    }
    case AnnotationKind::spotlight: drawSpotlight(painter, r, canvasRect, a.effectIntensity); break;
    }
}

} // namespace

void gaussianBlur(QImage& image, double sigma) {
    if (!(sigma > 0) || image.isNull()) return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const auto radii = boxRadii(sigma);
    std::vector<int64_t> prefix;
    std::vector<uint8_t> line;
    const int w = image.width(), h = image.height();
    const ptrdiff_t bpl = image.bytesPerLine();
    uint8_t* bits = image.bits();
    for (int radius : radii) {
        for (int y = 0; y < h; ++y) boxPass(bits + y * bpl, w, 4, radius, prefix, line);
        for (int x = 0; x < w; ++x) boxPass(bits + size_t(x) * 4, h, bpl, radius, prefix, line);
    }
}

QPointF pixelateGridOffset(const QUuid& id) {
    const size_t h = qHash(id.toString(QUuid::WithoutBraces).toUpper(), size_t(0));
    return QPointF((double(h & 255) / 255 - 0.5) * 6, (double((h >> 8) & 255) / 255 - 0.5) * 6);
}

QImage effectImage(const QImage& base, const Annotation& a, QRect* pixelRect) {
    if (base.isNull() || !finiteRect(a.rect)) return {};
    const QRectF rf = a.rect.normalized();
    const double left = std::floor(rf.left()), top = std::floor(rf.top());
    const double right = std::ceil(rf.right()), bottom = std::ceil(rf.bottom());
    const double l = std::max(left, 0.0), t = std::max(top, 0.0);
    const double rr = std::min(right, double(base.width())), bb = std::min(bottom, double(base.height()));
    if (!(rr > l) || !(bb > t)) return {};
    const QRect r(int(l), int(t), int(rr - l), int(bb - t));
    if (pixelRect) *pixelRect = r;
    if (a.kind == AnnotationKind::blur) {
        const double sigma = std::max(a.effectIntensity, 4.0);
        const double m = std::min(std::ceil(3 * sigma), double(std::max(base.width(), base.height())));
        const QRect region = r.adjusted(-int(m), -int(m), int(m), int(m)) & base.rect();
        QImage work = base.copy(region).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        gaussianBlur(work, sigma);
        return work.copy(r.translated(-region.topLeft()));
    }
    if (a.kind == AnnotationKind::pixelate) {
        QImage source = base.format() == QImage::Format_ARGB32_Premultiplied
                            ? base
                            : base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const double cell = std::max(a.effectIntensity, 10.0);
        const QPointF offset = pixelateGridOffset(a.id);
        // Offset y is in the bitmap's bottom-up sense.
        const QPointF center(r.x() + r.width() / 2.0 + offset.x(), r.y() + r.height() / 2.0 - offset.y());
        return pixelated(source, r, cell, center);
    }
    return {};
}

void drawBackground(QPainter& painter, const CanvasBackgroundStyle& style, QSizeF canvasSize,
                    const QRectF& contentRect) {
    const QRectF canvas(QPointF(0, 0), canvasSize);
    if (!style.isEnabled) {
        painter.fillRect(canvas, Qt::white);
    } else {
        painter.fillRect(canvas, colorOf(style.color));
        if (style.shadowOpacity > 0.001) {
            drawShadow(painter, style, contentRect);
            painter.fillPath(roundedRectPath(contentRect, style.cornerRadius), QColor::fromRgbF(1, 1, 1, 0.01f));
        }
    }
    painter.save();
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
    if (!document.baseImage || document.baseImage->isNull()) return std::nullopt;
    const QImage& base = *document.baseImage;
    const QRectF imageRect(0, 0, base.width(), base.height());
    const QRectF s = document.cropRect ? document.cropRect->normalized() : imageRect;
    const CanvasBackgroundStyle& style = document.backgroundStyle;
    const double p = style.isEnabled ? std::max(style.padding, 0.0) : 0.0;
    if (!finiteRect(s) || !std::isfinite(p)) return std::nullopt;
    const QSizeF c(s.width() + 2 * p, s.height() + 2 * p);
    const QRectF k(p, p, s.width(), s.height());
    if (!(c.width() >= 1 && c.height() >= 1 && c.width() <= maxCanvasDimension && c.height() <= maxCanvasDimension))
        return std::nullopt;

    QImage canvas(int(std::ceil(c.width() - 1e-9)), int(std::ceil(c.height() - 1e-9)),
                  QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) return std::nullopt;
    canvas.setDotsPerMeterX(2835);   // 72 dpi: font points are pixels
    canvas.setDotsPerMeterY(2835);
    QPainter painter(&canvas);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);

    drawBackground(painter, style, c, k);

    // The part of the image inside S, copied (not blended) into its place in K.
    const QRectF visible = s & imageRect;
    if (!visible.isEmpty()) {
        const QRectF target = visible.translated(k.topLeft() - s.topLeft());
        if (style.isEnabled) {
            QImage layer(int(std::ceil(k.width())), int(std::ceil(k.height())), QImage::Format_ARGB32_Premultiplied);
            if (layer.isNull()) return std::nullopt;
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
            painter.fillPath(roundedRectPath(k, style.cornerRadius), brush);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        } else {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(target, base, visible);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
    }
    painter.restore();

    if (style.isEnabled) {
        painter.save();
        painter.setClipPath(roundedRectPath(k, style.cornerRadius));
    }
    // Annotations are drawn in image points moved by K's origin minus S's origin.
    painter.save();
    const QPointF shift = k.topLeft() - s.topLeft();
    painter.translate(shift);
    painter.setPen(Qt::NoPen);
    const QRectF canvasInImage(-shift, c);
    for (const Annotation& a : document.annotations) {
        if (!finiteRect(a.rect)) continue;
        drawAnnotation(painter, a, base, canvasInImage);
    }
    painter.restore();
    if (style.isEnabled) painter.restore();
    painter.end();
    return canvas;
}

} // namespace lumivane::EditorRenderer
