#include "settings/AppSettings.h"
#include "settings/SettingsHost.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsRows.h"

#include <QCheckBox>
#include <QFrame>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace lumivane {

GeneralSettingsPage::GeneralSettingsPage(SettingsHost& host) {
    AppSettings& settings = host.settings();
    QVBoxLayout* content;
    column()->addWidget(settingsSection(QStringLiteral("撮影後の動作"),
                                        QStringLiteral("キャプチャ後にどの画面へ進むかを調整できます。"), content));
    content->addWidget(checkRow(
        *this, QStringLiteral("openEditorAfterCapture"), QStringLiteral("撮影後に編集ウィンドウを自動で開く"),
        QStringLiteral("撮影が終わったらすぐに編集画面へ進みます。"),
        [&settings] { return settings.openEditorAfterCapture(); },
        [&settings](bool v) { settings.setOpenEditorAfterCapture(v); }));
    content->addWidget(settingsDivider());
    content->addWidget(checkRow(
        *this, QStringLiteral("autoDismissPreview"), QStringLiteral("プレビューを自動で閉じる"),
        QStringLiteral("撮影後の小さなプレビューを数秒後に自動で閉じます。"),
        [&settings] { return settings.autoDismissPreview(); },
        [&settings](bool v) { settings.setAutoDismissPreview(v); }));
    if (host.offersTextRecognition()) {
        content->addWidget(settingsDivider());
        content->addWidget(checkRow(
            *this, QStringLiteral("copyRecognizedTextAtOnce"), QStringLiteral("読み取ったテキストをすぐにコピーする"),
            QStringLiteral("テキストを読み取ったら、結果のウィンドウを開かずにクリップボードへコピーします。"),
            [&settings] { return settings.copyRecognizedTextAtOnce(); },
            [&settings](bool v) { settings.setCopyRecognizedTextAtOnce(v); }));
    }

    column()->addWidget(settingsSection(QStringLiteral("撮影の履歴"),
                                        QStringLiteral("撮影した画像を残して、あとから開き直せるようにします。"),
                                        content));
    content->addWidget(checkRow(
        *this, QStringLiteral("historyEnabled"), QStringLiteral("撮影の履歴を残す"),
        QStringLiteral("トレイの「最近の撮影」と「すべての撮影を表示…」から開けます。"),
        [&settings] { return settings.historyEnabled(); }, [&settings](bool v) { settings.setHistoryEnabled(v); }));
    content->addWidget(settingsDivider());
    QWidget* entries = spinRow(
        *this, QStringLiteral("historyMaximumEntries"), QStringLiteral("残す件数"),
        QStringLiteral("超えた分は、次の撮影のときに古いものから削除します。"), 1, 10000, QStringLiteral(" 件"),
        [&settings] { return settings.historyMaximumEntries(); },
        [&settings](int v) { settings.setHistoryMaximumEntries(v); });
    content->addWidget(entries);
    content->addWidget(settingsDivider());
    QWidget* megabytes = spinRow(
        *this, QStringLiteral("historyMaximumMegabytes"), QStringLiteral("使う容量"),
        QStringLiteral("画像の合計がこれを超えた分も、次の撮影のときに古いものから削除します。"), 1, 1 << 20,
        QStringLiteral(" MB"), [&settings] { return settings.historyMaximumMegabytes(); },
        [&settings](int v) { settings.setHistoryMaximumMegabytes(v); });
    content->addWidget(megabytes);
    addRefresher([&settings, entries, megabytes] {
        entries->setEnabled(settings.historyEnabled());
        megabytes->setEnabled(settings.historyEnabled());
    });

    // The switch shows whether the entry exists, also after a change that failed.
    column()->addWidget(
        settingsSection(QStringLiteral("起動"), QStringLiteral("ログインしたときの動作を設定できます。"), content));
    auto* atLogin = new QCheckBox;
    atLogin->setObjectName(QStringLiteral("launchAtLogin"));
    atLogin->setAccessibleName(QStringLiteral("ログイン時に起動"));
    content->addWidget(titledRow(QStringLiteral("ログイン時に起動"),
                                 QStringLiteral("ログインすると Lumivane がシステムトレイで起動します。"), atLogin));
    auto showAtLogin = [&host, atLogin] {
        QSignalBlocker b(atLogin);
        atLogin->setChecked(host.launchesAtLogin());
    };
    connect(atLogin, &QCheckBox::toggled, this, [&host, showAtLogin](bool on) {
        host.setLaunchesAtLogin(on);
        showAtLogin();
    });
    addRefresher(showAtLogin);
    column()->addStretch();
}

} // namespace lumivane
