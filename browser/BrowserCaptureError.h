#pragma once
#include <QException>
#include <QString>

namespace lumivane {

// Failures of whole-page browser capture. Derives from QException so it travels through QFuture.
class BrowserCaptureError : public QException {
public:
    enum class Kind {
        automationFailed,
        unsupportedBrowser,
        browserNotFrontmost,
        pageInfoUnavailable,
        browserWindowUnavailable,
        accessibilityPermissionMissing,
        captureFailed,
        // No debugging endpoint of the browser in front answered.
        debuggingUnavailable,
        // An endpoint answered, but it belongs to another browser or instance than the one in front.
        otherBrowserAnswered,
        // The front tab shows no web page (new tab, settings, about:blank); detail is its address.
        notAWebPage,
        // Another whole-page capture is running.
        captureInProgress,
    };

    explicit BrowserCaptureError(Kind kind, QString message = {}, QString browserName = {})
        : kind_(kind), message_(std::move(message)), browserName_(std::move(browserName)),
          what_(description().toUtf8()) {}
    static BrowserCaptureError automationFailed(QString message, QString browserName = {}) {
        return BrowserCaptureError(Kind::automationFailed, std::move(message), std::move(browserName));
    }

    Kind kind() const { return kind_; }
    // automationFailed: the browser's own message; notAWebPage: the tab's address.
    const QString& message() const { return message_; }
    // The browser in front as the user knows it ("Chromium"); empty when unknown.
    const QString& browserName() const { return browserName_; }
    QString browserNameOrGeneric() const { return browserName_.isEmpty() ? QStringLiteral("ブラウザ") : browserName_; }

    QString description() const {
        switch (kind_) {
        case Kind::automationFailed:
            return QStringLiteral("ブラウザ自動操作に失敗しました。") + message_;
        case Kind::unsupportedBrowser:
            return QStringLiteral("前面アプリが Chrome、Chromium または Brave ではありません。");
        case Kind::browserNotFrontmost:
            return QStringLiteral("対象ブラウザを前面に出してから実行してください。");
        case Kind::pageInfoUnavailable:
            return QStringLiteral("ブラウザのページ情報を取得できませんでした。");
        case Kind::browserWindowUnavailable:
            return QStringLiteral("ブラウザの表示領域を特定できませんでした。");
        case Kind::accessibilityPermissionMissing:
            return QStringLiteral("ブラウザ表示領域の取得にアクセシビリティ権限が必要です。");
        case Kind::captureFailed:
            return QStringLiteral("ブラウザ全体キャプチャの生成に失敗しました。");
        case Kind::debuggingUnavailable:
            return browserNameOrGeneric() + QStringLiteral(" のリモートデバッグ接続が見つかりませんでした。");
        case Kind::otherBrowserAnswered:
            return QStringLiteral("リモートデバッグ接続に応答したのは、前面の ") + browserNameOrGeneric() +
                   QStringLiteral(" ではなく別のブラウザでした。");
        case Kind::notAWebPage:
            return QStringLiteral("前面のタブは通常の Web ページではありません") +
                   (message_.isEmpty() ? QString() : QStringLiteral("(") + message_ + QStringLiteral(")")) +
                   QStringLiteral("。");
        case Kind::captureInProgress:
            return QStringLiteral("ブラウザ全体撮影を実行中です。終わってからもう一度実行してください。");
        }
        return {};
    }

    const char* what() const noexcept override { return what_.constData(); }
    void raise() const override { throw *this; }
    BrowserCaptureError* clone() const override { return new BrowserCaptureError(*this); }

private:
    Kind kind_;
    QString message_;
    QString browserName_;
    QByteArray what_;
};

} // namespace lumivane
