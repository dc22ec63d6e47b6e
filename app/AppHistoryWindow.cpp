#include "app/AppHistoryWindow.h"
#include "app/AppModel.h"
#include "app/HistoryRecorder.h"
#include "editor/EditorRenderer.h"
#include "editor_model/ProjectFile.h"
#include "history/HistoryWindow.h"
#include "platform/ShareTargets.h"

#include <QMessageBox>

namespace lumivane {

namespace {
// The entry's picture as it was last edited; nothing (after telling the user) when its
// project cannot be read.
ImageRef renderEntry(const HistoryEntry& entry, QWidget* parent) {
    try {
        if (auto document = ProjectFile::readFile(entry.projectPath).makeDocument())
            if (auto image = EditorRenderer::render(*document))
                return makeImage(std::move(*image));
    } catch (const ProjectFileError&) {
    }
    QMessageBox::warning(parent, QStringLiteral("Lumivane"), QStringLiteral("この撮影を読み込めませんでした。"));
    return nullptr;
}
} // namespace

AppHistoryWindow::AppHistoryWindow(AppModel& model, QObject* parent) : QObject(parent), model_(model) {
    connect(&model_.history(), &HistoryRecorder::changed, this, [this] {
        if (window_)
            window_->setEntries(model_.history().entries());
    });
}

AppHistoryWindow::~AppHistoryWindow() {
    delete window_.data();
}

HistoryWindow* AppHistoryWindow::window() const {
    return window_;
}

void AppHistoryWindow::show() {
    if (!window_) {
        HistoryActions actions;
        actions.open = [this](const HistoryEntry& e) { model_.editorSession().openProject(e.projectPath); };
        actions.copy = [this](const HistoryEntry& e) { copy(e); };
        actions.save = [this](const HistoryEntry& e) { save(e); };
        actions.reveal = [this](const HistoryEntry& e) { reveal(e); };
        actions.remove = [this](const HistoryEntry& e) { model_.history().remove(e); };
        window_ = new HistoryWindow(std::move(actions));
        window_->setEntries(model_.history().entries());
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void AppHistoryWindow::copy(const HistoryEntry& entry) {
    if (const ImageRef image = renderEntry(entry, window_))
        model_.clipboard().copy(image, CaptureSource::standard);
}

void AppHistoryWindow::save(const HistoryEntry& entry) {
    if (const ImageRef image = renderEntry(entry, window_))
        model_.saver().saveImageWithPanel(image, CaptureSource::standard);
}

void AppHistoryWindow::reveal(const HistoryEntry& entry) {
    if (!shareTargets_)
        shareTargets_ = makeDesktopShareTargets();
    QString error;
    if (!shareTargets_->revealInFolder(entry.projectPath, &error))
        QMessageBox::warning(window_, QStringLiteral("Lumivane"),
                             QStringLiteral("フォルダを表示できませんでした。\n\n%1").arg(error));
}

} // namespace lumivane
