#include "app/Application.h"
#include "app/ActivationMonitor.h"
#include "app/AppModel.h"
#include "app/TrayIcon.h"
#include "app/TrayMenu.h"
#include "app/AppEditorPresenter.h"
#include "app/AppSettingsHost.h"
#include "settings/SettingsWindowController.h"
#include "app/ErrorMessages.h"
#include "app/QtClipboardWriter.h"
#include "browser/BrowserCaptureError.h"
#include "browser/DesktopBrowserCaptureEnvironment.h"
#include "browser/DevToolsBridge.h"
#include "capture/CaptureService.h"
#include "capture/SelectionOverlayController.h"
#include "export/AtomicFile.h"
#include "menubar/MenuBarContent.h"
#include "preview/PreviewWindowController.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTextStream>
#include <QTranslator>
#include <cstdlib>

namespace lumivane {

namespace {

class OverlayAdapter final : public SelectionOverlay {
public:
    explicit OverlayAdapter(std::shared_ptr<X11Screens> x11) : controller_(SelectionOverlayEnvironment::forX11(std::move(x11))) {}
    QFuture<std::optional<QRectF>> beginSelection() override { return controller_.beginSelection(); }
    void activateOverlay() override { controller_.activateOverlay(); }

private:
    SelectionOverlayController controller_;
};

class PreviewAdapter final : public PreviewPresenter {
public:
    PreviewAdapter(std::shared_ptr<ScreenProvider> screens, PreviewActions actions)
        : controller_(std::move(screens), std::move(actions)) {}
    void show(const CapturedImage& c) override { controller_.show(c.image, c.previewScreenFrame); }
    void hideWithFadeSlide() override { controller_.hideWithFadeSlide(); }
    void removeFromScreen() override { controller_.removeFromScreen(); }
    bool isVisible() const override { return controller_.isVisible(); }

private:
    PreviewWindowController controller_;
};

QString imageFilter(ScreenshotFileFormat format) {
    return format == ScreenshotFileFormat::jpeg ? QStringLiteral("JPEG (*.jpg *.jpeg)") : QStringLiteral("PNG (*.png)");
}

} // namespace

AppServices makeDesktopServices(std::shared_ptr<X11Screens> x11, std::function<AppModel*()> model) {
    auto capture = std::make_shared<CaptureService>(x11, x11, std::make_shared<AlwaysAllowedPermission>());
    std::shared_ptr<DesktopBrowserCaptureEnvironment> browserEnvironment = DesktopBrowserCaptureEnvironment::createForX11();
    auto bridge = std::make_shared<DevToolsBridge>();
    auto activeWindow = std::shared_ptr<ActiveWindowSource>(makeX11ActiveWindowSource());

    AppServices services;
    services.screens = x11;
    services.captureFullScreen = [capture] { return capture->captureFullScreen(); };
    services.captureRect = [capture](const QRectF& r) { return capture->capture(r); };
    services.frontmostApplicationID = [activeWindow]() -> std::optional<QString> {
        const auto w = activeWindow ? activeWindow->activeWindow() : std::nullopt;
        if (!w) return std::nullopt;
        auto browser = supportedBrowserFromWmClass(w->instanceName);
        if (!browser) browser = supportedBrowserFromWmClass(w->className);
        return browser ? std::optional<QString>(rawValue(*browser)) : std::nullopt;
    };
    services.captureBrowserPage = [browserEnvironment, bridge](SupportedBrowser browser) {
        if (!browserEnvironment) throw BrowserCaptureError(BrowserCaptureError::Kind::browserWindowUnavailable);
        BrowserFullPageCaptureService service(*browserEnvironment, *bridge);
        return service.captureFrontmostBrowserPageByScrolling(browser);
    };
    services.makeSelectionOverlay = [x11] { return std::make_unique<OverlayAdapter>(x11); };
    services.makePreview = [x11, model]() -> std::unique_ptr<PreviewPresenter> {
        PreviewActions a;
        a.openEditor = [model] { model()->openEditor(); };
        a.dismiss = [model] { model()->dismissPreview(); };
        a.noteInteraction = [model] { model()->notePreviewInteraction(); };
        a.hoverChanged = [model](bool h) { model()->previewHoverChanged(h); };
        a.copy = [model](std::function<void(bool)> done) { model()->copyCurrentImage(std::move(done)); };
        a.save = [model](std::function<void(bool)> done) {
            const ImageRef image = model()->currentPreviewImage();
            if (!image) return done(false);
            model()->saveImageQuickly(image,
                                       model()->currentCapture() ? model()->currentCapture()->source : CaptureSource::standard,
                                       std::move(done));
        };
        a.dragOptions = [model] {
            const auto source = model()->currentCapture() ? model()->currentCapture()->source : CaptureSource::standard;
            return ImageExportOptions::drag(exportProfile(source), model()->settings().captureQualityPreset());
        };
        return std::make_unique<PreviewAdapter>(x11, std::move(a));
    };
    services.makeEditor = [model] { return makeEditorPresenter(model); };
    services.clipboard = std::make_shared<QtClipboardWriter>();
    services.subscribeToActivation = [](std::function<void()> activated) {
        subscribeToApplicationActivation(qApp, std::move(activated));
    };
    services.chooseImageSavePath = [](const QString& suggestion, ScreenshotFileFormat format) -> std::optional<QString> {
        // A bare name starts in the pictures folder; a path starts where it points.
        const QString start = QFileInfo(suggestion).isAbsolute()
                                  ? suggestion
                                  : QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)).filePath(suggestion);
        const QString path = QFileDialog::getSaveFileName(nullptr, QString(), start, imageFilter(format));
        return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
    };
    services.hotKeys = std::make_shared<HotKeyService>();
    services.temporaryDirectory = temporaryFolder();

    return services;
}

bool installQtTranslations(QCoreApplication& app) {
    // Qt's own dialogs (save, open, folder, colour, message boxes) in Japanese, the
    // language of the whole interface.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    app.installTranslator(translator);
    return true;
}

int runApplication(int argc, char** argv) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        QTextStream(stderr)
            << "lumivane: no X11 display (DISPLAY is not set).\n"
            << "Start Lumivane inside an X11 desktop session, or use the command line, e.g.\n"
            << "  lumivane capture full -o screenshot.png\n"
            << "See 'lumivane --help'.\n";
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    installQtTranslations(app);

    auto x11 = X11Screens::connect();
    if (!x11) {
        QTextStream(stderr) << "lumivane: cannot open the X11 display " << display << ".\n";
        return 1;
    }
    x11->followQtScreenScales();
    AppModel* modelPtr = nullptr;
    AppServices services = makeDesktopServices(x11, [&modelPtr] { return modelPtr; });
    AppModel model(std::make_unique<AppSettings>(), services);
    modelPtr = &model;
    model.applySettings();
    model.startLaunchTasks();

    AppUpdateController updates(AppUpdateController::BundleInfo::fromBuild(), QCoreApplication::arguments());
    AppSettingsHost settingsHost(model, updates);
    TrayMenu menu(model, settingsHost, updates);
    settingsHost.startLaunchTasks();
    TrayIcon tray(menu.menu(), x11);
    if (!tray.show()) {
        QTextStream(stderr) << "lumivane: this desktop has no system tray (yet); Lumivane keeps running and answers its "
                               "capture hot keys ("
                            << model.settings().shortcut(ShortcutAction::captureFullScreen).displayString() << ", "
                            << model.settings().shortcut(ShortcutAction::captureArea).displayString()
                            << "). Quit it with Ctrl+C, or use 'lumivane capture ...'.\n";
    }
    return app.exec();
}

} // namespace lumivane
