#include "app/AppModel.h"
#include "MemorySettingsStore.h"
#include "app/AppSettingsHost.h"
#include "app/ErrorMessages.h"
#include "browser/BrowserCaptureError.h"
#include "capture/CaptureError.h"
#include "editor_model/DocumentLimits.h"
#include "editor_model/ProjectFile.h"
#include "settings/SaveDialogFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPromise>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

class FakeScreens : public ScreenProvider {
public:
    std::vector<ScreenInfo> list;
    std::optional<QPointF> pointer;
    std::vector<ScreenInfo> screens() const override { return list; }
    std::optional<ScreenInfo> mainScreen() const override {
        return list.empty() ? std::nullopt : std::optional<ScreenInfo>(list.front());
    }
    std::optional<QPointF> pointerLocation() const override { return pointer; }
};

// Refuses every grab while `busy` is above zero, counting down per registration pass.
class FakeGrabber : public GlobalKeyGrabber {
public:
    int* busyPasses;
    int* grabs;
    FakeGrabber(int* busy, int* g) : busyPasses(busy), grabs(g) {}
    qint32 install() override {
        installed_ = true;
        return statusOk;
    }
    void uninstall() override { installed_ = false; }
    bool isInstalled() const override { return installed_; }
    qint32 grab(quint32, quint16, int) override {
        ++*grabs;
        return *busyPasses > 0 ? 10 : statusOk;
    }
    void ungrabAll() override {
        if (*grabs > 0 && *busyPasses > 0)
            --*busyPasses;
    }

private:
    bool installed_ = false;
};

struct Log {
    int overlaysMade = 0;
    int overlayActivations = 0;
    std::vector<QRectF> rectCaptures;
    int previewShows = 0;
    int previewHides = 0;
    int previewRemovals = 0;
    int editorPresents = 0;
    int editorRemovals = 0;
    std::optional<QPromise<std::optional<QRectF>>*> selection;
    std::vector<std::pair<std::optional<QString>, std::optional<QByteArray>>> clipboardWrites;
    int clipboardImageWrites = 0;
};

class FakeOverlay : public SelectionOverlay {
public:
    explicit FakeOverlay(Log& log) : log_(log) {}
    QFuture<std::optional<QRectF>> beginSelection() override {
        promise_.start();
        log_.selection = &promise_;
        return promise_.future();
    }
    void activateOverlay() override { ++log_.overlayActivations; }
    ~FakeOverlay() override { log_.selection.reset(); }

private:
    Log& log_;
    QPromise<std::optional<QRectF>> promise_;
};

class FakePreview : public PreviewPresenter {
public:
    explicit FakePreview(Log& log) : log_(log) {}
    void show(const CapturedImage&) override {
        ++log_.previewShows;
        visible_ = true;
    }
    void hideWithFadeSlide() override {
        ++log_.previewHides;
        visible_ = false;
    }
    void removeFromScreen() override {
        ++log_.previewRemovals;
        visible_ = false;
    }
    bool isVisible() const override { return visible_; }

private:
    Log& log_;
    bool visible_ = false;
};

class FakeEditor : public EditorPresenter {
public:
    explicit FakeEditor(Log& log) : log_(log) {}
    void present() override { ++log_.editorPresents; }
    void removeFromScreen() override { ++log_.editorRemovals; }
    void updateLayout(QSizeF) override {}

private:
    Log& log_;
};

class FakeClipboard : public ClipboardWriter {
public:
    explicit FakeClipboard(Log& log) : log_(log) {}
    void clear() override {}
    bool write(const std::optional<QString>& path, const std::optional<QByteArray>& png) override {
        log_.clipboardWrites.emplace_back(path, png);
        return true;
    }
    bool writeImage(const ImageRef&) override {
        ++log_.clipboardImageWrites;
        return true;
    }

private:
    Log& log_;
};

ImageRef image(int w = 64, int h = 48, QColor c = Qt::darkCyan) {
    QImage i(w, h, QImage::Format_RGB32);
    i.fill(c);
    return makeImage(i);
}

