// The user's private folder for temporary export files: where it is made, its
// modes, that another user can read nothing in it, and its clearing.
#include "export/PrivateTemporaryFolder.h"
#include "core/AtomicFile.h"
#include "export/DragExportCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace lumivane;

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : mode_t(07777);
}

uid_t ownerOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_uid : uid_t(-1);
}

// Whether the user `uid` can read the file at `path` (and list `folder`), tried in a
// child process that has given up root.
struct OtherUserAccess {
    bool readsFile = false;
    bool listsFolder = false;
};
OtherUserAccess accessAs(uid_t uid, const QString& path, const QString& folder) {
    const QByteArray file = QFile::encodeName(path);
    const QByteArray dir = QFile::encodeName(folder);
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {true, true};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        char result[2] = {'x', 'x'};
        if (::setgroups(0, nullptr) == 0 && ::setgid(uid) == 0 && ::setuid(uid) == 0) {
            const int fd = ::open(file.constData(), O_RDONLY);
            result[0] = fd >= 0 ? '1' : '0';
            const int d = ::open(dir.constData(), O_RDONLY | O_DIRECTORY);
            result[1] = d >= 0 ? '1' : '0';
        }
        (void)!::write(pipeFds[1], result, 2);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    char result[2] = {'x', 'x'};
    (void)!::read(pipeFds[0], result, 2);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return {result[0] != '0', result[1] != '0'};
}

class PrivateFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath("run");
        QDir(dir.path()).mkpath("cache");
        ::chmod(QFile::encodeName(dir.filePath("run")).constData(), 0700);
    }
    void TearDown() override { setTemporaryFolder({}); }
    QString run() const { return dir.filePath("run"); }
    QString cache() const { return dir.filePath("cache"); }
    QTemporaryDir dir;
};

TEST_F(PrivateFolder, LivesInTheRuntimeFolderElseTheCacheAndOnlyTheUserEntersIt) {
    struct Case {
        const char* name;
        std::function<void(const QString& run)> arrange;
        const char* expected; // relative to the test folder
    };
    const std::vector<Case> cases = {
        {"own closed runtime folder", [](const QString&) {}, "run/lumivane"},
        {"existing open folder is narrowed",
         [](const QString& run) {
             QDir(run).mkpath("lumivane");
             ::chmod(QFile::encodeName(run + "/lumivane").constData(), 0755);
         },
         "run/lumivane"},
        {"runtime folder others may enter",
         [](const QString& run) { ::chmod(QFile::encodeName(run).constData(), 0755); }, "cache/lumivane/temporary"},
        {"a link in its place", [this](const QString& run) { QFile::link(dir.path(), run + "/lumivane"); },
         "cache/lumivane/temporary"},
        {"a file in its place",
         [](const QString& run) {
             QFile f(run + "/lumivane");
             (void)f.open(QIODevice::WriteOnly);
         },
         "cache/lumivane/temporary"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(run()).removeRecursively();
        QDir(cache()).removeRecursively();
        QDir(dir.path()).mkpath("run");
        ::chmod(QFile::encodeName(run()).constData(), 0700);
        c.arrange(run());
        const QString folder = PrivateTemporaryFolder::create(run(), cache());
        EXPECT_EQ(folder, dir.filePath(c.expected));
        EXPECT_EQ(modeOf(folder), mode_t(0700));
        EXPECT_EQ(ownerOf(folder), ::geteuid());
    }
    EXPECT_EQ(PrivateTemporaryFolder::create({}, cache()), dir.filePath("cache/lumivane/temporary"));
    EXPECT_EQ(PrivateTemporaryFolder::create("relative", "relative"), QString());
}

TEST_F(PrivateFolder, ExportFilesAreTheUsersAloneAndAnotherUserReadsNone) {
    const QString folder = PrivateTemporaryFolder::create(run(), cache());
    ASSERT_FALSE(folder.isEmpty());
    setTemporaryFolder(folder);
    ASSERT_EQ(temporaryFolder(), folder);

    const QString copy = QDir(folder).filePath("Screenshot-copy.png");
    ASSERT_TRUE(writeBytesAtomically(copy, "png bytes", nullptr, FileAccess::ownerOnly));
    EXPECT_EQ(modeOf(copy), mode_t(0600));

    DragExportCache drag("test-drag", "Lumivane-", {});
    const std::optional<QString> dragged = drag.writeTemporaryPNG("drag bytes");
    ASSERT_TRUE(dragged);
    EXPECT_TRUE(dragged->startsWith(folder + "/Lumivane-Drag-")) << dragged->toStdString();
    EXPECT_EQ(modeOf(*dragged), mode_t(0600));
    EXPECT_EQ(modeOf(QFileInfo(*dragged).path()), mode_t(0700));

    if (::geteuid() != 0)
        GTEST_SKIP() << "checking another user's access needs root";
    // Everything above the private folder is open, so only its own modes keep others out.
    for (const QString& open : {dir.path(), QFileInfo(dir.path()).path(), run()})
        ::chmod(QFile::encodeName(open).constData(), 0755);
    const QString control = dir.filePath("readable.txt");
    ASSERT_TRUE(writeBytesAtomically(control, "anyone"));
    ::chmod(QFile::encodeName(control).constData(), 0644);
    constexpr uid_t nobody = 65534;
    EXPECT_TRUE(accessAs(nobody, control, dir.path()).readsFile); // the check itself can read
    for (const QString& file : {copy, *dragged}) {
        SCOPED_TRACE(file.toStdString());
        const OtherUserAccess other = accessAs(nobody, file, QFileInfo(file).path());
        EXPECT_FALSE(other.readsFile);
        EXPECT_FALSE(other.listsFolder);
    }
    EXPECT_FALSE(accessAs(nobody, copy, folder).listsFolder);
}

TEST_F(PrivateFolder, ClearingRemovesEverythingInsideButFollowsNoLink) {
    const QString folder = PrivateTemporaryFolder::create(run(), cache());
    ASSERT_FALSE(folder.isEmpty());
    const QString outside = dir.filePath("outside");
    QDir(dir.path()).mkpath("outside");
    ASSERT_TRUE(writeBytesAtomically(outside + "/keep.png", "keep"));
    ASSERT_TRUE(writeBytesAtomically(folder + "/a.png", "a"));
    QDir(folder).mkpath("Lumivane-Drag-1/sub");
    ASSERT_TRUE(writeBytesAtomically(folder + "/Lumivane-Drag-1/sub/b.png", "b"));
    ASSERT_TRUE(QFile::link(outside, folder + "/link"));

    EXPECT_TRUE(PrivateTemporaryFolder::removeContents(folder));
    EXPECT_TRUE(QDir(folder).exists());
    EXPECT_TRUE(
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(QFile::exists(outside + "/keep.png"));
}

} // namespace
