#include "app/Application.h"
#include "app/ActivationMonitor.h"
#include "app/AppEditorPresenter.h"
#include "app/AppHistoryWindow.h"
#include "app/AppInstanceCommands.h"
#include "app/AppModel.h"
#include "app/AppSettingsHost.h"
#include "app/AppSetupHost.h"
#include "app/ErrorMessages.h"
#include "app/HistoryRecorder.h"
#include "app/QtClipboardWriter.h"
#include "app/QuitOnSignal.h"
#include "app/SingleInstance.h"
#include "app/TextRecognitionController.h"
#include "app/TrayMenu.h"
#include "app/TraylessNotices.h"
#include "browser/BrowserCaptureError.h"
#include "browser/BrowserCaptureWorker.h"
#include "browser/DesktopBrowserCaptureEnvironment.h"
#include "capture/CaptureService.h"
#include "capture/SelectionOverlayController.h"
#include "core/AtomicFile.h"
#include "export/PrivateTemporaryFolder.h"
#include "history/HistoryStore.h"
#include "pin/PinBoard.h"
#include "platform/ActiveWindow.h"
#include "platform/FileDialogs.h"
#include "platform/QtPlatformChoice.h"
#include "preview/PreviewWindowController.h"
#include "settings/SettingsWindowController.h"
#include "shortcuts/KeyMapping.h"
#include "tray/TrayIcon.h"
#include "tray/TrayMenuContent.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QWidgetAction>
#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace lumivane {

namespace {

// The snapshot an area selection was made on, handed from the overlay to the capture
// of its rectangle, which cuts it from there instead of capturing again.
using FrozenSnapshot = std::shared_ptr<std::optional<DesktopSnapshot>>;

constexpr int trayWaitAfterLaunchMs = 2000;

class OverlayAdapter final : public SelectionOverlay {
public:
    OverlayAdapter(const DesktopBackend& desktop, std::shared_ptr<CaptureService> capture, FrozenSnapshot frozen)
        : controller_(environment(desktop, capture)), frozen_(std::move(frozen)) {}
    QFuture<std::optional<QRectF>> beginSelection() override {
        frozen_->reset();
        return controller_.beginSelection().then([this](std::optional<QRectF> rect) {
            if (rect)
                *frozen_ = controller_.frozenSnapshot();
            return rect;
        });
    }
    void activateOverlay() override { controller_.activateOverlay(); }

private:
    static SelectionOverlayEnvironment environment(const DesktopBackend& desktop,
                                                   std::shared_ptr<CaptureService> capture) {
        SelectionOverlayEnvironment e = SelectionOverlayEnvironment::forDesktop(desktop);
        if (capture->selectsOnFrozenDesktop())
            e.freeze = [capture] { return capture->snapshotDesktop(); };
        return e;
    }

    SelectionOverlayController controller_;
    FrozenSnapshot frozen_;
};

class PreviewAdapter final : public PreviewPresenter {
public:
    PreviewAdapter(std::shared_ptr<ScreenProvider> screens, PreviewActions actions)
        : controller_(std::move(screens), std::move(actions)) {}
    void show(const CapturedImage& c) override { controller_.show(c.image, c.previewScreenFrame); }
    void hideWithFadeSlide() override { controller_.hideWithFadeSlide(); }
    void removeFromScreen() override { controller_.removeFromScreen(); }
    bool isVisible() const override { return controller_.isVisible(); }
    void prepare() override { controller_.prepare(); }
    void setCodesFound(bool found) override { controller_.setCodesFound(found); }

private:
    PreviewWindowController controller_;
};

QString imageFilter(ScreenshotFileFormat format) {
    return format == ScreenshotFileFormat::jpeg ? QStringLiteral("JPEG (*.jpg *.jpeg)") : QStringLiteral("PNG (*.png)");
}

} // namespace

