#include "TextImages.h"

#include "ocr/TextRecognitionError.h"
#include "ocr/TextRecognitionService.h"
#include "ocr/TextRecognizer.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using lumivane::TextRecognitionError;
using lumivane::ocr::TextRecognitionResult;
using lumivane::ocr::TextRecognitionService;
using lumivane::ocr::TextRecognizer;
using namespace std::chrono_literals;

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

class Service : public ::testing::Test {
protected:
    QImage page = lumivane::test::drawText(
        {{QStringLiteral("文字を読み取るサービスの試験です。"), QStringLiteral("Text recognition service")}, 18});
};

TEST_F(Service, LoadsAheadOfNeedReadsOffTheUiThreadAndFreesTheEngineWhenQuiet) {
    TextRecognitionService service(nullptr, 300ms);
    QSignalSpy recognized(&service, &TextRecognitionService::recognized);
    QSignalSpy released(&service, &TextRecognitionService::engineReleased);
    service.preload();
    EXPECT_TRUE(QTest::qWaitFor([&] { return service.isEngineLoaded(); }, 10000));

    const quint64 id = service.recognize(page);
    ASSERT_TRUE(recognized.wait(20000));
    EXPECT_EQ(recognized.at(0).at(0).toULongLong(), id);
    const auto result = recognized.at(0).at(1).value<TextRecognitionResult>();
    EXPECT_LE(lumivane::test::characterErrorRate(result.text, QStringLiteral("文字を読み取るサービスの試験です。\nText "
                                                                             "recognition service")),
              0.1)
        << result.text.toStdString();

    ASSERT_TRUE(released.wait(5000));
    EXPECT_FALSE(service.isEngineLoaded());
    // A later request loads it again.
    service.recognize(page);
    ASSERT_TRUE(recognized.wait(20000));
    EXPECT_FALSE(recognized.at(1).at(1).value<TextRecognitionResult>().text.isEmpty());
}

TEST_F(Service, ACancelledRequestEndsAsCancelledAndTheNextOneRuns) {
    TextRecognitionService service;
    QSignalSpy recognized(&service, &TextRecognitionService::recognized);
    QSignalSpy failed(&service, &TextRecognitionService::failed);
    // A large page takes seconds: cancelled while it runs, or before it starts.
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QStringLiteral("長い文書の %1 行目を読み取っています。").arg(i);
    const quint64 slow = service.recognize(lumivane::test::drawText({lines, 14}));
    QTest::qWait(300);
    service.cancel(slow);
    const quint64 next = service.recognize(page);
    ASSERT_TRUE(failed.wait(20000));
    EXPECT_EQ(failed.at(0).at(0).toULongLong(), slow);
    EXPECT_TRUE(failed.at(0).at(2).toBool());
    EXPECT_FALSE(failed.at(0).at(1).toString().isEmpty());
    ASSERT_TRUE(recognized.wait(20000));
    EXPECT_EQ(recognized.at(0).at(0).toULongLong(), next);
}

TEST_F(Service, MissingLanguageDataIsReportedForTheRequest) {
    QTemporaryDir empty;
    TextRecognitionService service(nullptr, 1s, empty.path());
    QSignalSpy failed(&service, &TextRecognitionService::failed);
    service.preload();
    service.recognize(page);
    ASSERT_TRUE(failed.wait(10000));
    EXPECT_TRUE(failed.at(0).at(1).toString().contains("tesseract-ocr-jpn"));
    EXPECT_FALSE(failed.at(0).at(2).toBool());
}

} // namespace
