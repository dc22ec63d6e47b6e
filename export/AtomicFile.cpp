#include "export/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace lumivane {

bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return true;
    if (error) *error = file.errorString();
    file.cancelWriting();
    return false;
}

QString fileNameTimestamp(const QDateTime& time) { return time.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss")); }

QString temporaryFolder() {
    const QString folder = QDir::tempPath();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    return QStringLiteral("/tmp");
}

} // namespace lumivane
