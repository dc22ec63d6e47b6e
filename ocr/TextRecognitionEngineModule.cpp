#include "ocr/TextRecognitionEngineModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace lumivane::ocr {

namespace {
constexpr char kModuleFileName[] = "liblumivane_ocr_engine.so";
// The Debian package of the module, and the one of the library it needs.
constexpr char kModulePackage[] = "lumivane-ocr";
constexpr char kEnginePackage[] = "libtesseract5";
} // namespace

QString TextRecognitionEngineModule::defaultPath() {
    const QByteArray configured = qgetenv("LUMIVANE_OCR_ENGINE");
    if (!configured.isEmpty())
        return QFile::decodeName(configured);
    const QDir programFolder(QCoreApplication::instance()
                                 ? QCoreApplication::applicationDirPath()
                                 : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath());
    const QString beside = programFolder.filePath(QLatin1String(kModuleFileName));
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(
        programFolder.filePath(QStringLiteral(LUMIVANE_OCR_ENGINE_DIR "/") + QLatin1String(kModuleFileName)));
}

TextRecognitionEngineModule::TextRecognitionEngineModule(const QString& path)
    : library_(std::make_unique<QLibrary>(path.isEmpty() ? defaultPath() : path)) {
    if (!library_->load()) {
        loadError_ = library_->errorString();
        missingPackage_ = QLatin1String(QFileInfo::exists(library_->fileName()) ? kEnginePackage : kModulePackage);
        return;
    }
    create_ = reinterpret_cast<CreateEngineFunction>(library_->resolve(kCreateEngineSymbol));
    readCodes_ = reinterpret_cast<ReadCodesFunction>(library_->resolve(kReadCodesSymbol));
    if (!isAvailable()) {
        loadError_ = library_->errorString();
        missingPackage_ = QLatin1String(kModulePackage);
    }
}

TextRecognitionError TextRecognitionEngineModule::missingError() const {
    return TextRecognitionError(TextRecognitionError::Kind::engineMissing, missingPackage_);
}

// The module stays mapped until the process ends: engines made by it may still be
// freed during exit.
TextRecognitionEngineModule::~TextRecognitionEngineModule() = default;

std::unique_ptr<TextRecognitionEngine> TextRecognitionEngineModule::createEngine(const QString& dataFolder) const {
    if (!isAvailable())
        throw missingError();
    EngineFailure failure;
    std::unique_ptr<TextRecognitionEngine> engine(create_(kEngineModuleVersion, &dataFolder, &failure));
    if (!engine)
        throw TextRecognitionError(failure.kind, failure.detail);
    return engine;
}

std::vector<DecodedCode> TextRecognitionEngineModule::readCodes(const QImage& image) const {
    std::vector<DecodedCode> codes;
    if (isAvailable() && !image.isNull())
        readCodes_(kEngineModuleVersion, &image, &codes);
    return codes;
}

const TextRecognitionEngineModule& TextRecognitionEngineModule::shared() {
    static const TextRecognitionEngineModule module;
    return module;
}

} // namespace lumivane::ocr
