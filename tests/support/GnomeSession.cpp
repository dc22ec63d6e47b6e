#include "GnomeSession.h"

#include <unistd.h>

#ifndef LUMIVANE_GNOME_SESSION_SCRIPT
#error "LUMIVANE_GNOME_SESSION_SCRIPT must name tests/support/gnome-session.sh"
#endif

namespace lumivane::test {

namespace {
GnomeSession* g_shared = nullptr;

const QString storeArgs[] = {QStringLiteral("--session"),
                             QStringLiteral("-d"),
                             QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                             QStringLiteral("-o"),
                             QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                             QStringLiteral("-m")};
} // namespace

GnomeSession* sharedGnome() {
    return g_shared;
}
void setSharedGnome(GnomeSession* session) {
    g_shared = session;
}

GnomeSession::GnomeSession(const QString& size) : ScriptedSession(QStringLiteral(LUMIVANE_GNOME_SESSION_SCRIPT)) {
    start({"--owner", QString::number(getpid()), "--size", size}, "LUMIVANE_GNOME_SESSION", 120000);
}

GnomeSession::~GnomeSession() {
    if (g_shared == this)
        g_shared = nullptr;
}

bool GnomeSession::setScreenshotPermission(const QString& answer) const {
    QStringList args(std::begin(storeArgs), std::end(storeArgs));
    if (answer.isEmpty()) {
        args << "org.freedesktop.impl.portal.PermissionStore.DeletePermission"
             << "screenshot"
             << "screenshot"
             << "";
        const Result r = run("gdbus", QStringList{"call"} + args);
        // Nothing stored is as good as removed.
        return r.ok() || r.err.contains("NotFound");
    }
    args << "org.freedesktop.impl.portal.PermissionStore.SetPermission"
         << "screenshot"
         << "true"
         << "screenshot"
         << "" << QStringLiteral("['%1']").arg(answer);
    return run("gdbus", QStringList{"call"} + args).ok();
}

QString GnomeSession::gsettingsGet(const QString& schema, const QString& key) const {
    const Result r = run("gsettings", {"get", schema, key});
    return r.ok() ? QString::fromUtf8(r.out).trimmed() : QString();
}

bool GnomeSession::gsettingsSet(const QString& schema, const QString& key, const QString& value) const {
    return run("gsettings", {"set", schema, key, value}).ok();
}

} // namespace lumivane::test
