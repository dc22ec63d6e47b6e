#include "PrivateBus.h"

#include <csignal>
#include <sys/prctl.h>

namespace lumivane::test {

PrivateBus::PrivateBus() : daemon_(std::make_unique<QProcess>()) {
    daemon_->setProcessChannelMode(QProcess::SeparateChannels);
    daemon_->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    daemon_->start("dbus-daemon",
                   {"--session", "--nofork", "--nopidfile", "--print-address=1", "--address=unix:tmpdir=/tmp"});
    if (!daemon_->waitForStarted(5000)) {
        error_ = "cannot start dbus-daemon: " + daemon_->errorString();
        return;
    }
    QByteArray line;
    while (!line.contains('\n') && daemon_->waitForReadyRead(5000))
        line += daemon_->readAllStandardOutput();
    address_ = QString::fromLocal8Bit(line).trimmed();
    if (address_.isEmpty())
        error_ = "dbus-daemon printed no address: " + QString::fromLocal8Bit(daemon_->readAllStandardError());
}

PrivateBus::~PrivateBus() {
    if (daemon_->state() == QProcess::NotRunning)
        return;
    daemon_->terminate();
    if (!daemon_->waitForFinished(3000))
        daemon_->kill();
    daemon_->waitForFinished(3000);
}

} // namespace lumivane::test
