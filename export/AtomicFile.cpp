#include "export/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
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

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// "<folder>/" of a native path, "./" when it names none.
QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray("./") : path.left(slash + 1);
}

} // namespace

QByteArray nativeFileName(const QString& name) {
    QByteArray out;
    out.reserve(name.size() * 3);
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (c >= 0xDC80 && c <= 0xDCFF) {
            out += name.mid(start, i - start).toUtf8();
            out += char(c - 0xDC00);
            start = i + 1;
        }
    }
    out += name.mid(start).toUtf8();
    return out;
}

int writeAllToDescriptor(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += n;
        left -= n;
    }
    return 0;
}

QString fileNameFromNative(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Length of a well-formed UTF-8 sequence at i, 0 when there is none.
        const unsigned char b = p[i];
        int len = b < 0x80 ? 1 : (b >= 0xC2 && b <= 0xDF) ? 2 : (b >= 0xE0 && b <= 0xEF) ? 3 : (b >= 0xF0 && b <= 0xF4) ? 4 : 0;
        if (len > 1) {
            if (i + len > n) len = 0;
            for (int k = 1; k < len; ++k)
                if ((p[i + k] & 0xC0) != 0x80) len = 0;
            // Overlong forms, surrogates and code points beyond U+10FFFF.
            if (len == 3 && ((b == 0xE0 && p[i + 1] < 0xA0) || (b == 0xED && p[i + 1] >= 0xA0))) len = 0;
            if (len == 4 && ((b == 0xF0 && p[i + 1] < 0x90) || (b == 0xF4 && p[i + 1] >= 0x90))) len = 0;
        }
        if (len == 0) {
            out += QChar(char16_t(0xDC00 + b));   // kept as a lone surrogate, restored by nativeFileName
            ++i;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + i, len);
        i += len;
    }
    return out;
}

bool isPartialFileName(const QString& name) {
    return name.startsWith(QLatin1Char('.')) && name.contains(QLatin1String(partialMarker));
}

int removeStalePartialFiles(const QString& folder) {
    const QByteArray dir = nativeFileName(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR* d = ::opendir(dir.constData());
    if (!d) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(d)) {
        const QByteArray name(entry->d_name);
        const qsizetype marker = name.indexOf(partialMarker);
        if (!name.startsWith('.') || marker < 0) continue;
        // ".<name>.lumivane-partial-<pid>-XXXXXX": a writer that still runs keeps its file.
        const QByteArray rest = name.mid(marker + qsizetype(sizeof partialMarker) - 1);
        bool ok = false;
        const long pid = rest.left(rest.indexOf('-')).toLong(&ok);
        if (ok && pid > 0 && (pid == long(::getpid()) || ::kill(pid_t(pid), 0) == 0 || errno == EPERM)) continue;
        if (::unlinkat(::dirfd(d), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(d);
    return removed;
}

bool writeBytesAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    QByteArray target = nativeFileName(path);
    if (target.isEmpty()) return fail(QStringLiteral("empty file name"));
    struct stat st{};
    bool keepMode = false;
    if (::stat(target.constData(), &st) == 0) {
        // Never replace a folder, device, pipe or socket by a regular file.
        if (!S_ISREG(st.st_mode)) return fail(QStringLiteral("not a regular file"));
        keepMode = true;
        // A link is kept: its target is replaced.
        struct stat link{};
        if (::lstat(target.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            if (char* real = ::realpath(target.constData(), nullptr)) {
                target = real;
                std::free(real);
            }
    }
    const QByteArray folder = folderOf(target);
    removeStalePartialFiles(fileNameFromNative(folder));
    QByteArray temp = folder + '.' + target.mid(folder.size()) + partialMarker + QByteArray::number(::getpid()) + "-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return fail(systemError(errno));
    int code = 0;
    code = writeAllToDescriptor(fd, bytes);
    bool ok = code == 0;
    if (ok) {
        mode_t mode = keepMode ? (st.st_mode & 07777) : 0;
        if (!keepMode) {
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

QString fileNameTimestamp(const QDateTime& time) { return time.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss")); }

QString temporaryFolder() {
    const QString folder = QDir::tempPath();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    return QStringLiteral("/tmp");
}

} // namespace lumivane
