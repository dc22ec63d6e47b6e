// Whole-page capture against a real Chromium on the test's Xvfb with a window manager.
#include "ChromiumSession.h"
#include "TestPages.h"

#include "browser/BrowserCaptureError.h"
#include "browser/BrowserCaptureWorker.h"
#include "browser/BrowserFullPageCaptureService.h"
#include "browser/DesktopBrowserCaptureEnvironment.h"
#include "platform/x11/X11Platform.h"

#include "Sanitizers.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFutureWatcher>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace lumivane;
using namespace lumivane::test;

namespace {

// Every element's tag, exact style attribute (null when absent) and capture markers, and both scroll offsets.
const char* pageStateScript =
    "JSON.stringify([window.scrollX, window.scrollY, Array.from(document.querySelectorAll('*')).map(e => [e.tagName, "
    "e.getAttribute('style'), e.scrollTop, e.getAttributeNames().filter(n => n.startsWith('data-lumivane'))])]);";

class ChromiumCapture : public ChromiumSuite {
protected:
    void SetUp() override {
        ChromiumSuite::SetUp();
        if (!ready())
            return;
        env = std::make_unique<DesktopBrowserCaptureEnvironment>(makeX11ActiveWindowSource());
        bridge = std::make_unique<DevToolsBridge>(session->bridgeOptions());
        service = std::make_unique<BrowserFullPageCaptureService>(*env, *bridge);
    }
    QString js(const QString& script) { return session->js(script); }
    QImage capture() {
        const BrowserCaptureResult result = service->captureFrontmostBrowserPage();
        EXPECT_TRUE(result.image);
        last = result;
        return result.image ? *result.image : QImage();
    }

