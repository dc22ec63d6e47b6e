#include "platform/x11/X11Screens.h"
#include "DisplayScope.h"
#include "XvfbServer.h"
#include "platform/CoordinateSpace.h"

#include <QProcess>
#include <cstring>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace lumivane;
using test::DisplayScope;

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

// Reads return the drawn pixels from their own place, and a read larger than the shared
// segment's bands comes back whole: every row from its own place, across the band
// boundaries. Parts outside the root come back transparent.
TEST(X11Screens, RootReadsAreWholeAcrossBandsAndTransparentOutside) {
    auto x11 = X11Screens::connect();
    ASSERT_TRUE(x11);
    RootPainter paint;
    for (int y = 0; y < 1080; ++y)
        paint.fill(QRect(0, y, 1920, 1), 0x010000u * quint32(y % 251) + quint32(y / 251));
    paint.fill(QRect(1919, 0, 1, 1080), 0x00ff00);
    for (int pass = 0; pass < 2; ++pass) { // a fresh segment, then the kept one
        const QImage all = x11->grabRoot(QRect(0, 0, 1920, 1080));
        ASSERT_EQ(all.size(), QSize(1920, 1080));
        for (int y = 0; y < 1080; ++y) {
            ASSERT_EQ(all.pixel(7, y) & 0xffffff, 0x010000u * quint32(y % 251) + quint32(y / 251)) << "row " << y;
            ASSERT_EQ(all.pixel(1919, y) & 0xffffff, 0x00ff00u) << "row " << y;
        }
        const QImage part = x11->grabRoot(QRect(915, 500, 1005, 577));
        ASSERT_EQ(part.size(), QSize(1005, 577));
        EXPECT_EQ(part.pixel(0, 0) & 0xffffff, 0x010000u * quint32(500 % 251) + 1u);
        EXPECT_EQ(part.pixel(1003, 576) & 0xffffff, 0x010000u * quint32(1076 % 251) + 4u);
        EXPECT_EQ(part.pixel(1004, 576) & 0xffffff, 0x00ff00u); // the last column
    }
    const QImage edge = x11->grabRoot(QRect(1900, 1060, 40, 40));
    ASSERT_EQ(edge.size(), QSize(40, 40));
    EXPECT_EQ(edge.pixel(19, 5), 0xff00ff00u); // opaque
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
    EXPECT_TRUE(screens[0].screenId.has_value());
    EXPECT_NE(screens[0].screenId, screens[1].screenId);

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

xcb_atom_t internAtom(xcb_connection_t* conn, const char* name) {
    auto* r = xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t atom = r->atom;
    free(r);
    return atom;
}

// The window manager's work area is read for the current desktop (four numbers per desktop).
TEST(X11Screens, WorkAreaOfTheCurrentDesktop) {
    RootPainter root;
    const uint32_t current = 1;
    const uint32_t areas[8] = {0, 0, 1920, 1080, 0, 40, 1920, 1010};
    xcb_change_property(root.conn, XCB_PROP_MODE_REPLACE, root.screen->root,
                        internAtom(root.conn, "_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1, &current);
    xcb_change_property(root.conn, XCB_PROP_MODE_REPLACE, root.screen->root, internAtom(root.conn, "_NET_WORKAREA"),
                        XCB_ATOM_CARDINAL, 32, 8, areas);
    free(xcb_get_input_focus_reply(root.conn, xcb_get_input_focus(root.conn), nullptr));
    auto x11 = X11Screens::connect();
    ASSERT_TRUE(x11);
    EXPECT_EQ(x11->mainScreen()->visibleFrame, QRectF(0, 30, 1920, 1010));
    xcb_delete_property(root.conn, root.screen->root, internAtom(root.conn, "_NET_WORKAREA"));
    xcb_delete_property(root.conn, root.screen->root, internAtom(root.conn, "_NET_CURRENT_DESKTOP"));
    free(xcb_get_input_focus_reply(root.conn, xcb_get_input_focus(root.conn), nullptr));
    EXPECT_EQ(x11->mainScreen()->visibleFrame, QRectF(0, 0, 1920, 1080));
}

// Without Qt's screens to follow, the scale is the desktop's Xft.dpi / 96.
TEST(X11Screens, ScaleFromXftDpi) {
    RootPainter root;
    const QByteArray resources = "Xft.antialias:\t1\nXft.dpi:\t144\n";
    xcb_change_property(root.conn, XCB_PROP_MODE_REPLACE, root.screen->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING,
                        8, uint32_t(resources.size()), resources.constData());
    free(xcb_get_input_focus_reply(root.conn, xcb_get_input_focus(root.conn), nullptr));
    auto x11 = X11Screens::connect();
    ASSERT_TRUE(x11);
    EXPECT_EQ(x11->xftDpi(), 144.0);
    const ScreenInfo main = *x11->mainScreen();
    EXPECT_DOUBLE_EQ(main.scale, 1.5);
    EXPECT_EQ(main.frame, QRectF(0, 0, 1280, 720));
    xcb_delete_property(root.conn, root.screen->root, XCB_ATOM_RESOURCE_MANAGER);
    free(xcb_get_input_focus_reply(root.conn, xcb_get_input_focus(root.conn), nullptr));
    EXPECT_DOUBLE_EQ(x11->mainScreen()->scale, 1.0);
}

// Frames flip around the main screen: one above it has a larger global y. Points are X11
// pixels divided by the scale; a screen keeps its X11 origin, as Qt places windows; the
// conversions back land on whole pixels.
TEST(CoordinateSpace, NativeFramesFlipAroundTheMainScreenAt100150And200Percent) {
    using namespace CoordinateSpace;
    const QRect hd(0, 0, 1920, 1080);
    EXPECT_EQ(frameForNative(QRect(0, -800, 1280, 800), QRect(0, -800, 1280, 800), 1.0, hd, 1.0),
              QRectF(0, 1080, 1280, 800));
    EXPECT_EQ(frameForNative(QRect(0, 1080, 1920, 1080), QRect(0, 1080, 1920, 1080), 1.0, hd, 1.0),
              QRectF(0, -1080, 1920, 1080));
    const QRect main(0, 0, 3840, 2160);
    EXPECT_EQ(frameForNative(main, main, 2.0, main, 2.0), QRectF(0, 0, 1920, 1080));
    EXPECT_EQ(logicalRectForNative(main, 1.5), QRectF(0, 0, 2560, 1440));
    // A panel 60 pixels high at the bottom: the work area's frame starts 30 points up.
    EXPECT_EQ(frameForNative(QRect(0, 0, 3840, 2100), main, 2.0, main, 2.0), QRectF(0, 30, 1920, 1050));
    // A second screen to the right keeps its X11 origin.
    const QRect right(3840, 0, 1920, 1080);
    EXPECT_EQ(frameForNative(right, right, 2.0, main, 2.0), QRectF(3840, 540, 960, 540));
    // 200.667 points at 1.5 are pixel 301, not 300 or 302.
    const QRectF local(301 / 1.5, 201 / 1.5, 400 / 1.5, 250 / 1.5);
    EXPECT_EQ(nativeRectForScreenLocal(QRect(0, 0, 2880, 1620), 1.5, local), QRect(301, 201, 400, 250));
    EXPECT_EQ(nativeRectForScreenLocal(right, 2.0, QRectF(10, 20, 30.5, 40)), QRect(3860, 40, 61, 80));
    EXPECT_EQ(logicalPointForNative(QPointF(3900, 100), right, 2.0), QPointF(3870, 50));
    EXPECT_EQ(nativePointForLogical(QPointF(3870, 50), right, 2.0), QPointF(3900, 100));
    EXPECT_EQ(captureRectForNative(QRectF(3860, 40, 60, 80), right, 2.0, QRectF(3840, 540, 960, 540)),
              QRectF(3850, 560, 30, 40));
    // A 210-point window 24 points above the bottom of a 1080-point main screen.
    EXPECT_EQ(logicalTopLeftForGlobalOrigin(QPointF(24, 24), 210, mainBottom(main, 2.0)), QPointF(24, 846));
}

} // namespace

namespace {

struct ServerKind {
    const char* name;
    QStringList args;
    bool sharedMemory;
};

void PrintTo(const ServerKind& kind, std::ostream* os) {
    *os << kind.name;
}

class X11ScreensOnServer : public ::testing::TestWithParam<ServerKind> {};

} // namespace

// Every visual depth and both read paths give the colours the server holds.
TEST_P(X11ScreensOnServer, ReadsTheServersColours) {
    test::XvfbServer server(GetParam().args);
    ASSERT_TRUE(server.isRunning()) << qPrintable(server.errorText());
    DisplayScope scope(server.display());
    auto x11 = X11Screens::connect();
    ASSERT_TRUE(x11);
    EXPECT_EQ(x11->usesSharedMemory(), GetParam().sharedMemory);

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255), qRgb(132, 70, 200)};
    std::vector<QRgb> held;
    for (int i = 0; i < 5; ++i) {
        const QRgb rgb = colours[i];
        auto* reply = xcb_alloc_color_reply(
            c, xcb_alloc_color(c, screen->default_colormap, qRed(rgb) * 257, qGreen(rgb) * 257, qBlue(rgb) * 257),
            nullptr);
        ASSERT_NE(reply, nullptr);
        held.push_back(qRgb(reply->red >> 8, reply->green >> 8, reply->blue >> 8));
        const xcb_gcontext_t gc = xcb_generate_id(c);
        xcb_create_gc(c, gc, screen->root, XCB_GC_FOREGROUND, &reply->pixel);
        const xcb_rectangle_t r{int16_t(i * 20), 0, 20, 10};
        xcb_poly_fill_rectangle(c, screen->root, gc, 1, &r);
        xcb_free_gc(c, gc);
        free(reply);
    }
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);

    const QImage img = x11->grabRoot(QRect(0, 0, 100, 10));
    ASSERT_EQ(img.size(), QSize(100, 10));
    for (int i = 0; i < 5; ++i) {
        const QRgb got = img.pixel(i * 20 + 10, 5);
        EXPECT_EQ(qAlpha(got), 255);
        EXPECT_NEAR(qRed(got), qRed(held[i]), 4) << i;
        EXPECT_NEAR(qGreen(got), qGreen(held[i]), 4) << i;
        EXPECT_NEAR(qBlue(got), qBlue(held[i]), 4) << i;
    }
    // Saturated primaries survive every depth exactly.
    EXPECT_EQ(img.pixel(10, 5) & 0xffffff, 0xff0000u);
    EXPECT_EQ(img.pixel(70, 5) & 0xffffff, 0xffffffu);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, X11ScreensOnServer,
    ::testing::Values(
        ServerKind{"Depth24SharedMemory", {"-screen", "0", "320x200x24"}, true},
        ServerKind{"Depth24PlainGetImage", {"-screen", "0", "320x200x24", "-extension", "MIT-SHM"}, false},
        ServerKind{"Depth16", {"-screen", "0", "320x200x16"}, true},
        ServerKind{"Depth16PlainGetImage", {"-screen", "0", "320x200x16", "-extension", "MIT-SHM"}, false}),
    [](const ::testing::TestParamInfo<ServerKind>& info) { return std::string(info.param.name); });
