#include "editor/EditorBarWidgets.h"
#include "editor/EditorIcons.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace lumivane::barwidgets {

using namespace toolbar;

QString capsuleStyle(bool selected) {
    return selected ? QStringLiteral("QToolButton { background: #0a7aff; border: none; border-radius: 13px; padding: "
                                     "4px; color: white; }")
                    : QStringLiteral(
                          "QToolButton { background: rgba(0,0,0,0.18); border: none; border-radius: 13px; padding: 4px;"
                          " color: rgba(255,255,255,0.88); font-size: 11px; }"
                          "QToolButton:disabled { background: rgba(0,0,0,0.12); color: rgba(255,255,255,0.24); }"
                          "QToolButton::menu-indicator { image: none; width: 0; }");
}

QIcon symbolWithDisabled(const QString& name) {
    QIcon icon = editorIcon(name, barForeground);
    const QIcon disabled = editorIcon(name, QColor(255, 255, 255, int(0.24 * 255)));
    icon.addPixmap(disabled.pixmap(18, 18), QIcon::Disabled);
    return icon;
}

QToolButton* symbolButton(const QString& symbol, const QString& help, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setIcon(symbolWithDisabled(symbol));
    b->setIconSize(QSize(18, 18));
    b->setToolTip(help);
    b->setAccessibleName(help);
    b->setAutoRaise(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(capsuleStyle(false));
    return b;
}

QWidget* capsuleDivider(QWidget* parent) {
    auto* w = new QWidget(parent);
    w->setFixedSize(3, 24);
    w->setStyleSheet(QStringLiteral("background: transparent;"));
    auto* bar = new QWidget(w);
    bar->setGeometry(1, 1, 1, 22);
    bar->setStyleSheet(QStringLiteral("background: rgba(255,255,255,0.22);"));
    return w;
}

QPushButton* textCapsule(const QString& text, bool accent, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setFixedHeight(24);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(
        accent ? QStringLiteral("QPushButton { background: #0a7aff; color: white; border: none;"
                                " border-radius: 12px; padding: 0 14px; font-size: 12px; font-weight: bold; }")
               : QStringLiteral("QPushButton { background: rgba(0,0,0,0.32); color: white; border: none;"
                                " border-radius: 12px; padding: 0 12px; font-size: 12px; font-weight: 600; }"));
    return b;
}

// The style chip's face: kind symbol, title, then the colour swatch and chevron for
// the colour kinds.
QIcon styleChipIcon(StyleKind kind, const QString& text, std::optional<RgbaColor> swatch, QSize* size) {
    QFont f;
    f.setPixelSize(11);
    f.setWeight(QFont::DemiBold);
    const int textWidth = QFontMetrics(f).horizontalAdvance(text);
    const int w = 18 + 4 + textWidth + 4 + (swatch ? 16 : 0) + (isColorKind(kind) ? 10 : 0), h = 18;
    *size = QSize(w, h);
    QPixmap pm(w * 2, h * 2);
    pm.setDevicePixelRatio(2);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(0, 0, editorIcon(iconName(kind), barForeground, 18).pixmap(18, 18));
    int x = 22;
    p.setFont(f);
    p.setPen(barForeground);
    p.drawText(QRect(x, 0, textWidth + 2, h), Qt::AlignVCenter | Qt::AlignLeft, text);
    x += textWidth + 4;
    if (swatch) {
        p.setPen(QPen(QColor(255, 255, 255, 200), 1));
        p.setBrush(swatch->toQColor());
        p.drawEllipse(QRectF(x + 1, 3, 12, 12));
        x += 16;
    }
    // The colour kinds open their style with a chevron; the effect kinds read as a plain label.
    if (isColorKind(kind))
        p.drawPixmap(x, 4, editorIcon(QStringLiteral("chevron-down"), barForeground, 10).pixmap(10, 10));
    return QIcon(pm);
}

} // namespace lumivane::barwidgets
