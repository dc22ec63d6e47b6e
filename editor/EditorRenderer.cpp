#include "editor/EditorRenderer.h"
#include "core/ImageMemory.h"
#include "editor/AnnotationEffects.h"
#include "editor/AnnotationPainter.h"
#include "editor_model/AnnotationGeometry.h"
#include "editor_model/DocumentLimits.h"

#include <QHash>
#include <QPainterPath>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

namespace lumivane::EditorRenderer {

namespace {

using AnnotationPainter::colorOf;
using AnnotationPainter::roundedRectPath;

bool finiteRect(const QRectF& r) {
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
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
    AnnotationEffects::gaussianBlur(mask, sigma);

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

// Where a freehand annotation can put ink, or nothing when it is drawn in every band.
// Smoothing stays within a segment's length of the points.
std::optional<QRectF> inkBounds(const Annotation& a) {
    if ((a.kind != AnnotationKind::pen && a.kind != AnnotationKind::marker) || a.markerPoints.empty())
        return std::nullopt;
    const auto points = markerBounds(a.markerPoints);
    if (!points || !std::isfinite(a.lineWidth))
        return std::nullopt;
    double longest = 0;
    for (size_t i = 1; i < a.markerPoints.size(); ++i)
        longest = std::max(longest, QLineF(a.markerPoints[i - 1], a.markerPoints[i]).length());
    const auto stamp = MarkerChiselPath::stampSize(a.lineWidth);
    const double margin = std::max({std::abs(a.lineWidth), stamp.width, stamp.height}) + longest + 4;
    if (!std::isfinite(margin))
        return std::nullopt;
    return points->adjusted(-margin, -margin, margin, margin);
}

struct AnnotationPass {
    const EditorDocument& document;
    QPointF shift;                  // image points → canvas pixels
    std::optional<QRectF> clipRect; // canvas pixels
    const QPainterPath* clipPath = nullptr;
    QRectF canvasInImage; // the area a spotlight dims
    // Per annotation: where its ink can fall (inkBounds), for bands to skip it.
    std::vector<std::optional<QRectF>> ink;
};

// Draws the annotations into canvas rows [top, top + height). Each band paints the
// whole canvas's memory through its own image header, clipped to its rows, so bands
// on different threads never share a painter or a pixel, and every band sees the
// same coordinates as one pass would.
void paintAnnotationBand(QImage& header, int top, int height, const AnnotationPass& pass) {
    QPainter painter(&header);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    painter.setClipRect(QRect(0, top, header.width(), height));
    if (pass.clipPath)
        painter.setClipPath(*pass.clipPath, Qt::IntersectClip);
    else if (pass.clipRect)
        painter.setClipRect(*pass.clipRect, Qt::IntersectClip);
    painter.translate(pass.shift);
    painter.setPen(Qt::NoPen);
    const QRectF bandInImage = QRectF(0, top, header.width(), height).translated(-pass.shift);
    const QImage& base = *pass.document.baseImage;
    for (size_t i = 0; i < pass.document.annotations.size(); ++i) {
        const Annotation& a = pass.document.annotations[i];
        if (!finiteRect(a.rect) || (pass.ink[i] && !pass.ink[i]->intersects(bandInImage)))
            continue;
        AnnotationPainter::paint(painter, a, base, pass.canvasInImage);
    }
}

// Large documents with many annotations are drawn in horizontal bands, one per core.
int bandCountFor(const QImage& canvas, size_t annotations) {
    if (annotations < 16 || qint64(canvas.width()) * canvas.height() < 2'000'000)
        return 1;
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

} // namespace

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

std::optional<QImage> render(const EditorDocument& document) {
    return render(document, 0);
}

std::optional<QImage> render(const EditorDocument& document, int requestedBands) {
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

    painter.end();

    // Annotations never paint on the padding. They are drawn in image points moved by
    // K's origin minus S's origin.
    const QPointF shift = k.topLeft() - s.topLeft();
    const int bands =
        std::max(requestedBands > 0 ? requestedBands : bandCountFor(canvas, document.annotations.size()), 1);
    AnnotationPass pass{document,
                        shift,
                        roundCornersAfter ? std::optional(k) : std::nullopt,
                        style.isEnabled && !roundCornersAfter ? &frame : nullptr,
                        QRectF(-shift, c),
                        {}};
    pass.ink.resize(document.annotations.size());
    if (bands > 1)
        std::transform(document.annotations.begin(), document.annotations.end(), pass.ink.begin(), inkBounds);
    const int rows = canvas.height();
    // One image header per band over the canvas's memory, made here: bits() may detach.
    uchar* const bits = canvas.bits();
    std::vector<QImage> headers;
    for (int i = 0; i < bands; ++i) {
        QImage& header = headers.emplace_back(bits, canvas.width(), rows, canvas.bytesPerLine(), canvas.format());
        header.setDotsPerMeterX(canvas.dotsPerMeterX());
        header.setDotsPerMeterY(canvas.dotsPerMeterY());
    }
    std::vector<std::thread> workers;
    for (int i = 1; i < bands; ++i) {
        const int top = rows * i / bands, bottom = rows * (i + 1) / bands;
        if (bottom <= top)
            continue;
        QImage& header = headers[size_t(i)];
        try {
            workers.emplace_back(
                [&header, &pass, top, bottom] { paintAnnotationBand(header, top, bottom - top, pass); });
        } catch (const std::system_error&) { // no thread to be had: this one paints it
            paintAnnotationBand(header, top, bottom - top, pass);
        }
    }
    if (const int first = rows / bands; first > 0)
        paintAnnotationBand(headers[0], 0, first, pass);
    for (std::thread& worker : workers)
        worker.join();
    headers.clear();

    painter.begin(&canvas);
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
