#include "platform/CoordinateSpace.h"
#include "platform/Screens.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace lumivane;

namespace {

// Paints solid rectangles straight onto the root window.
class RootPainter {
public:
    RootPainter() {
        conn = xcb_connect(nullptr, nullptr);
        screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    }
    ~RootPainter() { xcb_disconnect(conn); }
    void fill(QRect r, quint32 rgb) {
        xcb_gcontext_t gc = xcb_generate_id(conn);
        xcb_create_gc(conn, gc, screen->root, XCB_GC_FOREGROUND, &rgb);
        xcb_rectangle_t rect{qint16(r.x()), qint16(r.y()), quint16(r.width()), quint16(r.height())};
        xcb_poly_fill_rectangle(conn, screen->root, gc, 1, &rect);
        xcb_free_gc(conn, gc);
        free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    }
    xcb_connection_t* conn;
    xcb_screen_t* screen;
};

bool runXrandr(const QStringList& args) {
    QProcess p;
    p.start("xrandr", args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST(X11Screens, RootReadsReturnTheDrawnPixels) {
    auto x11 = X11Screens::connect();
    ASSERT_TRUE(x11);
    RootPainter paint;
    paint.fill(QRect(0, 0, 1920, 1080), 0x202020);
    paint.fill(QRect(300, 200, 100, 50), 0xff0000);
    paint.fill(QRect(400, 200, 100, 50), 0x00ff00);
    paint.fill(QRect(300, 250, 200, 50), 0x0000ff);

    const QImage img = x11->grabRoot(QRect(290, 190, 220, 120));
    ASSERT_EQ(img.size(), QSize(220, 120));
    EXPECT_EQ(img.pixel(0, 0) & 0xffffff, 0x202020u);
    EXPECT_EQ(img.pixel(10, 10) & 0xffffff, 0xff0000u);   // (300,200)
    EXPECT_EQ(img.pixel(109, 59) & 0xffffff, 0xff0000u);  // last red pixel
    EXPECT_EQ(img.pixel(110, 10) & 0xffffff, 0x00ff00u);
    EXPECT_EQ(img.pixel(50, 60) & 0xffffff, 0x0000ffu);
    EXPECT_EQ(img.pixel(215, 115) & 0xffffff, 0x202020u);

    // Parts outside the root come back transparent.
    const QImage edge = x11->grabRoot(QRect(1900, 1060, 40, 40));
    ASSERT_EQ(edge.size(), QSize(40, 40));
    EXPECT_EQ(qAlpha(edge.pixel(5, 5)), 255);
    EXPECT_EQ(qAlpha(edge.pixel(30, 30)), 0);
}

TEST(X11Screens, MonitorsBecomeScreensInTheGlobalSpace) {
    ASSERT_TRUE(runXrandr({"--setmonitor", "LEFT", "1000/260x1080/280+0+0", "none"}));
    ASSERT_TRUE(runXrandr({"--setmonitor", "RIGHT", "920/240x600/160+1000+0", "none"}));
    auto x11 = X11Screens::connect();
    ASSERT_TRUE(x11);
    const auto screens = x11->screens();
    ASSERT_EQ(screens.size(), 2u);
    // The main screen (at the origin) comes first; y is flipped around its height.
    EXPECT_EQ(screens[0].frame, QRectF(0, 0, 1000, 1080));
    EXPECT_EQ(screens[1].frame, QRectF(1000, 480, 920, 600));
    EXPECT_EQ(screens[1].nativeGeometry, QRect(1000, 0, 920, 600));
    EXPECT_TRUE(screens[0].displayID.has_value());
    EXPECT_NE(screens[0].displayID, screens[1].displayID);

    RootPainter paint;
    paint.fill(QRect(1000, 0, 920, 600), 0x112233);
    paint.fill(QRect(1010, 20, 5, 5), 0xffffff);
    // Screen-local, top-left rectangle on the right screen.
    const QImage img = x11->grab(screens[1], QRectF(10, 20, 5, 5), QSize(5, 5));
    ASSERT_EQ(img.size(), QSize(5, 5));
    EXPECT_EQ(img.pixel(0, 0) & 0xffffff, 0xffffffu);
    // A doubled pixel size is delivered scaled.
    EXPECT_EQ(x11->grab(screens[1], QRectF(0, 0, 10, 10), QSize(20, 20)).size(), QSize(20, 20));

    runXrandr({"--delmonitor", "LEFT"});
    runXrandr({"--delmonitor", "RIGHT"});
}

TEST(X11Screens, PointerIsReportedInTheGlobalSpace) {
    auto x11 = X11Screens::connect();
    ASSERT_TRUE(x11);
    RootPainter paint;
    xcb_warp_pointer(paint.conn, XCB_NONE, paint.screen->root, 0, 0, 0, 0, 100, 30);
    free(xcb_get_input_focus_reply(paint.conn, xcb_get_input_focus(paint.conn), nullptr));
    auto p = x11->pointerLocation();
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(*p, QPointF(100, 1080 - 30));
}

TEST(CoordinateSpace, NativeFramesFlipAroundTheMainScreen) {
    // A screen above the main one has a larger global y.
    EXPECT_EQ(CoordinateSpace::frameForNative(QRect(0, -800, 1280, 800), 0, 1080), QRectF(0, 1080, 1280, 800));
    EXPECT_EQ(CoordinateSpace::frameForNative(QRect(0, 1080, 1920, 1080), 0, 1080), QRectF(0, -1080, 1920, 1080));
}

} // namespace
