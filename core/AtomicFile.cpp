#include "core/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivane {

namespace {

constexpr char partialMarker[] = ".lumivane-partial-";

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// "<folder>/" of a native path, "./" when it names none.
QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray("./") : path.left(slash + 1);
}

} // namespace

int writeAllToDescriptor(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        left -= n;
    }
    return 0;
}

bool isPartialFileName(const QString& name) {
    return name.startsWith(QLatin1Char('.')) && name.contains(QLatin1String(partialMarker));
}

int removeStalePartialFiles(const QString& folder) {
    const QByteArray dir = nativeFileName(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(d)) {
        const QByteArray name(entry->d_name);
        const qsizetype marker = name.indexOf(partialMarker);
        if (!name.startsWith('.') || marker < 0)
            continue;
        // ".<name>.lumivane-partial-<pid>-XXXXXX": a writer that still runs keeps its file.
        const QByteArray rest = name.mid(marker + qsizetype(sizeof partialMarker) - 1);
        bool ok = false;
        const long pid = rest.left(rest.indexOf('-')).toLong(&ok);
        if (ok && pid > 0 && (pid == long(::getpid()) || ::kill(pid_t(pid), 0) == 0 || errno == EPERM))
            continue;
        if (::unlinkat(::dirfd(d), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(d);
    return removed;
}

bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error, FileAccess access) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QByteArray target = nativeFileName(path);
    if (target.isEmpty())
        return fail(QStringLiteral("empty file name"));
    struct stat st {};
    bool keepMode = false;
    if (::stat(target.constData(), &st) == 0) {
        // Never replace a folder, device, pipe or socket by a regular file.
        if (!S_ISREG(st.st_mode))
            return fail(QStringLiteral("not a regular file"));
        keepMode = true;
        // A link is kept: its target is replaced.
        struct stat link {};
        if (::lstat(target.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            if (char* real = ::realpath(target.constData(), nullptr)) {
                target = real;
                std::free(real);
            }
    }
    const QByteArray folder = folderOf(target);
    removeStalePartialFiles(fileNameFromNative(folder));
    QByteArray temp =
        folder + '.' + target.mid(folder.size()) + partialMarker + QByteArray::number(::getpid()) + "-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(systemError(errno));
    int code = 0;
    code = writeAllToDescriptor(fd, bytes);
    bool ok = code == 0;
    if (ok) {
        mode_t mode = keepMode ? (st.st_mode & 07777) : 0;
        if (!keepMode && access == FileAccess::ownerOnly) {
            mode = 0600;
        } else if (!keepMode) {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        ::fchmod(fd, mode);
        if (::fsync(fd) != 0) {
            ok = false;
            code = errno;
        }
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temp.constData(), target.constData()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return fail(systemError(code));
    }
    return true;
}

QString fileNameTimestamp(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
}

namespace {
QMutex chosenFolderLock;
QString chosenFolder;
} // namespace

void setTemporaryFolder(const QString& folder) {
    const QMutexLocker lock(&chosenFolderLock);
    chosenFolder = folder;
}

QString temporaryFolder() {
    {
        const QMutexLocker lock(&chosenFolderLock);
        if (!chosenFolder.isEmpty())
            return chosenFolder;
    }
    const QString folder = QDir::tempPath();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return QStringLiteral("/tmp");
}

} // namespace lumivane
