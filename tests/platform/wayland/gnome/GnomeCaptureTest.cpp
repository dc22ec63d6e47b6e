// Capture through GNOME 43's screenshot portal on a headless GNOME desktop, with the
// portal's permission stored as allowed, denied, or not yet asked (GNOME then shows
// its "Allow Applications to Take Screenshots?" question, which nobody answers here).
#include "GnomeSession.h"
#include "capture/CaptureError.h"
#include "capture/CaptureService.h"
#include "platform/DesktopBackend.h"
#include "platform/wayland/PortalScreenshot.h"
#include "settings/AppSettings.h"
#include "setup/SetupChecklist.h"

#include <QDir>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::sharedGnome;

namespace {

class GnomeCapture : public ::testing::Test {
protected:
    void SetUp() override {
        gnome_ = sharedGnome();
        ASSERT_NE(gnome_, nullptr);
        backend_ = loadDesktopBackend();
        ASSERT_EQ(backend_->windowSystem, WindowSystem::wayland);
        ASSERT_TRUE(backend_->screens);
        ASSERT_FALSE(backend_->screens->screens().empty());
    }

    QStringList pictures() const {
        return QDir(gnome_->picturesFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // A capture service over the portal with these time-outs, on the desktop's real screens.
    CaptureService service(PortalScreenshot::Timeouts timeouts) const {
        auto screens = backend_->screens;
        auto portal = std::make_shared<PortalScreenshot>(
            [screens] {
                QRectF bounds;
                for (const ScreenInfo& s : screens->screens())
                    bounds = bounds.united(QRectF(s.nativeGeometry));
                return bounds;
            },
            timeouts);
        return CaptureService(screens, std::shared_ptr<DesktopSnapshotSource>(portal), backend_->capturePermission);
    }

    test::GnomeSession* gnome_ = nullptr;
    std::shared_ptr<DesktopBackend> backend_;
};

} // namespace

TEST_F(GnomeCapture, StoredDenialIsThePermissionErrorAndTheChecklistSaysSo) {
    ASSERT_TRUE(gnome_->setScreenshotPermission("no"));
    const QStringList before = pictures();
    QElapsedTimer clock;
    clock.start();
    QFuture<ImageRef> f = CaptureService(*backend_).captureFullScreen();
    try {
        f.waitForFinished();
        static_cast<void>(f.result());
        FAIL() << "a denied capture succeeded";
    } catch (const CaptureError& e) {
        EXPECT_EQ(e.kind(), CaptureError::Kind::screenRecordingPermissionDenied);
    }
    EXPECT_LT(clock.elapsed(), 5000) << "a stored denial answers at once";
    EXPECT_EQ(pictures(), before);
}

TEST_F(GnomeCapture, PermissionStoreAnswersReachTheChecklist) {
    const struct {
        const char* stored;
        ScreenCaptureConsent consent;
        SetupStatus status;
    } cases[] = {
        {"yes", ScreenCaptureConsent::allowed, SetupStatus::ready},
        {"no", ScreenCaptureConsent::denied, SetupStatus::actionRequired},
        {"", ScreenCaptureConsent::notAsked, SetupStatus::ready},
    };
    AppSettings settings;
    auto permissions = backend_->makePermissions();
    QSet<QString> details;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(gnome_->setScreenshotPermission(c.stored));
        EXPECT_TRUE(permissions->screenCaptureAllowed());
        EXPECT_EQ(permissions->screenCaptureConsent(), c.consent);
        SetupPermissionAnswers answers;
        answers.screenCaptureAllowed = permissions->screenCaptureAllowed();
        answers.screenCaptureThroughPortal = true;
        answers.accessibilityApplies = permissions->accessibilityApplies();
        answers.screenCaptureConsent = permissions->screenCaptureConsent();
        const SetupChecklistState state = SetupChecklistState::evaluate(settings, answers);
        ASSERT_NE(state.item(SetupItemKind::screenRecording), nullptr);
        EXPECT_EQ(state.item(SetupItemKind::screenRecording)->status, c.status);
        details.insert(state.item(SetupItemKind::screenRecording)->detail);
    }
    EXPECT_EQ(details.size(), 3) << "each answer has its own explanation";

    // The item's button withdraws a stored denial: the next capture asks again.
    ASSERT_TRUE(gnome_->setScreenshotPermission("no"));
    EXPECT_TRUE(permissions->openSettingsPage(DesktopPermissions::Page::screenRecording));
    EXPECT_EQ(permissions->screenCaptureConsent(), ScreenCaptureConsent::notAsked);
    // Nothing to withdraw once allowed.
    ASSERT_TRUE(gnome_->setScreenshotPermission("yes"));
    EXPECT_FALSE(permissions->openSettingsPage(DesktopPermissions::Page::screenRecording));
    EXPECT_EQ(permissions->screenCaptureConsent(), ScreenCaptureConsent::allowed);
}

TEST_F(GnomeCapture, UnansweredQuestionEndsTheCaptureAtTheTimeOutAndAnAllowedOneShowsTheDesktop) {
    const QStringList picturesBefore = pictures();
    // Nothing stored: GNOME asks, nobody answers within the (shortened) question time.
    ASSERT_TRUE(gnome_->setScreenshotPermission(""));
    QElapsedTimer clock;
    clock.start();
    QFuture<ImageRef> f = service({15000, 3000}).captureFullScreen();
    try {
        f.waitForFinished();
        static_cast<void>(f.result());
        FAIL() << "an unanswered capture succeeded";
    } catch (const CaptureError& e) {
        EXPECT_EQ(e.kind(), CaptureError::Kind::captureFailed);
    }
    EXPECT_GE(clock.elapsed(), 2000); // waited for the question (a coarse timer may end 5 % early)
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(pictures(), picturesBefore);
    EXPECT_EQ(backend_->makePermissions()->screenCaptureConsent(), ScreenCaptureConsent::notAsked);

    // GNOME 43's question outlives the closed request (the portal holds the request
    // until the question is answered), but it blocks nothing: once allowed, a capture
    // shows the desktop and the portal's file does not stay in Pictures.
    ASSERT_TRUE(gnome_->setScreenshotPermission("yes"));
    QFuture<ImageRef> allowed = CaptureService(*backend_).captureFullScreen();
    allowed.waitForFinished();
    const QImage image = *allowed.result();
    ASSERT_EQ(image.size(), QSize(1920, 1080));
    // GNOME's desktop: a dark top bar over a lighter background, every pixel opaque.
    const QImage rgb = image.convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    QSet<QRgb> colours;
    for (int y = 0; y < rgb.height(); y += 7)
        for (int x = 0; x < rgb.width(); x += 7) {
            const QRgb p = rgb.pixel(x, y);
            opaque += qAlpha(p) == 255;
            colours.insert(p);
        }
    EXPECT_EQ(opaque, ((rgb.height() + 6) / 7) * ((rgb.width() + 6) / 7));
    EXPECT_GT(colours.size(), 2);
    EXPECT_LT(qGray(rgb.pixel(960, 5)), 80) << "the top bar";
    EXPECT_EQ(pictures(), picturesBefore);
}
