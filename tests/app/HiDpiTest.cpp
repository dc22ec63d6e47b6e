// The overlay, its cursor, the capture and the preview on a desktop scaled to
// 100 %, 150 % and 200 % (Xft.dpi 96, 144, 192). Each scale runs in a child
// process with its own X server, since Qt reads the scale when it starts.
#include "../app/DesktopModel.h"
#include "XvfbServer.h"

#include "platform/CoordinateSpace.h"
#include "platform/x11/X11Connection.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

using namespace lumivane;

namespace {

// Paints every root pixel a colour of its own position, so that a capture one
// pixel off, or scaled, shows.
void paintPositionPattern(xcb_connection_t* conn, xcb_screen_t* screen) {
    const int w = screen->width_in_pixels, h = screen->height_in_pixels;
    // As the root's background, so that it comes back when windows above it close.
    const xcb_pixmap_t pixmap = xcb_generate_id(conn);
    xcb_create_pixmap(conn, screen->root_depth, pixmap, screen->root, uint16_t(w), uint16_t(h));
    xcb_gcontext_t gc = xcb_generate_id(conn);
    xcb_create_gc(conn, gc, pixmap, 0, nullptr);
    const int band = 16;
    std::vector<uint32_t> pixels(size_t(w) * band);
    for (int y0 = 0; y0 < h; y0 += band) {
        for (int y = 0; y < band; ++y)
            for (int x = 0; x < w; ++x)
                pixels[size_t(y) * w + x] =
                    uint32_t((x & 0xff) << 16 | ((y0 + y) & 0xff) << 8 | ((x >> 8) * 16 + ((y0 + y) >> 8)));
        xcb_put_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, uint16_t(w), uint16_t(band), 0, int16_t(y0), 0,
                      screen->root_depth, uint32_t(pixels.size() * 4), reinterpret_cast<const uint8_t*>(pixels.data()));
    }
    xcb_change_window_attributes(conn, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(conn, 0, screen->root, 0, 0, 0, 0);
    xcb_free_gc(conn, gc);
    xcb_free_pixmap(conn, pixmap);
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
}

QWidget* overlayPanel() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == "Lumivane Selection")
            return w;
    return nullptr;
}

} // namespace

// Runs in the child: the desktop's scale is test::xftDpi() / 96.
TEST(HiDpiChild, OverlayCursorCaptureAndPreviewAreExact) {
    if (test::xftDpi() == 0)
        GTEST_SKIP() << "runs in the child processes of HiDpi.AtEveryScale";
    const double scale = test::xftDpi() / 96.0;
    ASSERT_DOUBLE_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), scale) << "Qt reads Xft.dpi";

    test::DesktopModel desktop;
    ASSERT_TRUE(desktop.ready());
    desktop.x11->followQtScreenScales();
    const ScreenInfo main = *desktop.x11->mainScreen();
    EXPECT_DOUBLE_EQ(main.scale, scale);
    EXPECT_EQ(main.frame, QRectF(0, 0, 1920 / scale, 1080 / scale));

    xcb_screen_t* screen = nullptr;
    xcb_connection_t* conn = connectX11(&screen);
    ASSERT_TRUE(conn);
    paintPositionPattern(conn, screen);

    AppModel& model = *desktop;
    model.captureArea();
    QWidget* panel = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (panel = overlayPanel()) != nullptr; }, 5000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    // The panel covers the screen exactly: 1920 × 1080 pixels whatever the scale.
    EXPECT_EQ(panel->geometry(), QRect(0, 0, qRound(1920 / scale), qRound(1080 / scale)));
    EXPECT_EQ(panel->size() * panel->devicePixelRatio(), QSize(1920, 1080));

    // The crosshair: 22 × 22 points, its hot spot at the centre.
    QProcess::execute("xdotool", {"mousemove", "500", "400"});
    QTest::qWait(300);
    free(xcb_xfixes_query_version_reply(conn, xcb_xfixes_query_version(conn, 4, 0), nullptr));
    auto* cursor = xcb_xfixes_get_cursor_image_reply(conn, xcb_xfixes_get_cursor_image(conn), nullptr);
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor->width, qRound(22 * scale));
    EXPECT_EQ(cursor->height, qRound(22 * scale));
    EXPECT_EQ(cursor->xhot, int(11 * scale));
    EXPECT_EQ(cursor->yhot, int(11 * scale));
    free(cursor);

    // A drag between two X11 pixels captures exactly the pixels between them.
    // Each step is delivered before the next, as under a hand (xdotool blocks this process).
    QProcess::execute("xdotool", {"mousemove", "301", "201", "mousedown", "1"});
    QTest::qWait(300);
    QProcess::execute("xdotool", {"mousemove", "450", "300", "mousemove", "701", "451"});
    QTest::qWait(300);
    QProcess::execute("xdotool", {"mouseup", "1"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.currentCapture().has_value(); }, 10000));
    const QImage captured = model.currentCapture()->image->convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(captured.size(), QSize(400, 250));
    const QImage expected = desktop.x11->grabRoot(QRect(301, 201, 400, 250)).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(captured, expected);
    if (captured != expected) {
        const QRgb c0 = captured.pixel(0, 0), c1 = captured.pixel(399, 249), e0 = expected.pixel(0, 0);
        ADD_FAILURE() << std::hex << "captured " << c0 << " .. " << c1 << ", expected from " << e0 << "; selection "
                      << model.currentCapture()->image->width();
    }
    EXPECT_EQ(captured.pixel(0, 0) & 0xffffff, uint32_t((301 & 0xff) << 16 | 201 << 8 | 1 * 16));

    // The preview sits 24 points from the lower-left corner: 24 × scale pixels.
    QWidget* preview = nullptr;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (preview = test::visibleWindow("Lumivane プレビュー")) != nullptr; }, 5000));
    const QPoint nativeTopLeft =
        CoordinateSpace::nativePointForLogical(QPointF(preview->geometry().topLeft()), main.nativeGeometry, scale)
            .toPoint();
    EXPECT_EQ(nativeTopLeft, QPoint(qRound(24 * scale), 1080 - qRound((24 + 210) * scale)));
    EXPECT_EQ(preview->size() * preview->devicePixelRatio(), QSize(qRound(210 * scale), qRound(210 * scale)));
    if (const QByteArray dir = qgetenv("LUMIVANE_HIDPI_SHOTS"); !dir.isEmpty())
        desktop.x11->grabRoot(QRect(0, 0, 1920, 1080))
            .save(QString("%1/hidpi-%2.png").arg(QString(dir)).arg(test::xftDpi()));
    xcb_disconnect(conn);
}

TEST(HiDpi, AtEveryScale) {
    for (int dpi : {96, 144, 192}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--xft-dpi=%1").arg(dpi), "--gtest_filter=HiDpiChild.*"});
        ASSERT_TRUE(child.waitForFinished(180000)) << dpi;
        const QByteArray out = child.readAll();
        EXPECT_EQ(child.exitCode(), 0) << "Xft.dpi " << dpi << ":\n" << out.toStdString();
        EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
    }
}