ScreenInfo screen(QRectF frame, double inset = 0) {
    ScreenInfo s;
    s.frame = frame;
    s.visibleFrame = frame.adjusted(0, inset, 0, 0);
    s.screenId = 1;
    return s;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Waits for background work posted back to the UI thread.
template <typename Pred>
bool waitFor(Pred pred, int ms = 5000) {
    return QTest::qWaitFor(pred, ms);
}

class AppModelFlows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        screens = std::make_shared<FakeScreens>();
        screens->list = {screen({0, 0, 1000, 800}, 25), screen({1000, 0, 800, 600}, 0)};
        AppServices s;
        s.screens = screens;
        s.captureFullScreen = [this] {
            if (fullScreenError)
                return QtFuture::makeExceptionalFuture<ImageRef>(CaptureError(*fullScreenError));
            return QtFuture::makeReadyFuture(image());
        };
        s.captureRect = [this](const QRectF& r) {
            log.rectCaptures.push_back(r);
            return QtFuture::makeReadyFuture(image(int(r.width()), int(r.height())));
        };
        s.makeSelectionOverlay = [this] {
            ++log.overlaysMade;
            return std::make_unique<FakeOverlay>(log);
        };
        s.frontmostApplicationID = [this] { return frontmost; };
        s.captureBrowserPage = [this](const BrowserCaptureOptions& o) -> QFuture<BrowserCaptureResult> {
            lastBrowserOptions = o;
            if (pendingBrowserCapture)
                return pendingBrowserCapture->future();
            if (browserFails)
                return QtFuture::makeExceptionalFuture<BrowserCaptureResult>(
                    BrowserCaptureError(BrowserCaptureError::Kind::browserNotFrontmost));
            BrowserCaptureResult r;
            r.image = image(100, 3000);
            r.browserName = "Chromium";
            r.omissions = browserOmissions;
            return QtFuture::makeReadyFuture(r);
        };
        s.makePreview = [this] { return std::make_unique<FakePreview>(log); };
        s.makeEditor = [this] { return std::make_unique<FakeEditor>(log); };
        s.clipboard = std::make_shared<FakeClipboard>(log);
        s.chooseImageSavePath = [this](const QString& suggestion, ScreenshotFileFormat) {
            saveSuggestions.push_back(suggestion);
            return std::optional<QString>();
        };
        s.hotKeys = std::make_shared<HotKeyService>(std::make_unique<FakeGrabber>(&busyPasses, &grabs));
        s.subscribeToActivation = [this](std::function<void()> callback) { activate = std::move(callback); };
        s.temporaryDirectory = temp.filePath("tmp");
        QDir().mkpath(s.temporaryDirectory);
        auto settings = std::make_unique<AppSettings>(std::make_unique<test::MemorySettingsStore>());
        model = std::make_unique<AppModel>(std::move(settings), std::move(s));
    }

    QTemporaryDir temp;
    std::shared_ptr<FakeScreens> screens;
    Log log;
    std::optional<CaptureError::Kind> fullScreenError;
    std::optional<QString> frontmost;
    bool browserFails = false;
    std::optional<QPromise<BrowserCaptureResult>> pendingBrowserCapture;
    std::vector<BrowserCaptureOmission> browserOmissions;
    BrowserCaptureOptions lastBrowserOptions;
    int busyPasses = 0;
    int grabs = 0;
    std::function<void()> activate;       // what the model runs when the application becomes active
    std::vector<QString> saveSuggestions; // where the save dialogs started
    std::unique_ptr<AppModel> model;
};

} // namespace

