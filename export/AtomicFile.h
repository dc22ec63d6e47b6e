#pragma once
#include <QByteArray>
#include <QString>

namespace lumivane {

// Writes bytes through a temporary file renamed into place, so a failure never
// leaves a partial file. On failure `error` (if given) receives the reason.
bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// The user's temporary folder: QDir::tempPath(), or "/tmp" when TMPDIR names no
// folder (QDir::tempPath() is then empty, which would mean the working directory).
QString temporaryFolder();

} // namespace lumivane
