// The ways out of a text recognition as the user meets them: the result window with
// real widgets, the copy at once, cancelling, the missing parts, and the codes of a
// capture.
#include "app/TextRecognitionController.h"
#include "MemorySettingsStore.h"
#include "TextImages.h"
#include "app/ErrorMessages.h"
#include "app/TextResultWindow.h"
#include "ocr/TextRecognitionEngineModule.h"
#include "ocr/TextRecognitionService.h"
#include "settings/AppSettings.h"

#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <gtest/gtest.h>

namespace {

using namespace lumivane;
using namespace std::chrono_literals;
using ocr::TextRecognitionEngineModule;
using ocr::TextRecognitionService;

const TextRecognitionEngineModule& buildModule() {
    static const TextRecognitionEngineModule module(QStringLiteral(LUMIVANE_OCR_ENGINE_MODULE));
    return module;
}

const QString kJapanese = QStringLiteral("範囲を選択してテキストを読み取る");
const QString kEnglish = QStringLiteral("Copied to the clipboard");

class TextRecognitionUi : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(buildModule().isAvailable()) << buildModule().loadError().toStdString(); }

    std::unique_ptr<TextRecognitionController> make(const TextRecognitionEngineModule& module = buildModule(),
                                                    const QString& dataFolder = {}) {
        services.copyText = [this](const QString& text) { copied << text; };
        services.openURL = [this](const QUrl& url) { opened << url; };
        services.showAlert = [this](const AlertText& text) {
            alerts << text.title + QLatin1Char('\n') + text.informativeText;
            return alertAnswer;
        };
        return std::make_unique<TextRecognitionController>(
            settings, services, nullptr, std::make_unique<TextRecognitionService>(nullptr, 2min, dataFolder, &module));
    }

    static ImageRef page(int lines = 1) {
        QStringList text{kJapanese, kEnglish};
        for (int i = 2; i < lines; ++i)
            text << QStringLiteral("長い文書の %1 行目を読み取っています。").arg(i);
        return makeImage(test::drawText({text, lines > 2 ? 14 : 22}));
    }

    template <typename T>
    static T* child(QWidget* window, const char* name) {
        return window ? window->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }

    AppSettings settings{std::make_unique<test::MemorySettingsStore>()};
    AppServices services;
    QStringList copied, alerts;
    QList<QUrl> opened;
    int alertAnswer = 1000;
};

TEST_F(TextRecognitionUi, TheWindowShowsProgressThenTheEditableTextAndCopiesWhatTheUserKept) {
    auto controller = make();
    std::optional<TextReadOutcome> outcome;
    controller->readText(page(), [&](const TextReadOutcome& o) { outcome = o; });
    TextResultWindow* window = controller->resultWindow();
    ASSERT_TRUE(window && window->isVisible());
    EXPECT_EQ(window->windowTitle(), TextResultWindow::windowTitleText());
    EXPECT_TRUE(child<QProgressBar>(window, "textResultProgress")->isVisible());
    EXPECT_TRUE(child<QPushButton>(window, "textResultCancel")->isVisible());

    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 30000));
    ASSERT_EQ(outcome->kind, TextReadOutcome::Kind::read);
    auto* editor = child<QPlainTextEdit>(window, "textResultEditor");
    ASSERT_TRUE(editor && editor->isVisible());
    EXPECT_FALSE(editor->isReadOnly());
    EXPECT_LE(test::characterErrorRate(editor->toPlainText(), kJapanese + "\n" + kEnglish), 0.1)
        << editor->toPlainText().toStdString();
    EXPECT_EQ(editor->toPlainText(), outcome->text);
    EXPECT_TRUE(copied.isEmpty()) << "copied only when asked";

    // The user corrects the text, then copies it.
    editor->selectAll();
    QTest::keyClicks(editor, "edited line");
    auto* copy = child<QPushButton>(window, "textResultCopy");
    QTest::mouseClick(copy, Qt::LeftButton);
    ASSERT_EQ(copied.size(), 1);
    EXPECT_EQ(copied.first(), QStringLiteral("edited line"));
    EXPECT_EQ(copy->text(), QStringLiteral("コピーしました"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return copy->text() == QStringLiteral("コピー"); }, 3000));
}

TEST_F(TextRecognitionUi, CopyAtOnceCopiesWithoutTheWindowAndSaysSoBriefly) {
    settings.setCopyRecognizedTextAtOnce(true);
    auto controller = make();
    std::optional<TextReadOutcome> outcome;
    controller->readText(page(), [&](const TextReadOutcome& o) { outcome = o; });
    EXPECT_FALSE(controller->resultWindow() && controller->resultWindow()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 30000));
    ASSERT_EQ(copied.size(), 1);
    EXPECT_LE(test::characterErrorRate(copied.first(), kJapanese + "\n" + kEnglish), 0.1)
        << copied.first().toStdString();
    EXPECT_FALSE(controller->resultWindow() && controller->resultWindow()->isVisible());
    auto* notice = qobject_cast<QLabel*>(controller->copiedNotice());
    ASSERT_TRUE(notice && notice->isVisible());
    EXPECT_EQ(notice->text(), QStringLiteral("テキストをコピーしました"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller->copiedNotice(); }, 5000)) << "the notice goes on its own";
}

