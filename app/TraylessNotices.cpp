#include "app/TraylessNotices.h"
#include "app/AppModel.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSystemTrayIcon>

namespace lumivane {

namespace {

constexpr char watcherService[] = "org.kde.StatusNotifierWatcher";

QVariant watcherProperty(const QDBusConnection& bus, const char* name) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(watcherService), QStringLiteral("/StatusNotifierWatcher"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QString::fromLatin1(watcherService) << QString::fromLatin1(name);
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

} // namespace

bool desktopShowsTrayIcons() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const bool watcher = bus.isConnected() && bus.interface() &&
                         bus.interface()->isServiceRegistered(QString::fromLatin1(watcherService)).value();
    if (watcher && watcherProperty(bus, "IsStatusNotifierHostRegistered").toBool())
        return true;
    // On X11 Qt docks the icon into a tray manager (XEmbed); its availability check
    // would also count a StatusNotifier watcher without a host, hence not with one.
    return !watcher && QGuiApplication::platformName() == QLatin1String("xcb") &&
           QSystemTrayIcon::isSystemTrayAvailable();
}

TraylessNotices::TraylessNotices(AppModel& model, DesktopNotifications notifications, std::function<bool()> trayShown,
                                 QObject* parent)
    : QObject(parent), model_(model), notifications_(std::move(notifications)), trayShown_(std::move(trayShown)) {
    connect(&model_, &AppModel::captureFailed, this, [this](const QString& message) {
        if (!trayShown_())
            notifications_.notify(captureFailedSummary(), message);
    });
}

void TraylessNotices::maybePresentRunningNotice() {
    if (model_.settings().hasSeenNoTrayNotice() || trayShown_())
        return;
    model_.settings().setHasSeenNoTrayNotice(true);
    notifications_.notify(runningSummary(),
                          runningBody(model_.settings().shortcut(ShortcutAction::captureFullScreen).displayString(),
                                      model_.settings().shortcut(ShortcutAction::captureArea).displayString(),
                                      model_.hotKeys().shortcutsBoundByDesktop()));
}

QString TraylessNotices::captureFailedSummary() {
    return QStringLiteral("スクリーンショットを撮影できませんでした");
}

QString TraylessNotices::runningSummary() {
    return QStringLiteral("Lumivane は起動しています");
}

QString TraylessNotices::runningBody(const QString& fullScreenKeys, const QString& areaKeys, bool keysBoundByDesktop) {
    const QString intro = QStringLiteral("このデスクトップにはトレイがないため、Lumivane のアイコンは表示されません。");
    const QString keys =
        keysBoundByDesktop
            ? QStringLiteral("撮影するには、デスクトップのキーボード設定で「lumivane capture full」(全画面を撮影) と"
                             "「lumivane capture area」(範囲を選択して撮影) をお好みのキーに割り当ててください。")
            : QStringLiteral("%1 で全画面を撮影、%2 で範囲を選択して撮影できます。").arg(fullScreenKeys, areaKeys);
    const QString launcher = QStringLiteral(
        "設定を変えるときは、アプリケーション一覧から Lumivane をもう一度開くと設定画面が表示されます。");
    return intro + QStringLiteral("\n") + keys + QStringLiteral("\n") + launcher;
}

} // namespace lumivane
