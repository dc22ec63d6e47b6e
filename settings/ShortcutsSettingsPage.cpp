#include "settings/DesktopShortcutsBox.h"
#include "settings/SettingsHost.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsRows.h"
#include "settings/ShortcutCommandsBox.h"
#include "settings/ShortcutRow.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace lumivane {

ShortcutsSettingsPage::ShortcutsSettingsPage(SettingsHost& host) {
    auto* banner = new QFrame;
    banner->setObjectName(QStringLiteral("shortcutIntroBanner"));
    banner->setStyleSheet(QStringLiteral("#shortcutIntroBanner { background: rgba(0,122,255,20); border: 1px solid "
                                         "rgba(0,122,255,70); border-radius: 10px; }"));
    auto* bh = new QHBoxLayout(banner);
    bh->setContentsMargins(12, 10, 12, 10);
    auto* icon = settingsLabel(QStringLiteral("ⓘ"), 18, QFont::Bold);
    icon->setWordWrap(false);
    icon->setStyleSheet(QStringLiteral("color: #007aff;"));
    bh->addWidget(icon, 0, Qt::AlignTop);
    auto* bv = new QVBoxLayout;
    bv->setSpacing(4);
    bv->addWidget(settingsLabel(QStringLiteral("ショートカットは Lumivane 内だけで設定します"), 13, QFont::DemiBold));
    bv->addWidget(settingsLabel(QStringLiteral("デスクトップのキーボード設定で Lumivane "
                                               "のアクションを追加する必要はありません。下のキー表示をクリックして、"
                                               "使いたいキーを押すだけで変更できます。"),
                                12));
    bv->addWidget(settingsLabel(QStringLiteral("推奨: %1 で全画面 / %2 で範囲選択")
                                    .arg(defaultShortcut(ShortcutAction::captureFullScreen).displayString(),
                                         defaultShortcut(ShortcutAction::captureArea).displayString()),
                                12, QFont::DemiBold));
    bv->addWidget(
        settingsLabel(QStringLiteral("%1 はデスクトップ標準のスクリーンショットと同じキーです。使う場合は、デスクトップ"
                                     "側の標準ショートカットを OFF にしてください(下の各行から設定画面を開けます)。")
                          .arg(desktopScreenshotKeysText()),
                      12, QFont::Normal, true));
    bh->addLayout(bv, 1);
    column()->addWidget(banner);

    if (host.shortcutsBoundByDesktop())
        column()->addWidget(host.desktopShortcuts()
                                ? static_cast<QWidget*>(new DesktopShortcutsBox(*host.desktopShortcuts()))
                                : new ShortcutCommandsBox(host.offersTextRecognition()));

    QVBoxLayout* content;
    column()->addWidget(
        settingsSection(QStringLiteral("一般"), QStringLiteral("アプリ全体に関わるショートカットです。"), content));
    auto* full = new ShortcutRow(
        host, ShortcutAction::captureFullScreen, shortcutActionTitle(ShortcutAction::captureFullScreen),
        QStringLiteral("カーソルがある画面全体を撮影します。外部モニター利用時は、撮りたい画面にカーソルを移動して"
                       "から実行してください。"),
        kDesktopScreenshotFullScreenKey);
    content->addWidget(full);
    column()->addWidget(settingsSection(QStringLiteral("スクリーンショット"),
                                        QStringLiteral("現在使える撮影系ショートカットです。"), content));
    auto* area = new ShortcutRow(host, ShortcutAction::captureArea, shortcutActionTitle(ShortcutAction::captureArea),
                                 QStringLiteral("ドラッグで範囲を選んで撮影します。"), kDesktopScreenshotAreaKey);
    content->addWidget(area);
    auto* window =
        new ShortcutRow(host, ShortcutAction::captureWindow, shortcutActionTitle(ShortcutAction::captureWindow),
                        QStringLiteral("前面のウィンドウを撮影します (キーは任意です)。"), std::nullopt);
    content->addWidget(window);
    auto* last = new ShortcutRow(
        host, ShortcutAction::captureLastArea, shortcutActionTitle(ShortcutAction::captureLastArea),
        QStringLiteral("前回選んだ範囲を、同じ画面でもう一度撮影します (キーは任意です)。"), std::nullopt);
    content->addWidget(last);
    ShortcutRow* text = nullptr;
    if (host.offersTextRecognition()) {
        text = new ShortcutRow(
            host, ShortcutAction::captureAreaText, shortcutActionTitle(ShortcutAction::captureAreaText),
            QStringLiteral("ドラッグで範囲を選び、その中の文字を読み取ります (キーは任意です)。"), std::nullopt);
        content->addWidget(text);
    }
    addRefresher([full, area, window, last, text] {
        for (ShortcutRow* row : {full, area, window, last, text})
            if (row)
                row->refresh();
    });

    column()->addWidget(settingsSection(
        QStringLiteral("今後追加予定"),
        QStringLiteral("ここに表示している項目は、今後ショートカット対応を予定している機能です。"), content));
    const QString placeholders[] = {QStringLiteral("タイマー撮影")};
    bool first = true;
    for (const QString& t : placeholders) {
        if (!first)
            content->addWidget(settingsDivider());
        first = false;
        auto* row = new QFrame;
        row->setObjectName(QStringLiteral("placeholderShortcutRow"));
        row->setEnabled(false);
        row->setStyleSheet(
            QStringLiteral("#placeholderShortcutRow { background: rgba(0,0,0,12); border-radius: 8px; }"));
        auto* rh = new QHBoxLayout(row);
        rh->setContentsMargins(10, 8, 10, 8);
        auto* texts = new QVBoxLayout;
        auto* titleLine = new QHBoxLayout;
        titleLine->addWidget(settingsLabel(t, 13, QFont::DemiBold));
        auto* badge = settingsLabel(QStringLiteral("未対応"), 10, QFont::Bold);
        badge->setWordWrap(false);
        badge->setStyleSheet(QStringLiteral("border: 1px solid rgba(0,0,0,60); border-radius: 5px; padding: 1px 4px;"));
        titleLine->addWidget(badge);
        titleLine->addStretch();
        texts->addLayout(titleLine);
        texts->addWidget(settingsLabel(QStringLiteral("将来的にここへ追加します。"), 12, QFont::Normal, true));
        rh->addLayout(texts, 1);
        content->addWidget(row);
    }
    column()->addStretch();
}

} // namespace lumivane
