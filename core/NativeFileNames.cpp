#include "core/NativeFileNames.h"

#include <QUrl>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace lumivane {

namespace {

constexpr char16_t replacementCharacter = 0xFFFD;

// A name as a dialog shows it, with each run of replacement characters as one (Qt and
// GLib disagree on how many a broken sequence gets).
QString undecodedForm(QString shown) {
    QString out;
    out.reserve(shown.size());
    for (const QChar c : shown) {
        if (c.unicode() == replacementCharacter && !out.isEmpty() && out.back().unicode() == replacementCharacter)
            continue;
        out += c;
    }
    return out;
}

bool exists(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

// The one entry of `folder` that a dialog would show as `shown`, or empty.
QByteArray entryShownAs(const QByteArray& folder, const QString& shown) {
    DIR* dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    if (!dir)
        return {};
    const QString wanted = undecodedForm(shown);
    QByteArray match;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (undecodedForm(QString::fromUtf8(name)) == wanted) {
            match = name;
            ++matches;
        }
    }
    ::closedir(dir);
    return matches == 1 ? match : QByteArray();
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

QString fileNameFromNative(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Length of a well-formed UTF-8 sequence at i, 0 when there is none.
        const unsigned char b = p[i];
        int len = b < 0x80                   ? 1
                  : (b >= 0xC2 && b <= 0xDF) ? 2
                  : (b >= 0xE0 && b <= 0xEF) ? 3
                  : (b >= 0xF0 && b <= 0xF4) ? 4
                                             : 0;
        if (len > 1) {
            if (i + len > n)
                len = 0;
            for (int k = 1; k < len; ++k)
                if ((p[i + k] & 0xC0) != 0x80)
                    len = 0;
            // Overlong forms, surrogates and code points beyond U+10FFFF.
            if (len == 3 && ((b == 0xE0 && p[i + 1] < 0xA0) || (b == 0xED && p[i + 1] >= 0xA0)))
                len = 0;
            if (len == 4 && ((b == 0xF0 && p[i + 1] < 0x90) || (b == 0xF4 && p[i + 1] >= 0x90)))
                len = 0;
        }
        if (len == 0) {
            out += QChar(char16_t(0xDC00 + b)); // kept as a lone surrogate, restored by nativeFileName
            ++i;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + i, len);
        i += len;
    }
    return out;
}

bool hasUndecodedBytes(const QString& name) {
    return std::any_of(name.begin(), name.end(),
                       [](QChar c) { return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF; });
}

QString localPathFromUrl(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
    return fileNameFromNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString fileUrlFromPath(const QString& path) {
    return QString::fromLatin1("file://" + nativeFileName(path).toPercentEncoding("/"));
}

QString recoverUndecodedPath(const QString& path) {
    if (!path.contains(QChar(replacementCharacter)))
        return path;
    const QStringList parts = path.split(QLatin1Char('/'));
    QByteArray out = nativeFileName(parts.constFirst()); // empty for an absolute path
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        QByteArray name = nativeFileName(part);
        if (part.contains(QChar(replacementCharacter)) && !exists(out + '/' + name)) {
            const QByteArray entry = entryShownAs(out, part);
            if (!entry.isEmpty())
                name = entry;
        }
        out += '/' + name;
    }
    return fileNameFromNative(out);
}

} // namespace lumivane
