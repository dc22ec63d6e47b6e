#pragma once
#include "editor_model/EditorToolbarRules.h"

#include <QColor>
#include <QIcon>
#include <QString>
#include <optional>

class QPushButton;
class QToolButton;
class QWidget;

// The pieces the editor's bars are built of: dark capsule buttons with symbols,
// dividers, text capsules and the style chip's face.
namespace lumivane::barwidgets {

// Symbols and titles on the dark bars.
inline const QColor barForeground(255, 255, 255, int(0.88 * 255));

// Style sheet of a symbol capsule, the selected tool's in the accent colour.
QString capsuleStyle(bool selected);
// The symbol in the bar's foreground, dimmed when disabled.
QIcon symbolWithDisabled(const QString& name);
QToolButton* symbolButton(const QString& symbol, const QString& help, QWidget* parent);
QWidget* capsuleDivider(QWidget* parent);
QPushButton* textCapsule(const QString& text, bool accent, QWidget* parent);
// The style chip's face: kind symbol, title, then the colour swatch and chevron for
// the colour kinds; `size` receives its size.
QIcon styleChipIcon(toolbar::StyleKind kind, const QString& text, std::optional<RgbaColor> swatch, QSize* size);

} // namespace lumivane::barwidgets
