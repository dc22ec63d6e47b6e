// The entry points of the engine module: the program loads them at run time, so it
// starts without the engine library.
#include "ocr/TextRecognitionEngine.h"
#include "ocr_engine/CodeReader.h"
#include "ocr_engine/TextRecognizer.h"

namespace lumivane::ocr {

namespace {

class ModuleEngine final : public TextRecognitionEngine {
public:
    explicit ModuleEngine(const QString& dataFolder) : recognizer_(dataFolder) {}

    bool recognizeText(const QImage& image, const std::atomic<bool>* cancel, QString* text,
                       EngineFailure* failure) override {
        try {
            *text = recognizer_.recognize(image, cancel);
            return true;
        } catch (const TextRecognitionError& error) {
            *failure = {error.kind(), error.detail()};
        } catch (const std::exception& error) {
            *failure = {TextRecognitionError::Kind::engineFailed, QString::fromLocal8Bit(error.what())};
        }
        return false;
    }

private:
    TextRecognizer recognizer_;
};

} // namespace

} // namespace lumivane::ocr

extern "C" __attribute__((visibility("default"))) lumivane::ocr::TextRecognitionEngine*
lumivane_ocr_create_engine(int version, const QString* dataFolder, lumivane::ocr::EngineFailure* failure) {
    using namespace lumivane::ocr;
    if (version != kEngineModuleVersion) {
        *failure = {lumivane::TextRecognitionError::Kind::engineFailed,
                    QStringLiteral("module version %1").arg(version)};
        return nullptr;
    }
    try {
        return new ModuleEngine(dataFolder ? *dataFolder : QString());
    } catch (const lumivane::TextRecognitionError& error) {
        *failure = {error.kind(), error.detail()};
    } catch (const std::exception& error) {
        *failure = {lumivane::TextRecognitionError::Kind::engineFailed, QString::fromLocal8Bit(error.what())};
    }
    return nullptr;
}

extern "C" __attribute__((visibility("default"))) void
lumivane_ocr_read_codes(int version, const QImage* image, std::vector<lumivane::ocr::DecodedCode>* codes) {
    if (version != lumivane::ocr::kEngineModuleVersion || !image || !codes)
        return;
    try {
        *codes = lumivane::ocr::readCodes(*image);
    } catch (const std::exception&) {
        codes->clear();
    }
}
