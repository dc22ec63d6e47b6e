#include "export/AtomicFile.h"

#include <QSaveFile>

namespace lumivane {

bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return true;
    if (error) *error = file.errorString();
    file.cancelWriting();
    return false;
}

} // namespace lumivane
