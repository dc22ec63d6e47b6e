#pragma once
#include <QString>
#include <optional>

class QWidget;

namespace lumivane {

// The application's file choosers: the desktop's own (a portal's, KDE's, GTK's) where
// Qt offers one, else Qt's. Each runs modally on the UI thread and returns the chosen
// local path byte for byte (see NativeFileNames.h: names that are not UTF-8 come back
// as their own bytes, also from dialogs that show them undecoded); nothing when the
// user cancels.

// A file to write; `start` is a suggested path or name, `filter` a Qt name filter.
std::optional<QString> chooseFileToSave(QWidget* parent, const QString& start, const QString& filter);
// An existing file to read, starting in `folder`.
std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& folder, const QString& filter);
// An existing folder; `acceptLabel` names the dialog's accept button.
std::optional<QString> chooseFolder(QWidget* parent, const QString& acceptLabel);

} // namespace lumivane
