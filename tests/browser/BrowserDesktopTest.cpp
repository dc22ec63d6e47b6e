// `lumivane capture browser` end to end against a real Chromium under a window manager:
// the endpoint found through DevToolsActivePort in the normal profile folder, the image
// written, warnings and refusals on standard error.
#include "ChromiumSession.h"
#include "TestPages.h"

#include "browser/DesktopBrowserCaptureEnvironment.h"
#include "browser/SupportedBrowser.h"
#include "cli/Cli.h"
#include "core/ImageExportPipeline.h"
#include "platform/ActiveWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, file_)) > 0;)
            bytes.append(buf, qsizetype(n));
        return QString::fromUtf8(bytes);
    }
    ~StderrCapture() {
        restore();
        std::fclose(file_);
    }

private:
    void restore() {
        if (saved_ < 0)
            return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    int saved_ = -1;
    std::FILE* file_ = nullptr;
};

int captureBrowser(const QStringList& args, QString* errors = nullptr) {
    StderrCapture capture;
    const int rc = cli::commandCapture(QStringList{"browser"} + args + QStringList{"--devtools-port", "0"});
    const QString text = capture.text();
    if (errors)
        *errors = text;
    return rc;
}

class DesktopCapture : public ChromiumSuite {
protected:
    void SetUp() override {
        ChromiumSuite::SetUp();
        if (!ready())
            return;
        // The command finds the endpoint the way it does for a user: DevToolsActivePort in
        // the Chromium profile below the configuration folder.
        savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        ASSERT_TRUE(QDir(configHome.path()).mkpath("chromium"));
        QFile::copy(QDir(session->profileDir()).filePath("DevToolsActivePort"),
                    QDir(configHome.path()).filePath("chromium/DevToolsActivePort"));
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        // Snap and Flatpak profiles are looked for below the home folder: a private one.
        savedHome = qgetenv("HOME");
        qputenv("HOME", configHome.path().toLocal8Bit());
    }
    void TearDown() override {
        if (savedHome.isNull())
            return; // skipped before changing anything
        if (savedConfigHome.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", savedConfigHome);
        qputenv("HOME", savedHome);
    }
    QString pageState() {
        return session->js(
            "JSON.stringify([window.scrollX, window.scrollY, Array.from(document.querySelectorAll('*')).map(e => "
            "[e.getAttribute('style'), e.getAttributeNames().filter(n => n.startsWith('data-lumivane'))])]);");
    }

    QTemporaryDir configHome;
    QTemporaryDir outDir;
    QByteArray savedConfigHome;
    QByteArray savedHome;
};

TEST_F(DesktopCapture, CaptureBrowserCommandWritesTheStitchedPageInOrder) {
    open("rows.html", markerPage(200, 20));
    session->js("window.scrollTo(0, 900); 'ok'");
    const QString before = pageState();

    const QString png = QDir(outDir.path()).filePath("page.png");
    QString errors;
    ASSERT_EQ(captureBrowser({"-o", png}, &errors), cli::exitOk) << errors.toStdString();
    EXPECT_FALSE(errors.contains("warning")) << errors.toStdString();
    EXPECT_EQ(pageState(), before);
    QImageReader reader(png);
    EXPECT_EQ(reader.format(), "png");
    const QImage img = reader.read();
    ASSERT_FALSE(img.isNull()) << reader.errorString().toStdString();
    const int width = session->js("String(document.documentElement.clientWidth)").toInt();
    EXPECT_LE(img.width(), width);
    EXPECT_NEAR(double(img.height()) / img.width(), 4000.0 / width, 0.02);

    // JPEG by extension, with a preset.
    const QString jpg = QDir(outDir.path()).filePath("page.jpg");
    ASSERT_EQ(captureBrowser({"-o", jpg, "--preset", "low"}, &errors), cli::exitOk) << errors.toStdString();
    EXPECT_EQ(QImageReader(jpg).format(), "jpeg");
    EXPECT_EQ(pageState(), before);
}

TEST_F(DesktopCapture, CaptureBrowserCommandWarnsAboutWhatItLeavesOut) {
    // Two large scrolling panes side by side: one is captured, the other reported.
    open("panes.html", "<!doctype html><html><head><style>body{margin:0;height:100vh;overflow:hidden;display:flex}"
                       ".p{height:100vh;overflow:auto}</style></head><body><div class=p style=\"width:60%\">" +
                           markerRows(150, 20) + "</div><div class=p style=\"width:40%\">" + markerRows(150, 20) +
                           "</div></body></html>");
    const QString png = QDir(outDir.path()).filePath("panes.png");
    QString errors;
    ASSERT_EQ(captureBrowser({"-o", png}, &errors), cli::exitOk) << errors.toStdString();
    EXPECT_TRUE(errors.contains("capture browser: warning: 1 other scrolling area(s)")) << errors.toStdString();

    // A page that stops scrolling before its reported end: written, named, and the exit code says so.
    open("endless.html", markerPage(60, 20) + "<script>Object.defineProperty(document.documentElement, 'scrollHeight', "
                                              "{get: () => 999000});</script>");
    ASSERT_EQ(captureBrowser({"-o", png}, &errors), cli::exitPartial) << errors.toStdString();
    EXPECT_TRUE(
        errors.contains("capture browser: warning: the page stopped scrolling before its end; rows 1200-999000 px "
                        "from the top are missing"))
        << errors.toStdString();
    EXPECT_EQ(QImageReader(png).size().height(), 1200);
}

TEST_F(DesktopCapture, CaptureBrowserCommandSplitsALongPageIntoNumberedPartsWithinTheBudget) {
    const int rows = 20 * session->js("String(innerHeight)").toInt() / 20;
    open("long.html", markerPage(rows, 20));
    const int width = session->js("String(document.documentElement.clientWidth)").toInt();
    const QString png = QDir(outDir.path()).filePath("long.png");
    QString errors;
    ASSERT_EQ(captureBrowser({"-o", png, "--split"}, &errors), cli::exitOk) << errors.toStdString();
    const QStringList files = QDir(outDir.path()).entryList(QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 2);
    int height = 0;
    for (int i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i], QStringLiteral("long-part%1.png").arg(i + 1));
        const QString path = QDir(outDir.path()).filePath(files[i]);
        EXPECT_LE(
            QFileInfo(path).size(),
            ImageExportOptions::output(ImageExportProfile::browserFullPage, CaptureQualityPreset::medium).byteBudget);
        const QImage part(path);
        EXPECT_EQ(part.width(), width);
        EXPECT_TRUE(near(part.pixelColor(5, 0), markerColor(height / 20), 2)) << i;
        height += part.height();
    }
    EXPECT_EQ(height, rows * 20);
    // Splitting needs file names.
    EXPECT_EQ(captureBrowser({"-o", "-", "--split"}, &errors), cli::exitUsage);
}

