#pragma once
#include "ocr/DecodedCode.h"
#include "ocr/TextRecognitionError.h"

#include <QImage>
#include <QString>
#include <atomic>
#include <vector>

namespace lumivane::ocr {

// Largest image accepted for recognition, before any scaling.
inline constexpr int kMaxRecognitionSide = 32000;
inline constexpr qint64 kMaxRecognitionPixels = 120LL * 1000 * 1000;

// Why a call into the engine failed: a TextRecognitionError's kind and detail, carried
// as a value across the module's boundary.
struct EngineFailure {
    TextRecognitionError::Kind kind = TextRecognitionError::Kind::engineFailed;
    QString detail;
};

// The recognition engine as the engine module provides it. Not thread-safe: one call
// at a time, from any one thread at a time.
class TextRecognitionEngine {
public:
    virtual ~TextRecognitionEngine() = default;
    // The text of the image into *text (see TextRecognizer::recognize); false with
    // *failure set when it failed or was cancelled.
    virtual bool recognizeText(const QImage& image, const std::atomic<bool>* cancel, QString* text,
                               EngineFailure* failure) = 0;
};

// The entry points of the engine module (liblumivane_ocr_engine.so), looked up by name.
// Each takes the version the program was built against and refuses another.
inline constexpr int kEngineModuleVersion = 1;
inline constexpr char kCreateEngineSymbol[] = "lumivane_ocr_create_engine";
inline constexpr char kReadCodesSymbol[] = "lumivane_ocr_read_codes";
// A new engine loaded from dataFolder (empty: the engine's own folder); null with
// *failure set when it cannot load.
using CreateEngineFunction = TextRecognitionEngine* (*)(int version, const QString* dataFolder, EngineFailure* failure);
// The QR codes and barcodes of the image, top to bottom; needs no engine.
using ReadCodesFunction = void (*)(int version, const QImage* image, std::vector<DecodedCode>* codes);

} // namespace lumivane::ocr
