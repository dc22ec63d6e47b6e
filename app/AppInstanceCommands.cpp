#include "app/AppInstanceCommands.h"
#include "app/AppModel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QTimer>

namespace lumivane {

AppInstanceCommands::AppInstanceCommands(AppModel& model, std::function<void()> quit)
    : model_(model), quit_(std::move(quit)) {
    if (!quit_)
        quit_ = [] { QCoreApplication::quit(); };
}

namespace {
// A model gone before its turn (the application quits) leaves the caller to the
// bus, which tells it that no answer comes.
template <typename F>
void later(AppModel& model, F f) {
    QTimer::singleShot(0, &model, [m = QPointer<AppModel>(&model), f] {
        if (m)
            f(*m);
    });
}
} // namespace

void AppInstanceCommands::captureFullScreen(CaptureCompletion done) {
    later(model_, [done](AppModel& m) { m.handleHotKey(HotKeyService::Action::captureFullScreen, done); });
}

void AppInstanceCommands::captureArea(CaptureCompletion done) {
    // Like the hot key: an open overlay is brought forward instead of a second one,
    // and this request hears how that selection ends.
    later(model_, [done](AppModel& m) { m.handleHotKey(HotKeyService::Action::captureArea, done); });
}

void AppInstanceCommands::captureAreaText(CaptureCompletion done) {
    later(model_, [done](AppModel& m) { m.handleHotKey(HotKeyService::Action::captureAreaText, done); });
}

void AppInstanceCommands::captureBrowserPage(CaptureCompletion done) {
    later(model_, [done](AppModel& m) { m.captureBrowserFullPage(done); });
}

void AppInstanceCommands::captureWindow(CaptureCompletion done) {
    later(model_, [done](AppModel& m) { m.captureWindow(done); });
}

void AppInstanceCommands::captureLastArea(CaptureCompletion done) {
    later(model_, [done](AppModel& m) { m.captureLastArea(done); });
}

void AppInstanceCommands::captureAfterDelay(const QString& mode, int seconds, CaptureCompletion done) {
    auto action = HotKeyService::Action::captureFullScreen;
    if (mode == QLatin1String("area"))
        action = HotKeyService::Action::captureArea;
    else if (mode == QLatin1String("window"))
        action = HotKeyService::Action::captureWindow;
    else if (mode == QLatin1String("last"))
        action = HotKeyService::Action::captureLastArea;
    later(model_, [action, seconds, done](AppModel& m) { m.captureAfterDelay(action, seconds, done); });
}

std::optional<QString> AppInstanceCommands::openEditor() {
    if (!model_.currentCapture())
        return QStringLiteral("there is no capture to open in the editor yet");
    model_.openEditor();
    return std::nullopt;
}

std::optional<QString> AppInstanceCommands::openProject(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isAbsolute())
        return QStringLiteral("the project path must be absolute");
    if (model_.editorSession().openProject(path))
        return std::nullopt;
    return model_.lastErrorMessage().value_or(QStringLiteral("the project could not be opened"));
}

std::optional<QString> AppInstanceCommands::editImage(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isAbsolute())
        return QStringLiteral("the image path must be absolute");
    return model_.editorSession().editImageFile(path);
}

std::optional<QString> AppInstanceCommands::pinImage(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isAbsolute())
        return QStringLiteral("the image path must be absolute");
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        return QStringLiteral("cannot read the image '%1': %2").arg(path, reader.errorString());
    if (!model_.pinImage(makeImage(std::move(image))))
        return QStringLiteral("images cannot be pinned in this session");
    return std::nullopt;
}

std::optional<QString> AppInstanceCommands::showSettings() {
    model_.openSettings();
    return std::nullopt;
}

std::optional<QString> AppInstanceCommands::quit() {
    QTimer::singleShot(0, qApp, quit_);
    return std::nullopt;
}

} // namespace lumivane
