#pragma once
#include <QByteArray>
#include <QException>
#include <QString>

namespace lumivane {

// Failures of text recognition. Derives from QException so it travels through QFuture;
// what() is the Japanese description (UTF-8), which userFacingErrorMessage shows as is.
class TextRecognitionError : public QException {
public:
    enum class Kind {
        languageDataMissing, // detail: the missing package ("tesseract-ocr-jpn")
        engineMissing,       // detail: the package to install ("lumivane-ocr", "libtesseract5")
        engineFailed,        // detail: what the engine reported, may be empty
        imageNotFound,       // detail: the file
        imageNotReadable,    // detail: the file
        notAnImage,          // detail: the file
        imageTooLarge,       // detail: "W×H"
        cancelled,
    };

    TextRecognitionError(Kind kind, QString detail = {});

    Kind kind() const { return kind_; }
    const QString& detail() const { return detail_; }
    QString description() const;

    const char* what() const noexcept override { return what_.constData(); }
    void raise() const override { throw *this; }
    TextRecognitionError* clone() const override { return new TextRecognitionError(*this); }

private:
    Kind kind_;
    QString detail_;
    QByteArray what_;
};

} // namespace lumivane