TEST_F(TextRecognitionUi, ALongReadingShowsProgressAndTheCancelButtonStopsIt) {
    for (bool copyAtOnce : {false, true}) {
        settings.setCopyRecognizedTextAtOnce(copyAtOnce);
        auto controller = make();
        std::optional<TextReadOutcome> outcome;
        controller->readText(page(60), [&](const TextReadOutcome& o) { outcome = o; });
        // Copying at once, progress appears only once the reading takes long.
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return controller->resultWindow() && controller->resultWindow()->isVisible(); },
                            TextRecognitionController::progressDelayMs + 2000));
        auto* cancel = child<QPushButton>(controller->resultWindow(), "textResultCancel");
        ASSERT_TRUE(cancel && cancel->isVisible());
        QTest::mouseClick(cancel, Qt::LeftButton);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->kind, TextReadOutcome::Kind::cancelled);
        EXPECT_FALSE(controller->resultWindow() && controller->resultWindow()->isVisible());
        EXPECT_FALSE(controller->isReading());
        EXPECT_TRUE(copied.isEmpty());
    }
}

// What is missing is said in the window, with the package to install.
TEST_F(TextRecognitionUi, MissingPartsAreNamedInTheWindow) {
    const TextRecognitionEngineModule missingModule(QStringLiteral("/nonexistent/liblumivane_ocr_engine.so"));
    QTemporaryDir noLanguageData;
    struct Case {
        const TextRecognitionEngineModule* module;
        QString dataFolder;
        bool available;
        QString package;
    };
    for (const Case& c : {Case{&missingModule, {}, false, "sudo apt install lumivane-ocr"},
                          Case{&buildModule(), noLanguageData.path(), true, "sudo apt install tesseract-ocr-jpn"}}) {
        auto controller = make(*c.module, c.dataFolder);
        EXPECT_EQ(controller->isAvailable(), c.available);
        std::optional<TextReadOutcome> outcome;
        controller->readText(page(), [&](const TextReadOutcome& o) { outcome = o; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 10000));
        EXPECT_EQ(outcome->kind, TextReadOutcome::Kind::failed);
        auto* message = child<QLabel>(controller->resultWindow(), "textResultMessage");
        ASSERT_TRUE(message && message->isVisible());
        EXPECT_TRUE(message->text().contains(c.package)) << message->text().toStdString();
    }
}

// A capture with a QR code: the codes are offered, a text copied, and an address opened
// only after the user agreed to it.
TEST_F(TextRecognitionUi, CodesOfACaptureAreCopiedOrOpenedAfterAsking) {
    const QString address = QStringLiteral("https://lumivane.app/help?q=1");
    const ZXing::BitMatrix matrix =
        ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode).setMargin(0).encode(address.toStdString(), 160, 160);
    QImage shot(640, 400, QImage::Format_RGB32);
    shot.fill(QColor(245, 245, 245));
    {
        QPainter painter(&shot);
        for (int y = 0; y < matrix.height(); ++y)
            for (int x = 0; x < matrix.width(); ++x)
                if (matrix.get(x, y))
                    painter.fillRect(200 + x, 100 + y, 1, 1, Qt::black);
    }
    auto controller = make();
    QSignalSpy changed(controller.get(), &TextRecognitionController::codesChanged);
    controller->findCodes(makeImage(shot));
    ASSERT_TRUE(changed.wait(10000));
    ASSERT_EQ(controller->codes().size(), 1u);
    EXPECT_EQ(controller->codes().front().text, address);

    controller->showCodesMenu(QPoint(10, 10));
    QMenu* menu = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("codesMenu") && w->isVisible())
                menu = qobject_cast<QMenu*>(w);
        return menu != nullptr;
    }));
    QStringList titles;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            titles << a->text();
    ASSERT_TRUE(titles.size() >= 2) << titles.join(", ").toStdString();
    for (QAction* a : menu->actions())
        if (a->text().startsWith(QStringLiteral("内容をコピー")))
            a->trigger();
    EXPECT_EQ(copied, QStringList{address});
    menu->close();

    alertAnswer = 1000; // キャンセル, the default
    EXPECT_FALSE(controller->openCodeAddress(address));
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().contains(address)) << "the whole address is shown before it opens";
    alertAnswer = 1001;
    EXPECT_TRUE(controller->openCodeAddress(address));
    EXPECT_EQ(opened, QList<QUrl>{QUrl(address)});

    // The next capture without codes takes the offer back.
    controller->findCodes(page());
    EXPECT_TRUE(controller->codes().empty());
}

} // namespace
