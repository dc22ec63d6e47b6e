// Each method of the exported interface, called by dbus-send over a private bus,
// reaches the application model's flow.
#include "PrivateSession.h"
#include "app/AppInstanceCommands.h"
#include "app/DesktopModel.h"
#include "app/SingleInstance.h"
#include "editor_model/ProjectFile.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

struct Call {
    int exitCode = -1;
    QString out, err;
};

class InstanceBus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        session = new test::PrivateSession;
        // Before the first use of the session bus in this process.
        qputenv("DBUS_SESSION_BUS_ADDRESS", session->busAddress().toUtf8());
        qputenv("XDG_RUNTIME_DIR", session->path("run").toUtf8());
    }
    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }

    // dbus-send runs as its own process; the event loop keeps serving meanwhile.
    static void start(QProcess& p, const QString& method, const QStringList& args = {}) {
        p.setProcessEnvironment(session->environment());
        p.start("dbus-send",
                QStringList{"--session", "--print-reply", "--reply-timeout=60000", "--dest=io.github.lumivane.Lumivane",
                            "/io/github/lumivane/Lumivane", "io.github.lumivane.Lumivane." + method} +
                    args);
    }
    static Call finish(QProcess& p) {
        (void)QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    Call call(const QString& method, const QStringList& args = {}) {
        QProcess p;
        start(p, method, args);
        return finish(p);
    }

    static test::PrivateSession* session;
};
test::PrivateSession* InstanceBus::session = nullptr;

TEST_F(InstanceBus, EveryMethodReachesTheModel) {
    ASSERT_TRUE(session->ready());
    test::DesktopModel desktop;
    ASSERT_TRUE(desktop.ready());
    AppModel& model = *desktop;
    int settingsShown = 0, quits = 0;
    model.openSettingsHandler = [&](std::optional<SettingsTab>) { ++settingsShown; };
    AppInstanceCommands commands(model, [&] { ++quits; });
    InstanceServer server(commands);
    ASSERT_EQ(server.claim(), InstanceServer::Claim::owner) << server.errorText().toStdString();
    EXPECT_TRUE(server.ownsBusName());
    EXPECT_TRUE(server.listensOnSocket());

    EXPECT_EQ(call("ShowSettings").exitCode, 0);
    EXPECT_EQ(settingsShown, 1);

    // No capture yet: the editor request is refused with a reason.
    const Call refused = call("OpenEditor");
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_TRUE(refused.err.contains("no capture")) << refused.err.toStdString();

    EXPECT_EQ(call("CaptureFullScreen").exitCode, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.currentCapture().has_value(); }, 10000));
    EXPECT_EQ(model.currentCapture()->image->size(), QSize(1920, 1080));

    EXPECT_EQ(call("OpenEditor").exitCode, 0);
    EXPECT_TRUE(QTest::qWaitFor([] { return test::visibleWindow("Lumivane") != nullptr; }, 5000));

    // The area request opens one overlay and waits for it; a second one only brings
    // it forward and hears the same end: the user's cancel.
    QProcess first, second;
    start(first, "CaptureArea");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.hasSelectionOverlay(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([] { return test::visibleWindow("Lumivane Selection") != nullptr; }, 5000));
    start(second, "CaptureArea");
    QTest::qWait(500);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(second.state(), QProcess::Running);
    int overlays = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == "Lumivane Selection")
            ++overlays;
    EXPECT_EQ(overlays, 1);
    QTest::keyClick(test::visibleWindow("Lumivane Selection"), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !model.hasSelectionOverlay(); }, 5000));
    for (QProcess* p : {&first, &second}) {
        const Call cancelled = finish(*p);
        EXPECT_NE(cancelled.exitCode, 0);
        EXPECT_TRUE(cancelled.err.contains("io.github.lumivane.Lumivane.Error.Cancelled"))
            << cancelled.err.toStdString();
    }

    // No browser in front: the browser flow fails, and the call hears the model's message.
    const Call failed = call("CaptureBrowserPage");
    EXPECT_NE(failed.exitCode, 0);
    EXPECT_TRUE(failed.err.contains("io.github.lumivane.Lumivane.Error.CaptureFailed")) << failed.err.toStdString();
    ASSERT_TRUE(model.lastErrorMessage().has_value());
    EXPECT_TRUE(failed.err.contains(model.lastErrorMessage()->split('\n').first())) << failed.err.toStdString();

    // A project replaces the document; a broken one is refused with the model's message.
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const QString project = desktop.dir.filePath("p.lumivane");
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(SavedEditorProject(EditorDocument::fresh(makeImage(image))).encode());
    file.close();
    EXPECT_EQ(call("OpenProject", {"string:" + project}).exitCode, 0);
    ASSERT_NE(model.editorSession().editorDocument(), nullptr);
    EXPECT_EQ(model.editorSession().editorDocument()->imageSize(), QSizeF(40, 30));
    const Call broken = call("OpenProject", {"string:" + desktop.dir.filePath("missing.lumivane")});
    EXPECT_NE(broken.exitCode, 0);
    EXPECT_TRUE(broken.err.contains("Refused")) << broken.err.toStdString();
    EXPECT_EQ(call("OpenProject", {"string:relative.lumivane"}).exitCode != 0, true);

    // An image becomes a new document; bad input is refused with its reason, shown
    // in the menu's error, and the document stays as it was.
    const QString png = desktop.dir.filePath("shot.png");
    QImage wide(90, 20, QImage::Format_RGB32);
    wide.fill(Qt::blue);
    ASSERT_TRUE(wide.save(png));
    EXPECT_EQ(call("EditImage", {"string:" + png}).exitCode, 0);
    ASSERT_NE(model.editorSession().editorDocument(), nullptr);
    EXPECT_EQ(model.editorSession().editorDocument()->imageSize(), QSizeF(90, 20));
    EXPECT_EQ(model.currentCapture()->image->size(), QSize(90, 20));
    QFile notes(desktop.dir.filePath("notes.png"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not an image");
    notes.close();
    for (const QString& bad : {notes.fileName(), desktop.dir.filePath("missing.jpg"), desktop.dir.path()}) {
        const Call refused = call("EditImage", {"string:" + bad});
        EXPECT_NE(refused.exitCode, 0) << bad.toStdString();
        ASSERT_TRUE(model.lastErrorMessage().has_value());
        EXPECT_TRUE(refused.err.contains(*model.lastErrorMessage())) << refused.err.toStdString();
        EXPECT_EQ(model.editorSession().editorDocument()->imageSize(), QSizeF(90, 20));
    }
    // The clipboard's image, and a clear message when it holds none.
    QImage copied(33, 44, QImage::Format_ARGB32);
    copied.fill(Qt::green);
    QGuiApplication::clipboard()->setImage(copied);
    EXPECT_FALSE(model.editorSession().editClipboardImage());
    EXPECT_EQ(model.editorSession().editorDocument()->imageSize(), QSizeF(33, 44));
    QGuiApplication::clipboard()->setText("just text");
    const auto none = model.editorSession().editClipboardImage();
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->contains("クリップボードに画像がありません")) << none->toStdString();
    EXPECT_EQ(model.lastErrorMessage(), none);
    EXPECT_EQ(model.editorSession().editorDocument()->imageSize(), QSizeF(33, 44));

    EXPECT_EQ(call("Quit").exitCode, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 2000));
}

} // namespace
