#pragma once
// The screenshot answer the desktop portal keeps in its permission store
// (org.freedesktop.impl.portal.PermissionStore, table "screenshot", id "screenshot").
// Applications run outside a sandbox share the application id "".
#include "platform/DesktopPermissions.h"

#include <QDBusConnection>

namespace lumivane::screenshot_permission {

// notApplicable when no permission store answers on the bus. Blocks for at most
// timeoutMs; any thread with its own connection.
ScreenCaptureConsent lookup(const QDBusConnection& bus, int timeoutMs = 2000);

// Whether this desktop's portal asks the user before the first screenshot and stores
// the answer: GNOME's does; the wlroots one answers without asking.
bool desktopAsksFirst();

// Withdraws a stored answer, so that the next screenshot asks again. False when the
// store refused or is missing.
bool forget(const QDBusConnection& bus, int timeoutMs = 2000);

} // namespace lumivane::screenshot_permission
