// The X11 permission answers and window activation against real X servers.
#include "XvfbServer.h"
#include "platform/x11/X11Platform.h"

#include <QTest>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace lumivane {
namespace {

// A mapped top-level window with a WM_CLASS, made by a separate client.
struct ClientWindow {
    xcb_connection_t* conn = nullptr;
    xcb_window_t id = 0;
    ClientWindow(const char* instance, const char* className) {
        conn = xcb_connect(nullptr, nullptr);
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
        id = xcb_generate_id(conn);
        xcb_create_window(conn, XCB_COPY_FROM_PARENT, id, screen->root, 10, 10, 200, 150, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        QByteArray wmClass = QByteArray(instance) + '\0' + QByteArray(className) + '\0';
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            uint32_t(wmClass.size()), wmClass.constData());
        xcb_map_window(conn, id);
        xcb_aux_sync();
    }
    void xcb_aux_sync() { std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr)); }
    xcb_window_t focus() {
        xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr);
        const xcb_window_t w = r ? r->focus : 0;
        std::free(r);
        return w;
    }
    ~ClientWindow() { xcb_disconnect(conn); }
};

TEST(X11DesktopPermissions, ScreenReadableAndWindowsDrivableOnlyWithXTest) {
    auto permissions = makeX11DesktopPermissions();
    EXPECT_TRUE(permissions->screenCaptureAllowed());
    EXPECT_TRUE(permissions->accessibilityAllowed());
    EXPECT_FALSE(permissions->openSettingsPage(DesktopPermissions::Page::accessibility));

    // A server without XTEST: the screen is readable, other windows cannot be driven.
    test::XvfbServer bare({"-screen", "0", "640x480x24", "-extension", "XTEST"});
    ASSERT_TRUE(bare.isRunning()) << bare.errorText().toStdString();
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", bare.display().toLocal8Bit());
    auto withoutXTest = makeX11DesktopPermissions();
    qputenv("DISPLAY", ":9999"); // nothing listens there
    auto noDisplay = makeX11DesktopPermissions();
    qputenv("DISPLAY", display);
    EXPECT_TRUE(withoutXTest->screenCaptureAllowed());
    EXPECT_FALSE(withoutXTest->accessibilityAllowed());
    EXPECT_FALSE(noDisplay->screenCaptureAllowed());
    EXPECT_FALSE(noDisplay->accessibilityAllowed());
}

TEST(X11WindowActivator, ListsTopLevelWindowsTopmostFirstAndFocusesTheChosenOne) {
    auto activator = makeX11WindowActivator();
    ASSERT_TRUE(activator);
    ClientWindow brave("brave-browser", "Brave-browser");
    ClientWindow chromium("chromium", "Chromium");
    std::vector<ClientWindowInfo> windows;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            windows = activator->clientWindows();
            return windows.size() >= 2;
        },
        2000));
    // Without a window manager: the root's mapped children, the last mapped on top.
    auto position = [&](quint32 id) {
        for (size_t i = 0; i < windows.size(); ++i)
            if (windows[i].windowId == id)
                return int(i);
        return -1;
    };
    ASSERT_GE(position(chromium.id), 0);
    ASSERT_GE(position(brave.id), 0);
    EXPECT_LT(position(chromium.id), position(brave.id));
    EXPECT_EQ(windows[position(brave.id)].instanceName, "brave-browser");
    EXPECT_EQ(windows[position(brave.id)].className, "Brave-browser");

    EXPECT_TRUE(activator->activate(brave.id));
    EXPECT_TRUE(QTest::qWaitFor([&] { return brave.focus() == brave.id; }, 2000));
    // Now on top.
    windows = activator->clientWindows();
    EXPECT_LT(position(brave.id), position(chromium.id));
    // A window that does not exist is refused.
    EXPECT_FALSE(activator->activate(0x7ffffff));
}

} // namespace
} // namespace lumivane
