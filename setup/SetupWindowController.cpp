#include "setup/SetupWindowController.h"

#include "setup/SetupChecklistView.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace lumivane {

SetupWindowController::SetupWindowController(SetupHost& host, SetupPresentationMode mode, QObject* parent)
    : QObject(parent), mode_(mode) {
    window_ = new QWidget(nullptr,
                          Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    window_->setObjectName(QStringLiteral("setupWindow"));
    window_->setWindowTitle(SetupTexts::windowTitle(mode));
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(28, 22, 28, 22);
    view_ = new SetupChecklistView(host, mode);
    contentLayout->addWidget(view_);
    scroll->setWidget(content);
    layout->addWidget(scroll);
    window_->setFixedSize(windowSize(mode));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window_->size());
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
    window_->installEventFilter(this);
}

SetupWindowController::~SetupWindowController() {
    if (window_) {
        window_->removeEventFilter(this);
        delete window_;
    }
}

void SetupWindowController::present() {
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

void SetupWindowController::removeFromScreen() {
    window_->hide();
}

bool SetupWindowController::isVisible() const {
    return window_ && window_->isVisible();
}

void SetupWindowController::close() {
    window_->close();
}

bool SetupWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Close && !closed_) {
        closed_ = true;
        if (onClose) {
            // The callback may drop this controller: let the close finish first.
            auto callback = onClose;
            QMetaObject::invokeMethod(
                this, [callback] { callback(); }, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace lumivane
