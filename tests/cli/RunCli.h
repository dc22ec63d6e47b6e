// Runs the command-line front end on raw argument bytes, as main() does.
#pragma once

#include "cli/Cli.h"

#include <string>
#include <vector>

namespace lumivane::test {

inline int runCli(std::vector<std::string> args) {
    args.insert(args.begin(), "lumivane");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    return cli::run(static_cast<int>(argv.size()), argv.data());
}

} // namespace lumivane::test