// Every capture flow tells whoever waits for it how it ended, once: shown, failed
// with the message the menu shows (and captureFailed), or cancelled. A second area
// request on a running selection only brings it forward and hears that selection's
// end; a cancel is silent; a selection replaced by a new one hears cancelled. A
// failure keeps the capture shown before and refreshes the setup checklist once.
TEST_F(AppModelFlows, CaptureFlowsTellTheirWaitersHowTheyEnded) {
    using Kind = CaptureOutcome::Kind;
    std::vector<CaptureOutcome> heard;
    const CaptureCompletion listen = [&](const CaptureOutcome& o) { heard.push_back(o); };
    QStringList failures;
    QObject::connect(model.get(), &AppModel::captureFailed, [&](const QString& m) { failures << m; });
    auto settled = [&](size_t n) { return waitFor([&] { return heard.size() >= n; }); };

    // Two requests on one selection, cancelled with Escape: both hear it, nothing failed.
    model->handleHotKey(HotKeyService::Action::captureArea, listen);
    model->handleHotKey(HotKeyService::Action::captureArea, listen);
    EXPECT_EQ(log.overlaysMade, 1);
    EXPECT_EQ(log.overlayActivations, 1);
    ASSERT_TRUE(log.selection);
    (*log.selection)->addResult(std::nullopt);
    (*log.selection)->finish();
    ASSERT_TRUE(settled(2));
    EXPECT_EQ(heard[0].kind, Kind::cancelled);
    EXPECT_EQ(heard[1].kind, Kind::cancelled);
    ASSERT_TRUE(waitFor([&] { return !model->hasSelectionOverlay(); }));
    EXPECT_FALSE(model->lastErrorMessage());
    EXPECT_FALSE(model->currentCapture());
    EXPECT_TRUE(log.rectCaptures.empty());
    EXPECT_TRUE(failures.isEmpty());

    model->captureFullScreen(listen);
    ASSERT_TRUE(settled(3));
    EXPECT_EQ(heard[2].kind, Kind::shown);
    const ImageRef first = model->currentCapture()->image;

    fullScreenError = CaptureError::Kind::captureFailed;
    int refreshes = 0;
    QObject::connect(model.get(), &AppModel::setupStateChanged, [&] { ++refreshes; });
    model->handleHotKey(HotKeyService::Action::captureFullScreen, listen);
    ASSERT_TRUE(settled(4));
    EXPECT_EQ(heard[3].kind, Kind::failed);
    EXPECT_EQ(model->lastErrorMessage(), CaptureError(CaptureError::Kind::captureFailed).description());
    EXPECT_EQ(heard[3].message, *model->lastErrorMessage());
    EXPECT_EQ(failures, QStringList{heard[3].message});
    EXPECT_EQ(model->currentCapture()->image, first);
    EXPECT_EQ(refreshes, 1);

    browserFails = true;
    model->captureBrowserFullPage(listen);
    ASSERT_TRUE(settled(5));
    EXPECT_EQ(heard[4].kind, Kind::failed);
    EXPECT_EQ(heard[4].message, *model->lastErrorMessage());
    EXPECT_EQ(failures.size(), 2);

    // A desktop without window capture says so.
    model->handleHotKey(HotKeyService::Action::captureWindow, listen);
    ASSERT_TRUE(settled(6));
    EXPECT_EQ(heard[5].kind, Kind::failed);
    EXPECT_EQ(model->lastErrorMessage(),
              userFacingErrorMessage(CaptureError(CaptureError::Kind::windowCaptureUnsupported)));

    // A selection the menu replaces with a new one: its waiter hears cancelled; the new
    // one's hears the capture shown once its rectangle is captured.
    model->captureArea(listen);
    model->captureArea(listen);
    ASSERT_TRUE(settled(7));
    EXPECT_EQ(heard[6].kind, Kind::cancelled);
    ASSERT_TRUE(waitFor([&] { return log.selection.has_value(); }));
    (*log.selection)->addResult(QRectF(10, 10, 50, 40));
    (*log.selection)->finish();
    ASSERT_TRUE(settled(8));
    EXPECT_EQ(heard[7].kind, Kind::shown);
    QTest::qWait(100);
    EXPECT_EQ(heard.size(), 8u) << "each waiter hears once";
}

TEST_F(AppModelFlows, AreaCaptureWaitsThenCapturesAndPresentsOnTheRectanglesScreen) {
    model->captureArea();
    ASSERT_TRUE(log.selection);
    (*log.selection)->addResult(QRectF(1100, 100, 200, 100));
    (*log.selection)->finish();
    QTest::qWait(100);
    EXPECT_TRUE(log.rectCaptures.empty()) << "the overlay gets 0.22 s to leave the screen";
    ASSERT_TRUE(waitFor([&] { return model->currentCapture().has_value(); }));
    EXPECT_EQ(log.rectCaptures.front(), QRectF(1100, 100, 200, 100));
    EXPECT_EQ(model->currentCapture()->previewScreenFrame, QRectF(1000, 0, 800, 600));
    EXPECT_EQ(model->currentCapture()->source, CaptureSource::standard);
    EXPECT_TRUE(waitFor([&] { return !model->hasSelectionOverlay(); }));
    EXPECT_EQ(log.previewShows, 1);
    ASSERT_TRUE(model->editorSession().editorDocument());
    EXPECT_EQ(model->editorSession().editorDocument()->baseImage, model->currentCapture()->image);
}

