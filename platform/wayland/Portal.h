#pragma once
// What every desktop-portal client here shares: the portal's name and path, request
// paths derived from handle tokens, and which D-Bus errors mean "no such portal".
#include <QDBusConnection>
#include <QDBusError>
#include <QString>

namespace lumivane::portal {

inline const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
inline const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

// A token unique in this process ("lumivane<n>_<random>").
QString newToken();

// The object path the portal gives a request or session made with this token
// (kind "request" or "session"): derived from our unique name on the bus.
QString objectPath(const QDBusConnection& bus, const QString& kind, const QString& token);

bool isMissingService(const QDBusError& error);

// Whether the portal object exports the interface (a blocking introspection, which starts
// an activatable portal).
bool exportsInterface(const QDBusConnection& bus, const QString& interface, int timeoutMs = 5000);

} // namespace lumivane::portal
