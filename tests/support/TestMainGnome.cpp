// GoogleTest main for tests that run inside a headless GNOME desktop (seconds to
// start, so one per executable).
// GIO first: its headers use the word "signals", which Qt defines as a macro.
#include <gio/gio.h>

#include "GnomeSession.h"
#include "SessionTestMain.h"

int main(int argc, char** argv) {
    using lumivane::test::GnomeSession;
    return lumivane::test::runTestsInSession<GnomeSession>(
        argc, argv, "GNOME test desktop", [] { return std::make_unique<GnomeSession>(); },
        lumivane::test::setSharedGnome,
        [](GnomeSession&) {
            // GLib's shared session-bus connection (GSettings writes through it) raises
            // SIGTERM when its bus goes away; the session is about to stop.
            if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
                g_dbus_connection_set_exit_on_close(bus, FALSE);
                g_object_unref(bus);
            }
        });
}
