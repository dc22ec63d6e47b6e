#include "settings/LastCaptureArea.h"

#include <QJsonObject>
#include <cmath>

namespace lumivane {

namespace {

QJsonObject rectJson(const QRectF& r) {
    return QJsonObject{{"x", r.x()}, {"y", r.y()}, {"width", r.width()}, {"height", r.height()}};
}

std::optional<QRectF> rectFromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    double v[4];
    const char* names[] = {"x", "y", "width", "height"};
    for (int i = 0; i < 4; ++i) {
        const QJsonValue p = o.value(names[i]);
        if (!p.isDouble() || !std::isfinite(p.toDouble()))
            return std::nullopt;
        v[i] = p.toDouble();
    }
    if (v[2] <= 0 || v[3] <= 0)
        return std::nullopt;
    return QRectF(v[0], v[1], v[2], v[3]);
}

} // namespace

QJsonValue LastCaptureArea::toJson() const {
    QJsonObject o = rectJson(rect);
    if (screenId)
        o.insert("screenId", double(*screenId));
    o.insert("screenFrame", rectJson(screenFrame));
    return o;
}

std::optional<LastCaptureArea> LastCaptureArea::fromJson(const QJsonValue& value) {
    const auto rect = rectFromJson(value);
    if (!rect)
        return std::nullopt;
    const QJsonObject o = value.toObject();
    const auto frame = rectFromJson(o.value("screenFrame"));
    if (!frame)
        return std::nullopt;
    LastCaptureArea area{*rect, std::nullopt, *frame};
    const QJsonValue id = o.value("screenId");
    if (id.isDouble()) {
        const double d = id.toDouble();
        if (d < 0 || d > 4294967295.0 || d != std::floor(d))
            return std::nullopt;
        area.screenId = quint32(d);
    } else if (!id.isUndefined() && !id.isNull()) {
        return std::nullopt;
    }
    return area;
}

} // namespace lumivane
