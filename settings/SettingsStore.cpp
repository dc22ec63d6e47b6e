#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace lumivane {

namespace {
// A settings document is a few hundred bytes; anything far larger is not ours.
constexpr qint64 kMaximumDocumentSize = qint64(16) * 1024 * 1024;
} // namespace

FileSettingsStore::FileSettingsStore(QString path) : path_(std::move(path)) {}

QString FileSettingsStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/lumivane/lumivane.settings.json");
}

std::optional<QByteArray> FileSettingsStore::read() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (file.size() > kMaximumDocumentSize)
        return std::nullopt;
    return file.readAll();
}

bool FileSettingsStore::write(const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        return false;
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace lumivane
