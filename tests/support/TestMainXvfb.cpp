// GoogleTest main for tests that talk to a real X server: each process starts
// its own Xvfb and runs Qt on the xcb platform against it.
#include "PrivateTempDir.h"
#include "XvfbServer.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {
std::unique_ptr<lumivane::test::XvfbServer> g_server;
}

namespace lumivane::test {
XvfbServer* sharedXvfb() { return g_server.get(); }
}

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0) listing = true;
    ::testing::InitGoogleTest(&argc, argv);
    const lumivane::test::PrivateTempDir temporaryFolder;
    if (listing) return RUN_ALL_TESTS();

    g_server = std::make_unique<lumivane::test::XvfbServer>(
        QStringList{"-screen", "0", "1920x1080x24"});
    if (!g_server->isRunning()) {
        std::fprintf(stderr, "cannot start Xvfb: %s\n", qPrintable(g_server->errorText()));
        return 1;
    }
    qputenv("DISPLAY", g_server->display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    // An X11 session, even when the tests run from inside a Wayland desktop.
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("XDG_SESSION_TYPE", "x11");
    int rc;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    g_server.reset();
    return rc;
}
