#include "KWinSession.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <unistd.h>

#ifndef LUMIVANE_KWIN_SESSION_SCRIPT
#error "LUMIVANE_KWIN_SESSION_SCRIPT must name tests/support/kwin-session.sh"
#endif

namespace lumivane::test {

namespace {
KWinSession* g_shared = nullptr;
const QString script = QStringLiteral(LUMIVANE_KWIN_SESSION_SCRIPT);
} // namespace

KWinSession* sharedKWin() {
    return g_shared;
}
void setSharedKWin(KWinSession* session) {
    g_shared = session;
}

KWinSession::KWinSession(double scale, const QString& size) : ScriptedSession(script) {
    hidden_ = {"DISPLAY"};
    if (!start({"--owner", QString::number(getpid()), "--scale", QString::number(scale), "--size", size},
               "LUMIVANE_KWIN_SESSION", 60000))
        return;
    prefix_ = env_.take("LUMIVANE_KWIN_PREFIX");
    if (prefix_.isEmpty())
        fail("kwin-session.sh printed no prefix");
}

KWinSession::~KWinSession() {
    if (g_shared == this)
        g_shared = nullptr;
}

bool KWinSession::installEntry(const QString& fileName, const QString& executable) {
    const QString applications = prefix_ + "/share/applications";
    QDir().mkpath(applications);
    QFile entry(applications + "/" + fileName);
    if (!entry.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        setErrorText("cannot write " + entry.fileName());
        return false;
    }
    entry.write("[Desktop Entry]\nType=Application\nName=Lumivane tests\nNoDisplay=true\nExec=" +
                executable.toLocal8Bit() + " %f\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n");
    entry.close();
    return refreshServices();
}

bool KWinSession::refreshServices() {
    if (!runScript("services", 60000))
        return false;
    // KWin's service cache looks for a rebuilt database at most every 1.5 s and by
    // whole-second stamps: until then it answers from the old one.
    QThread::msleep(2000);
    return true;
}

} // namespace lumivane::test
