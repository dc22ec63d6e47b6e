#pragma once
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "PrivateBus.h"
#include <memory>

class QThread;

namespace lumivane::test {

// One entry of the portal's a(sa{sv}) shortcut lists: an id and its
// properties ("description", "preferred_trigger" when binding;
// "description", "trigger_description" in answers).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
QDBusArgument& operator<<(QDBusArgument& arg, const PortalShortcut& s);
const QDBusArgument& operator>>(const QDBusArgument& arg, PortalShortcut& s);
using PortalShortcutList = QList<PortalShortcut>;

namespace detail {
class GlobalShortcutsService;
}

// org.freedesktop.portal.GlobalShortcuts (version 1) as the public portal
// documents it, for tests on desktops whose portal lacks it: the name
// org.freedesktop.portal.Desktop at /org/freedesktop/portal/desktop on a
// private bus of its own (the real portal frontend keeps that name on the
// session bus). CreateSession, BindShortcuts and ListShortcuts answer through
// org.freedesktop.portal.Request::Response on the documented request path;
// sessions are org.freedesktop.portal.Session objects with Close.
//
// The service runs in its own thread, so code under test may call it with
// blocking calls from the main thread. The hooks may be called from any thread.
class FakeGlobalShortcutsPortal {
public:
    FakeGlobalShortcutsPortal();
    ~FakeGlobalShortcutsPortal();
    FakeGlobalShortcutsPortal(const FakeGlobalShortcutsPortal&) = delete;
    FakeGlobalShortcutsPortal& operator=(const FakeGlobalShortcutsPortal&) = delete;

    bool isRunning() const { return service_ != nullptr; }
    QString errorText() const { return error_; }
    // The private bus: QDBusConnection::connectToBus(busAddress(), name).
    QString busAddress() const { return bus_.address(); }

    struct Binding {
        QString session; // session handle (object path)
        QString id;
        QString description;
        QString preferredTrigger;
    };
    // Every shortcut bound so far, in order, across sessions.
    QList<Binding> bindings() const;
    // Open sessions' handles.
    QStringList sessions() const;
    // The parent_window argument of the last BindShortcuts.
    QString lastParentWindow() const;

    // The next BindShortcuts answers with this response code (1: the user
    // cancelled, 2: ended otherwise) and binds nothing. Once.
    void refuseNextBinding(uint response = 1);
    // BindShortcuts accepts the binding but leaves this shortcut out of its
    // answer (the user did not assign it), until cleared with an empty id.
    void refuseShortcut(const QString& id);
    // Emits Activated (and, with release, Deactivated) for a bound shortcut to
    // the session that bound it. False when no open session bound that id.
    bool activate(const QString& shortcutId, bool release = true);
    // Closes a session as the desktop would (Session::Closed).
    bool closeSession(const QString& sessionHandle);

private:
    PrivateBus bus_;
    QString error_;
    std::unique_ptr<QThread> thread_;
    detail::GlobalShortcutsService* service_ = nullptr;
};

} // namespace lumivane::test

Q_DECLARE_METATYPE(lumivane::test::PortalShortcut)
