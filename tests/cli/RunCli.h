// Runs the command-line front end on raw argument bytes, as main() does, and
// catches what it writes.
#pragma once

#include "cli/Cli.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace lumivane::test {

inline int runCli(std::vector<std::string> args) {
    args.insert(args.begin(), "lumivane");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    return cli::run(static_cast<int>(argv.size()), argv.data());
}

// Everything written to the given descriptor while f runs.
template <typename F>
std::string captured(int fd, F f) {
    char name[] = "/tmp/lumivane-captured-XXXXXX";
    const int temp = mkstemp(name);
    unlink(name);
    fflush(nullptr);
    const int saved = dup(fd);
    dup2(temp, fd);
    f();
    fflush(nullptr);
    dup2(saved, fd);
    close(saved);
    std::string out;
    lseek(temp, 0, SEEK_SET);
    char buf[65536];
    for (ssize_t n; (n = read(temp, buf, sizeof buf)) > 0;)
        out.append(buf, size_t(n));
    close(temp);
    return out;
}

} // namespace lumivane::test
