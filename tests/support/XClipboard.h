#pragma once
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTest>

namespace lumivane::test {

// Reads the X CLIPBOARD through another client (xclip) while this process keeps
// serving it: the wait delivers events instead of blocking.
inline QByteArray readXClipboard(const QString& target) {
    QProcess xclip;
    xclip.start("xclip", {"-selection", "clipboard", "-t", target, "-o"});
    if (!xclip.waitForStarted(5000))
        return {};
    (void)QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000);
    return xclip.readAllStandardOutput();
}

} // namespace lumivane::test
