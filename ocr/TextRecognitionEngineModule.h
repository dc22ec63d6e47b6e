#pragma once
#include "ocr/TextRecognitionEngine.h"

#include <QString>
#include <memory>

class QLibrary;

namespace lumivane::ocr {

// The engine module, loaded at run time: without the engine library (libtesseract)
// the module does not load, and text recognition is hidden instead of breaking the
// program's start. Read-only after construction: safe to use from any thread.
class TextRecognitionEngineModule {
public:
    // Loads the module at path; empty: defaultPath().
    explicit TextRecognitionEngineModule(const QString& path = {});
    ~TextRecognitionEngineModule();
    TextRecognitionEngineModule(const TextRecognitionEngineModule&) = delete;
    TextRecognitionEngineModule& operator=(const TextRecognitionEngineModule&) = delete;

    bool isAvailable() const { return create_ && readCodes_; }
    // What the loader reported when the module did not load (for the log); empty when it did.
    const QString& loadError() const { return loadError_; }
    // The engineMissing error of a module that did not load, naming the package to install:
    // the module's own when its file is not there (a package installed without its
    // recommendations), the engine library's when the file is there but cannot load.
    TextRecognitionError missingError() const;

    // A loaded engine. Throws TextRecognitionError: engineMissing when the module is
    // not available, languageDataMissing, engineFailed.
    std::unique_ptr<TextRecognitionEngine> createEngine(const QString& dataFolder = {}) const;
    // The codes of the image; empty when the module is not available.
    std::vector<DecodedCode> readCodes(const QImage& image) const;

    // The module of this program, loaded on first use.
    static const TextRecognitionEngineModule& shared();
    // LUMIVANE_OCR_ENGINE when set, else the module beside the program (a build
    // tree), else the installed one.
    static QString defaultPath();

private:
    std::unique_ptr<QLibrary> library_;
    CreateEngineFunction create_ = nullptr;
    ReadCodesFunction readCodes_ = nullptr;
    QString loadError_;
    QString missingPackage_;
};

} // namespace lumivane::ocr
