#include "editor_model/DocumentLimits.h"
#include "editor_model/AnnotationGeometry.h"

#include <algorithm>
#include <cmath>

namespace lumivane::DocumentLimits {

QString imageTooLargeMessage(std::int64_t width, std::int64_t height) {
    return QStringLiteral(
               "画像が大きすぎるため扱えません（%1 × %2 ピクセル。上限は一辺 %3 ピクセル、合計 %4 万ピクセルです）。")
        .arg(width)
        .arg(height)
        .arg(maxImageSide)
        .arg(maxImagePixels / 10000);
}

namespace {

bool withinCoordinates(double v) {
    return std::isfinite(v) && std::fabs(v) <= maxCoordinate;
}
bool withinCoordinates(const QRectF& r) {
    return withinCoordinates(r.x()) && withinCoordinates(r.y()) && withinCoordinates(r.width()) &&
           withinCoordinates(r.height());
}
bool withinCoordinates(QPointF p) {
    return withinCoordinates(p.x()) && withinCoordinates(p.y());
}

// Area of r on the canvas (0, 0, w, h), in pixels; r within maxCoordinate.
double areaOn(const QRectF& r, double w, double h) {
    const double l = std::max(r.left(), 0.0), t = std::max(r.top(), 0.0);
    const double rt = std::min(r.right(), w), b = std::min(r.bottom(), h);
    return rt > l && b > t ? (rt - l) * (b - t) : 0.0;
}

// The smallest rectangle holding r and p (QRectF's union skips empty rectangles).
QRectF including(const QRectF& r, QPointF p) {
    return QRectF(QPointF(std::min(r.left(), p.x()), std::min(r.top(), p.y())),
                  QPointF(std::max(r.right(), p.x()), std::max(r.bottom(), p.y())));
}

QString limitText(const char* what, double value, double limit) {
    return QStringLiteral("描画の上限を超えるため画像にできません（%1 %2、上限 %3）。")
        .arg(QString::fromUtf8(what))
        .arg(value, 0, 'g', 6)
        .arg(limit, 0, 'g', 6);
}

} // namespace

QString renderProblem(QSize imageSize, const std::optional<QRectF>& cropRect, const CanvasBackgroundStyle& style,
                      const std::vector<Annotation>& annotations) {
    const QString badValue =
        QStringLiteral("描画できない値（大きすぎる座標や寸法）が含まれているため画像にできません。");
    if (imageSize.isEmpty())
        return QStringLiteral("画像がありません。");
    const QRectF s = cropRect ? cropRect->normalized() : QRectF(0, 0, imageSize.width(), imageSize.height());
    if (!withinCoordinates(s))
        return badValue;
    const double p = style.isEnabled ? std::max(style.padding, 0.0) : 0.0;
    if (!withinCoordinates(p))
        return badValue;
    const double cw = std::ceil(s.width() + 2 * p - 1e-9), ch = std::ceil(s.height() + 2 * p - 1e-9);
    if (!(cw >= 1 && ch >= 1))
        return QStringLiteral("描画する範囲が空です。");
    if (cw > maxCanvasSide || ch > maxCanvasSide || cw * ch > double(maxCanvasPixels))
        return QStringLiteral("描画するキャンバスが大きすぎます（%1 × %2 ピクセル。上限は一辺 %3 ピクセル、合計 %4 "
                              "万ピクセルです）。")
            .arg(cw, 0, 'f', 0)
            .arg(ch, 0, 'f', 0)
            .arg(maxCanvasSide)
            .arg(maxCanvasPixels / 10000);

    if (style.isEnabled && style.shadowOpacity > 0.001) {
        if (!withinCoordinates(style.shadowBlur) || !withinCoordinates(style.shadowOffsetY) ||
            !std::isfinite(style.cornerRadius))
            return badValue;
        // The shadow mask of the renderer: the rounded content rectangle, at most its
        // corners plus the blur's reach, with that reach on every side.
        const double sigma = std::max(style.shadowBlur, 0.0) / 2;
        const double margin = std::ceil(3 * sigma) + 1;
        const double kw = std::max(std::round(s.width()), 1.0), kh = std::max(std::round(s.height()), 1.0);
        const double corner = std::clamp(style.cornerRadius, 0.0, std::min(kw, kh) / 2);
        const double span = 2 * (std::ceil(corner) + margin) + 3;
        const double mask = (std::min(kw, span) + 2 * margin) * (std::min(kh, span) + 2 * margin);
        if (mask > double(maxShadowMaskPixels))
            return limitText("影の範囲（ピクセル数）", mask, double(maxShadowMaskPixels));
    }

    const QPointF shift(p - s.x(), p - s.y());
    double painted = 0, effects = 0, stamps = 0, characters = 0;
    for (const Annotation& a : annotations) {
        if (!withinCoordinates(a.rect) || !withinCoordinates(a.lineWidth) || !std::isfinite(a.fontSize) ||
            !std::isfinite(a.effectIntensity))
            return badValue;
        const double width = std::max(a.lineWidth, 0.0);
        QRectF bounds = a.rect.normalized();
        switch (a.kind) {
        case AnnotationKind::arrow: {
            const QPointF start = a.arrowStart.value_or(a.rect.topLeft()),
                          end = a.arrowEnd.value_or(a.rect.bottomRight());
            if (!withinCoordinates(start) || !withinCoordinates(end))
                return badValue;
            bounds = QRectF(start, end)
                         .normalized()
                         .adjusted(-8 * width - 20, -8 * width - 20, 8 * width + 20, 8 * width + 20);
            break;
        }
        case AnnotationKind::marker: {
            if (a.markerPoints.empty())
                continue;
            QRectF pointBounds(a.markerPoints.front(), QSizeF(0, 0));
            double length = 0;
            for (size_t i = 0; i < a.markerPoints.size(); ++i) {
                const QPointF q = a.markerPoints[i];
                if (!withinCoordinates(q))
                    return badValue;
                pointBounds |= QRectF(q, QSizeF(0, 0));
                if (i > 0)
                    length += QLineF(a.markerPoints[i - 1], q).length();
            }
            const auto stamp = MarkerChiselPath::stampSize(a.lineWidth);
            stamps += length / stamp.spacing + double(a.markerPoints.size());
            bounds = pointBounds.adjusted(-stamp.height, -stamp.height, stamp.height, stamp.height);
            break;
        }
        case AnnotationKind::pen: {
            // Stroked once along its points: counted like marker stamps, a point each.
            for (const QPointF& q : a.markerPoints) {
                if (!withinCoordinates(q))
                    return badValue;
                bounds = including(bounds, q);
            }
            stamps += double(a.markerPoints.size());
            bounds = bounds.adjusted(-width, -width, width, width);
            break;
        }
        case AnnotationKind::step:
            if (a.arrowEnd) {
                if (!withinCoordinates(*a.arrowEnd))
                    return badValue;
                bounds = including(bounds, *a.arrowEnd);
            }
            break;
        case AnnotationKind::text: {
            if (a.fontSize > maxFontSize)
                return limitText("文字サイズ", a.fontSize, maxFontSize);
            characters += double(a.text.size());
            if (characters > double(maxTextCharacters))
                return limitText("文字数", characters, double(maxTextCharacters));
            const QSizeF display = TextAnnotationLayout::displaySize(a.text, a.fontSize);
            bounds = QRectF(bounds.topLeft(), QSizeF(std::max(bounds.width(), display.width()),
                                                     std::max(bounds.height(), display.height())));
            if (a.textBackground) {
                const double pad = a.textBackground->padding;
                if (!withinCoordinates(pad) || !std::isfinite(a.textBackground->cornerRadius))
                    return badValue;
                bounds =
                    bounds.adjusted(-std::max(pad, 0.0), -std::max(pad, 0.0), std::max(pad, 0.0), std::max(pad, 0.0));
            }
            break;
        }
        case AnnotationKind::spotlight:
            bounds = QRectF(-shift, QSizeF(cw, ch));
            break;
        case AnnotationKind::blur:
        case AnnotationKind::pixelate: {
            const double reach = a.kind == AnnotationKind::blur ? 3 * std::max(a.effectIntensity, 4.0) + 1
                                                                : std::max(a.effectIntensity, 10.0) + 3;
            const QRectF sampled = bounds.adjusted(-reach, -reach, reach, reach);
            effects += areaOn(sampled, imageSize.width(), imageSize.height());
            break;
        }
        default:
            bounds = bounds.adjusted(-width, -width, width, width);
            break;
        }
        painted += areaOn(bounds.translated(shift), cw, ch);
    }
    if (painted > double(maxPaintedPixels))
        return limitText("注釈の描画面積（ピクセル数）", painted, double(maxPaintedPixels));
    if (effects > double(maxEffectPixels))
        return limitText("ぼかし・モザイクの範囲（ピクセル数）", effects, double(maxEffectPixels));
    if (stamps > double(maxMarkerStamps))
        return limitText("マーカーの描画点数", stamps, double(maxMarkerStamps));
    return {};
}

} // namespace lumivane::DocumentLimits