std::optional<int> handOverToRunningInstance(bool waitForInstance) {
    // A loser of a simultaneous start may ask before the winner listens: retry briefly.
    InstanceReply reply;
    for (int attempt = 0; attempt < (waitForInstance ? 50 : 1); ++attempt) {
        reply = sendToRunningInstance(QString::fromLatin1(instance_method::showSettings));
        if (reply.reached)
            break;
        QThread::msleep(100);
    }
    if (!reply.reached) {
        if (!waitForInstance)
            return std::nullopt;
        QTextStream(stderr) << "lumivane: another Lumivane is starting but does not answer.\n";
        return 1;
    }
    if (const auto error = reply.error()) {
        QTextStream(stderr) << "lumivane: the running Lumivane refused to show its settings: " << *error << "\n";
        return 1;
    }
    QTextStream(stdout) << "Lumivane is already running; its settings window is shown.\n";
    return 0;
}

AppServices makeDesktopServices(std::shared_ptr<DesktopBackend> desktop, const std::function<AppModel*()>& model) {
    auto capture = std::make_shared<CaptureService>(*desktop);
    capture->prepareAhead();
    // One browser capture service for the whole run: captures and setup checks share its thread and its guard.
    auto browserCapture = std::make_shared<BrowserCaptureWorker>(
        [desktop] { return DesktopBrowserCaptureEnvironment::create(*desktop); });
    auto activeWindow = desktop->makeActiveWindowSource
                            ? std::shared_ptr<ActiveWindowSource>(desktop->makeActiveWindowSource())
                            : nullptr;

    AppServices services;
    services.desktop = desktop;
    services.screens = desktop->screens;
    services.captureFullScreen = [capture] { return capture->captureFullScreen(); };
    auto frozen = std::make_shared<std::optional<DesktopSnapshot>>();
    services.captureRect = [capture, frozen](const QRectF& r) {
        if (!frozen->has_value())
            return capture->capture(r);
        const DesktopSnapshot snapshot = std::move(**frozen);
        frozen->reset();
        return capture->capture(r, snapshot);
    };
    if (desktop->makeActiveWindowCapture) {
        std::shared_ptr<ActiveWindowCapture> windows = desktop->makeActiveWindowCapture();
        services.captureActiveWindow = [capture, windows](bool includeFrame) {
            return capture->captureWindow(windows, includeFrame);
        };
    }
    services.frontmostApplicationID = [activeWindow]() -> std::optional<QString> {
        const auto w = activeWindow ? activeWindow->activeWindow() : std::nullopt;
        if (!w)
            return std::nullopt;
        auto browser = supportedBrowserFromWmClass(w->instanceName);
        if (!browser)
            browser = supportedBrowserFromWmClass(w->className);
        return browser ? std::optional<QString>(rawValue(*browser)) : std::nullopt;
    };
    services.captureBrowserPage = [browserCapture](const BrowserCaptureOptions& o) {
        return browserCapture->capture(o);
    };
    services.validateBrowserSetup = [browserCapture] { waitForBrowserCheck(browserCapture->validate()); };
    services.makeSelectionOverlay = [desktop, capture, frozen] {
        return std::make_unique<OverlayAdapter>(*desktop, capture, frozen);
    };
    services.makePreview = [desktop, model]() -> std::unique_ptr<PreviewPresenter> {
        PreviewActions a;
        a.openEditor = [model] { model()->openEditor(); };
        a.dismiss = [model] { model()->preview().dismiss(); };
        a.noteInteraction = [model] { model()->preview().noteInteraction(); };
        a.hoverChanged = [model](bool h) {
            model()->preview().hoverChanged(h);
            // The engine loads while the pointer is on its way to the button.
            if (h && model()->textRecognition().isAvailable())
                model()->textRecognition().preload();
        };
        if (model()->textRecognition().isAvailable())
            a.readText = [model] { model()->readCurrentImageText(); };
        a.showCodes = [model](QPoint at) { model()->textRecognition().showCodesMenu(at); };
        a.presented = [model] { model()->preview().notePresented(); };
        a.copy = [model](const std::function<void(bool)>& done) { model()->copyCurrentImage(done); };
        a.save = [model](const std::function<void(bool)>& done) { model()->saveCurrentImageQuickly(done); };
        a.pin = [model] { model()->pinImage(); };
        a.dragOptions = [model] {
            const auto source = model()->currentCapture() ? model()->currentCapture()->source : CaptureSource::standard;
            return ImageExportOptions::drag(exportProfile(source), model()->settings().captureQualityPreset());
        };
        return std::make_unique<PreviewAdapter>(desktop->screens, std::move(a));
    };
    services.makeEditor = [model] { return makeEditorPresenter(model); };
    auto pins = std::make_shared<std::unique_ptr<PinBoard>>();
    services.pinImage = [pins, model](const ImageRef& image) {
        if (!*pins)
            *pins = std::make_unique<PinBoard>(
                [model](const ImageRef& pinned) { model()->clipboard().copy(pinned, CaptureSource::standard); });
        (*pins)->pin(image);
    };
    services.clipboard = std::make_shared<QtClipboardWriter>(desktop);
    services.subscribeToActivation = [](std::function<void()> activated) {
        subscribeToApplicationActivation(qApp, std::move(activated));
    };
    services.chooseImageSavePath = [](const QString& suggestion,
                                      ScreenshotFileFormat format) -> std::optional<QString> {
        // A bare name starts in the pictures folder; a path starts where it points.
        const QString start =
            QFileInfo(suggestion).isAbsolute()
                ? suggestion
                : QDir(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)).filePath(suggestion);
        return chooseFileToSave(nullptr, start, imageFilter(format));
    };
    if (desktop->makeKeyGrabber)
        services.hotKeys = std::make_shared<HotKeyService>(desktop->makeKeyGrabber());
    if (desktop->makeKeyboardLayout)
        setKeyboardLayout(desktop->makeKeyboardLayout()); // key labels follow the desktop's layout
    services.temporaryDirectory = temporaryFolder();
    services.historyFolder = HistoryStore::defaultFolder();

    return services;
}

