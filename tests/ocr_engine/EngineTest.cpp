#include "TextImages.h"

#include "ocr/TextRecognitionError.h"
#include "ocr_engine/TextRecognizer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using lumivane::TextRecognitionError;
using lumivane::ocr::TextRecognizer;

QString installedData(const char* language) {
    return QDir(TextRecognizer::defaultDataFolder()).filePath(QStringLiteral("%1.traineddata").arg(language));
}

TEST(LanguageData, AMissingLanguageNamesThePackageToInstall) {
    QTemporaryDir onlyJapanese, none;
    ASSERT_TRUE(QFile::link(installedData("jpn"), onlyJapanese.filePath("jpn.traineddata")));
    struct Case {
        QString folder;
        QString package;
    };
    for (const Case& c : {Case{none.path(), "tesseract-ocr-jpn"}, Case{onlyJapanese.path(), "tesseract-ocr-eng"}}) {
        try {
            TextRecognizer recognizer(c.folder);
            ADD_FAILURE() << "loaded without " << c.package.toStdString();
        } catch (const TextRecognitionError& e) {
            EXPECT_EQ(e.kind(), TextRecognitionError::Kind::languageDataMissing);
            EXPECT_TRUE(e.description().contains("sudo apt install " + c.package)) << e.what();
        }
    }
}

TEST(LanguageData, VerticalTextWithoutTheVerticalDataNamesItsPackage) {
    QTemporaryDir folder;
    for (const char* language : {"jpn", "eng"})
        ASSERT_TRUE(
            QFile::link(installedData(language), folder.filePath(QStringLiteral("%1.traineddata").arg(language))));
    TextRecognizer recognizer(folder.path());
    EXPECT_FALSE(recognizer.recognize(lumivane::test::drawText({{QStringLiteral("横書きの文章です")}, 24})).isEmpty());
    try {
        recognizer.recognize(
            lumivane::test::drawText({{QStringLiteral("縦書きの文章です"), QStringLiteral("二行目も縦書きです")},
                                      24,
                                      Qt::black,
                                      Qt::white,
                                      true}));
        ADD_FAILURE() << "read vertical text without its data";
    } catch (const TextRecognitionError& e) {
        EXPECT_EQ(e.kind(), TextRecognitionError::Kind::languageDataMissing);
        EXPECT_TRUE(e.description().contains("tesseract-ocr-jpn-vert"));
    }
}

} // namespace
