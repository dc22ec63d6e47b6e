// 'capture area --text' against the real program on the test's X server: the text of
// the dragged area on standard output; without the engine module the program still
// starts and every way in says what to install.
#include "PrivateSession.h"
#include "TextImages.h"

#include <QFont>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using lumivane::test::PrivateSession;

namespace {

const QString program = QStringLiteral(LUMIVANE_EXECUTABLE);

TEST(TextCaptureProcess, CaptureAreaTextPrintsTheTextOfTheDraggedArea) {
    const QString expected = QStringLiteral("範囲の文字を読み取ります\nRead the text of an area");
    QWidget page(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    page.setWindowTitle(QStringLiteral("text page"));
    page.setStyleSheet(QStringLiteral("background: white; color: black;"));
    auto* layout = new QVBoxLayout(&page);
    for (const QString& line : expected.split('\n')) {
        auto* label = new QLabel(line);
        QFont font = label->font();
        font.setPixelSize(26);
        label->setFont(font);
        layout->addWidget(label);
    }
    page.setGeometry(120, 120, 560, 150);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));

    PrivateSession session;
    ASSERT_TRUE(session.ready());
    QProcess& app = session.start(program, {});
    ASSERT_TRUE(session.waitForInstance());
    QProcess& command = session.start(program, {"capture", "area", "--text"});
    ASSERT_TRUE(session.waitForWindow("Lumivane Selection"));
    auto xdotool = [&](const QStringList& args) { session.run("xdotool", args); };
    xdotool({"mousemove", "110", "110"});
    xdotool({"mousedown", "1"});
    xdotool({"mousemove", "400", "200"});
    xdotool({"mousemove", "690", "280"});
    xdotool({"mouseup", "1"});
    ASSERT_TRUE(PrivateSession::finishes(command, 60000));
    const QString err = QString::fromLocal8Bit(command.readAllStandardError());
    ASSERT_EQ(command.exitCode(), 0) << err.toStdString();
    const QString out = QString::fromUtf8(command.readAllStandardOutput());
    EXPECT_LE(lumivane::test::characterErrorRate(out, expected), 0.1) << out.toStdString();
    EXPECT_TRUE(out.endsWith('\n'));
    // The text is the result: no preview of a picture, and the result window shows it too.
    EXPECT_FALSE(session.visibleWindows().contains("Lumivane プレビュー"));
    EXPECT_TRUE(session.waitForWindow("読み取ったテキスト", 5000));
    EXPECT_EQ(app.state(), QProcess::Running);
}

TEST(TextCaptureProcess, WithoutTheEngineModuleTheProgramStartsAndSaysWhatToInstall) {
    qputenv("LUMIVANE_OCR_ENGINE", "/nonexistent/liblumivane_ocr_engine.so");
    PrivateSession session;
    qunsetenv("LUMIVANE_OCR_ENGINE");
    ASSERT_TRUE(session.ready());
    QImage image(200, 80, QImage::Format_RGB32);
    image.fill(Qt::white);
    ASSERT_TRUE(image.save(session.path("page.png")));

    const auto ocr = session.run(program, {"ocr", session.path("page.png")});
    EXPECT_EQ(ocr.exitCode, 1);
    EXPECT_TRUE(ocr.err.contains("sudo apt install lumivane-ocr")) << ocr.err.toStdString();

    QProcess& app = session.start(program, {});
    ASSERT_TRUE(session.waitForInstance()) << app.readAllStandardError().toStdString();
    const auto area = session.run(program, {"capture", "area", "--text"});
    EXPECT_EQ(area.exitCode, 1);
    EXPECT_TRUE(area.err.contains("lumivane-ocr")) << area.err.toStdString();
    EXPECT_FALSE(session.visibleWindows().contains("Lumivane Selection")) << "no area to choose for nothing";
    // The ordinary capture still works.
    EXPECT_EQ(session.run(program, {"capture", "full"}).exitCode, 0);
    EXPECT_EQ(app.state(), QProcess::Running);
}

} // namespace
