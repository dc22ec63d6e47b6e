// GoogleTest main for tests that run inside a headless GNOME desktop: the process
// starts one private session (shared by all its tests, since GNOME takes seconds to
// start) and runs Qt on the wayland platform in it. Where this machine cannot run a
// session at all, every test is skipped with the reason; a session that fails to
// start fails.
// GIO first: its headers use the word "signals", which Qt defines as a macro.
#include <gio/gio.h>

#include "GnomeSession.h"
#include "PrivateTempDir.h"
#include "XvfbServer.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {
std::unique_ptr<lumivane::test::GnomeSession> g_session;

class SessionCheck : public ::testing::Environment {
public:
    void SetUp() override {
        if (g_session->isRunning())
            return;
        if (g_session->isUnavailable())
            GTEST_SKIP() << "no GNOME test desktop here: " << g_session->errorText().toStdString();
        FAIL() << "the GNOME test desktop did not start: " << g_session->errorText().toStdString();
    }
};
} // namespace

namespace lumivane::test {
XvfbServer* sharedXvfb() {
    return nullptr;
}
} // namespace lumivane::test

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0)
            listing = true;
    ::testing::InitGoogleTest(&argc, argv);
    const lumivane::test::PrivateTempDir temporaryFolder;
    if (listing)
        return RUN_ALL_TESTS();

    g_session = std::make_unique<lumivane::test::GnomeSession>();
    if (g_session->isRunning()) {
        std::fprintf(stderr, "GNOME session started in %.2f s\n", g_session->startSeconds());
        g_session->exportToProcess();
        qputenv("QT_QPA_PLATFORM", "wayland");
        lumivane::test::setSharedGnome(g_session.get());
    } else {
        std::fprintf(stderr, "no GNOME session: %s\n", qPrintable(g_session->errorText()));
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::AddGlobalTestEnvironment(new SessionCheck);
    int rc;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    if (g_session->isRunning()) {
        // GLib's shared session-bus connection (GSettings writes through it) raises
        // SIGTERM when its bus goes away; the session is about to stop.
        if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
            g_dbus_connection_set_exit_on_close(bus, FALSE);
            g_object_unref(bus);
        }
    }
    g_session.reset();
    return rc;
}