// The last area again: the same rectangle on the same screen, following the screen
// when it moves; a screen that is gone, or no area yet, is a clear failure.
TEST_F(AppModelFlows, LastAreaIsTakenAgainOnItsScreen) {
    screens->list[0].screenId = 1;
    screens->list[1].screenId = 2;
    std::vector<CaptureOutcome> heard;
    const CaptureCompletion listen = [&](const CaptureOutcome& o) { heard.push_back(o); };

    model->handleHotKey(HotKeyService::Action::captureLastArea, listen);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 1; }));
    EXPECT_EQ(heard[0].kind, CaptureOutcome::Kind::failed);
    EXPECT_EQ(model->lastErrorMessage(), userFacingErrorMessage(CaptureError(CaptureError::Kind::noLastArea)));

    model->captureArea();
    (*log.selection)->addResult(QRectF(1100, 100, 200, 100));
    (*log.selection)->finish();
    ASSERT_TRUE(waitFor([&] { return log.rectCaptures.size() == 1; }));
    ASSERT_TRUE(model->settings().lastCaptureArea());
    EXPECT_EQ(model->settings().lastCaptureArea()->screenId, 2u);

    model->handleHotKey(HotKeyService::Action::captureLastArea, listen);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 2; }));
    EXPECT_EQ(heard[1].kind, CaptureOutcome::Kind::shown);
    EXPECT_EQ(log.rectCaptures.back(), QRectF(1100, 100, 200, 100));
    EXPECT_EQ(model->currentCapture()->previewScreenFrame, QRectF(1000, 0, 800, 600));

    // The second screen now left of the first: the area moves with it.
    screens->list[1].frame = screens->list[1].visibleFrame = QRectF(-800, 0, 800, 600);
    model->captureLastArea(listen);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 3; }));
    EXPECT_EQ(log.rectCaptures.back(), QRectF(-700, 100, 200, 100));

    // Unplugged, or too small now for the area: nothing is captured.
    for (const auto& change : std::vector<std::function<void()>>{
             [&] { screens->list[1].frame = QRectF(-800, 0, 200, 150); }, [&] { screens->list.pop_back(); }}) {
        change();
        const size_t captures = log.rectCaptures.size(), outcomes = heard.size();
        model->captureLastArea(listen);
        ASSERT_TRUE(waitFor([&] { return heard.size() == outcomes + 1; }));
        EXPECT_EQ(heard.back().kind, CaptureOutcome::Kind::failed);
        EXPECT_EQ(model->lastErrorMessage(),
                  userFacingErrorMessage(CaptureError(CaptureError::Kind::lastAreaScreenMissing)));
        EXPECT_EQ(log.rectCaptures.size(), captures);
    }
}

TEST_F(AppModelFlows, PreviewFrameRules) {
    // Pointer on no screen: the main screen.
    EXPECT_EQ(model->previewScreenFrame(QPointF(5000, 5000)), QRectF(0, 25, 1000, 775));
    EXPECT_EQ(model->previewScreenFrame(QPointF(1500, 10)), QRectF(1000, 0, 800, 600));
    // Centre in the gap below the second screen: the larger overlap wins.
    EXPECT_EQ(model->previewScreenFrameForRect(QRectF(900, 550, 300, 200)), QRectF(0, 25, 1000, 775));
    EXPECT_EQ(model->previewScreenFrameForRect(QRectF(1000, 500, 300, 150)), QRectF(1000, 0, 800, 600));
    EXPECT_EQ(model->previewScreenFrameForRect(QRectF(950, 590, 200, 200)), QRectF(0, 25, 1000, 775));
    // Equal overlaps keep the earlier screen.
    screens->list = {screen({0, 0, 100, 100}), screen({200, 0, 100, 100})};
    EXPECT_EQ(model->previewScreenFrameForRect(QRectF(50, 0, 200, 50)), QRectF(0, 0, 100, 100));
    screens->list.clear();
    EXPECT_FALSE(model->previewScreenFrameForRect(QRectF(0, 0, 10, 10)));
}

