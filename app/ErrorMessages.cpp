#include "app/ErrorMessages.h"

#include "browser/BrowserCaptureError.h"
#include "browser/BrowserSetupTexts.h"
#include "capture/CaptureError.h"
#include "shortcuts/HotKeyService.h"

#include <QFileInfo>

namespace lumivane {

namespace {

QString captureMessage(const CaptureError& e) {
    using K = CaptureError::Kind;
    switch (e.kind()) {
    case K::captureFailed:
    case K::imageConversionFailed:
    case K::noLastArea:
    case K::lastAreaScreenMissing:
    case K::noActiveWindow:
    case K::windowCaptureUnsupported:
        return e.description();
    case K::screenRecordingPermissionDenied:
        return e.description() +
               QStringLiteral("\n\nセットアップを確認から、画面収録の項目を開くと案内付きで確認できます。");
    case K::screenRecordingPermissionNeedsRelaunch:
        return e.description() + QStringLiteral("\n\n許可後に Lumivane を再起動してください。");
    }
    return e.description();
}

QString browserMessage(const BrowserCaptureError& e) {
    namespace texts = browser_setup_texts;
    using K = BrowserCaptureError::Kind;
    const QString name = e.browserNameOrGeneric();
    switch (e.kind()) {
    case K::unsupportedBrowser:
    case K::captureInProgress:
        return e.description();
    case K::browserNotFrontmost:
        return QStringLiteral("Chrome、Chromium または Brave を前面に出した通常の Web "
                              "ページで実行してください。設定画面や新しいタブでは失敗します。");
    case K::notAWebPage:
        return e.description() + QStringLiteral("\n\n") + QString::fromUtf8(texts::notAWebPageAdvice);
    case K::pageInfoUnavailable:
        return e.description() + QStringLiteral("\n\n") + name + QString::fromUtf8(texts::connectionCheckAdvice);
    case K::browserWindowUnavailable:
        return e.description() + QStringLiteral("\n\nブラウザを通常サイズで前面に出し、固定メニューや開発者メニューを閉"
                                                "じた状態でもう一度試してください。");
    case K::accessibilityPermissionMissing:
        return e.description() +
               QStringLiteral("\n\nセットアップを確認から、アクセシビリティの項目を開いて許可してください。");
    case K::captureFailed:
        return e.description() +
               QStringLiteral("\n\n長いページでは負荷が高くなるので、必要ならページを分けて撮影してください。");
    case K::debuggingUnavailable:
        return e.description() + QStringLiteral("\n\n") + QString::fromUtf8(texts::debuggingSetupAdvice) +
               QStringLiteral("\n\n") + QString::fromUtf8(texts::debuggingSecurityNote);
    case K::otherBrowserAnswered:
        return e.description() + QStringLiteral("\n\n前面の ") + name + QString::fromUtf8(texts::otherBrowserAdvice);
    case K::automationFailed:
        return QStringLiteral("ブラウザ自動操作に失敗しました。\n") + e.message() + QStringLiteral("\n\n") + name +
               QString::fromUtf8(texts::connectionCheckAdvice);
    }
    return e.description();
}

} // namespace

FileOperationError::FileOperationError(Kind kind, QString path, QString reason)
    : std::runtime_error(QStringLiteral("%1: %2").arg(path, reason).toStdString()), kind_(kind), path_(std::move(path)),
      reason_(std::move(reason)) {}

QString FileOperationError::description() const {
    const QString name = QFileInfo(path_).fileName().isEmpty() ? path_ : QFileInfo(path_).fileName();
    QString text;
    switch (kind_) {
    case Kind::folderNotCreated:
        text = QStringLiteral("フォルダ“%1”を作成できませんでした。保存先フォルダと書き込み権限を確認してください。")
                   .arg(path_);
        break;
    case Kind::fileNotWritten:
        text = QStringLiteral("ファイル“%1”を保存できませんでした。保存先の書き込み権限と空き容量を確認してください。")
                   .arg(name);
        break;
    case Kind::projectNotReadable:
        text =
            QStringLiteral("ファイル“%1”を開けませんでした。ファイルがあるか、読み取り権限があるか確認してください。")
                .arg(name);
        break;
    case Kind::projectInvalid:
        text = QStringLiteral("ファイル“%1”は Lumivane のプロジェクトとして読み込めない形式のため、開けませんでした。")
                   .arg(name);
        break;
    }
    if (!reason_.trimmed().isEmpty())
        text += QStringLiteral("\n\n詳細: ") + reason_.trimmed();
    return text;
}

QString userFacingErrorMessage(const std::exception& error) {
    if (auto* c = dynamic_cast<const CaptureError*>(&error))
        return captureMessage(*c);
    if (auto* b = dynamic_cast<const BrowserCaptureError*>(&error))
        return browserMessage(*b);
    if (auto* f = dynamic_cast<const FileOperationError*>(&error))
        return f->description();
    return QString::fromUtf8(error.what());
}

QString browserCaptureOmissionMessage(const std::vector<BrowserCaptureOmission>& omissions) {
    QStringList lines;
    for (const BrowserCaptureOmission& o : omissions)
        lines << japaneseDescription(o);
    return QStringLiteral("ページ全体は撮影できませんでした。撮影した画像は次の部分を含みません。\n") +
           lines.join(QLatin1Char('\n'));
}

QString actionDisplayName(ShortcutAction action) {
    return HotKeyService::actionDescription(HotKeyService::actionFor(action));
}

QString shortcutRegistrationFailureMessage(const std::vector<ShortcutAction>& failedActions) {
    QStringList names;
    for (ShortcutAction a : failedActions)
        names << actionDisplayName(a);
    return QStringLiteral("一部のショートカットを登録できませんでした。\n同じショートカット、デスクトップ標準のショート"
                          "カット、または他アプリと競合している可能性があります。\n\n対象: ") +
           names.join(QStringLiteral(" / "));
}

namespace AlertTexts {

AlertText errorDetails(const QString& message) {
    return {AlertStyle::warning,
            QStringLiteral("Lumivane エラー詳細"),
            message,
            {QStringLiteral("OK"), QStringLiteral("コピー")}};
}

AlertText shortcutConflictNotice() {
    return {AlertStyle::warning,
            QStringLiteral("ショートカットの確認が必要です"),
            QStringLiteral("現在の %1 はデスクトップ標準のスクリーンショットと競合しているため、Lumivane "
                           "で使えていません。\n\nこのキーで使う場合はデスクトップ側のスクリーンショットショートカット"
                           "を OFF にしてください。すぐ使うなら、おすすめキーの %2 に変更できます。")
                .arg(desktopScreenshotKeysText(), recommendedShortcutsText()),
            {QStringLiteral("設定を開く"), QStringLiteral("おすすめキーに変更"), QStringLiteral("あとで")}};
}

AlertText browserJavaScriptHelp() {
    return {AlertStyle::informational,
            QString::fromUtf8(browser_setup_texts::javaScriptHelpTitle),
            QString::fromUtf8(browser_setup_texts::javaScriptHelpText),
            {QStringLiteral("OK"), QStringLiteral("Lumivane サイトを開く")}};
}

AlertText screenshotShortcutSettingsFallback() {
    return {AlertStyle::informational,
            QStringLiteral("スクリーンショット設定を手動で開いてください"),
            QStringLiteral("デスクトップの設定 > キーボード > キーボードショートカット > スクリーンショット "
                           "を開き、デスクトップ標準の %1 を OFF にしてください。")
                .arg(desktopScreenshotKeysText()),
            {QStringLiteral("OK")}};
}

} // namespace AlertTexts
} // namespace lumivane
