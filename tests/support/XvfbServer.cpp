#include "XvfbServer.h"

#include <QByteArray>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace lumivane::test {

XvfbServer::XvfbServer(QStringList extraArgs) {
    int fds[2];
    if (pipe(fds) != 0) {
        error_ = "pipe failed";
        return;
    }
    const pid_t parent = getpid();
    std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten",
                                     "tcp",  "-noreset",   "+extension",           "RANDR"};
    for (const QString& a : extraArgs)
        args.push_back(a.toStdString());
    pid_t pid = fork();
    if (pid == 0) {
        // The server goes with the test process, even when that one crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        close(fds[0]);
        int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        std::vector<char*> argv;
        for (auto& s : args)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        error_ = "fork failed";
        return;
    }
    pid_ = pid;
    QByteArray number;
    pollfd pfd{fds[0], POLLIN, 0};
    for (int waited = 0; waited < 20000;) {
        int r = poll(&pfd, 1, 200);
        if (r > 0) {
            char buf[32];
            ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            number.append(buf, n);
            if (number.contains('\n'))
                break;
        } else if (r == 0) {
            waited += 200;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid_ = -1;
                error_ = "Xvfb exited during start-up (is the xvfb package installed?)";
                break;
            }
        } else if (errno != EINTR) {
            break;
        }
    }
    close(fds[0]);
    number = number.trimmed();
    if (pid_ > 0 && !number.isEmpty()) {
        display_ = ":" + QString::fromLatin1(number);
    } else if (error_.isEmpty()) {
        error_ = "Xvfb did not report a display number";
    }
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(static_cast<pid_t>(pid_), SIGTERM);
        int status = 0;
        for (int i = 0; i < 50; ++i) {
            if (waitpid(static_cast<pid_t>(pid_), &status, WNOHANG) == pid_)
                return;
            usleep(20000);
        }
        kill(static_cast<pid_t>(pid_), SIGKILL);
        waitpid(static_cast<pid_t>(pid_), &status, 0);
    }
}

} // namespace lumivane::test