TEST_F(AppModelFlows, BrowserCaptureRunsWithoutBlockingAndReportsFailuresAndOmissions) {
    browserFails = true;
    model->captureBrowserFullPage();
    ASSERT_TRUE(waitFor([&] { return model->lastErrorMessage().has_value(); }));
    EXPECT_EQ(model->lastErrorMessage(),
              userFacingErrorMessage(BrowserCaptureError(BrowserCaptureError::Kind::browserNotFrontmost)));
    EXPECT_FALSE(model->currentCapture());

    // The call returns at once; the capture appears when the service delivers it.
    browserFails = false;
    pendingBrowserCapture.emplace();
    pendingBrowserCapture->start();
    model->captureBrowserFullPage();
    EXPECT_FALSE(model->currentCapture());
    BrowserCaptureResult captured;
    captured.image = image(100, 3000);
    captured.browserName = "Chromium";
    pendingBrowserCapture->addResult(captured);
    pendingBrowserCapture->finish();
    ASSERT_TRUE(waitFor([&] { return model->currentCapture().has_value(); }));
    pendingBrowserCapture.reset();
    EXPECT_EQ(model->currentCapture()->image->height(), 3000);

    // A picture that leaves part of the page out says so.
    browserOmissions = {{BrowserCaptureOmission::Kind::sliceLimit, 5000, 0, 0, 2000}};
    const ImageRef before = model->currentCapture()->image;
    model->captureBrowserFullPage();
    ASSERT_TRUE(waitFor([&] { return model->currentCapture()->image != before; }));
    ASSERT_TRUE(model->lastErrorMessage());
    EXPECT_TRUE(model->lastErrorMessage()->startsWith("ページ全体は撮影できませんでした。"));
    EXPECT_TRUE(model->lastErrorMessage()->contains("上から 2000〜7000 px"))
        << model->lastErrorMessage()->toStdString();
    ASSERT_TRUE(model->currentCapture());
    EXPECT_EQ(model->currentCapture()->source, CaptureSource::browserFullPage);
    EXPECT_FALSE(model->currentCapture()->previewScreenFrame);
    EXPECT_TRUE(model->settings().browserAutomationVerified());
    EXPECT_TRUE(model->settings().browserJavaScriptVerified());

    // A long page split into parts: asked for through the setting; every part saved as a
    // numbered file, the preview carries the first, and a note says so.
    browserOmissions.clear();
    model->settings().setSplitLongPages(true);
    model->settings().setDefaultSaveFolderPath(temp.filePath("parts"));
    pendingBrowserCapture.emplace();
    pendingBrowserCapture->start();
    model->captureBrowserFullPage();
    EXPECT_TRUE(lastBrowserOptions.splitLongPages);
    const ImageRef first = image(100, 700), second = image(100, 300);
    pendingBrowserCapture->addResult(BrowserCaptureResult{first, {}, "Chromium", {}, {first, second}});
    pendingBrowserCapture->finish();
    ASSERT_TRUE(waitFor([&] { return model->currentCapture()->image == first; }));
    pendingBrowserCapture.reset();
    const QStringList files = QDir(temp.filePath("parts")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files[0].endsWith("-part1.png") && files[1].endsWith("-part2.png")) << files.join(' ').toStdString();
    EXPECT_EQ(QImage(QDir(temp.filePath("parts")).filePath(files[1])).height(), 300);
    ASSERT_TRUE(model->lastErrorMessage());
    EXPECT_TRUE(model->lastErrorMessage()->contains("2 枚")) << model->lastErrorMessage()->toStdString();
    EXPECT_TRUE(model->lastErrorMessage()->contains(files[0])) << model->lastErrorMessage()->toStdString();
}

TEST_F(AppModelFlows, FinishEditingReplacesTheCaptureUnlessSuperseded) {
    model->presentCapture(image(), CaptureSource::standard, QRectF(1, 2, 3, 4));
    const QDateTime createdAt = model->currentCapture()->createdAt;
    model->openEditor();
    EXPECT_EQ(log.editorPresents, 1);
    EXPECT_EQ(log.previewRemovals, 1);
    EditorDocument edited = *model->editorSession().editorDocument();
    edited.backgroundStyle.isEnabled = true;
    model->editorSession().finishEditing(edited);
    EXPECT_EQ(log.editorRemovals, 1);
    ASSERT_TRUE(waitFor([&] { return !model->editorSession().hasPendingFinishedEditorDocument(); }));
    const CapturedImage& c = *model->currentCapture();
    EXPECT_EQ(c.image->size(), QSize(64 + 72, 48 + 72)) << "the flattened image with its frame";
    EXPECT_EQ(c.createdAt, createdAt);
    EXPECT_EQ(c.previewScreenFrame, QRectF(1, 2, 3, 4));

    // Reopened before the render ends: the finished document returns, the render is dropped.
    Annotation highlight;
    highlight.id = QUuid::createUuid();
    highlight.kind = AnnotationKind::highlight;
    highlight.rect = {1, 1, 5, 5};
    edited.annotations.push_back(highlight);
    model->editorSession().finishEditing(edited);
    const ImageRef beforeReopen = model->currentCapture()->image;
    model->openEditor();
    EXPECT_EQ(model->editorSession().editorDocument()->annotations.size(), 1u);
    EXPECT_TRUE(model->editorSession().editorHistory().undoStack.empty());
    QTest::qWait(300);
    EXPECT_EQ(model->currentCapture()->image, beforeReopen);

    // A new capture before the render ends stays current.
    model->editorSession().finishEditing(edited);
    const ImageRef fresh = image(10, 10);
    model->presentCapture(fresh, CaptureSource::standard, std::nullopt);
    QTest::qWait(300);
    EXPECT_EQ(model->currentCapture()->image, fresh);
}

