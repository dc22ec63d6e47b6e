#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace lumivane {

// Writes bytes through a temporary file renamed into place, so a failure never
// leaves a partial file. On failure `error` (if given) receives the reason.
bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// The local time stamp of generated file names: "yyyy-MM-dd-HH-mm-ss".
QString fileNameTimestamp(const QDateTime& time);

// The user's temporary folder: QDir::tempPath(), or "/tmp" when TMPDIR names no
// folder (QDir::tempPath() is then empty, which would mean the working directory).
QString temporaryFolder();

} // namespace lumivane
