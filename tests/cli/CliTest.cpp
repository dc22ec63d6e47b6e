#include "cli/Cli.h"
#include "cli/RunCli.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using lumivane::test::runCli;

TEST(CliFrontEnd, HelpSucceedsAndUnknownArgumentsAreUsageErrors) {
    EXPECT_EQ(runCli({"--help"}), lumivane::cli::exitOk);
    EXPECT_EQ(runCli({"--no-such-flag"}), lumivane::cli::exitUsage);
    EXPECT_EQ(runCli({"frobnicate", "x"}), lumivane::cli::exitUsage);
    EXPECT_EQ(runCli({}), lumivane::cli::exitUsage);
}

// Wrong delays and pins are refused before any running application is asked.
TEST(CliFrontEnd, DelayAndPinArgumentsAreChecked) {
    using lumivane::cli::isInteractiveCapture;
    EXPECT_TRUE(isInteractiveCapture({"full", "--delay", "5"}));
    EXPECT_TRUE(isInteractiveCapture({"area", "--delay", "3"}));
    EXPECT_TRUE(isInteractiveCapture({"window", "--delay", "3"}));
    EXPECT_TRUE(isInteractiveCapture({"last", "--delay", "3"}));
    EXPECT_FALSE(isInteractiveCapture({"browser", "--delay", "3"}));
    for (const char* delay : {"0", "61", "-1", "x", ""})
        for (const char* mode : {"full", "window"})
            EXPECT_EQ(runCli({"capture", mode, "--delay", delay}), lumivane::cli::exitUsage) << mode << " " << delay;
    EXPECT_EQ(runCli({"pin"}), lumivane::cli::exitUsage);
    EXPECT_EQ(runCli({"pin", "a.png", "b.png"}), lumivane::cli::exitUsage);
    EXPECT_EQ(runCli({"pin", "/nonexistent/lumivane-pin.png"}), lumivane::cli::exitFailure);
}

TEST(CliFrontEnd, LaunchFlagsAreNotCommands) {
    std::string prog = "lumivane", flag = "--lumivane-show-update-debug-tools";
    char* argv[] = {prog.data(), flag.data()};
    EXPECT_FALSE(lumivane::cli::isCommandLineInvocation(2, argv));
    EXPECT_FALSE(lumivane::cli::isCommandLineInvocation(1, argv));
}

} // namespace
