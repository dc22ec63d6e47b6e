#include "cli/Cli.h"
#include "cli/RunCli.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using lumivane::test::runCli;

TEST(CliFrontEnd, HelpSucceeds) {
    EXPECT_EQ(runCli({"--help"}), lumivane::cli::exitOk);
}

// Malformed command lines of every command are usage errors, and write nothing.
TEST(CliFrontEnd, MalformedArgumentsAreUsageErrorsAndWriteNothing) {
    QTemporaryDir dir;
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::gray);
    ASSERT_TRUE(image.save(dir.filePath("in.png")));
    const auto at = [&](const char* name) { return QFile::encodeName(dir.filePath(name)).toStdString(); };
    const std::string in = at("in.png"), project = at("p.lumivane");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--no-such-flag"},
        {"frobnicate", "x"},
        {"export"},
        {"export", in},
        {"export", in, "-o"},
        {"export", in, "-o", at("x.png"), "--format", "gif"},
        {"export", in, "-o", at("x.png"), "--preset", "ultra"},
        {"export", in, "-o", at("x.png"), "--profile", "web"},
        {"export", in, "-o", at("x.png"), "--bogus"},
        {"export", in, in, "-o", at("x.png")},
        // The extension chooses the format: none, an unknown one, or one the options contradict.
        {"export", in, "-o", at("out.webp")},
        {"export", in, "-o", at("out")},
        {"export", in, "-o", at("noext"), "--profile", "browserFullPage"},
        {"export", in, "-o", at("x.jpg"), "--format", "png"},
        {"export", in, "-o", at("x.png"), "--format", "jpeg"},
        {"export", in, "-o", at("x.jpg"), "--drag"},
        {"export", in, "-o", at("x.jpg"), "--drag", "--format", "jpeg"},
        {"render"},
        {"render", project},
        {"render", project, "-o", at("out.gif")},
        {"render", project, "-o", at("o.png"), "--preset", "ultra"},
        {"project"},
        {"project", "open", in},
        {"project", "new", in},
        {"project", "new", "-o", at("x.lumivane")},
        {"edit"},
        {"edit", at("a.png"), at("b.png")},
        {"edit", "--now"},
        {"pin"},
        {"pin", at("a.png"), at("b.png")},
    };
    for (const auto& args : cases) {
        std::string line;
        for (const std::string& a : args)
            line += a + " ";
        EXPECT_EQ(runCli(args), lumivane::cli::exitUsage) << line;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"in.png"});
}

// Wrong delays are refused before any running application is asked.
TEST(CliFrontEnd, DelayAndPinArgumentsAreChecked) {
    using lumivane::cli::isInteractiveCapture;
    for (const char* mode : {"full", "area", "window", "last"})
        EXPECT_TRUE(isInteractiveCapture({mode, "--delay", "3"})) << mode;
    EXPECT_FALSE(isInteractiveCapture({"browser", "--delay", "3"}));
    for (const char* delay : {"0", "61", "-1", "x", ""})
        for (const char* mode : {"full", "window"})
            EXPECT_EQ(runCli({"capture", mode, "--delay", delay}), lumivane::cli::exitUsage) << mode << " " << delay;
    EXPECT_EQ(runCli({"pin", "/nonexistent/lumivane-pin.png"}), lumivane::cli::exitFailure);
}

TEST(CliFrontEnd, LaunchFlagsAreNotCommands) {
    std::string prog = "lumivane", flag = "--lumivane-show-update-debug-tools";
    char* argv[] = {prog.data(), flag.data()};
    EXPECT_FALSE(lumivane::cli::isCommandLineInvocation(2, argv));
    EXPECT_FALSE(lumivane::cli::isCommandLineInvocation(1, argv));
}

} // namespace
