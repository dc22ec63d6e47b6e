// The tests' own GlobalShortcuts portal, driven from a QtDBus client as the
// product's hot-key code will drive a desktop's portal.
#include "FakeGlobalShortcutsPortal.h"
#include "PortalRequest.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QTest>
#include <QUuid>
#include <gtest/gtest.h>

using lumivane::test::FakeGlobalShortcutsPortal;
using lumivane::test::PortalRequest;
using lumivane::test::PortalShortcut;
using lumivane::test::PortalShortcutList;

namespace {

// Records the portal's shortcut signals.
class ShortcutSignals : public QObject {
    Q_OBJECT
public:
    struct Event {
        QString kind, session, id;
        quint64 timestamp;
    };
    QList<Event> events;
    int closed = 0;

public slots:
    void activated(const QDBusObjectPath& s, const QString& id, qulonglong t, const QVariantMap&) {
        events.append({"Activated", s.path(), id, t});
    }
    void deactivated(const QDBusObjectPath& s, const QString& id, qulonglong t, const QVariantMap&) {
        events.append({"Deactivated", s.path(), id, t});
    }
    void sessionClosed(const QVariantMap&) { ++closed; }
};

class FakeGlobalShortcutsPortalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<PortalShortcutList>();
    }
    void SetUp() override {
        ASSERT_TRUE(portal_.isRunning()) << portal_.errorText().toStdString();
        name_ = "client-" + QUuid::createUuid().toString(QUuid::Id128);
        bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(portal_.busAddress(), name_));
        ASSERT_TRUE(bus_->isConnected());
        iface_ = std::make_unique<QDBusInterface>("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                                  "org.freedesktop.portal.GlobalShortcuts", *bus_);
    }
    void TearDown() override {
        iface_.reset();
        bus_.reset();
        QDBusConnection::disconnectFromBus(name_);
    }

    // Calls a request-style method and waits for its Response.
    std::pair<uint, QVariantMap> request(const QString& method, QVariantList args, int optionsIndex) {
        const QString token = "r" + QUuid::createUuid().toString(QUuid::Id128);
        PortalRequest req(*bus_, token);
        QVariantMap options = args.value(optionsIndex).toMap();
        options.insert("handle_token", token);
        args[optionsIndex] = options;
        const QDBusMessage reply = iface_->callWithArgumentList(QDBus::Block, method, args);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        if (reply.type() != QDBusMessage::ReplyMessage)
            return {99, {}};
        EXPECT_EQ(reply.arguments().value(0).value<QDBusObjectPath>().path(), req.path());
        EXPECT_TRUE(req.wait(5000)) << "no Response to " << method.toStdString();
        return {req.code().value_or(99), req.results()};
    }

    QString createSession() {
        auto [code, results] = request("CreateSession", {QVariantMap{{"session_handle_token", "lumivane"}}}, 0);
        EXPECT_EQ(code, 0u);
        return results.value("session_handle").toString();
    }

    static PortalShortcutList shortcutsOf(const QVariantMap& results) {
        return qdbus_cast<PortalShortcutList>(results.value("shortcuts").value<QDBusArgument>());
    }

    static PortalShortcutList twoShortcuts() {
        return {{"capture-area", {{"description", "範囲を撮影"}, {"preferred_trigger", "CTRL+SHIFT+4"}}},
                {"capture-full", {{"description", "全画面を撮影"}, {"preferred_trigger", "CTRL+SHIFT+3"}}}};
    }

    QVariantList bindArgs(const QString& session, const PortalShortcutList& shortcuts) {
        return {QVariant::fromValue(QDBusObjectPath(session)), QVariant::fromValue(shortcuts), QString("wayland:abc"),
                QVariantMap()};
    }

    FakeGlobalShortcutsPortal portal_;
    QString name_;
    std::unique_ptr<QDBusConnection> bus_;
    std::unique_ptr<QDBusInterface> iface_;
};

