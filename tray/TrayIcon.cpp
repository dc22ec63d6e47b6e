#include "tray/TrayIcon.h"

#include "platform/CoordinateSpace.h"

#include <QCursor>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <map>

namespace lumivane {

namespace {

// The glyph in an 18 × 18 canvas with a top-left origin (the drawing's own
// bottom-left coordinates flipped).
QPainterPath framePath() {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRoundedRect(QRectF(0.9, 18 - 1.15 - 13.45, 16.2, 13.45), 2.2, 2.2);
    path.addRoundedRect(QRectF(2.3, 18 - 3.0 - 7.25, 13.4, 7.25), 0.8, 0.8);
    return path;
}

QPainterPath crossHairPath() {
    const QPointF centre(2.3 + 13.4 / 2, 18 - 3.0 - 7.25 / 2);
    QPainterPath arms;
    for (const QPointF d : {QPointF(0, -1), QPointF(0, 1), QPointF(-1, 0), QPointF(1, 0)}) {
        arms.moveTo(centre + d * 0.98);
        arms.lineTo(centre + d * 1.76);
    }
    return arms;
}

} // namespace

TrayIcon::TrayIcon(QMenu* menu, std::shared_ptr<const DesktopBackend> desktop, QObject* parent)
    : QObject(parent), menu_(menu), desktop_(std::move(desktop)) {
    if (desktop_)
        trayForeground = desktop_->trayForeground;
    tray_.setIcon(icon(std::nullopt));
    tray_.setToolTip(QStringLiteral("Lumivane"));
    tray_.setContextMenu(menu_);
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            openMenuAtIcon();
    });
    watch_.setInterval(500);
    connect(&watch_, &QTimer::timeout, this, [this] { refreshInk(); });
    // The panel may have changed its look since: check again whenever the menu opens.
    connect(menu_, &QMenu::aboutToShow, this, [this] { refreshInk(); });
}

bool TrayIcon::show() {
    // Shown even without a tray yet: Qt docks the icon when a panel starts later.
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    tray_.show();
    // The tray embeds and paints the icon a moment later; after that the panel, its
    // theme or the tray itself may change at any time.
    QTimer::singleShot(300, this, [this] { refreshInk(); });
    watch_.start();
    return available;
}

void TrayIcon::openMenuAtIcon() {
    const QRect g = tray_.geometry();
    menu_->popup(g.isValid() ? g.bottomLeft() + QPoint(0, 1) : QCursor::pos());
}

QImage TrayIcon::glyphImage(int side, std::optional<QColor> ink) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The 18-unit drawing in the middle of a 22-unit square, as panels size tray icons.
    const double k = side / 22.0;
    p.translate((side - 18 * k) / 2, (side - 18 * k) / 2);
    p.scale(k, k);
    const QPainterPath frame = framePath();
    const QPainterPath arms = crossHairPath();
    const QColor colour = ink.value_or(Qt::white);
    if (!ink) {
        const QPen outline(QColor(40, 40, 40, 220), 1.5 + 0.9 / k, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.strokePath(frame, outline);
        p.strokePath(arms, QPen(outline.color(), 1.2 + 1.5, Qt::SolidLine, Qt::RoundCap));
    }
    p.fillPath(frame, colour);
    p.strokePath(arms, QPen(colour, 1.2, Qt::SolidLine, Qt::RoundCap));
    return image;
}

QIcon TrayIcon::icon(std::optional<QColor> ink) {
    QIcon icon;
    for (int side : {16, 22, 24, 32, 44, 48, 64})
        icon.addPixmap(QPixmap::fromImage(glyphImage(side, ink)));
    return icon;
}

QColor TrayIcon::inkForPanel(const QColor& panel) {
    const double luminance = 0.2126 * panel.redF() + 0.7152 * panel.greenF() + 0.0722 * panel.blueF();
    return luminance < 0.5 ? QColor(250, 250, 250) : QColor(30, 30, 30);
}

std::optional<QColor> TrayIcon::panelColour(const QImage& area) {
    if (area.isNull() || area.width() < 2 || area.height() < 2)
        return std::nullopt;
    std::map<QRgb, int> counts;
    const QImage img = area.convertToFormat(QImage::Format_RGB32);
    for (int x = 0; x < img.width(); ++x) {
        ++counts[img.pixel(x, 0) | 0xff000000u];
        ++counts[img.pixel(x, img.height() - 1) | 0xff000000u];
    }
    for (int y = 1; y < img.height() - 1; ++y) {
        ++counts[img.pixel(0, y) | 0xff000000u];
        ++counts[img.pixel(img.width() - 1, y) | 0xff000000u];
    }
    auto best = counts.begin();
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it->second > best->second)
            best = it;
    return QColor::fromRgb(best->first);
}

void TrayIcon::refreshInk() {
    if (!tray_.isVisible())
        return;
    std::optional<QColor> ink;
    if (trayForeground)
        ink = trayForeground();
    if (!ink && desktop_ && desktop_->screens && desktop_->readNativePixels) {
        // The pixels the panel shows around the icon, read back from the screen.
        // A little beyond the icon, so the border is the panel even before the icon repaints.
        const QRect shown = tray_.geometry();
        const QRect logical = shown.adjusted(-2, -2, 2, 2);
        if (shown.isValid()) {
            for (const ScreenInfo& s : desktop_->screens->screens()) {
                const QRectF screenLogical = CoordinateSpace::logicalRectForNative(s.nativeGeometry, s.scale);
                if (!screenLogical.contains(QRectF(logical).center()))
                    continue;
                const QRect native = CoordinateSpace::nativeRectForLogical(QRectF(logical), s.nativeGeometry, s.scale);
                if (auto panel = panelColour(desktop_->readNativePixels(native)))
                    ink = inkForPanel(*panel);
                break;
            }
        }
    }
    if (!ink || ink == ink_)
        return;
    ink_ = ink;
    tray_.setIcon(icon(ink_));
}

} // namespace lumivane
