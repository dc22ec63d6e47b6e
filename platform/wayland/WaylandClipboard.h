#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace lumivane {

// Puts data on the Wayland clipboard through wl-copy (wl-clipboard), which uses the
// compositor's data-control protocol where it has one (wlroots, KDE) and a short-lived
// focused surface elsewhere: the way to copy while no window of ours has the keyboard
// focus, since compositors refuse a client's own offer then. Nothing once the desktop
// holds the data; else the reason (English). Blocks until wl-copy has handed it over.
std::optional<QString> offerThroughWlCopy(const QByteArray& data, const QString& mimeType);

} // namespace lumivane
