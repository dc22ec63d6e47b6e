#include "DesktopModel.h"
#include "editor/EditorBottomBar.h"
#include "editor/EditorTopBar.h"
#include "editor/EditorWindowController.h"
#include "export/QuickShareButton.h"
#include "export/SharePopover.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace lumivane;

using test::visibleWindow;

// A capture opened in the editor window of the desktop services: the window takes its
// size, shows the document, and "Done" hides it, brings the preview back and makes the
// flattened image current. Opening again reuses the same window.
TEST(DesktopFlow, CaptureOpensTheEditorAndDoneHandsItBack) {
    test::DesktopModel desktop([](AppSettings&, AppServices& services) { services.hotKeys.reset(); });
    ASSERT_TRUE(desktop.ready());
    AppModel& model = *desktop;

    model.captureFullScreen();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.currentCapture().has_value(); }, 10000));
    const ImageRef captured = model.currentCapture()->image;
    model.openEditor();
    QWidget* editor = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (editor = visibleWindow("Lumivane")) != nullptr; }, 5000));
    EXPECT_EQ(editor->size(), QSize(1180, 820));
    EXPECT_FALSE(visibleWindow("Lumivane プレビュー"));
    auto* view = editor->findChild<EditorWindowView*>();
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->showsEmptyState());

    view->canvasHost()->topBar()->applyBackgroundEnabled(true);
    EXPECT_TRUE(model.editorSession().editorHistory().canUndo());

    // The share button of the bottom bar shares the rendered document, framing included.
    auto* share = qobject_cast<QuickShareButton*>(view->canvasHost()->bottomBar()->shareButton());
    ASSERT_TRUE(share);
    EXPECT_TRUE(share->isEnabled());
    QTest::mouseClick(share, Qt::LeftButton);
    ASSERT_TRUE(share->isPopoverPresented());
    SharePopoverContent* content = share->popover()->content();
    ASSERT_TRUE(QTest::qWaitFor([&] { return content->preparedItems().count(ScreenshotFileFormat::png) > 0; }, 10000));
    const QImage shared(content->preparedItems().at(ScreenshotFileFormat::png));
    EXPECT_GT(shared.width(), captured->width());
    share->popover()->close();
    QSignalSpy finalized(&model, &AppModel::editedCaptureFinalized);
    QTest::mouseClick(view->canvasHost()->topBar()->doneButton(), Qt::LeftButton);
    EXPECT_FALSE(editor->isVisible());
    ASSERT_TRUE(finalized.wait(10000) || finalized.count() > 0);
    EXPECT_NE(model.currentCapture()->image, captured);
    EXPECT_GT(model.currentCapture()->image->width(), captured->width()); // framed by the background
    EXPECT_TRUE(QTest::qWaitFor([] { return visibleWindow("Lumivane プレビュー") != nullptr; }, 5000));

    model.openEditor();
    ASSERT_TRUE(QTest::qWaitFor([&] { return visibleWindow("Lumivane") != nullptr; }, 5000));
    EXPECT_EQ(visibleWindow("Lumivane"), editor);
}
