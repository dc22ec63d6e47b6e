#include "TextImages.h"

#include "ocr/TextRecognitionEngineModule.h"
#include "ocr/TextRecognitionError.h"
#include "ocr/TextRecognitionService.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using lumivane::ocr::TextRecognitionEngineModule;
using lumivane::ocr::TextRecognitionResult;
using lumivane::ocr::TextRecognitionService;
using namespace std::chrono_literals;

// The build's engine module, where the installed program finds its own.
const bool engineModuleConfigured = qputenv("LUMIVANE_OCR_ENGINE", LUMIVANE_OCR_ENGINE_MODULE);

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

// Without the engine module (the engine library is not installed) nothing is offered,
// and whatever asks for text hears which package to install.
TEST(MissingEngine, TheServiceIsUnavailableAndEveryRequestNamesThePackage) {
    ASSERT_TRUE(engineModuleConfigured);
    const TextRecognitionEngineModule missing(QStringLiteral("/nonexistent/liblumivane_ocr_engine.so"));
    EXPECT_FALSE(missing.isAvailable());
    EXPECT_FALSE(missing.loadError().isEmpty());
    EXPECT_TRUE(missing.readCodes(lumivane::test::drawText({{QStringLiteral("abc")}, 18})).empty());
    try {
        missing.createEngine();
        ADD_FAILURE() << "made an engine without the module";
    } catch (const lumivane::TextRecognitionError& e) {
        EXPECT_EQ(e.kind(), lumivane::TextRecognitionError::Kind::engineMissing);
        EXPECT_TRUE(e.description().contains("sudo apt install lumivane-ocr")) << e.what();
    }
    // A module file that is there but does not load names the engine library instead.
    QTemporaryDir folder;
    QFile broken(folder.filePath(QStringLiteral("liblumivane_ocr_engine.so")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("not a library") > 0);
    broken.close();
    const TextRecognitionEngineModule unloadable(broken.fileName());
    EXPECT_FALSE(unloadable.isAvailable());
    EXPECT_TRUE(unloadable.missingError().description().contains("sudo apt install libtesseract5"));

    TextRecognitionService service(nullptr, 1s, {}, &missing);
    EXPECT_FALSE(service.isAvailable());
    service.preload();
    QSignalSpy failed(&service, &TextRecognitionService::failed);
    for (auto reading : {TextRecognitionService::Reading::textAndCodes, TextRecognitionService::Reading::codesOnly})
        service.recognize(lumivane::test::drawText({{QStringLiteral("abc")}, 18}), reading);
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.size() == 2; }, 5000));
    for (const auto& call : failed) {
        EXPECT_TRUE(call.at(1).toString().contains("lumivane-ocr"));
        EXPECT_FALSE(call.at(2).toBool());
    }
    EXPECT_FALSE(service.isEngineLoaded());
}

TEST(EngineModule, TheBuildsModuleLoadsAndReadsCodesWithoutLoadingTheEngine) {
    const TextRecognitionEngineModule& module = TextRecognitionEngineModule::shared();
    ASSERT_TRUE(module.isAvailable()) << module.loadError().toStdString();
    TextRecognitionService service(nullptr, 1s);
    EXPECT_TRUE(service.isAvailable());
    QSignalSpy recognized(&service, &TextRecognitionService::recognized);
    service.recognize(lumivane::test::drawText({{QStringLiteral("コードのない画像")}, 18}),
                      TextRecognitionService::Reading::codesOnly);
    ASSERT_TRUE(recognized.wait(5000));
    const auto result = recognized.at(0).at(1).value<TextRecognitionResult>();
    EXPECT_TRUE(result.text.isEmpty());
    EXPECT_TRUE(result.codes.empty());
    EXPECT_FALSE(service.isEngineLoaded());
}

} // namespace
