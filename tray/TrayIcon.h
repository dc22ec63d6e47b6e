#pragma once
#include "platform/DesktopBackend.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class QMenu;

namespace lumivane {

// The application's icon in the desktop's system tray. The glyph (a screen-like
// frame with a cross-hair) is drawn in the colour the tray asks for, or in white
// on a dark panel and black on a light one, judged from the pixels around the
// icon; until that is known, white with a dark outline, visible on both. A left
// click opens the menu, like the right click. While shown, the colour is checked
// again twice a second, so a panel or theme that changes (a restarted tray, a new
// theme, other tray colours) gets a matching icon within a second. UI thread only.
class TrayIcon : public QObject {
public:
    TrayIcon(QMenu* menu, std::shared_ptr<const DesktopBackend> desktop, QObject* parent = nullptr);

    // False when the desktop has no system tray (yet: the icon docks when one starts).
    bool show();
    // Picks the glyph colour for the panel under the icon and repaints it.
    void refreshInk();
    // The colour the glyph is drawn in; nothing while it has the outlined look.
    std::optional<QColor> ink() const { return ink_; }
    QSystemTrayIcon& tray() { return tray_; }

    // The glyph on a transparent square of `side` pixels; without an ink, white
    // outlined in dark grey.
    static QImage glyphImage(int side, std::optional<QColor> ink);
    static QIcon icon(std::optional<QColor> ink);
    // White on a dark panel, near-black on a light one.
    static QColor inkForPanel(const QColor& panel);
    // The colour of the panel around an icon: the most frequent colour of the
    // image's outermost pixels (the glyph keeps clear of them); nothing for an empty image.
    static std::optional<QColor> panelColour(const QImage& iconArea);

    // What the tray asks for; replaceable in tests.
    std::function<std::optional<QColor>()> trayForeground;

private:
    void openMenuAtIcon();

    QMenu* menu_;
    std::shared_ptr<const DesktopBackend> desktop_;
    QSystemTrayIcon tray_;
    std::optional<QColor> ink_;
    QTimer watch_;
};

} // namespace lumivane
