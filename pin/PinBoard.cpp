#include "pin/PinBoard.h"
#include "pin/PinWindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace lumivane {

namespace {
constexpr int cascadeStep = 24;
}

PinBoard::PinBoard(std::function<void(const ImageRef&)> copy, QObject* parent)
    : QObject(parent), copy_(std::move(copy)) {}

PinBoard::~PinBoard() {
    closeAll();
}

PinWindow* PinBoard::pin(const ImageRef& image) {
    if (!image || image->isNull())
        return nullptr;
    std::erase_if(pins_, [](const QPointer<PinWindow>& p) { return !p; });
    const std::vector<PinWindow*> open = pins();
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QPoint center = screen ? screen->availableGeometry().center() : QPoint();
    if (!open.empty() && open.back()->screen() == screen)
        center = open.back()->geometry().center() + QPoint(cascadeStep, cascadeStep);
    auto* window = new PinWindow(image, copy_);
    pins_.emplace_back(window);
    window->showCenteredAt(screen, center);
    return window;
}

std::vector<PinWindow*> PinBoard::pins() const {
    std::vector<PinWindow*> out;
    for (const QPointer<PinWindow>& p : pins_)
        if (p && p->isVisible())
            out.push_back(p);
    return out;
}

void PinBoard::closeAll() {
    for (QPointer<PinWindow>& p : pins_)
        delete p.data();
    pins_.clear();
}

} // namespace lumivane
