#pragma once
#include <QException>
#include <QString>

namespace lumivane {

// Failures of screen capture. Derives from QException so it travels through QFuture.
class CaptureError : public QException {
public:
    // Stored order 0...3, then the window and last-area cases.
    enum class Kind {
        captureFailed,
        imageConversionFailed,
        screenRecordingPermissionDenied,
        screenRecordingPermissionNeedsRelaunch,
        noLastArea,
        lastAreaScreenMissing,
        noActiveWindow,
        windowCaptureUnsupported
    };

    explicit CaptureError(Kind kind) : kind_(kind), what_(description().toUtf8()) {}

    Kind kind() const { return kind_; }

    QString description() const {
        switch (kind_) {
        case Kind::captureFailed:
            return QStringLiteral("スクリーンショットの取得に失敗しました。画面収録権限を確認してください。");
        case Kind::imageConversionFailed:
            return QStringLiteral("画像データの変換に失敗しました。");
        case Kind::screenRecordingPermissionDenied:
            return QStringLiteral("画面収録権限がありません。デスクトップのスクリーンショットの確認、またはデスクトップ"
                                  "の設定 > プライバシー で Lumivane を許可してから、もう一度実行してください。");
        case Kind::screenRecordingPermissionNeedsRelaunch:
            return QStringLiteral("画面収録権限は付与されましたが、変更を反映するため Lumivane の再起動が必要です。");
        case Kind::noLastArea:
            return QStringLiteral("前回の範囲がありません。先に「範囲を選択して撮影」で範囲を選んでください。");
        case Kind::lastAreaScreenMissing:
            return QStringLiteral(
                "前回の範囲を撮影した画面が見つかりません。画面の接続を確認するか、範囲を選択して撮影し直"
                "してください。");
        case Kind::noActiveWindow:
            return QStringLiteral(
                "撮影するウィンドウが見つかりません。撮りたいウィンドウを前面に出してから、もう一度実行し"
                "てください。");
        case Kind::windowCaptureUnsupported:
            return QStringLiteral("このデスクトップではウィンドウを撮影できません。範囲を選択して撮影してください。");
        }
        return {};
    }

    const char* what() const noexcept override { return what_.constData(); }
    void raise() const override { throw *this; }
    CaptureError* clone() const override { return new CaptureError(*this); }

private:
    Kind kind_;
    QByteArray what_;
};

} // namespace lumivane
