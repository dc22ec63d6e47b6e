#pragma once
#include <QByteArray>
#include <QString>

namespace lumivane {

// The XDG autostart entry that starts Lumivane at login:
// $XDG_CONFIG_HOME/autostart/io.github.lumivane.Lumivane.desktop. Its presence is
// the setting; nothing is kept in the settings document. Any thread.
namespace autostart {

QString entryPath();
// True when the entry exists and is not hidden (Hidden=true turns an entry off).
bool isEnabled();
// Writes the entry (atomically) for `executable` or removes it. False with a
// reason in `error` when the file cannot be written or removed.
bool setEnabled(bool enabled, const QString& executable, QString* error = nullptr);
// The entry's text; the executable is quoted as the desktop entry format asks.
QByteArray entryText(const QString& executable);

} // namespace autostart
} // namespace lumivane
