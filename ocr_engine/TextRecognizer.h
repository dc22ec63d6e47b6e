#pragma once
#include "ocr/TextRecognitionEngine.h"

#include <QImage>
#include <QString>
#include <atomic>
#include <memory>

namespace tesseract {
class TessBaseAPI;
}

namespace lumivane::ocr {

// The text recognition engine (tesseract), loaded for Japanese with English and run
// on one thread. Reading vertical Japanese loads the vertical data on first need.
// Not thread-safe: one recognition at a time, from any one thread at a time.
class TextRecognizer {
public:
    // Loads the engine from dataFolder (empty: the engine's own folder, or
    // TESSDATA_PREFIX as the engine reads it). Throws TextRecognitionError
    // (languageDataMissing naming the package to install, engineFailed).
    explicit TextRecognizer(const QString& dataFolder = {});
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    // The text of the image: one line per text line, in reading order (rows of a
    // table in row order, cells apart by a tab), lines of separate blocks apart by an
    // empty line. Empty when the image has no text. cancel, when given, may be set
    // from another thread; the recognition then stops soon and throws
    // TextRecognitionError::cancelled. Throws notAnImage for a null image and
    // imageTooLarge beyond kMaxRecognitionSide / kMaxRecognitionPixels, and
    // languageDataMissing for vertical text without the vertical data.
    QString recognize(const QImage& image, const std::atomic<bool>* cancel = nullptr);

    // Whether the last recognition read the image as vertical Japanese.
    bool lastWasVertical() const { return lastWasVertical_; }

    static QString defaultDataFolder();

private:
    tesseract::TessBaseAPI& verticalEngine();

    QString dataFolder_;
    std::unique_ptr<tesseract::TessBaseAPI> horizontal_;
    std::unique_ptr<tesseract::TessBaseAPI> vertical_;
    bool lastWasVertical_ = false;
};

} // namespace lumivane::ocr