TEST_F(AppModelFlows, CopyUsesThePreparedCacheWithoutEncodingAgain) {
    model->settings().setFileNamePrefix("a/b:c");
    model->presentCapture(image(), CaptureSource::standard, std::nullopt);
    bool done = false, ok = false;
    model->copyCurrentImage([&](bool success) {
        done = true;
        ok = success;
    });
    ASSERT_TRUE(waitFor([&] { return done; }));
    EXPECT_TRUE(ok);
    ASSERT_EQ(log.clipboardWrites.size(), 1u);
    const auto [path, png] = log.clipboardWrites.back();
    ASSERT_TRUE(path && png);
    EXPECT_TRUE(QFileInfo(*path).fileName().startsWith("a-b-c-"));
    EXPECT_EQ(QImageReader(*path).size(), QSize(64, 48));
    // Remove the file: a cache hit does not encode (and so not write) again.
    QFile::remove(*path);
    done = false;
    model->copyCurrentImage([&](bool) { done = true; });
    EXPECT_TRUE(done) << "a warm cache copies at once";
    EXPECT_EQ(log.clipboardWrites.back().second, png);
    EXPECT_FALSE(QFile::exists(*path));

    // A new capture encodes again.
    model->presentCapture(image(8, 8), CaptureSource::standard, std::nullopt);
    done = false;
    model->copyCurrentImage([&](bool) { done = true; });
    ASSERT_TRUE(waitFor([&] { return done; }));
    EXPECT_NE(log.clipboardWrites.back().second, png);
}

TEST_F(AppModelFlows, QuickSavesNameUniquelyAndRecreateTheFolder) {
    const QString folder = temp.filePath("shots/deep");
    model->settings().setDefaultSaveFolderPath(folder);
    model->settings().setFileNamePrefix("  \n ");
    const ImageRef img = image();
    bool ok1 = false, ok2 = false;
    model->saver().saveImageQuickly(img, CaptureSource::standard, [&](bool ok) { ok1 = ok; });
    model->saver().saveImageQuickly(img, CaptureSource::standard, [&](bool ok) { ok2 = ok; });
    EXPECT_TRUE(ok1 && ok2);
    QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2);
    for (const QString& f : files)
        EXPECT_TRUE(f.startsWith("Screenshot-")) << f.toStdString();
    // Within one second the second name carries "-2" (or the clock moved on).
    const bool sameSecond = files[0].endsWith("-2.png") && files[1] == QString(files[0]).replace("-2.png", ".png");
    const bool nextSecond = files[0].size() == files[1].size();
    EXPECT_TRUE(sameSecond || nextSecond) << files.join(",").toStdString();
    EXPECT_EQ(QImageReader(QDir(folder).filePath(files[0])).size(), QSize(64, 48));

    // A folder that cannot be created is reported.
    QFile blocker(temp.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    model->settings().setDefaultSaveFolderPath(temp.filePath("file/sub"));
    bool ok3 = true;
    model->saver().saveImageQuickly(img, CaptureSource::standard, [&](bool ok) { ok3 = ok; });
    EXPECT_FALSE(ok3);
    EXPECT_TRUE(model->lastErrorMessage().has_value());
}

