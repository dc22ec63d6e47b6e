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
    };

    explicit BrowserCaptureError(Kind kind, QString message = {})
        : kind_(kind), message_(std::move(message)), what_(description().toUtf8()) {}
    static BrowserCaptureError automationFailed(QString message) {
        return BrowserCaptureError(Kind::automationFailed, std::move(message));
    }

    Kind kind() const { return kind_; }
    // The browser's own message; only automationFailed carries one.
    const QString& message() const { return message_; }

    QString description() const {
        switch (kind_) {
        case Kind::automationFailed:
            return QStringLiteral("ブラウザ自動操作に失敗しました。") + message_;
        case Kind::unsupportedBrowser:
            return QStringLiteral("前面アプリが Chrome または Brave ではありません。");
        case Kind::browserNotFrontmost:
            return QStringLiteral("対象ブラウザを前面に出してから実行してください。");
        case Kind::pageInfoUnavailable:
            return QStringLiteral("ブラウザのページ情報を取得できませんでした。Automation 権限を確認してください。");
        case Kind::browserWindowUnavailable:
            return QStringLiteral("ブラウザの表示領域を特定できませんでした。");
        case Kind::accessibilityPermissionMissing:
            return QStringLiteral("ブラウザ表示領域の取得にアクセシビリティ権限が必要です。");
        case Kind::captureFailed:
            return QStringLiteral("ブラウザ全体キャプチャの生成に失敗しました。");
        }
        return {};
    }

    const char* what() const noexcept override { return what_.constData(); }
    void raise() const override { throw *this; }
    BrowserCaptureError* clone() const override { return new BrowserCaptureError(*this); }

private:
    Kind kind_;
    QString message_;
    QByteArray what_;
};

} // namespace lumivane