TEST_F(FakeGlobalShortcutsPortalTest, SessionBindListAndActivationRoundTrip) {
    EXPECT_EQ(iface_->property("version").toUInt(), 1u);

    const QString session = createSession();
    QString sender = bus_->baseService().mid(1).replace('.', '_');
    EXPECT_EQ(session, "/org/freedesktop/portal/desktop/session/" + sender + "/lumivane");
    EXPECT_EQ(portal_.sessions(), QStringList{session});

    auto [code, results] = request("BindShortcuts", bindArgs(session, twoShortcuts()), 3);
    ASSERT_EQ(code, 0u);
    const PortalShortcutList bound = shortcutsOf(results);
    ASSERT_EQ(bound.size(), 2);
    EXPECT_EQ(bound[0].id, "capture-area");
    EXPECT_EQ(bound[0].properties.value("description").toString(), "範囲を撮影");
    EXPECT_EQ(bound[0].properties.value("trigger_description").toString(), "CTRL+SHIFT+4");
    EXPECT_EQ(portal_.lastParentWindow(), "wayland:abc");
    ASSERT_EQ(portal_.bindings().size(), 2);
    EXPECT_EQ(portal_.bindings()[1].preferredTrigger, "CTRL+SHIFT+3");

    auto [listCode, listed] =
        request("ListShortcuts", {QVariant::fromValue(QDBusObjectPath(session)), QVariantMap()}, 1);
    EXPECT_EQ(listCode, 0u);
    EXPECT_EQ(shortcutsOf(listed).size(), 2);

    ShortcutSignals signals_;
    ASSERT_TRUE(bus_->connect("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                              "org.freedesktop.portal.GlobalShortcuts", "Activated", &signals_,
                              SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap))));
    ASSERT_TRUE(bus_->connect("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                              "org.freedesktop.portal.GlobalShortcuts", "Deactivated", &signals_,
                              SLOT(deactivated(QDBusObjectPath, QString, qulonglong, QVariantMap))));
    EXPECT_TRUE(portal_.activate("capture-full"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return signals_.events.size() == 2; }, 5000));
    EXPECT_EQ(signals_.events[0].kind, "Activated");
    EXPECT_EQ(signals_.events[0].session, session);
    EXPECT_EQ(signals_.events[0].id, "capture-full");
    EXPECT_EQ(signals_.events[1].kind, "Deactivated");
    EXPECT_GT(signals_.events[0].timestamp, 0u);
    EXPECT_FALSE(portal_.activate("never-bound"));

    // The client ends its session; the desktop forgets its shortcuts.
    QDBusInterface sessionObject("org.freedesktop.portal.Desktop", session, "org.freedesktop.portal.Session", *bus_);
    EXPECT_TRUE(sessionObject.call("Close").type() == QDBusMessage::ReplyMessage);
    EXPECT_TRUE(QTest::qWaitFor([&] { return portal_.sessions().isEmpty(); }, 5000));
    EXPECT_FALSE(portal_.activate("capture-full"));
}

TEST_F(FakeGlobalShortcutsPortalTest, RefusalsAndInvalidSessions) {
    const QString session = createSession();

    portal_.refuseNextBinding(1);
    auto [cancelled, none] = request("BindShortcuts", bindArgs(session, twoShortcuts()), 3);
    EXPECT_EQ(cancelled, 1u);
    EXPECT_TRUE(portal_.bindings().isEmpty());

    // One shortcut left unassigned: the answer lists only the other.
    portal_.refuseShortcut("capture-area");
    auto [partial, results] = request("BindShortcuts", bindArgs(session, twoShortcuts()), 3);
    EXPECT_EQ(partial, 0u);
    const PortalShortcutList bound = shortcutsOf(results);
    ASSERT_EQ(bound.size(), 1);
    EXPECT_EQ(bound[0].id, "capture-full");
    portal_.refuseShortcut({});

    // A session handle this client does not own is an error, not a Response.
    const QDBusMessage reply = iface_->callWithArgumentList(
        QDBus::Block, "BindShortcuts", bindArgs("/org/freedesktop/portal/desktop/session/1_999/other", twoShortcuts()));
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);

    // The desktop closes the session.
    ShortcutSignals signals_;
    ASSERT_TRUE(bus_->connect("org.freedesktop.portal.Desktop", session, "org.freedesktop.portal.Session", "Closed",
                              &signals_, SLOT(sessionClosed(QVariantMap))));
    EXPECT_TRUE(portal_.closeSession(session));
    EXPECT_TRUE(QTest::qWaitFor([&] { return signals_.closed == 1; }, 5000));
}

} // namespace

#include "FakeGlobalShortcutsPortalTest.moc"