// The save dialog starts in the default save folder when one is set, else in Pictures
// (never the folder Lumivane was started from).
TEST_F(AppModelFlows, SaveDialogStartsInTheDefaultFolder) {
    model->saver().saveImageWithPanel(image(), CaptureSource::standard);
    ASSERT_EQ(saveSuggestions.size(), 1u);
    EXPECT_EQ(QFileInfo(saveSuggestions[0]).absolutePath(), saveDialogFolder(model->settings()));
    EXPECT_NE(QFileInfo(saveSuggestions[0]).absolutePath(), QDir::currentPath());
    ASSERT_TRUE(QDir(temp.path()).mkpath("shots"));
    model->settings().setDefaultSaveFolderPath(temp.filePath("shots"));
    model->editorSession().saveAs(EditorDocument::fresh(image()));
    ASSERT_EQ(saveSuggestions.size(), 2u);
    EXPECT_EQ(QFileInfo(saveSuggestions[1]).absolutePath(), QDir(temp.filePath("shots")).absolutePath());
    EXPECT_TRUE(QFileInfo(saveSuggestions[1]).fileName().endsWith(".png"));
}

// A project that cannot be opened is explained in Japanese and changes nothing; one
// that cannot be saved (no folder, an image too large to open again) is not written.
TEST_F(AppModelFlows, ProjectFailuresAreExplainedInJapaneseAndKeepTheState) {
    const QString good = temp.filePath("good.lumivane");
    ASSERT_TRUE(model->editorSession().saveProject(EditorDocument::fresh(image()), good));
    const QByteArray saved = readFile(good);
    QByteArray undecodable = saved, framed = saved;
    const int at = saved.indexOf("\"baseImageData\": \"") + 18;
    undecodable.replace(at, saved.indexOf('"', at) - at, QByteArray("bm90IGFuIGltYWdl"));
    framed.replace("\"padding\": 36", "\"padding\": 16000").replace("\"isEnabled\": false", "\"isEnabled\": true");
    enum Match { whole, start, within };
    const struct {
        const char* file;
        QByteArray text;
        QString says;
        Match match;
    } broken[] = {
        {"notes.json", "{\"version\": 1}",
         "ファイル“notes.json”は Lumivane のプロジェクトとして読み込めない形式のため、開けませんでした。", start},
        {"undecodable.lumivane", undecodable, "画像データの変換に失敗しました。", whole},
        {"framed.lumivane", framed, "キャンバスが大きすぎます", within},
        {"cut.lumivane", "{\"version\": 1,", "プロジェクトファイルの形式が正しくありません", within},
    };
    for (const auto& c : broken) {
        ASSERT_TRUE(writeFile(temp.filePath(c.file), c.text));
        EXPECT_FALSE(model->editorSession().openProject(temp.filePath(c.file))) << c.file;
        ASSERT_TRUE(model->lastErrorMessage()) << c.file;
        const QString& message = *model->lastErrorMessage();
        const qsizetype found = message.indexOf(c.says);
        EXPECT_TRUE(c.match == whole   ? message == c.says
                    : c.match == start ? found == 0
                                       : found >= 0)
            << c.file << ": " << message.toStdString();
    }
    EXPECT_EQ(log.editorPresents, 0);
    EXPECT_FALSE(model->currentCapture());
    ASSERT_TRUE(model->editorSession().openProject(good));
    EXPECT_EQ(log.editorPresents, 1);
    ASSERT_TRUE(model->currentCapture());
    EXPECT_EQ(model->currentCapture()->image->size(), QSize(64, 48));

    EXPECT_FALSE(
        model->editorSession().saveProject(EditorDocument::fresh(image()), temp.filePath("missing/p.lumivane")));
    EXPECT_TRUE(model->lastErrorMessage()->startsWith("ファイル“p.lumivane”を保存できませんでした。"))
        << model->lastErrorMessage()->toStdString();
    QImage tall(2, DocumentLimits::maxImageSide + 1, QImage::Format_RGB32);
    tall.fill(Qt::white);
    const QString huge = temp.filePath("huge.lumivane");
    EXPECT_FALSE(model->editorSession().saveProject(EditorDocument::fresh(makeImage(std::move(tall))), huge));
    EXPECT_FALSE(QFile::exists(huge));
    EXPECT_TRUE(model->lastErrorMessage()->contains(QStringLiteral("大きすぎる")));
}

