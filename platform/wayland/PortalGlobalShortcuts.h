#pragma once
#include "platform/GlobalKeyGrabber.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>
#include <functional>

namespace lumivane {

// System-wide shortcuts through org.freedesktop.portal.GlobalShortcuts (KDE Plasma,
// recent GNOME, Hyprland). The desktop owns the keys: the application asks for its
// actions with preferred triggers in one BindShortcuts of a session of its own, the
// desktop (maybe the user, in a dialog of its own) decides, and Activated names the
// action pressed.
//
// grab() only records a request and answers statusPending; commitGrabs() binds what was
// recorded (once per session while the requests stay the same, so re-registering the
// same shortcuts asks the desktop nothing) and onGrabSettled answers each request later:
// statusOk for the shortcuts the desktop assigned, statusRefused for the others or
// when the user cancels, statusServiceFailed when the portal fails or the desktop
// closes the session. Activations of shortcuts not requested now are ignored, so
// ungrabAll() + commitGrabs() suspends them without ending the session.
//
// UI thread; signals arrive through that thread's event loop.
class PortalGlobalShortcuts final : public QObject, public GlobalKeyGrabber {
    Q_OBJECT
public:
    // bus: where the portal is (the session bus unless a test says otherwise).
    explicit PortalGlobalShortcuts(QDBusConnection bus);
    ~PortalGlobalShortcuts() override;

    // Whether the session bus exports the GlobalShortcuts portal. Blocking.
    static bool isAvailable();
    static QDBusConnection sessionBus();

    qint32 install() override;
    void uninstall() override;
    bool isInstalled() const override { return installed_; }
    qint32 grab(quint32 evdevCode, quint16 x11Modifiers, int id) override;
    void ungrabAll() override;
    void describe(int id, const QString& name, const QString& description) override;
    void commitGrabs() override;

    // The trigger asked for (the shortcuts convention: "CTRL+SHIFT+1", "LOGO+Print"), from
    // the key's symbol on a US keyboard; empty when the key has no symbol there.
    static QString triggerFor(quint32 evdevCode, quint16 x11Modifiers);

private slots:
    void onRequestResponse(uint response, const QVariantMap& results);
    void onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                     const QVariantMap& options);
    void onSessionClosed(const QVariantMap& details);

private:
    struct Request {
        QString name;
        QString description;
        QString trigger;
        bool operator==(const Request&) const = default;
    };
    enum class Pending { none, session, binding };

    void createSession();
    void bind();
    // Calls a portal method whose answer comes as the Response of the watched request.
    void send(const QDBusMessage& call, Pending expected, int timeoutMs);
    void settle(const QSet<int>& assigned, qint32 othersStatus);
    void settleAllLater(qint32 status);
    // Closes our session at the desktop; forgetSession() drops it on our side only.
    void endSession();
    void forgetSession();
    void watchRequest(const QString& path);
    void unwatchRequest();
    QString nameFor(int id) const;

    QDBusConnection bus_;
    bool installed_ = false;
    QMap<int, Request> requested_;
    QMap<int, QString> names_, descriptions_;
    QString session_;
    QString requestPath_;
    Pending pending_ = Pending::none;
    QMap<int, Request> bound_; // what the session's last binding asked for
    QSet<int> assigned_;       // and what the desktop assigned of it
    bool rebindAfterAnswer_ = false;
};

} // namespace lumivane
