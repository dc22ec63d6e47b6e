// The desktop side of whole-page capture on a real Xvfb: the active window read from the
// X server, its frame in the capture space, and `lumivane capture browser` end to end
// against a real Chromium, with the root's _NET_ACTIVE_WINDOW set as a window manager would.
#include "ChromiumSession.h"
#include "TestPages.h"
#include "X11TestWindows.h"

#include "browser/DesktopBrowserCaptureEnvironment.h"
#include "browser/SupportedBrowser.h"
#include "cli/Cli.h"
#include "platform/ActiveWindow.h"
#include "platform/CoordinateSpace.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

using namespace lumivane;
using namespace lumivane::test;

namespace {

// Collects what the code under test writes to stderr.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        file_ = std::tmpfile();
        dup2(fileno(file_), STDERR_FILENO);
    }
    QString text() {
        std::fflush(stderr);
        restore();
        std::rewind(file_);
        QByteArray bytes;
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, file_)) > 0;) bytes.append(buf, qsizetype(n));
        return QString::fromUtf8(bytes);
    }
    ~StderrCapture() {
        restore();
        std::fclose(file_);
    }

private:
    void restore() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    int saved_ = -1;
    std::FILE* file_ = nullptr;
};

int captureBrowser(const QStringList& args, QString* errors = nullptr) {
    StderrCapture capture;
    const int rc = cli::commandCapture(QStringList{"browser"} + args);
    const QString text = capture.text();
    if (errors) *errors = text;
    return rc;
}

class DesktopCapture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { session = new ChromiumSession(); }
    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }
    void SetUp() override {
        if (!session->isRunning()) GTEST_SKIP() << session->errorText().toStdString();
        ASSERT_TRUE(desk.isConnected());
        chromium = findChromiumWindow();
        ASSERT_TRUE(chromium) << "no visible Chromium window";
        bridge = std::make_unique<DevToolsBridge>(session->bridgeOptions());
        // The command finds the endpoint the way it does for a user: DevToolsActivePort in
        // the Chromium profile below the configuration folder.
        savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        ASSERT_TRUE(QDir(configHome.path()).mkpath("chromium"));
        QFile port(QDir(configHome.path()).filePath("chromium/DevToolsActivePort"));
        ASSERT_TRUE(port.open(QIODevice::WriteOnly));
        port.write(QByteArray::number(session->port()) + "\n/devtools/browser/test\n");
        port.close();
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    }
    void TearDown() override {
        if (savedConfigHome.isNull()) qunsetenv("XDG_CONFIG_HOME");
        else qputenv("XDG_CONFIG_HOME", savedConfigHome);
    }
    void open(const QString& name, const QString& html) {
        ASSERT_TRUE(session->openPage(session->writePage(name, html), *bridge)) << name.toStdString();
    }
    QString js(const QString& script) { return bridge->runJavaScript(script, SupportedBrowser::googleChrome); }
    // Whether the page carries no trace of a capture: markers and inline styles.
    QString pageState() {
        return js("JSON.stringify([window.scrollY, Array.from(document.querySelectorAll('*')).map(e => "
                  "[e.getAttribute('style'), e.getAttributeNames().filter(n => n.startsWith('data-lumivane'))])]);");
    }

    static ChromiumSession* session;
    X11Desk desk;
    std::optional<FoundWindow> chromium;
    std::unique_ptr<DevToolsBridge> bridge;
    QTemporaryDir configHome;
    QTemporaryDir outDir;
    QByteArray savedConfigHome;
};
ChromiumSession* DesktopCapture::session = nullptr;