TEST_F(AppModelFlows, ImageOperationsAreOneUndoStepAndIgnoredWithoutDocument) {
    model->editorSession().resizeEditorImage(0.5);
    EXPECT_TRUE(model->editorSession().editorHistory().undoStack.empty());
    model->presentCapture(image(3, 3), CaptureSource::standard, std::nullopt);
    model->editorSession().resizeEditorImage(0.5);
    EXPECT_EQ(model->editorSession().editorDocument()->imageSize(), QSizeF(2, 2));
    EXPECT_EQ(model->editorSession().editorHistory().undoStack.size(), 1u);
    model->editorSession().setEditorIsEditingText(true);
    model->editorSession().undoEditorChange();
    EXPECT_EQ(model->editorSession().editorDocument()->imageSize(), QSizeF(2, 2));
    model->editorSession().setEditorIsEditingText(false);
    model->editorSession().undoEditorChange();
    EXPECT_EQ(model->editorSession().editorDocument()->imageSize(), QSizeF(3, 3));
    model->settings().setDefaultMarkerColor({0.1, 0.2, 0.3, 1});
    EXPECT_EQ(model->editorSession().configuredAnnotationColor(AnnotationKind::marker),
              (RgbaColor{0.1, 0.2, 0.3, 0.34}));
}

TEST_F(AppModelFlows, BusyHotKeysAreRetriedAndTheMessageClearsOnSuccess) {
    busyPasses = 100;
    model->hotKeys().applySettings();
    EXPECT_EQ(model->hotKeys().shortcutRegistrationFailures().size(), 2u);
    ASSERT_TRUE(model->lastErrorMessage());
    const int afterFirst = grabs;
    QTest::qWait(1000);
    EXPECT_GT(grabs, afterFirst) << "second attempt after 0.8 s";
    const int afterSecond = grabs;
    QTest::qWait(2000);
    EXPECT_GT(grabs, afterSecond) << "last attempt 1.7 s later";
    const int afterThird = grabs;
    QTest::qWait(2000);
    EXPECT_EQ(grabs, afterThird) << "no more than two retries";

    busyPasses = 0;
    model->hotKeys().useRecommendedShortcuts();
    EXPECT_TRUE(model->hotKeys().shortcutRegistrationFailures().empty());
    EXPECT_FALSE(model->lastErrorMessage());
    EXPECT_EQ(model->settings().shortcut(ShortcutAction::captureArea), defaultShortcut(ShortcutAction::captureArea));
}

TEST_F(AppModelFlows, ActivationRegistersTheHotKeysAgainExceptWhileRecording) {
    ASSERT_TRUE(activate);
    busyPasses = 100;
    model->hotKeys().applySettings();
    ASSERT_TRUE(model->lastErrorMessage());
    busyPasses = 0;
    const int before = grabs;
    activate();
    EXPECT_GT(grabs, before);
    EXPECT_FALSE(model->lastErrorMessage()) << "a clean registration at activation clears the old error";
    EXPECT_TRUE(model->hotKeys().shortcutRegistrationFailures().empty());

    model->hotKeys().suspend();
    const int suspended = grabs;
    activate();
    EXPECT_EQ(grabs, suspended) << "a recorder is holding the keys";
    model->hotKeys().applySettings();
    activate();
    EXPECT_GT(grabs, suspended + 1);
}

TEST_F(AppModelFlows, RecordingSuspendsHotKeysUntilTheLastRecorderEnds) {
    model->hotKeys().applySettings();
    AppUpdateController updates(AppUpdateController::BundleInfo{}, {});
    AppSettingsHost host(*model, updates);
    QStringList alerts;
    host.showAlert = [&](const QString& title, const QString&, const QStringList&) {
        alerts << title;
        return 1000;
    };
    const int registered = grabs;
    host.shortcutRecorderDidBeginRecording();
    host.shortcutRecorderDidBeginRecording();
    host.shortcutRecorderDidEndRecording();
    EXPECT_EQ(grabs, registered) << "still recording in one row";
    host.shortcutRecorderDidEndRecording();
    EXPECT_GT(grabs, registered) << "re-applied after the last recorder";
    host.shortcutRecorderDidEndRecording(); // unbalanced end is ignored
    EXPECT_EQ(host.activeShortcutRecorderCount(), 0);

    host.openDesktopScreenshotShortcutSettings();
    EXPECT_EQ(alerts.size(), 1);
    host.checkForUpdates(); // not configured: nothing to check, no alert
    EXPECT_EQ(alerts.size(), updates.canCheckForUpdates() ? 2 : 1);
}
