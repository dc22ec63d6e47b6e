#pragma once
#include <QString>
#include <optional>

class QWidget;

namespace lumivane {

class AppSettings;

// The file dialogs of the editor's project menu, opened in the save folder. The save
// dialog proposes "<prefix>-<time>.lumivane" and answers the path with the project
// extension; nothing when cancelled.
std::optional<QString> chooseProjectSaveFile(QWidget* parent, AppSettings& settings);
std::optional<QString> chooseProjectOpenFile(QWidget* parent, AppSettings& settings);

} // namespace lumivane
