#include "export/PrivateTemporaryFolder.h"

#include "core/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace lumivane::PrivateTemporaryFolder {

namespace {

// A folder of this user that only this user may enter (checked through the opened
// folder itself, so a link swapped in meanwhile is not followed).
bool isOwnClosedFolder(const QByteArray& path, bool narrow) {
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (ok && (st.st_mode & 077) != 0)
        ok = narrow && ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return ok;
}

// Only this user may add or rename entries in the parent of `path`.
bool parentIsOwnAndNotShared(const QByteArray& path) {
    const QByteArray parent = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    struct stat st {};
    return ::stat(parent.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 022) == 0;
}

QString makeFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    if (!parentIsOwnAndNotShared(path))
        return {};
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return isOwnClosedFolder(path, true) ? folder : QString();
}

} // namespace

QString create(const QString& runtimeFolder, const QString& cacheFolder) {
    if (!runtimeFolder.isEmpty() && QDir::isAbsolutePath(runtimeFolder) &&
        isOwnClosedFolder(QFile::encodeName(runtimeFolder), false)) {
        const QString folder = makeFolder(QDir(runtimeFolder).filePath(QStringLiteral("lumivane")));
        if (!folder.isEmpty())
            return folder;
    }
    if (!cacheFolder.isEmpty() && QDir::isAbsolutePath(cacheFolder)) {
        const QString parent = QDir(cacheFolder).filePath(QStringLiteral("lumivane"));
        if (QDir().mkpath(parent))
            return makeFolder(QDir(parent).filePath(QStringLiteral("temporary")));
    }
    return {};
}

QString createForUser() {
    const QString folder = create(qEnvironmentVariable("XDG_RUNTIME_DIR"),
                                  QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation));
    if (!folder.isEmpty())
        return folder;
    QByteArray pattern = QFile::encodeName(QDir(temporaryFolder()).filePath(QStringLiteral("lumivane-XXXXXX")));
    if (::mkdtemp(pattern.data()))
        return QFile::decodeName(pattern);
    return {};
}

bool removeContents(const QString& folder) {
    if (folder.isEmpty())
        return true;
    std::error_code error;
    const std::filesystem::path root(QFile::encodeName(folder).toStdString());
    bool ok = true;
    for (std::filesystem::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        std::error_code removeError;
        std::filesystem::remove_all(it->path(), removeError); // links are removed, not followed
        if (removeError)
            ok = false;
    }
    return ok && !error;
}

} // namespace lumivane::PrivateTemporaryFolder
