#include "platform/CoordinateSpace.h"
#include "platform/x11/X11Screens.h"
#include "XvfbServer.h"

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

namespace {

// Points DISPLAY at another server for one test.
class DisplayScope {
public:
    explicit DisplayScope(const QString& display) : saved_(qgetenv("DISPLAY")) { qputenv("DISPLAY", display.toLocal8Bit()); }
    ~DisplayScope() { qputenv("DISPLAY", saved_); }

private:
    QByteArray saved_;
};

struct ServerKind {
    const char* name;
    QStringList args;
    bool sharedMemory;
};

void PrintTo(const ServerKind& kind, std::ostream* os) { *os << kind.name; }

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
            c, xcb_alloc_color(c, screen->default_colormap, qRed(rgb) * 257, qGreen(rgb) * 257, qBlue(rgb) * 257), nullptr);
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
    ::testing::Values(ServerKind{"Depth24SharedMemory", {"-screen", "0", "320x200x24"}, true},
                      ServerKind{"Depth24PlainGetImage", {"-screen", "0", "320x200x24", "-extension", "MIT-SHM"}, false},
                      ServerKind{"Depth16", {"-screen", "0", "320x200x16"}, true},
                      ServerKind{"Depth16PlainGetImage", {"-screen", "0", "320x200x16", "-extension", "MIT-SHM"}, false}),
    [](const ::testing::TestParamInfo<ServerKind>& info) { return std::string(info.param.name); });
