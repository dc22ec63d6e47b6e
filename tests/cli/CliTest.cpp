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

TEST(CliFrontEnd, LaunchFlagsAreNotCommands) {
    std::string prog = "lumivane", flag = "--lumivane-show-update-debug-tools";
    char* argv[] = {prog.data(), flag.data()};
    EXPECT_FALSE(lumivane::cli::isCommandLineInvocation(2, argv));
    EXPECT_FALSE(lumivane::cli::isCommandLineInvocation(1, argv));
}

} // namespace
