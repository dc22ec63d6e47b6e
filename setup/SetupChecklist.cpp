#include "setup/SetupChecklist.h"

#include "browser/BrowserSetupTexts.h"
#include "settings/AppSettings.h"

#include <optional>

namespace lumivane {

namespace browserTexts = browser_setup_texts;

QString rawValue(SetupItemKind kind) {
    switch (kind) {
    case SetupItemKind::screenRecording:
        return QStringLiteral("screenRecording");
    case SetupItemKind::accessibility:
        return QStringLiteral("accessibility");
    case SetupItemKind::automation:
        return QStringLiteral("automation");
    case SetupItemKind::browserJavaScript:
        return QStringLiteral("browserJavaScript");
    }
    return {};
}

namespace {

// The screen-capture item where the desktop asks the user before the first capture.
std::optional<SetupChecklistItem> consentItem(ScreenCaptureConsent consent) {
    switch (consent) {
    case ScreenCaptureConsent::notAsked:
        return SetupChecklistItem{
            SetupItemKind::screenRecording, SetupStatus::ready,
            QStringLiteral(
                "まだ許可を尋ねられていません。最初の撮影のときに、デスクトップがスクリーンショットを許可するか尋ねます"
                "(GNOME では「Allow Applications to Take Screenshots?」の画面で、最初は「拒否」が選ばれています)。"
                "「許可」を選ぶと、次からはそのまま撮影できます。")};
    case ScreenCaptureConsent::denied:
        return SetupChecklistItem{
            SetupItemKind::screenRecording, SetupStatus::actionRequired,
            QStringLiteral("スクリーンショットの撮影が「拒否」として記憶されているため、撮影できません。"
                           "「%"
                           "1」を押すと記憶された拒否を取り消し、次の撮影でデスクトップがもう一度尋ねます。そこで「許可"
                           "」を選んでください。")
                .arg(SetupTexts::settingsButton(SetupItemKind::screenRecording))};
    case ScreenCaptureConsent::allowed:
    case ScreenCaptureConsent::notApplicable:
        break;
    }
    return std::nullopt;
}

} // namespace

SetupChecklistState SetupChecklistState::evaluate(const AppSettings& settings, SetupPermissionAnswers permissions) {
    const std::optional<SetupChecklistItem> consent =
        permissions.screenCaptureAllowed ? consentItem(permissions.screenCaptureConsent) : std::nullopt;
    const bool sr = permissions.screenCaptureAllowed && (!consent || consent->status == SetupStatus::ready);
    const bool ax = permissions.accessibilityAllowed || !permissions.accessibilityApplies;
    const bool both = sr && ax;
    const bool usesStandardKeys = settings.shortcut(ShortcutAction::captureFullScreen).isStandardScreenshotKey() ||
                                  settings.shortcut(ShortcutAction::captureArea).isStandardScreenshotKey();
    const QString prerequisites = QString::fromUtf8(browserTexts::automationPrerequisiteMissing);

    SetupChecklistState state;
    state.items.push_back(
        {SetupItemKind::screenRecording, sr ? SetupStatus::ready : SetupStatus::actionRequired,
         sr ? QStringLiteral("撮影の基本機能は利用できます。")
         : permissions.screenCaptureThroughPortal
             ? QStringLiteral("スクリーンショットポータルが見つかりません。xdg-desktop-portal "
                              "と、お使いのデスクトップのポータル実装 (GNOME: xdg-desktop-portal-gnome / KDE: "
                              "xdg-desktop-portal-kde / wlroots 系: xdg-desktop-portal-wlr) "
                              "をインストールしてから、もう一度ログインしてください。")
             : QStringLiteral("デスクトップの設定 > プライバシー で Lumivane のスクリーンショットを許可してください。"),
         permissions.screenCaptureThroughPortal || !sr});
    if (consent)
        state.items.back() = *consent;
    state.items.push_back(
        {SetupItemKind::accessibility, ax ? SetupStatus::ready : SetupStatus::actionRequired,
         !permissions.accessibilityApplies
             ? QStringLiteral("このデスクトップには該当する権限がないため、設定は不要です。ブラウザ全体撮影はブラウザの"
                              "リモートデバッグ接続だけで動作します。")
         : ax ? QStringLiteral("必要な場合に使うアクセシビリティ権限は許可済みです。")
         : usesStandardKeys
             ? QStringLiteral("デスクトップ標準キー(%1)をLumivaneで使う場合や、ブラウザ全体撮影を使う場合に必要です。")
                   .arg(desktopScreenshotKeysText())
             : QStringLiteral(
                   "ブラウザ全体撮影を使う場合に必要です。通常の全画面撮影・範囲撮影だけなら後回しにできます。"),
         permissions.accessibilityApplies});

    const auto browserItem = [&](SetupItemKind kind, bool verified, const char* verifiedText, const char* neededText) {
        if (!both)
            return SetupChecklistItem{kind, SetupStatus::actionRequired, prerequisites};
        return verified ? SetupChecklistItem{kind, SetupStatus::ready, QString::fromUtf8(verifiedText)}
                        : SetupChecklistItem{kind, SetupStatus::verificationNeeded, QString::fromUtf8(neededText)};
    };
    state.items.push_back(browserItem(SetupItemKind::automation, settings.browserAutomationVerified(),
                                      browserTexts::automationVerified, browserTexts::automationVerificationNeeded));
    state.items.push_back(browserItem(SetupItemKind::browserJavaScript, settings.browserJavaScriptVerified(),
                                      browserTexts::browserJavaScriptVerified,
                                      browserTexts::browserJavaScriptVerificationNeeded));
    state.lastCheckedAt = QDateTime::currentDateTime();
    return state;
}

const SetupChecklistItem* SetupChecklistState::item(SetupItemKind kind) const {
    for (const SetupChecklistItem& i : items)
        if (i.kind == kind)
            return &i;
    return nullptr;
}

bool SetupChecklistState::isReady(SetupItemKind kind) const {
    const SetupChecklistItem* i = item(kind);
    return i && i->status == SetupStatus::ready;
}

bool SetupChecklistState::isReadyForBrowserCapture() const {
    for (SetupItemKind kind : allSetupItemKinds)
        if (!isReady(kind))
            return false;
    return true;
}

namespace SetupTexts {

QString windowTitle(SetupPresentationMode mode) {
    return mode == SetupPresentationMode::onboarding ? QStringLiteral("Lumivane セットアップ")
                                                     : QStringLiteral("セットアップを確認");
}

QString headerLine(SetupPresentationMode mode) {
    return mode == SetupPresentationMode::onboarding
               ? QStringLiteral("基本の撮影に必要な設定をここで確認できます。ブラウザ全体撮影を使う場合は追加設定も確認"
                                "してください。")
               : QStringLiteral("Lumivane の撮影機能に必要な設定をここでまとめて確認できます。");
}

QString headerNote() {
    return QStringLiteral("全画面撮影はカーソルがある画面を撮影します。ブラウザ全体撮影には、追加でブラウザのリモートデ"
                          "バッグ接続が必要です。");
}

QString basicCardTitle() {
    return QStringLiteral("基本の撮影");
}
QString basicCardValue(bool ready) {
    return ready ? QStringLiteral("すぐ使えます") : QStringLiteral("スクリーンショットを許可してください");
}
QString browserCardTitle() {
    return QStringLiteral("ブラウザ全体撮影");
}
QString browserCardValue(bool ready) {
    return ready ? QStringLiteral("準備完了です") : QStringLiteral("追加設定を確認してください");
}

QString itemTitle(SetupItemKind kind) {
    switch (kind) {
    case SetupItemKind::screenRecording:
        return QStringLiteral("画面収録");
    case SetupItemKind::accessibility:
        return QStringLiteral("アクセシビリティ");
    case SetupItemKind::automation:
        return QString::fromUtf8(browserTexts::automationTitle);
    case SetupItemKind::browserJavaScript:
        return QString::fromUtf8(browserTexts::browserJavaScriptTitle);
    }
    return {};
}

QString itemPurpose(SetupItemKind kind) {
    switch (kind) {
    case SetupItemKind::screenRecording:
        return QStringLiteral("全画面撮影と範囲撮影に必要です。");
    case SetupItemKind::accessibility:
        return QStringLiteral("ブラウザ表示領域の取得やスクロール制御に必要です。");
    case SetupItemKind::automation:
        return QString::fromUtf8(browserTexts::automationPurpose);
    case SetupItemKind::browserJavaScript:
        return QString::fromUtf8(browserTexts::browserJavaScriptPurpose);
    }
    return {};
}

QString statusBadge(SetupStatus status) {
    switch (status) {
    case SetupStatus::ready:
        return QStringLiteral("準備完了");
    case SetupStatus::actionRequired:
        return QStringLiteral("設定が必要");
    case SetupStatus::verificationNeeded:
        return QStringLiteral("確認待ち");
    }
    return {};
}

QString settingsButton(SetupItemKind kind) {
    switch (kind) {
    case SetupItemKind::screenRecording:
        return QStringLiteral("画面収録を開く");
    case SetupItemKind::accessibility:
        return QStringLiteral("アクセシビリティを開く");
    case SetupItemKind::automation:
        return QStringLiteral("接続方法を見る"); // opens the browser help
    case SetupItemKind::browserJavaScript:
        return QStringLiteral("手順を見る");
    }
    return {};
}

QString browserCheckButton() {
    return QStringLiteral("前面ブラウザで確認");
}
QString procedureTitle() {
    return QString::fromUtf8(browserTexts::checkProcedureTitle);
}
QStringList procedureLines() {
    QStringList lines;
    for (const char* line : browserTexts::checkProcedureLines)
        lines << QString::fromUtf8(line);
    return lines;
}
QString recheckButton() {
    return QStringLiteral("再チェック");
}
QString footerBrowserCheckButton() {
    return QStringLiteral("前面ブラウザで連携を確認");
}
QString supportButton() {
    return QStringLiteral("サポートサイト");
}
QString closeForNowButton() {
    return QStringLiteral("今は閉じる");
}

} // namespace SetupTexts
} // namespace lumivane
