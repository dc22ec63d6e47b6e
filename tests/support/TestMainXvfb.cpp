// GoogleTest main for tests that talk to a real X server: each process starts
// its own Xvfb and runs Qt on the xcb platform against it.
#include "PrivateTempDir.h"
#include "XvfbServer.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

#include <xcb/xcb.h>

namespace {
std::unique_ptr<lumivane::test::XvfbServer> g_server;
int g_xftDpi = 0;

// Sets the desktop's Xft.dpi (RESOURCE_MANAGER) before Qt connects, as a desktop
// session scaled to 150 % (144) or 200 % (192) does.
bool setXftDpi(const QString& display, int dpi) {
    xcb_connection_t* conn = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    if (!conn || xcb_connection_has_error(conn))
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
    const QByteArray resources = "Xft.dpi:\t" + QByteArray::number(dpi) + "\n";
    xcb_change_property(conn, XCB_PROP_MODE_REPLACE, root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 8,
                        uint32_t(resources.size()), resources.constData());
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    xcb_disconnect(conn);
    return true;
}
} // namespace

namespace lumivane::test {
XvfbServer* sharedXvfb() {
    return g_server.get();
}
int xftDpi() {
    return g_xftDpi;
}
} // namespace lumivane::test

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0)
            listing = true;
        if (std::strncmp(argv[i], "--xft-dpi=", 10) == 0)
            g_xftDpi = std::atoi(argv[i] + 10);
    }
    ::testing::InitGoogleTest(&argc, argv);
    const lumivane::test::PrivateTempDir temporaryFolder;
    if (listing)
        return RUN_ALL_TESTS();

    g_server = std::make_unique<lumivane::test::XvfbServer>(QStringList{"-screen", "0", "1920x1080x24"});
    if (!g_server->isRunning()) {
        std::fprintf(stderr, "cannot start Xvfb: %s\n", qPrintable(g_server->errorText()));
        return 1;
    }
    if (g_xftDpi > 0 && !setXftDpi(g_server->display(), g_xftDpi)) {
        std::fprintf(stderr, "cannot set Xft.dpi\n");
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
