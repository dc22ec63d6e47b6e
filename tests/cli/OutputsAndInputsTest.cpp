#include "cli/Cli.h"
#include "cli/RunCli.h"
#include "editor_model/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace lumivane;
using cli::exitFailure;
using cli::exitOk;
using cli::exitUsage;

using lumivane::test::runCli;

using lumivane::test::captured;

bool isPng(const std::string& bytes) {
    return bytes.rfind("\x89PNG", 0) == 0;
}

class OutputsAndInputs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QImage img(64, 48, QImage::Format_RGB32);
        img.fill(qRgb(20, 120, 220));
        ASSERT_TRUE(img.save(dir.filePath("in.png")));
    }
    // name as raw bytes inside the test folder.
    std::string path(const char* name) const { return QFile::encodeName(dir.path()).toStdString() + "/" + name; }
    QTemporaryDir dir;
};

TEST_F(OutputsAndInputs, DashWritesToStandardOutputAndDevicesArePipedNotReplaced) {
    int code = -1;
    const std::string out = captured(STDOUT_FILENO, [&] { code = runCli({"export", path("in.png"), "-o", "-"}); });
    EXPECT_EQ(code, exitOk);
    EXPECT_TRUE(isPng(out));
    EXPECT_EQ(QImage::fromData(QByteArray::fromStdString(out)).size(), QSize(64, 48));
    const std::string jpeg = captured(STDOUT_FILENO, [&] {
        code = runCli({"export", path("in.png"), "-o", "-", "--format", "jpeg"});
    });
    EXPECT_EQ(code, exitOk);
    EXPECT_EQ(jpeg.rfind("\xff\xd8", 0), 0u);

    // A pipe with a reader receives the bytes as they are.
    const std::string fifo = path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string piped;
    std::thread reader([&] {
        const int fd = open(fifo.c_str(), O_RDONLY);
        char buf[65536];
        for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
            piped.append(buf, size_t(n));
        close(fd);
    });
    EXPECT_EQ(runCli({"export", path("in.png"), "-o", fifo}), exitOk);
    reader.join();
    EXPECT_TRUE(isPng(piped));

    EXPECT_EQ(runCli({"export", path("in.png"), "-o", "/dev/null"}), exitOk);
    // A full device reports its error (and, as root, is not turned into a file).
    std::string err = captured(STDERR_FILENO, [&] { code = runCli({"export", path("in.png"), "-o", "/dev/full"}); });
    EXPECT_EQ(code, exitFailure);
    EXPECT_NE(err.find("cannot write '/dev/full'"), std::string::npos) << err;
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    ASSERT_TRUE(QDir(dir.path()).mkdir("out.png"));
    err = captured(STDERR_FILENO, [&] { code = runCli({"export", path("in.png"), "-o", path("out.png")}); });
    EXPECT_EQ(code, exitFailure);
    EXPECT_NE(err.find("folder"), std::string::npos) << err;
    EXPECT_TRUE(QFileInfo(dir.filePath("out.png")).isDir());
}

