#include "core/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace lumivane;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList partialFiles(const QString& folder) {
    QStringList out;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (isPartialFileName(name))
            out << name;
    return out;
}

// The pid of a process that has exited and been reaped.
pid_t deadPid() {
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

TEST(AtomicFile, PartialFilesOfWritersThatNoLongerRunAreRemovedAtTheNextWrite) {
    QTemporaryDir dir;
    // What a writer killed before its rename leaves behind, and one of a writer still running.
    const QString stale = dir.filePath(QString(".shot.png.lumivane-partial-%1-a1b2c3").arg(deadPid()));
    const QString live = dir.filePath(QString(".other.png.lumivane-partial-%1-d4e5f6").arg(getpid()));
    for (const QString& p : {stale, live}) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("complete but never renamed");
    }
    EXPECT_TRUE(isPartialFileName(QFileInfo(stale).fileName()));
    EXPECT_FALSE(isPartialFileName("shot.png"));
    EXPECT_FALSE(isPartialFileName("lumivane-partial-notes.txt"));

    ASSERT_TRUE(writeBytesAtomically(dir.filePath("new.png"), "bytes"));
    EXPECT_EQ(readAll(dir.filePath("new.png")), "bytes");
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(live));
    EXPECT_EQ(partialFiles(dir.path()), QStringList{QFileInfo(live).fileName()});
}

TEST(AtomicFile, ExistingTargetsThatAreNotRegularFilesAreNeverReplaced) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString error;
    EXPECT_FALSE(writeBytesAtomically(fifo, "x", &error));
    EXPECT_FALSE(error.isEmpty());
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_FALSE(writeBytesAtomically(dir.filePath("folder"), "x"));
    EXPECT_TRUE(QFileInfo(dir.filePath("folder")).isDir());
    EXPECT_FALSE(writeBytesAtomically("/dev/null", "x"));
    EXPECT_TRUE(partialFiles(dir.path()).isEmpty());
}

TEST(AtomicFile, ReplacedFilesKeepTheirModeAndLinksKeepPointingAtThem) {
    QTemporaryDir dir;
    const QString file = dir.filePath("data.json");
    ASSERT_TRUE(writeBytesAtomically(file, "one"));
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(file, dir.filePath("link.json")));
    ASSERT_TRUE(writeBytesAtomically(dir.filePath("link.json"), "two"));
    EXPECT_TRUE(QFileInfo(dir.filePath("link.json")).isSymLink());
    EXPECT_EQ(readAll(file), "two");
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // A missing folder is an error with the system's reason, and leaves nothing behind.
    QString error;
    EXPECT_FALSE(writeBytesAtomically(dir.filePath("missing/x.png"), "x", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(AtomicFile, FileNamesRoundTripWhateverTheirBytes) {
    const QByteArray raw("out-\xe9\xff.png");
    const QString name = fileNameFromNative(raw);
    EXPECT_EQ(nativeFileName(name), raw);
    EXPECT_TRUE(name.startsWith("out-") && name.endsWith(".png"));
    const QByteArray utf8 = QStringLiteral("スクリーンショット-1.png").toUtf8();
    EXPECT_EQ(fileNameFromNative(utf8), QString::fromUtf8(utf8));
    EXPECT_EQ(nativeFileName(QString::fromUtf8(utf8)), utf8);
    // Overlong forms, encoded surrogates and truncated sequences are bytes, not text.
    for (const QByteArray& odd : {QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80"), QByteArray("a\xe3\x81"),
                                  QByteArray("\xf4\x90\x80\x80"), QByteArray("\xf0\x9f\x98\x80")})
        EXPECT_EQ(nativeFileName(fileNameFromNative(odd)), odd) << odd.toHex().constData();
    QRandomGenerator random(7);
    for (int i = 0; i < 2000; ++i) {
        QByteArray bytes(int(random.bounded(1, 12)), '\0');
        for (char& c : bytes)
            c = char(random.bounded(1, 256));
        ASSERT_EQ(nativeFileName(fileNameFromNative(bytes)), bytes) << bytes.toHex().constData();
    }

    QTemporaryDir dir;
    const QString path = fileNameFromNative(QFile::encodeName(dir.path()) + "/" + raw);
    ASSERT_TRUE(writeBytesAtomically(path, "pixels"));
    struct stat st {};
    EXPECT_EQ(stat((QFile::encodeName(dir.path()) + "/" + raw).constData(), &st), 0) << "written under its own bytes";
}

} // namespace