    std::unique_ptr<DesktopBrowserCaptureEnvironment> env;
    std::unique_ptr<DevToolsBridge> bridge;
    std::unique_ptr<BrowserFullPageCaptureService> service;
    BrowserCaptureResult last;
};

TEST_F(ChromiumCapture, SlicesMeetWithoutMissingOrRepeatedBandsAcrossTwentyRuns) {
    open("rows.html", markerPage(150, 20));
    const int viewportWidth = js("String(document.documentElement.clientWidth)").toInt();
    for (int run = 0; run < 20; ++run) {
        const int startY = (run * 137) % 2000;
        js(QStringLiteral("window.scrollTo(0, %1); 'ok'").arg(startY));
        const QImage img = capture();
        ASSERT_EQ(img.size(), QSize(viewportWidth, 3000)) << "run " << run;
        const QString problems = markerSequenceProblems(img, 10, 150, 20);
        ASSERT_TRUE(problems.isEmpty()) << "run " << run << ": " << problems.toStdString();
        EXPECT_EQ(markerSequenceProblems(img, viewportWidth - 1, 150, 20), QString()) << "run " << run;
        ASSERT_EQ(js("String(window.scrollY)"), QString::number(startY)) << "run " << run;
        EXPECT_TRUE(last.omissions.empty());
    }
    EXPECT_EQ(last.browserName, "Chromium");
}

// Rows of the image in which colour c fills the pixel at column x.
std::vector<int> rowsOf(const QImage& img, int x, QColor c) {
    std::vector<int> rows;
    for (int y = 0; y < img.height(); ++y)
        if (near(img.pixelColor(x, y), c, 12))
            rows.push_back(y);
    return rows;
}

// Whether rows form one unbroken band from first, count rows high.
bool oneBand(const std::vector<int>& rows, int first, int count) {
    if (int(rows.size()) != count || rows.empty())
        return false;
    return rows.front() == first && rows.back() == first + count - 1;
}

TEST_F(ChromiumCapture, StickyAndFixedContentAppearsOnceWhereAReaderExpectsItWithoutReflow) {
    const QString head =
        "<style>body{padding-top:50px} .wrap{display:flex} "
        "aside{position:sticky;top:0;align-self:flex-start;width:200px;"
        "height:300px;background:rgb(255,0,0)} main{flex:1} table{border-collapse:collapse;width:100%}"
        " th{position:sticky;top:50px;height:40px;padding:0;background:rgb(0,255,0);color:#000;font:bold 30px "
        "sans-serif}"
        " td{height:20px;padding:0} h2{position:sticky;top:50px;margin:0;height:30px;background:rgb(0,255,255)}"
        " #bar{position:fixed;top:0;left:0;right:0;height:50px;background:rgb(0,0,255)}"
        " #cookie{position:fixed;bottom:0;left:0;right:0;height:60px;background:rgb(255,128,0)}"
        " #chat{position:fixed;right:10px;bottom:80px;width:200px;height:200px;background:rgb(255,0,255)}"
        " #consent{position:sticky;bottom:0;height:50px;background:rgb(128,0,255)}</style>";
    QString rows;
    for (int i = 0; i < 120; ++i)
        rows += QStringLiteral("<tr><td style=\"background:#%1\"></td></tr>").arg(i % 2 ? "888" : "999");
    const QString body =
        "<div id=bar></div><div id=cookie></div><div id=chat></div><div class=wrap><aside id=side></aside>"
        "<main id=main>" +
        markerRows(100, 20) +
        "<h2 id=heading></h2><table><thead><tr><th>LABEL</th></tr>"
        "</thead><tbody>" +
        rows + "</tbody></table>" + markerRows(100, 20) + "</main></div>";
    open("sticky.html", "<!doctype html><html><head><style>body{margin:0}</style>" + head + "</head><body>" + body +
                            "<p id=empty style=\"\">x</p><p id=none>y</p><div id=consent></div></body></html>");
    // The page notes its layout at every scroll: nothing may move while it is captured.
    js("window.__layouts = new Set(); addEventListener('scroll', () => __layouts.add([main.offsetWidth, "
       "main.offsetLeft,"
       " document.documentElement.scrollHeight, document.querySelector('th').offsetHeight].join())); 'ok'");
    const QString layoutBefore = js("[main.offsetWidth, main.offsetLeft, document.documentElement.scrollHeight,"
                                    " document.querySelector('th').offsetHeight].join()");
    js("window.scrollTo(0, 1500); 'ok'");
    const QString before = js(pageStateScript);

    const QImage img = capture();
    EXPECT_EQ(js("Array.from(__layouts).join('|')"), layoutBefore);
    EXPECT_EQ(js(pageStateScript), before);
    EXPECT_EQ(js("empty.getAttribute('style')"), "");
    EXPECT_EQ(js("String(none.hasAttribute('style'))"), "false");
    ASSERT_EQ(img.height(), layoutBefore.section(',', 2, 2).toInt());
    const int mainX = js("String(main.offsetLeft + 20)").toInt();
    const int tableTop = js("String(document.querySelector('table').getBoundingClientRect().top + scrollY)").toInt();
    const int headingTop = js("String(heading.getBoundingClientRect().top + scrollY)").toInt();
    // The top bar once, at the top of the picture; the sidebar once beside the content, at its place.
    EXPECT_TRUE(oneBand(rowsOf(img, img.width() / 2, QColor(0, 0, 255)), 0, 50));
    EXPECT_TRUE(oneBand(rowsOf(img, 100, QColor(255, 0, 0)), 50, 300));
    // The section heading and the table header once each, where they stand in the page.
    EXPECT_TRUE(oneBand(rowsOf(img, mainX, QColor(0, 255, 255)), headingTop, 30));
    const std::vector<int> header = rowsOf(img, img.width() - 20, QColor(0, 255, 0));
    EXPECT_TRUE(oneBand(header, tableTop, 40)) << header.size();
    // with its label drawn on it
    int label = 0;
    for (int y = tableTop; y < tableTop + 40; ++y)
        for (int x = mainX; x < img.width(); ++x)
            label += qGray(img.pixel(x, y)) < 60;
    EXPECT_GT(label, 100);
    // Cookie bars (fixed, or sticking to the bottom) and the chat bubble are left out.
    EXPECT_EQ(countNear(img, QColor(255, 128, 0)), 0);
    EXPECT_EQ(countNear(img, QColor(128, 0, 255)), 0);
    EXPECT_EQ(countNear(img, QColor(255, 0, 255)), 0);
    // The content column is intact: marker rows below the bar, in order.
    EXPECT_EQ(markerSequenceProblems(img.copy(0, 50, img.width(), 2000), mainX, 100, 20), QString());
}

TEST_F(ChromiumCapture, PageThatGrowsWhileItIsCapturedHasNoHoleAndNoRepeatedRow) {
    // An endless feed of the test's own: near its end it drops its last rows for a moment
    // (the page is briefly shorter), then puts them back with more, up to 300 rows.
    const QString feed = "<script>let loading = false;"
                         "function row(i) { const d = document.createElement('div'); d.style.height = '20px';"
                         " d.style.background = 'rgb(' + (i & 255) + ',' + (i >> 8) + ',160)'; return d; }"
                         "addEventListener('scroll', () => {"
                         " const rows = document.querySelectorAll('body > div');"
                         " if (loading || rows.length >= 300 || scrollY + innerHeight < "
                         "document.documentElement.scrollHeight - 300) return;"
                         " loading = true; const kept = Array.from(rows).slice(-10); for (const d of kept) d.remove();"
                         " setTimeout(() => { for (const d of kept) document.body.appendChild(d);"
                         "   const m = document.querySelectorAll('body > div').length;"
                         "   for (let i = m; i < Math.min(m + 20, 300); ++i) document.body.appendChild(row(i));"
                         "   loading = false; }, 60); });</script>";
    open("feed.html", "<!doctype html><html><head><style>body{margin:0}</style>" + feed + "</head><body>" +
                          markerRows(60, 20) + "</body></html>");
    const QImage img = capture();
    EXPECT_FALSE(img.hasAlphaChannel());
    EXPECT_EQ(img.height(), 300 * 20);
    EXPECT_EQ(markerSequenceProblems(img, 10, 300, 20), QString());
    EXPECT_EQ(markerSequenceProblems(img, img.width() - 1, 300, 20), QString());
    EXPECT_TRUE(last.omissions.empty());
}

TEST_F(ChromiumCapture, SplitOptionKeepsALongPageReadableInNumberedParts) {
    const int viewportHeight = js("String(innerHeight)").toInt();
    const int rows = 20 * viewportHeight / 20;
    open("split.html", markerPage(rows, 20));
    const int width = js("String(document.documentElement.clientWidth)").toInt();
    const BrowserCaptureResult result = service->captureFrontmostBrowserPage(BrowserCaptureOptions{true});
    ASSERT_GE(result.parts.size(), 2u);
    EXPECT_EQ(result.image, result.parts.front());
    QImage whole(width, rows * 20, QImage::Format_RGB32);
    QPainter painter(&whole);
    int y = 0;
    for (const ImageRef& part : result.parts) {
        EXPECT_EQ(part->width(), width); // not shrunk
        EXPECT_LE(part->height(), 7000);
        painter.drawImage(0, y, *part);
        y += part->height();
    }
    painter.end();
    EXPECT_EQ(y, rows * 20);
    EXPECT_EQ(markerSequenceProblems(whole, 10, rows, 20), QString());
    // Without the option the page is one picture within the output limits.
    const QImage one = capture();
    EXPECT_EQ(one.height(), 7000);
    EXPECT_TRUE(last.parts.empty());
}

TEST_F(ChromiumCapture, InnerScrollContainerIsScrolledAndCapturedWhenTheDocumentDoesNotScroll) {
    open("app.html", "<!doctype html><html><head><style>body{margin:0;height:100vh;overflow:hidden}"
                     "#top{height:60px;background:rgb(40,40,40)} #sc{height:calc(100vh - 60px);overflow:auto}</style>"
                     "</head><body><div id=top></div><div id=sc>" +
                         markerRows(200, 20) + "</div></body></html>");
    js("sc.scrollTop = 555; 'ok'");
    const QString before = js(pageStateScript);
    const QImage img = capture();
    EXPECT_EQ(img.height(), 4000);
    EXPECT_EQ(img.width(), js("String(sc.clientWidth)").toInt());
    EXPECT_EQ(markerSequenceProblems(img, 10, 200, 20), QString());
    EXPECT_EQ(js(pageStateScript), before);
    EXPECT_EQ(js("String(sc.scrollTop)"), "555");
}

TEST_F(ChromiumCapture, PageWiderThanTheWindowIsCapturedAtFullWidthAndScrolledBackExactly) {
    open("wide.html", markerPage(120, 20, "<style>body{width:2600px}</style>"));
    js("window.scrollTo(700, 900); 'ok'");
    const QString before = js(pageStateScript);
    const QImage img = capture();
    EXPECT_EQ(img.size(), QSize(2600, 2400));
    for (int x : {5, 1300, 2599})
        EXPECT_EQ(markerSequenceProblems(img, x, 120, 20), QString()) << x;
    EXPECT_EQ(js(pageStateScript), before);
    EXPECT_EQ(js("[scrollX, scrollY].join()"), "700,900");
    EXPECT_TRUE(last.omissions.empty());
}

TEST_F(ChromiumCapture, TheFrontWindowsTabIsCapturedWhenTwoWindowsLieSideBySide) {
    open("left.html", markerPage(100, 20));
    const QString right = session->openWindow(
        session->writePage("right.html", "<body style=\"margin:0;height:3000px;background:rgb(10,200,10)\"></body>"),
        QRect(1010, 0, 900, 800));
    js("window.scrollTo(0, 300); 'ok'");
    session->js("window.scrollTo(0, 700); 'ok'", right);

    ASSERT_TRUE(session->activateWindowAt({1010, 0}));
    QImage img = capture();
    EXPECT_EQ(img.height(), 3000);
    EXPECT_GT(countNear(img, QColor(10, 200, 10)), img.width() * img.height() / 20);
    EXPECT_EQ(js("String(scrollY)"), "300"); // the other window's page was never touched
    EXPECT_EQ(session->js("String(scrollY)", right), "700");

    ASSERT_TRUE(session->activateWindowAt({0, 0}));
    img = capture();
    EXPECT_EQ(markerSequenceProblems(img, 10, 100, 20), QString());
    EXPECT_EQ(session->js("String(scrollY)", right), "700");
    session->js("window.close(); 'ok'", right);
}

TEST_F(ChromiumCapture, AWindowLyingOverTheBrowserDoesNotAppear) {
    open("covered.html", markerPage(100, 20));
    QWidget cover(nullptr, Qt::ToolTip | Qt::WindowStaysOnTopHint);
    cover.setGeometry(100, 250, 500, 300);
    cover.setStyleSheet("background: rgb(250, 20, 20)");
    cover.setAutoFillBackground(true);
    cover.show();
    waitProcessingEvents(std::chrono::milliseconds(300));
    const QImage img = capture();
    EXPECT_EQ(countNear(img, QColor(250, 20, 20)), 0);
    EXPECT_EQ(markerSequenceProblems(img, 300, 100, 20), QString());
}

TEST_F(ChromiumCapture, SixtyScreenPageStaysWithinTheMemoryBoundAndIsScaledToTheLimits) {
    const int viewportHeight = js("String(innerHeight)").toInt();
    const int rows = 60 * viewportHeight / 20;
    open("long.html", markerPage(rows, 20));
    {
        QFile clear("/proc/self/clear_refs");
        ASSERT_TRUE(clear.open(QIODevice::WriteOnly));
        clear.write("5"); // resets the peak resident size
    }
    const QImage img = capture();
    QFile status("/proc/self/status");
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    qint64 peakKb = 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            peakKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
    EXPECT_GT(peakKb, 0);
    if (!lumivane::test::kAddressSanitizer) {
        EXPECT_LT(peakKb, 300 * 1024) << "peak " << peakKb / 1024 << " MB";
    }
    EXPECT_EQ(img.height(), 7000);
    EXPECT_NEAR(double(img.width()) / img.height(),
                double(js("String(document.documentElement.clientWidth)").toInt()) / (rows * 20), 0.002);
    // Scaled rows still come in order: the first and last rows' colours at their places.
    EXPECT_TRUE(near(img.pixelColor(5, 1), markerColor(0), 3));
    EXPECT_TRUE(near(img.pixelColor(5, img.height() - 2), markerColor(rows - 1), 3));
}

TEST_F(ChromiumCapture, CanvasIsSizedFromWhatWasCapturedNotFromTheHeightReportedBeforeScrolling) {
    // Reports a height of 999 000 px that it never lets the viewport reach.
    open("endless.html", markerPage(60, 20) + "<script>Object.defineProperty(document.documentElement, 'scrollHeight', "
                                              "{get: () => 999000});</script>");
    EXPECT_EQ(js("String(document.documentElement.scrollHeight)"), "999000");
    const QImage img = capture();
    EXPECT_EQ(img.height(), 1200);
    EXPECT_EQ(markerSequenceProblems(img, 10, 60, 20), QString());
    ASSERT_EQ(last.omissions.size(), 1u);
    EXPECT_EQ(last.omissions[0].kind, BrowserCaptureOmission::Kind::stoppedScrolling);
    EXPECT_NEAR(last.omissions[0].missingHeight, 999000 - 1200, 1);
    EXPECT_NEAR(last.omissions[0].missingFrom, 1200, 1);
    EXPECT_FALSE(img.hasAlphaChannel());
}

TEST_F(ChromiumCapture, RefusalsNameWhatIsWrong) {
    // A tab that is not a web page.
    ASSERT_TRUE(session->openPage("about:blank"));
    try {
        capture();
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::notAWebPage);
        EXPECT_EQ(e.message(), "about:blank");
        EXPECT_EQ(e.browserName(), "Chromium");
    }
    open("page.html", markerPage(10, 20));
    // The endpoint belongs to another browser process than the window in front.
    FrontmostWindowInfo other{"chromium", 4242, QRect(0, 0, 1000, 800)};
    try {
        bridge->selectFrontTab(SupportedBrowser::chromium, other);
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::otherBrowserAnswered);
    }
    // No window of that browser where the front window lies.
    other = {"chromium", session->pid(), QRect(1200, 900, 500, 150)};
    EXPECT_THROW(bridge->selectFrontTab(SupportedBrowser::chromium, other), BrowserCaptureError);
    // Nothing listening.
    QTemporaryDir emptyProfile;
    DevToolsBridge::Options none;
    none.profileFolders = {emptyProfile.path()};
    none.fallbackPort = 0;
    DevToolsBridge unreachable(none);
    try {
        unreachable.selectFrontTab(SupportedBrowser::googleChrome, std::nullopt);
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::debuggingUnavailable);
        EXPECT_EQ(e.browserName(), "Google Chrome");
    }
    // Without window geometry the focused visible tab is taken.
    DevToolsBridge anyWindow(session->bridgeOptions());
    EXPECT_EQ(anyWindow.selectFrontTab(std::nullopt, std::nullopt).url,
              session->writePage("page.html", markerPage(10, 20)));
    EXPECT_EQ(anyWindow.runJavaScript("'\"' +\n'\\\\' + 'x'"), "\"\\x");
    try {
        anyWindow.runJavaScript("throw new Error('boom');");
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.message(), "Error: boom");
    }
    // Another application in front.
    QWidget front;
    front.setGeometry(1300, 600, 300, 200);
    front.show();
    front.activateWindow();
    ASSERT_TRUE(waitUntil(
        [&] { return env->frontmostWindow() && env->frontmostWindow()->pid == QCoreApplication::applicationPid(); }));
    try {
        capture();
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::unsupportedBrowser);
    }
    // The setup check asks for the browser to be brought to the front instead.
    try {
        service->validateFrontmostBrowserSetup();
        ADD_FAILURE() << "no error";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::browserNotFrontmost);
    }
}

