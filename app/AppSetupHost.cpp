#include "app/AppSetupHost.h"

#include "app/AppModel.h"
#include "app/ErrorMessages.h"
#include "app/TextRecognitionController.h"
#include "browser/BrowserCaptureError.h"
#include "browser/BrowserCaptureWorker.h"
#include "browser/DesktopBrowserCaptureEnvironment.h"
#include "setup/SetupWindowController.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace lumivane {

AppSetupHost::AppSetupHost(AppModel& model) : model_(model) {
    connect(&model, &AppModel::setupStateChanged, this, &SetupHost::setupStateChanged);
    connect(&model, &AppModel::verifyingBrowserIntegrationChanged, this, &SetupHost::verifyingChanged);
    connect(&model, &AppModel::lastErrorMessageChanged, this, &SetupHost::lastErrorMessageChanged);
}

const SetupChecklistState& AppSetupHost::setupState() const {
    return model_.setupState();
}
void AppSetupHost::refreshSetupState() {
    model_.refreshSetupState();
}
void AppSetupHost::verifyBrowserIntegrationSetup() {
    model_.verifyBrowserIntegrationSetup();
}
bool AppSetupHost::isVerifyingBrowserIntegration() const {
    return model_.isVerifyingBrowserIntegration();
}
void AppSetupHost::openSetupSettingsPage(SetupItemKind kind) {
    model_.openSetupSettingsPage(kind);
}
void AppSetupHost::showBrowserJavaScriptHelp() {
    model_.showBrowserJavaScriptHelp();
}
void AppSetupHost::openSupportSite() {
    model_.openSupportSite();
}
void AppSetupHost::dismissSetupWindow() {
    model_.dismissSetupWindow();
}
std::optional<QString> AppSetupHost::lastErrorMessage() const {
    return model_.lastErrorMessage();
}
bool AppSetupHost::shortcutsBoundByDesktop() const {
    return model_.hotKeys().shortcutsBoundByDesktop();
}

bool AppSetupHost::offersTextRecognition() const {
    return model_.textRecognition().isAvailable();
}
DesktopShortcuts* AppSetupHost::desktopShortcuts() {
    return model_.hotKeys().desktopShortcuts();
}

namespace {

class SetupWindowAdapter final : public SetupWindowPresenter {
public:
    SetupWindowAdapter(SetupHost& host, SetupPresentationMode mode, std::function<void()> onClose)
        : controller_(host, mode) {
        controller_.onClose = std::move(onClose);
    }
    SetupPresentationMode mode() const override { return controller_.mode(); }
    void present() override { controller_.present(); }
    void removeFromScreen() override { controller_.removeFromScreen(); }
    bool isVisible() const override { return controller_.isVisible(); }
    void close() override { controller_.close(); }

private:
    SetupWindowController controller_;
};

int runAlert(const AlertText& text) {
    QMessageBox box(text.style == AlertStyle::warning ? QMessageBox::Warning : QMessageBox::Information, text.title,
                    text.informativeText);
    QList<QAbstractButton*> buttons;
    for (const QString& b : text.buttons)
        buttons << box.addButton(b, QMessageBox::AcceptRole);
    if (buttons.isEmpty())
        buttons << box.addButton(QMessageBox::Ok);
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
    box.exec();
    const qsizetype index = buttons.indexOf(box.clickedButton());
    return 1000 + int(std::max<qsizetype>(index, 0));
}

} // namespace

void waitForBrowserCheck(QFuture<BrowserTab> check) {
    if (!check.isFinished()) {
        QEventLoop loop;
        QFutureWatcher<BrowserTab> watcher;
        QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(check);
        if (!check.isFinished())
            loop.exec();
    }
    check.waitForFinished(); // rethrows the check's error
}

void completeSetupServices(AppServices& s) {
    const bool needsDesktop =
        !s.permissions || !s.runningBrowserIDs || !s.activateApplication || !s.validateBrowserSetup;
    if (!s.desktop && needsDesktop)
        s.desktop = loadDesktopBackend();
    if (!s.permissions)
        s.permissions = s.desktop->makePermissions();
    std::shared_ptr<WindowActivator> activator;
    if ((!s.runningBrowserIDs || !s.activateApplication) && s.desktop->makeWindowActivator)
        activator = s.desktop->makeWindowActivator();
    const auto browserOf = [](const ClientWindowInfo& w) {
        auto b = supportedBrowserFromWmClass(w.instanceName);
        return b ? b : supportedBrowserFromWmClass(w.className);
    };
    if (!s.runningBrowserIDs) {
        s.runningBrowserIDs = [activator, browserOf] {
            std::vector<QString> ids;
            if (!activator)
                return ids;
            for (const ClientWindowInfo& w : activator->clientWindows())
                if (auto b = browserOf(w); b && std::find(ids.begin(), ids.end(), rawValue(*b)) == ids.end())
                    ids.push_back(rawValue(*b));
            return ids;
        };
    }
    if (!s.activateApplication) {
        s.activateApplication = [activator, browserOf](const QString& id) {
            if (!activator)
                return;
            // Every window of the application, the topmost last so that it ends in front.
            std::vector<quint32> windows;
            for (const ClientWindowInfo& w : activator->clientWindows())
                if (auto b = browserOf(w); b && rawValue(*b) == id)
                    windows.push_back(w.windowId);
            for (auto it = windows.rbegin(); it != windows.rend(); ++it)
                activator->activate(*it);
        };
    }
    if (!s.activateSelf) {
        s.activateSelf = [] {
            if (QWidget* w = QApplication::activeWindow())
                w->activateWindow();
        };
    }
    if (!s.validateBrowserSetup) {
        auto worker = std::make_shared<BrowserCaptureWorker>(
            [desktop = s.desktop] { return DesktopBrowserCaptureEnvironment::create(*desktop); });
        s.validateBrowserSetup = [worker] { waitForBrowserCheck(worker->validate()); };
    }
    if (!s.makeSetupWindow) {
        s.makeSetupWindow = [](SetupPresentationMode mode, SetupHost& host, std::function<void()> onClose) {
            return std::unique_ptr<SetupWindowPresenter>(new SetupWindowAdapter(host, mode, std::move(onClose)));
        };
    }
    if (!s.showAlert)
        s.showAlert = runAlert;
    if (!s.openURL)
        s.openURL = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    if (!s.copyText)
        s.copyText = [](const QString& text) {
            QClipboard* clipboard = QGuiApplication::clipboard();
            clipboard->clear();
            clipboard->setText(text);
        };
    if (!s.clipboardImage)
        s.clipboardImage = [] { return QGuiApplication::clipboard()->image(); };
}

} // namespace lumivane
