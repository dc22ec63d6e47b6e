#pragma once
#include "core/RgbaColor.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>

class QFrame;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace lumivane {

class SettingsPage;

// The building blocks of the settings pages. Rows that show a setting register
// their refresher with the page.

QLabel* settingsLabel(const QString& text, int pixelSize = 13, QFont::Weight weight = QFont::Normal,
                      bool secondary = false);
QFrame* settingsDivider();
// A titled block with a one-line explanation above its rows; `content` receives the rows' column.
QWidget* settingsSection(const QString& title, const QString& subtitle, QVBoxLayout*& content);
// Title and description on the left, a control (may be null) on the right.
QWidget* titledRow(const QString& title, const QString& description, QWidget* trailing);
// A fixed-width name beside a selectable value.
QWidget* infoRow(const QString& name, const QString& value);
// A coloured badge ("必須", "任意") beside a title and its explanation.
QWidget* permissionRow(const QString& badge, const QColor& colour, const QString& title, const QString& text);

QWidget* checkRow(SettingsPage& page, const QString& name, const QString& title, const QString& description,
                  const std::function<bool()>& get, const std::function<void(bool)>& set);
// A colour well; a click asks `choose` (nothing = cancelled).
QWidget* colorRow(SettingsPage& page, const QString& name, const QString& title, const QString& description,
                  const std::function<std::optional<QColor>(const QColor&)>& choose,
                  const std::function<RgbaColor()>& get, const std::function<void(const RgbaColor&)>& set);
// A whole number from minimum to maximum, written when editing ends (Return, focus
// leaving, the arrows), not at every digit typed.
QWidget* spinRow(SettingsPage& page, const QString& name, const QString& title, const QString& description, int minimum,
                 int maximum, const QString& suffix, const std::function<int()>& get,
                 const std::function<void(int)>& set);
QWidget* sliderRow(SettingsPage& page, const QString& name, const QString& title, const QString& description,
                   int minimum, int maximum, int width, const std::function<double()>& get,
                   const std::function<void(double)>& set);

} // namespace lumivane