TEST_F(ChromiumCapture, WorkerCapturesOffTheCallingThreadAndRefusesASecondRequest) {
    open("worker.html", markerPage(250, 20));
    // As on a desktop that tells no client which window is in front (Wayland): the
    // focused visible tab is captured.
    BrowserCaptureWorker worker([] { return std::make_unique<DesktopBrowserCaptureEnvironment>(nullptr); },
                                session->bridgeOptions());
    // The calling thread keeps delivering timer events while the capture runs.
    QElapsedTimer clock;
    qint64 last = 0, longestGap = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    clock.start();
    tick.start(10);
    QFuture<BrowserCaptureResult> first = worker.capture();
    QFuture<BrowserCaptureResult> second = worker.capture();
    ASSERT_TRUE(waitUntil([&] { return second.isFinished(); }, 1000));
    try {
        second.waitForFinished();
        ADD_FAILURE() << "second request not refused";
    } catch (const BrowserCaptureError& e) {
        EXPECT_EQ(e.kind(), BrowserCaptureError::Kind::captureInProgress);
    }
    ASSERT_TRUE(waitUntil([&] { return first.isFinished(); }, 60000));
    tick.stop();
    ASSERT_EQ(first.resultCount(), 1);
    EXPECT_EQ(markerSequenceProblems(*first.result().image, 10, 250, 20), QString());
    EXPECT_LT(longestGap, 250);
    EXPECT_FALSE(worker.isBusy());
    // Free again once done.
    QFuture<BrowserTab> check = worker.validate();
    ASSERT_TRUE(waitUntil([&] { return check.isFinished(); }, 20000));
    EXPECT_EQ(check.result().url, session->writePage("worker.html", markerPage(250, 20)));
}

} // namespace