// Told once at start, without blocking: the windows work through Xwayland, capture does not.
static void showMissingWaylandPluginNotice() {
    auto* box = new QMessageBox(
        QMessageBox::Warning, QStringLiteral("Lumivane"),
        QStringLiteral("Wayland 用の Qt プラグインが見つからないため、ウィンドウを Xwayland で表示しています。"),
        QMessageBox::Ok);
    box->setInformativeText(
        QStringLiteral("この状態では画面を撮影できません。端末で「sudo apt install qt6-wayland」を実行して"
                       "から、Lumivane を起動し直してください。"));
    box->setObjectName(QStringLiteral("missingWaylandPluginNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
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
#if defined(__GLIBC__)
    // One heap for all threads: freed buffers of the background encoders go back to the
    // system on the idle trim (malloc_trim leaves the top of per-thread arenas alone).
    mallopt(M_ARENA_MAX, 1);
#endif
    const WindowSystem session = sessionWindowSystem();
    if (session == WindowSystem::none) {
        {
            // A running instance can still be asked from a shell without a display.
            QCoreApplication core(argc, argv);
            if (const std::optional<int> code = handOverToRunningInstance(false))
                return *code;
        }
        QTextStream(stderr) << "lumivane: no desktop session (neither WAYLAND_DISPLAY nor DISPLAY is set).\n"
                            << "Start Lumivane inside a Wayland or X11 desktop session, or use the command line, e.g.\n"
                            << "  lumivane capture full -o screenshot.png\n"
                            << "See 'lumivane --help'.\n";
        return 1;
    }
    // An explicit QT_QPA_PLATFORM wins (xcb inside a Wayland session keeps X11 services,
    // whose screen reads then refuse).
    bool missingWaylandPlugin = false;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const QtPlatformChoice choice =
            chooseQtPlatform(session, session != WindowSystem::wayland || hasQtPlatformPlugin("wayland"),
                             !qEnvironmentVariableIsEmpty("DISPLAY"));
        missingWaylandPlugin = choice.missingWaylandPlugin;
        if (missingWaylandPlugin)
            QTextStream(stderr) << "lumivane: Qt's Wayland platform plug-in is not installed (package qt6-wayland)"
                                << (choice.platform.isEmpty() ? "; there is no X display to fall back to.\n"
                                                              : "; the windows open through Xwayland, and screen "
                                                                "capture stays off until it is installed.\n");
        if (choice.platform.isEmpty())
            return 1;
        qputenv("QT_QPA_PLATFORM", choice.platform);
    }
    const WindowSystem qtWindowSystem = qgetenv("QT_QPA_PLATFORM") == "xcb" ? WindowSystem::x11 : session;
    if (const QString reason = windowSystemUnreachableReason(qtWindowSystem); !reason.isEmpty()) {
        QTextStream(stderr) << "lumivane: " << reason << ".\n"
                            << "Start Lumivane inside a desktop session, or check DISPLAY and WAYLAND_DISPLAY.\n";
        return 1;
    }
    QApplication app(argc, argv);
    // Before any window: the desktop entry names the windows (the Wayland app_id).
    QGuiApplication::setDesktopFileName(QString::fromLatin1(applicationId));
    QApplication::setQuitOnLastWindowClosed(false);
    installQtTranslations(app);

    const std::shared_ptr<DesktopBackend> desktop = loadDesktopBackend();
    if (desktop->windowSystem == WindowSystem::none) {
        QTextStream(stderr) << "lumivane: " << desktop->unavailableReason << ".\n";
        return 1;
    }
    // Temporary export files live in the user's own folder; the running instance
    // clears what an earlier run left, and removes its own at quit (after the model
    // and its background writers are gone).
    struct TemporaryFiles {
        QString folder = PrivateTemporaryFolder::createForUser();
        bool owned = false;
        ~TemporaryFiles() {
            if (owned)
                PrivateTemporaryFolder::removeContents(folder);
        }
    } temporaryFiles;
    setTemporaryFolder(temporaryFiles.folder);
    AppModel* modelPtr = nullptr;
    AppServices services = makeDesktopServices(desktop, [&modelPtr] { return modelPtr; });
    AppModel model(std::make_unique<AppSettings>(), services);
    modelPtr = &model;

    AppInstanceCommands commands(model);
    InstanceServer instance(commands);
    switch (instance.claim()) {
    case InstanceServer::Claim::owner:
        temporaryFiles.owned = true;
        PrivateTemporaryFolder::removeContents(temporaryFiles.folder);
        break;
    case InstanceServer::Claim::anotherInstanceRuns:
        return handOverToRunningInstance(true).value_or(1);
    case InstanceServer::Claim::failed:
        QTextStream(stderr) << "lumivane: " << instance.errorText() << "\n";
        return 1;
    }
    const QuitOnSignal quitOnSignal;
    model.hotKeys().applySettings();
    model.startLaunchTasks();

    AppUpdateController updates(AppUpdateController::BundleInfo::fromBuild(), QCoreApplication::arguments());
    AppSettingsHost settingsHost(model, updates);
    TrayMenu menu(model, settingsHost, updates);
    AppHistoryWindow historyWindow(model);
    menu.showHistoryWindow = [&historyWindow] { historyWindow.show(); };
    model.history().reload();
    settingsHost.startLaunchTasks();
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(applicationId)));
    TrayIcon tray(menu.menu(), desktop);
    // Without a tray, failed captures and the first start's notice go to the desktop's
    // notifications. A panel started with the session may register its tray a moment after us.
    TraylessNotices notices(model, DesktopNotifications());
    QTimer::singleShot(trayWaitAfterLaunchMs, &notices, [&notices] { notices.maybePresentRunningNotice(); });
    if (!tray.show() && !services.hotKeys) {
        // Wayland without a StatusNotifier host (and no global key grabs of our own).
        QTextStream(stderr) << "lumivane: this desktop shows no tray icons (no StatusNotifier host); Lumivane keeps "
                               "running. Bind 'lumivane capture area' and 'lumivane capture full' to keys in the "
                               "desktop's keyboard settings, or run 'lumivane capture full -o FILE'.\n";
    } else if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        QTextStream(stderr)
            << "lumivane: this desktop has no system tray (yet); Lumivane keeps running and answers its "
               "capture hot keys ("
            << model.settings().shortcut(ShortcutAction::captureFullScreen).displayString() << ", "
            << model.settings().shortcut(ShortcutAction::captureArea).displayString()
            << "). Quit it with Ctrl+C, or use 'lumivane capture ...'.\n";
    }
    if (missingWaylandPlugin)
        showMissingWaylandPluginNotice();
    return app.exec();
}

} // namespace lumivane
