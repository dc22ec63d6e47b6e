#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "core/NativeFileNames.h" // paths here are as described there

namespace lumivane {

// Writes bytes through a temporary file ".<name>.lumivane-partial-<pid>-XXXXXX" in
// the same folder, synced and renamed into place, so a failure never leaves a partial
// file. An existing target that is not a regular file (folder, device, pipe, socket)
// is refused, never replaced; a symbolic link keeps pointing at the replaced file.
// Partial files left by writers that no longer run are removed first. On failure
// `error` (if given) receives the reason. A new file gets the usual mode (0666 less
// the umask), or 0600 with `FileAccess::ownerOnly`.
enum class FileAccess { usual, ownerOnly };
bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                          FileAccess access = FileAccess::usual);

// True for the name of such a temporary file.
bool isPartialFileName(const QString& name);
// Removes the partial files of writers that no longer run from the folder; returns
// how many were removed.
int removeStalePartialFiles(const QString& folder);

// Writes every byte to the open descriptor, retrying interrupted writes; 0, or the
// errno of the failure.
int writeAllToDescriptor(int fd, const QByteArray& bytes);

// The local time stamp of generated file names: "yyyy-MM-dd-HH-mm-ss".
QString fileNameTimestamp(const QDateTime& time);

// The folder of temporary export files: the one given to setTemporaryFolder(), else
// QDir::tempPath(), or "/tmp" when TMPDIR names no folder (QDir::tempPath() is then
// empty, which would mean the working directory).
QString temporaryFolder();
// Makes temporaryFolder() answer `folder` from now on; empty gives the system's back.
void setTemporaryFolder(const QString& folder);

} // namespace lumivane
