#include "editor/PopoverFrame.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace lumivane {

QLabel* sectionTitle(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setPixelSize(11);
    f.setWeight(QFont::DemiBold);
    l->setFont(f);
    l->setStyleSheet(QStringLiteral("color: rgba(0,0,0,0.58); background: transparent;"));
    return l;
}

QWidget* section(const QString& title, QWidget* content, QWidget* parent, int width) {
    auto* w = new QWidget(parent);
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(8);
    v->addWidget(sectionTitle(title, w), 0, Qt::AlignLeft);
    content->setParent(w);
    v->addWidget(content, 0, Qt::AlignLeft);
    v->addStretch();
    if (width > 0) {
        w->setFixedWidth(width);
        content->setFixedWidth(width);
    }
    return w;
}

void stylePopoverFrame(QFrame* f) {
    f->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    f->setAttribute(Qt::WA_DeleteOnClose);
    f->setObjectName(QStringLiteral("popover"));
    f->setStyleSheet(QStringLiteral(
        "QFrame#popover { background: #f4f4f6; border: 1px solid rgba(0,0,0,0.18); border-radius: 10px; }"));
}

void presentPopover(QFrame* popover, QWidget* anchor) {
    popover->adjustSize();
    QPoint pos = anchor->mapToGlobal(QPoint(0, anchor->height() + 6));
    if (QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        pos.setX(std::clamp(pos.x(), area.left(), std::max(area.left(), area.right() - popover->width())));
    }
    popover->move(pos);
    popover->show();
}

} // namespace lumivane
