// Pins on the sway desktop, whose two outputs run at scales 1 and 2: on each, one
// image pixel is one device pixel, read back from the compositor's own output copy.
#include "FutureResult.h"
#include "PatternWindow.h"
#include "SamePixels.h"
#include "WaylandSession.h"
#include "capture/CaptureService.h"
#include "pin/PinBoard.h"
#include "pin/PinWindow.h"
#include "platform/DesktopBackend.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;
using test::await;
using test::samePixels;

TEST(PinOnSway, OneImagePixelIsOneDevicePixelOnEachOutputOfMixedScale) {
    test::WaylandSession* session = test::sharedWayland();
    ASSERT_NE(session, nullptr);
    const auto desktop = loadDesktopBackend();
    ASSERT_TRUE(desktop->grabber);
    const CaptureService service(*desktop);
    // Whole points at scale 2, so that the window is exactly the image on both outputs.
    const QImage image = test::patternImage({0, 0, 302, 206});
    PinBoard board([](const ImageRef&) {});
    QPointer<PinWindow> pin = board.pin(makeImage(image));
    ASSERT_TRUE(pin);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pin, 10000));
    const QString title = PinWindow::windowTitleText();

    struct Output {
        const char* name;
        QPoint position; // sway's logical layout
        double scale;
    };
    for (const Output& output : {Output{"HEADLESS-2", {2200, 100}, 2.0}, Output{"HEADLESS-1", {300, 200}, 1.0}}) {
        SCOPED_TRACE(output.name);
        ASSERT_TRUE(session
                        ->commandWindow('"' + title + '"',
                                        {"move", "absolute", "position", QString::number(output.position.x()),
                                         QString::number(output.position.y())})
                        .ok());
        const QSize logical = image.size() / output.scale;
        // Above scale 1 the pin has one transparent point more at its right and bottom.
        const QSize window = logical + (output.scale > 1 ? QSize(1, 1) : QSize(0, 0));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return session->windowRect(title) == QRect(output.position, window); }, 10000))
            << "sway shows the pin at " << session->windowRect(title).x() << "," << session->windowRect(title).y()
            << " " << session->windowRect(title).width() << "x" << session->windowRect(title).height();
        const auto rect = CaptureService::captureRectForWindow(QRect(output.position, logical), service.screens());
        ASSERT_TRUE(rect);
        // Qt draws the pin again at the output's scale a moment after it arrives there.
        ::testing::AssertionResult same = ::testing::AssertionFailure();
        for (QDeadlineTimer deadline(5000);
             !(same = samePixels(*await(service.capture(*rect)), image)) && !deadline.hasExpired();)
            QTest::qWait(100);
        EXPECT_TRUE(same);
    }
}
