#include "settings/SettingsWindowController.h"

#include "settings/SettingsView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace lumivane {

SettingsWindowController::SettingsWindowController(SettingsHost& host, QObject* parent)
    : QObject(parent), host_(host) {}

SettingsWindowController::~SettingsWindowController() {
    delete window_;
}

QWidget* SettingsWindowController::window() {
    if (!window_) {
        window_ = new QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                           Qt::WindowMinimizeButtonHint);
        window_->setWindowTitle(QStringLiteral("設定"));
        window_->setObjectName(QStringLiteral("settingsWindow"));
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        auto* layout = new QVBoxLayout(window_);
        layout->setContentsMargins(0, 0, 0, 0);
        view_ = new SettingsView(host_, window_);
        layout->addWidget(view_);
        window_->setFixedSize(760, 540);
    }
    return window_;
}

SettingsView* SettingsWindowController::view() {
    window();
    return view_;
}

void SettingsWindowController::showWindow() {
    QWidget* w = window();
    if (!centred_) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), w->size());
            frame.moveCenter(screen->availableGeometry().center());
            w->move(frame.topLeft());
        }
        centred_ = true;
    }
    w->showNormal();
    w->raise();
    w->activateWindow();
}

} // namespace lumivane