TEST_F(DesktopCapture, ActiveWindowComesFromTheRootPropertyWithClassPidAndFrame) {
    const auto source = makeX11ActiveWindowSource();
    ASSERT_TRUE(source);
    desk.setActiveWindow(chromium->id);
    const auto active = source->activeWindow();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->windowId, chromium->id);
    // Chromium names a non-default profile in the instance: "chromium (/path/to/profile)".
    EXPECT_EQ(active->instanceName.toStdString(), "chromium (" + session->profileDir().toStdString() + ")");
    EXPECT_EQ(active->className.toStdString(), "Chromium");
    EXPECT_EQ(active->pid, session->pid());
    EXPECT_EQ(active->nativeFrame, chromium->geometry);
    EXPECT_EQ(active->nativeFrame.size(), QSize(ChromiumSession::windowWidth, ChromiumSession::windowHeight));

    // Another application's window in front.
    const quint32 terminal = desk.createWindow(QRect(1300, 700, 400, 300), "xterm", "XTerm", 4242);
    desk.setActiveWindow(terminal);
    auto other = source->activeWindow();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->windowId, terminal);
    EXPECT_EQ(other->instanceName, "xterm");
    EXPECT_EQ(other->className, "XTerm");
    EXPECT_EQ(other->pid, 4242);
    EXPECT_EQ(other->nativeFrame, QRect(1300, 700, 400, 300));
    desk.setActiveWindow(chromium->id, true);
    ASSERT_TRUE(source->activeWindow());
    EXPECT_EQ(source->activeWindow()->windowId, chromium->id);

    // Inside a window manager's frame, the frame is the window's extent.
    const quint32 framed = desk.createWindow(QRect(0, 0, 400, 300), "brave-browser", "Brave-browser");
    const quint32 frame = desk.createFrame(QRect(1200, 100, 420, 340), framed, QPoint(10, 30));
    desk.setActiveWindow(framed);
    other = source->activeWindow();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->windowId, framed);
    EXPECT_EQ(other->pid, 0);
    EXPECT_EQ(other->nativeFrame, QRect(1200, 100, 420, 340));

    // A self-decorated window: its invisible shadow is not part of the frame.
    const quint32 shadowed = desk.createWindow(QRect(1300, 500, 400, 300), "google-chrome", "Google-chrome");
    desk.setFrameExtents(shadowed, 20, 22, 10, 30);
    desk.setActiveWindow(shadowed);
    other = source->activeWindow();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->nativeFrame, QRect(1320, 510, 358, 260));

    // The manager says no window is active.
    desk.setActiveWindow(0);
    EXPECT_FALSE(source->activeWindow());
    // A destroyed window is not reported.
    desk.setActiveWindow(shadowed);
    desk.destroy(shadowed);
    EXPECT_FALSE(source->activeWindow());

    // Without a manager the focus decides.
    desk.removeActiveWindowProperty();
    desk.focus(terminal);
    other = source->activeWindow();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->windowId, terminal);
    desk.focus(frame); // a frame without WM_CLASS leads to no client
    EXPECT_FALSE(source->activeWindow());

    desk.destroy(frame);
    desk.destroy(terminal);
}

TEST_F(DesktopCapture, EnvironmentReportsTheBrowserFrameInCaptureSpaceAndCapturesIt) {
    const auto env = DesktopBrowserCaptureEnvironment::createForX11();
    ASSERT_TRUE(env);
    open("green.html", "<body style=\"margin:0;background:rgb(0,200,0)\"></body>");
    desk.setActiveWindow(chromium->id);
    const auto front = env->frontmostWindow();
    ASSERT_TRUE(front);
    // The instance names the profile; the class is what identifies the browser.
    EXPECT_EQ(front->wmClass.toStdString(), "Chromium");
    EXPECT_EQ(supportedBrowserFromWmClass(front->wmClass), SupportedBrowser::googleChrome);
    EXPECT_EQ(front->pid, session->pid());
    // One screen with its top-left at the root origin: the capture space is the root's.
    EXPECT_EQ(front->frame, QRectF(chromium->geometry));

    // The bottom of the window is page content.
    const QRectF strip(front->frame.left() + 100, front->frame.bottom() - 60, 300, 40);
    const ImageRef image = env->captureRect(strip);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(300, 40));
    EXPECT_TRUE(near(image->pixelColor(150, 20), QColor(0, 200, 0))) << image->pixelColor(150, 20).name().toStdString();

    // Off every screen: the capture service's error comes through.
    EXPECT_THROW(env->captureRect(QRectF(5000, 5000, 10, 10)), CaptureError);
}

TEST(DesktopWindowSpace, WindowOnASecondScreenMapsIntoThatScreensCaptureSpace) {
    // Main 1920x1080 at the root origin; a 1280x800 screen to its right, 200 pixels higher.
    auto screen = [](QRect native) {
        ScreenInfo s;
        s.nativeGeometry = native;
        s.frame = CoordinateSpace::frameForNative(native, native, 1.0, QRect(0, 0, 1920, 1080), 1.0);
        s.displayID = 1;
        return s;
    };
    const std::vector<ScreenInfo> screens = {screen(QRect(0, 0, 1920, 1080)), screen(QRect(1920, -200, 1280, 800))};
    ActiveWindowInfo window;
    window.instanceName = "crx_app";
    window.className = "Google-chrome";
    window.pid = 77;
    window.nativeFrame = QRect(2000, -100, 900, 600);
    const FrontmostWindowInfo info = DesktopBrowserCaptureEnvironment::frontmostWindowInfo(window, screens);
    EXPECT_EQ(info.wmClass, "Google-chrome");
    EXPECT_EQ(info.pid, 77);
    // y counts down from the second screen's frame minimum (480 in the global space).
    EXPECT_EQ(screens[1].frame, QRectF(1920, 480, 1280, 800));
    EXPECT_EQ(info.frame, QRectF(2000, 580, 900, 600));
    // The capture service's planning puts the whole rectangle on that screen, at the same pixels.
    const auto segments = CaptureService::planSegments(screens, info.frame);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].screen.nativeGeometry, screens[1].nativeGeometry);
    const QRectF local = info.frame.translated(-segments[0].screenFrame.topLeft());
    EXPECT_EQ(CoordinateSpace::nativeRectForScreenLocal(screens[1].nativeGeometry, 1.0, local), window.nativeFrame);

    // Mostly on the main screen; class names pick the recognised one.
    window.instanceName = "chromium";
    window.className = "Chromium";
    window.nativeFrame = QRect(1500, 100, 600, 400);
    const FrontmostWindowInfo main = DesktopBrowserCaptureEnvironment::frontmostWindowInfo(window, screens);
    EXPECT_EQ(main.wmClass, "chromium");
    EXPECT_EQ(main.frame, QRectF(1500, 100, 600, 400));
    window.instanceName = "xterm";
    window.className = "XTerm";
    EXPECT_EQ(DesktopBrowserCaptureEnvironment::frontmostWindowInfo(window, screens).wmClass, "xterm");
}

