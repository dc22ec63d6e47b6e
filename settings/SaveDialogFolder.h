#pragma once
#include <QString>

namespace lumivane {

class AppSettings;

// Where save and open dialogs start: the default save folder when it is set and
// exists, else the user's Pictures folder, else the home folder (never the folder
// Lumivane was started from).
QString saveDialogFolder(const AppSettings& settings);

} // namespace lumivane
