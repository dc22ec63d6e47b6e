#pragma once
#include <QByteArray>
#include <QString>

namespace lumivane {

// Writes bytes through a temporary file renamed into place, so a failure never
// leaves a partial file. On failure `error` (if given) receives the reason.
bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace lumivane
