#pragma once
#include <QJsonValue>
#include <QRectF>
#include <optional>

namespace lumivane {

// The rectangle of the last area capture and the screen it lay on, so that the same
// area can be taken again.
struct LastCaptureArea {
    QRectF rect; // area-capture space (platform/CoordinateSpace.h)
    std::optional<quint32> screenId;
    QRectF screenFrame; // that screen's frame then (global space)

    QJsonValue toJson() const;
    // None for anything but an object with a positive rectangle.
    static std::optional<LastCaptureArea> fromJson(const QJsonValue& value);

    friend bool operator==(const LastCaptureArea&, const LastCaptureArea&) = default;
};

} // namespace lumivane
