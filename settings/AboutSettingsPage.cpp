#include "BuildConfig.h"
#include "platform/DesktopBackend.h"
#include "settings/SettingsHost.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsRows.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivane {

AboutSettingsPage::AboutSettingsPage(SettingsHost& host, const std::function<void(const QUrl&)>& openURL)
    : host_(host), openURL_(openURL) {
    QVBoxLayout* content;
    column()->addWidget(settingsSection(QStringLiteral("このアプリについて"),
                                        QStringLiteral("現在の Lumivane の機能とアプリ情報です。"), content));
    content->addWidget(infoRow(QStringLiteral("アプリ名"), QStringLiteral("Lumivane")));
    content->addWidget(
        infoRow(QStringLiteral("バージョン"), appVersion() + QStringLiteral(" (") + appBuild() + QStringLiteral(")")));
    content->addWidget(infoRow(QStringLiteral("対応OS"), QStringLiteral("Linux(X11 / Wayland デスクトップ)")));
    content->addWidget(infoRow(QStringLiteral("カテゴリ"), QStringLiteral("仕事効率化")));
    content->addWidget(
        infoRow(QStringLiteral("主な機能"),
                QStringLiteral("全画面撮影、範囲撮影、注釈編集、Chrome / Brave のページ全体キャプチャ")));
    content->addWidget(infoRow(QStringLiteral("保存形式"), QStringLiteral("PNG / JPEG")));

    column()->addWidget(settingsSection(QStringLiteral("権限とプライバシー"),
                                        QStringLiteral("撮影機能に必要な権限と、現在のデータの扱いです。"), content));
    // Only what this session asks of the user.
    if (sessionWindowSystem() == WindowSystem::wayland)
        content->addWidget(permissionRow(
            QStringLiteral("必須"), QColor(52, 199, 89), QStringLiteral("スクリーンショットの許可"),
            QStringLiteral("Wayland デスクトップでは、撮影はデスクトップのスクリーンショット機能"
                           "(xdg-desktop-portal)を通して行います。確認が表示されたら許可してください。")));
    else
        content->addWidget(
            permissionRow(QStringLiteral("不要"), QColor(52, 199, 89), QStringLiteral("画面の撮影"),
                          QStringLiteral("X11 デスクトップでは、全画面撮影・範囲撮影に許可は必要ありません。")));
    content->addWidget(settingsDivider());
    content->addWidget(permissionRow(
        QStringLiteral("任意"), QColor(128, 128, 128), QStringLiteral("リモートデバッグ"),
        QStringLiteral("Chrome / Brave のページ全体キャプチャを使う場合のみ、ブラウザでリモートデバッグ接続を"
                       "有効にしてください。通常の全画面・範囲撮影には不要です。")));
    content->addWidget(settingsDivider());
    content->addWidget(infoRow(
        QStringLiteral("データ収集"),
        QStringLiteral(
            "現在の実装では、撮影画像や個人データを外部送信しません。処理は主にこのコンピュータ上で完結します。")));

    column()->addWidget(settingsSection(QStringLiteral("サポート"),
                                        QStringLiteral("使い方やお問い合わせ先はこちらから確認できます。"), content));
    auto linkRow = [&](const QString& t, const QUrl& url) {
        auto* b = new QPushButton(url.toString());
        b->setFlat(true);
        b->setStyleSheet(QStringLiteral("color: #007aff; text-align: left;"));
        connect(b, &QPushButton::clicked, this, [this, url] {
            if (openURL_)
                openURL_(url);
        });
        content->addWidget(titledRow(t, {}, b));
    };
    linkRow(QStringLiteral("お問い合わせページ"), contactPageURL());
    content->addWidget(infoRow(QStringLiteral("お問い合わせ"), supportAddress()));
    linkRow(QStringLiteral("プライバシーポリシー"), privacyPolicyURL());
    auto* buttons = new QHBoxLayout;
    auto* support = new QPushButton(QStringLiteral("Lumivane サポートを開く"));
    auto* site = new QPushButton(supportSiteURL().host() + QStringLiteral(" で確認する"));
    buttons->addWidget(support);
    buttons->addWidget(site);
    buttons->addStretch();
    content->addLayout(buttons);
    connect(support, &QPushButton::clicked, this, [this] {
        if (openURL_)
            openURL_(supportSiteURL());
    });
    connect(site, &QPushButton::clicked, this, [this] {
        if (openURL_)
            openURL_(QUrl(QStringLiteral("https://") + supportSiteURL().host()));
    });

    column()->addWidget(settingsSection(QStringLiteral("アップデート"), {}, content));
    updateTitle_ = settingsLabel({}, 13, QFont::DemiBold);
    updateTitle_->setObjectName(QStringLiteral("updateStatusTitle"));
    updateDetail_ = settingsLabel({}, 12, QFont::Normal, true);
    updateDetail_->setObjectName(QStringLiteral("updateStatusDetail"));
    content->addWidget(updateTitle_);
    content->addWidget(updateDetail_);
    auto* updateButtons = new QHBoxLayout;
    checkUpdates_ = new QPushButton(QStringLiteral("アップデートを確認…"));
    checkUpdates_->setObjectName(QStringLiteral("checkForUpdates"));
    updateButtons->addWidget(checkUpdates_);
    updateButtons->addStretch();
    content->addLayout(updateButtons);
    updateTestTools_ = new QWidget;
    auto* tv = new QVBoxLayout(updateTestTools_);
    tv->setContentsMargins(0, 0, 0, 0);
    auto* testAlert = new QPushButton(QStringLiteral("更新案内をテスト表示"));
    testAlert->setObjectName(QStringLiteral("showTestUpdateAlert"));
    tv->addWidget(testAlert, 0, Qt::AlignLeft);
    tv->addWidget(
        settingsLabel(QStringLiteral("「更新案内をテスト表示」を押すと、新しい版があるときの案内を確認できます。"), 11,
                      QFont::Normal, true));
    content->addWidget(updateTestTools_);
    connect(checkUpdates_, &QPushButton::clicked, this, [this] { host_.checkForUpdates(); });
    connect(testAlert, &QPushButton::clicked, this, [this] { host_.showTestUpdateAlert(); });
    column()->addStretch();
}

QString AboutSettingsPage::appVersion() {
    const QString v = QString::fromUtf8(LUMIVANE_VERSION_STRING);
    return v.isEmpty() ? QStringLiteral("-") : v;
}

QString AboutSettingsPage::appBuild() {
    // The source revision the build was configured from (git describe).
    const QString build = QString::fromUtf8(LUMIVANE_BUILD_DESCRIPTION_STRING);
    return build.isEmpty() ? QStringLiteral("-") : build;
}

void AboutSettingsPage::refresh() {
    SettingsPage::refresh();
    refreshUpdates();
}

void AboutSettingsPage::refreshUpdates() {
    updateTitle_->setText(host_.updateStatusTitle());
    updateDetail_->setText(host_.updateStatusDetail());
    checkUpdates_->setEnabled(host_.canCheckForUpdates());
    updateTestTools_->setVisible(host_.updateTestToolsEnabled());
}

} // namespace lumivane
