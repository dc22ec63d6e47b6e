#pragma once
#include <QString>

namespace lumivane::PrivateTemporaryFolder {

// The user's own folder for the temporary files of copies, drags and shares. Only
// the user may enter it (0700), so no other local user can read a capture.
//
// "<runtimeFolder>/lumivane" when `runtimeFolder` is a folder of this user that no one
// else may enter, else "<cacheFolder>/lumivane/temporary". The folder is created 0700,
// an existing one of this user is narrowed to 0700; a candidate that is a link, not a
// folder, or another user's is passed over. Empty when neither serves.
QString create(const QString& runtimeFolder, const QString& cacheFolder);

// The same for XDG_RUNTIME_DIR and the user's cache folder; when neither serves, a
// fresh 0700 folder in the system's temporary folder.
QString createForUser();

// Removes everything inside `folder` without following links; the folder stays.
// Returns false when something could not be removed.
bool removeContents(const QString& folder);

} // namespace lumivane::PrivateTemporaryFolder