TEST_F(DesktopCapture, CaptureBrowserCommandWritesTheStitchedPageInOrder) {
    open("bands.html", bandsPage(20, 300));
    js("window.scrollTo(0, 900); 'ok';");
    const QString before = pageState();
    desk.setActiveWindow(chromium->id);

    const QString png = QDir(outDir.path()).filePath("page.png");
    QString errors;
    ASSERT_EQ(captureBrowser({"-o", png}, &errors), cli::exitOk) << errors.toStdString();
    EXPECT_EQ(pageState(), before);

    QImageReader reader(png);
    EXPECT_EQ(reader.format(), "png");
    const QImage img = reader.read();
    ASSERT_FALSE(img.isNull()) << reader.errorString().toStdString();
    // 1000 CSS pixels wide and 6000 high, whatever size the export settled on.
    EXPECT_LE(img.width(), ChromiumSession::windowWidth);
    EXPECT_NEAR(double(img.height()) / img.width(), 6.0, 0.02);
    const double scale = img.height() / 6000.0;
    for (int i = 0; i < 20; ++i)
        for (int y : {i * 300 + 12, i * 300 + 150, i * 300 + 288}) {
            const QColor c = img.pixelColor(int(20 * scale), int(y * scale));
            EXPECT_TRUE(near(c, bandColor(i), 12)) << "band " << i + 1 << " at " << y << ": " << c.name().toStdString();
        }

    // JPEG by extension, with a preset.
    const QString jpg = QDir(outDir.path()).filePath("page.jpg");
    ASSERT_EQ(captureBrowser({"-o", jpg, "--preset", "low"}, &errors), cli::exitOk) << errors.toStdString();
    QImageReader jpeg(jpg);
    EXPECT_EQ(jpeg.format(), "jpeg");
    EXPECT_NEAR(double(jpeg.size().height()) / jpeg.size().width(), 6.0, 0.02);
    EXPECT_EQ(pageState(), before);
}

TEST_F(DesktopCapture, CaptureBrowserCommandRefusesWithoutTouchingPageOrOutput) {
    open("front.html", bandsPage(6, 300, "<div style=\"position:fixed;top:0;width:100%;height:40px\"></div>"));
    js("window.scrollTo(0, 300); 'ok';");
    const QString before = pageState();
    const QString png = QDir(outDir.path()).filePath("page.png");
    QString errors;

    // Another application in front.
    const quint32 terminal = desk.createWindow(QRect(1300, 700, 400, 300), "xterm", "XTerm");
    desk.setActiveWindow(terminal);
    EXPECT_EQ(captureBrowser({"-o", png}, &errors), cli::exitFailure);
    EXPECT_TRUE(errors.contains("capture browser: the front window is not Google Chrome, Chromium or Brave"))
        << errors.toStdString();
    // No window in front at all.
    desk.setActiveWindow(0);
    EXPECT_EQ(captureBrowser({"-o", png}, &errors), cli::exitFailure);
    EXPECT_TRUE(errors.contains("not Google Chrome")) << errors.toStdString();
    desk.destroy(terminal);

    // Chromium in front, but an output the command cannot write.
    desk.setActiveWindow(chromium->id);
    EXPECT_EQ(captureBrowser({"-o", QDir(outDir.path()).filePath("page.gif")}, &errors), cli::exitUsage);
    EXPECT_TRUE(errors.contains("unsupported output extension 'gif'")) << errors.toStdString();
    EXPECT_EQ(captureBrowser({}, &errors), cli::exitUsage);
    EXPECT_EQ(captureBrowser({"-o", png, "--preset", "ultra"}, &errors), cli::exitUsage);
    EXPECT_EQ(captureBrowser({"-o", png, "extra"}, &errors), cli::exitUsage);
    EXPECT_EQ(pageState(), before);

    // A tab that is not a web page.
    js("location.href = 'about:blank'; 'ok';");
    waitProcessingEvents(std::chrono::milliseconds(500));
    EXPECT_EQ(captureBrowser({"-o", png}, &errors), cli::exitFailure);
    EXPECT_TRUE(errors.contains("capture browser: bring Google Chrome, Chromium or Brave with a normal web page"))
        << errors.toStdString();

    EXPECT_TRUE(QDir(outDir.path()).isEmpty()) << "the command left a file behind";
}

} // namespace
