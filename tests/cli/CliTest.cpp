#include "cli/Cli.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

int runCli(std::vector<std::string> args) {
    args.insert(args.begin(), "lumivane");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    return lumivane::cli::run(static_cast<int>(argv.size()), argv.data());
}

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