TEST_F(DesktopCapture, CaptureBrowserCommandRefusesWithoutTouchingPageOrOutput) {
    open("front.html", markerPage(60, 20, {}, "<div style=\"position:fixed;top:0;width:100%;height:40px\"></div>"));
    session->js("window.scrollTo(0, 300); 'ok'");
    const QString before = pageState();
    const QString png = QDir(outDir.path()).filePath("page.png");
    QString errors;

    EXPECT_EQ(captureBrowser({"-o", QDir(outDir.path()).filePath("page.gif")}, &errors), cli::exitUsage);
    EXPECT_TRUE(errors.contains("unsupported output extension 'gif'")) << errors.toStdString();
    EXPECT_EQ(captureBrowser({}, &errors), cli::exitUsage);
    EXPECT_EQ(captureBrowser({"-o", png, "--preset", "ultra"}, &errors), cli::exitUsage);
    EXPECT_EQ(captureBrowser({"-o", png, "extra"}, &errors), cli::exitUsage);
    EXPECT_EQ(pageState(), before);

    // No endpoint in the profile folders, and no fallback port.
    QFile::remove(QDir(configHome.path()).filePath("chromium/DevToolsActivePort"));
    EXPECT_EQ(captureBrowser({"-o", png}, &errors), cli::exitFailure);
    EXPECT_TRUE(errors.contains("capture browser: no remote-debugging endpoint of Chromium answered"))
        << errors.toStdString();
    EXPECT_TRUE(errors.contains("chrome://inspect/#remote-debugging")) << errors.toStdString();
    QFile::copy(QDir(session->profileDir()).filePath("DevToolsActivePort"),
                QDir(configHome.path()).filePath("chromium/DevToolsActivePort"));

    // A tab that is not a web page.
    ASSERT_TRUE(session->openPage("about:blank"));
    EXPECT_EQ(captureBrowser({"-o", png}, &errors), cli::exitFailure);
    EXPECT_TRUE(errors.contains("capture browser: the front tab of Chromium is not a web page (about:blank)"))
        << errors.toStdString();
    EXPECT_TRUE(QDir(outDir.path()).isEmpty()) << "the command left a file behind";
}

} // namespace
