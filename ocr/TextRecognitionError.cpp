#include "ocr/TextRecognitionError.h"

namespace lumivane {

TextRecognitionError::TextRecognitionError(Kind kind, QString detail)
    : kind_(kind), detail_(std::move(detail)), what_(description().toUtf8()) {}

QString TextRecognitionError::description() const {
    switch (kind_) {
    case Kind::languageDataMissing:
        return QStringLiteral("文字認識の言語データ (%1) が見つかりません。\n端末で「sudo apt install %1」を実行して"
                              "から、もう一度試してください。")
            .arg(detail_);
    case Kind::engineMissing:
        return QStringLiteral(
                   "文字認識エンジン (%1) が見つからないため、文字を読み取れません。\n端末で「sudo apt install "
                   "%1」を実行してから、Lumivane を起動し直してください。")
            .arg(detail_);
    case Kind::engineFailed:
        return detail_.isEmpty() ? QStringLiteral("文字認識エンジンを開始できませんでした。")
                                 : QStringLiteral("文字認識エンジンを開始できませんでした。\n%1").arg(detail_);
    case Kind::imageNotFound:
        return QStringLiteral("画像ファイル“%1”が見つかりません。").arg(detail_);
    case Kind::imageNotReadable:
        return QStringLiteral("画像ファイル“%1”を読み込めませんでした。ファイルの読み取り権限を確認してください。")
            .arg(detail_);
    case Kind::notAnImage:
        return QStringLiteral("“%1”は読み込める画像ではありません。PNG または JPEG の画像を指定してください。")
            .arg(detail_);
    case Kind::imageTooLarge:
        return QStringLiteral(
                   "画像が大きすぎるため文字を読み取れません (%1 ピクセル)。範囲を分けて読み取ってください。")
            .arg(detail_);
    case Kind::cancelled:
        return QStringLiteral("文字の読み取りを中止しました。");
    }
    return {};
}

} // namespace lumivane