TEST_F(OutputsAndInputs, InputsThatAreNoReadableFileSayWhatTheyAre) {
    auto failure = [&](std::vector<std::string> args) {
        int code = -1;
        const std::string err = captured(STDERR_FILENO, [&] { code = runCli(args); });
        EXPECT_EQ(code, exitFailure) << err;
        return err;
    };
    EXPECT_NE(failure({"export", path("missing.png"), "-o", path("o.png")}).find("does not exist"), std::string::npos);
    EXPECT_NE(failure({"export", path(""), "-o", path("o.png")}).find("is a folder"), std::string::npos);
    EXPECT_NE(failure({"export", "/dev/zero", "-o", path("o.png")}).find("not a regular file"), std::string::npos);
    const std::string fifo = path("in-pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(failure({"render", fifo, "-o", path("o.png")}).find("not a regular file"), std::string::npos);
    EXPECT_NE(failure({"export", path("in.png.lumivane"), "-o", path("o.png")}).find("does not exist"),
              std::string::npos);
    ASSERT_TRUE(QFile::copy(dir.filePath("in.png"), dir.filePath("in.lumivane")));
    EXPECT_NE(failure({"export", path("in.lumivane"), "-o", path("o.png")}).find("project file"), std::string::npos);
    EXPECT_NE(failure({"render", path("in.png"), "-o", path("o.png")}).find("not a project file"), std::string::npos);
    // A malformed project is reported in words, not as the JSON library's exception text.
    QFile bad(dir.filePath("bad.lumivane"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("{\"version\": 1,");
    bad.close();
    const std::string malformed = failure({"render", path("bad.lumivane"), "-o", path("o.png")});
    EXPECT_NE(malformed.find("JSON"), std::string::npos) << malformed;
    EXPECT_EQ(malformed.find("parse_error"), std::string::npos) << malformed;
    if (geteuid() != 0) { // root reads anything
        ASSERT_EQ(chmod(path("in.png").c_str(), 0), 0);
        EXPECT_NE(failure({"export", path("in.png"), "-o", path("o.png")}).find("cannot read"), std::string::npos);
    }
    QFile junk(dir.filePath("junk.png"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not an image");
    junk.close();
    failure({"export", path("junk.png"), "-o", path("o.png")});
    failure({"export", path("junk.png"), "-o", path("no/such/dir/o.png")});
    // None of them left an output or a temporary file.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"bad.lumivane", "in.lumivane", "in.png", "junk.png"}));
}

TEST_F(OutputsAndInputs, FileNamesThatAreNotUtf8PassThroughUnchanged) {
    const std::string odd = path("out-\xe9\xff.png");
    ASSERT_EQ(runCli({"export", path("in.png"), "-o", odd}), exitOk);
    struct stat st {};
    ASSERT_EQ(stat(odd.c_str(), &st), 0) << "written under its own bytes";
    EXPECT_NE(stat(path("out-\xef\xbf\xbd\xef\xbf\xbd.png").c_str(), &st), 0) << "not under replacement characters";
    // ... and read back under the same bytes, as image and as project.
    const std::string project = path("proj-\xe9.lumivane");
    ASSERT_EQ(runCli({"project", "new", odd, "-o", project}), exitOk);
    ASSERT_EQ(runCli({"render", project, "-o", path("r-\xff.png")}), exitOk);
    EXPECT_EQ(stat(path("r-\xff.png").c_str(), &st), 0);
}

TEST_F(OutputsAndInputs, CaptureArgumentsAreCheckedBeforeAnyDisplayIsOpened) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"capture", "full", "extra", "-o", path("c.png")},
             {"capture", "full", "-o", path("c.webp")},
             {"capture", "full", "-o", path("c.png"), "--preset", "ultra"},
             {"capture", "rect", "0", "0", "inf", "10", "-o", path("c.png")},
             {"capture", "rect", "0", "0", "nan", "10", "-o", path("c.png")},
             {"capture", "rect", "1e300", "0", "10", "10", "-o", path("c.png")},
             {"capture", "rect", "0", "0", "1e9", "1e9", "-o", path("c.png")},
             {"capture", "rect", "0", "0", "10", "-o", path("c.png")},
             {"capture", "rect", "0", "0", "0", "10", "-o", path("c.png")},
             {"capture", "sideways", "-o", path("c.png")},
         }) {
        int code = -1;
        const std::string err = captured(STDERR_FILENO, [&] { code = runCli(args); });
        EXPECT_EQ(code, exitUsage) << args[2] << " " << err;
        EXPECT_EQ(err.find("unknown capture mode 'full'"), std::string::npos) << err;
    }
    // Accepted arguments get as far as the display.
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":9876");
    int code = -1;
    const std::string err = captured(STDERR_FILENO, [&] {
        code = runCli({"capture", "full", "-o", path("c.png"), "--preset", "low"});
    });
    EXPECT_EQ(code, exitFailure);
    EXPECT_NE(err.find("cannot open the X11 display ':9876'"), std::string::npos) << err;
    EXPECT_EQ(runCli({"capture", "rect", "-5", "-5", "10", "10", "-o", path("c.png")}), exitFailure);
    if (display.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", display);
}

} // namespace
