#include "TestEditorHost.h"
#include "editor/AnnotationStylePopover.h"
#include "editor/BackgroundStylePopover.h"
#include "editor/ColorPalette.h"
#include "editor/EditorBottomBar.h"
#include "editor/EditorCanvas.h"
#include "editor/EditorTopBar.h"
#include "editor/EditorWindowController.h"
#include "editor/PresetChips.h"
#include "editor_model/TestHelpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <algorithm>
#include <gtest/gtest.h>

using namespace lumivane;
using namespace lumivane::test;

namespace {

// Chips now shown (a popover rebuilt after a choice still holds its old, hidden ones).
QPushButton* chip(QWidget* popover, const QString& label) {
    for (auto* b : popover->findChildren<QPushButton*>())
        if (b->text() == label && b->isVisibleTo(popover))
            return b;
    return nullptr;
}

std::vector<QString> selectedChipLabels(QWidget* popover) {
    std::vector<QString> out;
    for (auto* b : popover->findChildren<QPushButton*>())
        if (b->property("selectedChip").toBool() && b->isVisibleTo(popover))
            out.push_back(b->text());
    return out;
}

// Starts inline editing of a new text annotation dragged out with the text tool.
EditorCanvas* startTyping(EditorTopBar* top, EditorCanvas* canvas, QPoint offset = {}) {
    QTest::mouseClick(top->toolButton(AnnotationTool::text), Qt::LeftButton);
    const QPoint at = canvas->imageRect().topLeft().toPoint() + QPoint(20, 20) + offset;
    QTest::mousePress(canvas, Qt::LeftButton, {}, at);
    QTest::mouseMove(canvas, at + QPoint(60, 20));
    QTest::mouseMove(canvas, at + QPoint(140, 40));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, at + QPoint(140, 40));
    return canvas;
}

// Sends what an input method does while composing: text shown but not yet committed.
void compose(QWidget* editor, const QString& preedit) {
    QInputMethodEvent event(preedit, {});
    QCoreApplication::sendEvent(editor, &event);
}

Annotation addAnnotation(TestEditorHost& host, AnnotationKind kind, QRectF rect) {
    Annotation a = test::makeAnnotation(kind, rect);
    a.fontSize = 16;
    a.text = "注釈";
    a.effectIntensity = kind == AnnotationKind::spotlight ? 0.52 : 16;
    host.document->add(a);
    emit host.editorDocumentChanged();
    return a;
}

struct EditorFixture : ::testing::Test {
    TestEditorHost host;
    std::unique_ptr<EditorWindowController> controller;

    void SetUp() override { controller = std::make_unique<EditorWindowController>(host); }
    EditorTopBar* top() const { return controller->view()->canvasHost()->topBar(); }
    EditorBottomBar* bottom() const { return controller->view()->canvasHost()->bottomBar(); }
    void showWithDocument() {
        host.openDocument();
        controller->present();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->window()));
    }
};

} // namespace

TEST_F(EditorFixture, WindowTakesItsSizeFromTheVisibleScreenArea) {
    showWithDocument();
    QWidget* w = controller->window();
    EXPECT_EQ(w->windowTitle(), "Lumivane");
    EXPECT_EQ(w->size(), QSize(1180, 820)); // 1920 × 1080 server
    EXPECT_EQ(w->minimumSize(), QSize(980, 720));

    controller->visibleScreenSize = [] { return std::optional<QSizeF>(QSizeF(1280, 800)); };
    const QPoint centre = w->geometry().center();
    controller->present();
    QTest::qWait(50);
    EXPECT_EQ(w->size(), QSize(1178, 720)); // 0.92 × 1280 = 1177.6
    EXPECT_LE((w->geometry().center() - centre).manhattanLength(), 2);

    controller->visibleScreenSize = [] { return std::optional<QSizeF>(); };
    controller->present();
    QTest::qWait(50);
    EXPECT_EQ(w->size(), QSize(1180, 810)); // 1440 × 900 assumed
    EXPECT_EQ(w, controller->window());
}

TEST_F(EditorFixture, EmptyStateUntilADocumentArrives) {
    controller->present();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller->window()));
    EXPECT_TRUE(controller->view()->showsEmptyState());
    EXPECT_EQ(controller->view()->emptyDescription()->text(), "先にスクリーンショットを撮影すると編集できます。");
    EXPECT_TRUE(controller->view()->emptyDescription()->isVisible());
    EXPECT_FALSE(top()->isVisible());

    host.openDocument();
    EXPECT_FALSE(controller->view()->showsEmptyState());
    EXPECT_TRUE(top()->isVisible());
    EXPECT_TRUE(bottom()->isVisible());
    EXPECT_FALSE(controller->view()->emptyDescription()->isVisible());
}

TEST_F(EditorFixture, ToolPickerSwitchesToolAndStyleControl) {
    showWithDocument();
    QSet<QString> tips; // every tool is named, each differently
    for (AnnotationTool tool : allAnnotationTools)
        tips.insert(top()->toolButton(tool)->toolTip());
    EXPECT_EQ(tips.size(), int(allAnnotationTools.size()));
    EXPECT_FALSE(tips.contains(QString()));
    EXPECT_FALSE(top()->styleButton()->isVisible());

    QTest::mouseClick(top()->toolButton(AnnotationTool::rectangle), Qt::LeftButton);
    EXPECT_EQ(host.document->selectedTool, AnnotationTool::rectangle);
    EXPECT_TRUE(top()->toolButton(AnnotationTool::rectangle)->property("selectedTool").toBool());
    EXPECT_FALSE(top()->toolButton(AnnotationTool::select)->property("selectedTool").toBool());
    EXPECT_TRUE(top()->styleButton()->isVisible());
    EXPECT_EQ(top()->activeStyleKind(), toolbar::StyleKind::stroke);
    EXPECT_EQ(top()->styleButton()->text(), "スタイル");

    QTest::mouseClick(top()->toolButton(AnnotationTool::blur), Qt::LeftButton);
    EXPECT_FALSE(top()->styleButton()->isVisible());
    EXPECT_TRUE(host.history.undoStack.empty()); // tool choice is no undo step

    addAnnotation(host, AnnotationKind::pixelate, {20, 20, 80, 60});
    EXPECT_TRUE(top()->styleButton()->isVisible());
    EXPECT_EQ(top()->styleButton()->text(), "効果");
}

// The style chip comes and goes with the selection without moving the controls
// beside it, so a second click lands on the same button.
TEST_F(EditorFixture, TopBarControlsStayPutWhenTheSelectionChanges) {
    showWithDocument();
    const auto places = [this] {
        QApplication::processEvents();
        std::vector<QPoint> out;
        for (QWidget* w : {static_cast<QWidget*>(top()->undoButton()), static_cast<QWidget*>(top()->redoButton())})
            out.push_back(w->mapTo(top(), QPoint(0, 0)));
        return out;
    };
    const std::vector<QPoint> without = places();
    QTest::mouseClick(top()->toolButton(AnnotationTool::rectangle), Qt::LeftButton);
    ASSERT_TRUE(top()->styleButton()->isVisible());
    EXPECT_EQ(places(), without);
    QTest::mouseClick(top()->toolButton(AnnotationTool::blur), Qt::LeftButton);
    EXPECT_EQ(places(), without);
    addAnnotation(host, AnnotationKind::pixelate, {20, 20, 80, 60});
    ASSERT_EQ(top()->styleButton()->text(), "効果");
    EXPECT_EQ(places(), without);
}

// The canvas's scroll bars are dark like the editor around them.
TEST_F(EditorFixture, CanvasScrollBarsAreDark) {
    showWithDocument();
    controller->view()->canvasHost()->setZoomScale(3.0);
    QApplication::processEvents();
    int shown = 0;
    for (QScrollBar* bar : controller->view()->canvasHost()->findChildren<QScrollBar*>()) {
        if (!bar->isVisible() || top()->isAncestorOf(bar))
            continue;
        ++shown;
        const QImage shot = bar->grab().toImage();
        const QPoint track = bar->orientation() == Qt::Vertical ? QPoint(shot.width() / 2, shot.height() - 3)
                                                                : QPoint(shot.width() - 3, shot.height() / 2);
        EXPECT_LT(qGray(shot.pixel(track)), 80);
    }
    EXPECT_GE(shown, 1);
}

TEST_F(EditorFixture, StrokeChipChangesDefaultsOrTheSelectedRectangle) {
    showWithDocument();
    host.settings().setDefaultAnnotationLineWidth(6);
    QTest::mouseClick(top()->toolButton(AnnotationTool::rectangle), Qt::LeftButton);
    QTest::mouseClick(top()->styleButton(), Qt::LeftButton);
    ASSERT_TRUE(top()->stylePopover());
    EXPECT_EQ(selectedChipLabels(top()->stylePopover()), std::vector<QString>{"6 px"});
    const int writes = host.settingsWrites;
    QTest::mouseClick(chip(top()->stylePopover(), "4 px"), Qt::LeftButton);
    EXPECT_EQ(host.settings().defaultAnnotationLineWidth(), 4);
    EXPECT_EQ(host.settingsWrites, writes + 1);
    EXPECT_TRUE(host.history.undoStack.empty());
    QTest::qWait(20);
    ASSERT_TRUE(top()->stylePopover()); // stays open, showing the choice
    EXPECT_TRUE(top()->stylePopover()->isVisible());
    EXPECT_EQ(selectedChipLabels(top()->stylePopover()), std::vector<QString>{"4 px"});
    top()->stylePopover()->close();

    const Annotation rect = addAnnotation(host, AnnotationKind::rectangle, {30, 30, 100, 80});
    QTest::mouseClick(top()->styleButton(), Qt::LeftButton);
    ASSERT_TRUE(top()->stylePopover());
    QTest::mouseClick(chip(top()->stylePopover(), "8 px"), Qt::LeftButton);
    EXPECT_EQ(host.document->find(rect.id)->lineWidth, 8);
    EXPECT_EQ(host.settings().defaultAnnotationLineWidth(), 4);
    EXPECT_EQ(host.history.undoStack.size(), 1u);
    EXPECT_TRUE(top()->undoButton()->isEnabled());
}

TEST_F(EditorFixture, PopoverShowsTheSelectionsValues) {
    showWithDocument();
    addAnnotation(host, AnnotationKind::spotlight, {10, 10, 120, 90});
    top()->presentStylePopover();
    ASSERT_TRUE(top()->stylePopover());
    EXPECT_EQ(selectedChipLabels(top()->stylePopover()), (std::vector<QString>{"45%", "55%"}));
    QTest::mouseClick(chip(top()->stylePopover(), "75%"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(host.document->annotations.back().effectIntensity, 0.75);

    const Annotation text = addAnnotation(host, AnnotationKind::text, {10, 10, 120, 30});
    top()->presentStylePopover();
    ASSERT_TRUE(top()->stylePopover());
    EXPECT_EQ(selectedChipLabels(top()->stylePopover()), std::vector<QString>{"16 px"});
    auto* palette = top()->stylePopover()->findChild<AnnotationColorPalette*>();
    ASSERT_TRUE(palette);
    EXPECT_TRUE(palette->selectedSwatches().empty()); // accent blue is not a palette colour
    QTest::mouseClick(palette->swatch(0), Qt::LeftButton);
    EXPECT_EQ(host.document->find(text.id)->color, (RgbaColor{0, 0, 0, 1}));

    top()->presentStylePopover();
    palette = top()->stylePopover()->findChild<AnnotationColorPalette*>();
    EXPECT_EQ(palette->selectedSwatches(), std::vector<int>{0});
    EXPECT_TRUE(palette->swatch(0)->property("selectedSwatch").toBool());
    EXPECT_TRUE(palette->customPicker());
    top()->stylePopover()->close();
}

TEST_F(EditorFixture, BackgroundButtonSwitchesTheFrameOnAndOffersItsPresets) {
    showWithDocument();
    EXPECT_FALSE(host.document->backgroundStyle.isEnabled);
    QTest::mouseClick(top()->backgroundButton(), Qt::LeftButton);
    EXPECT_TRUE(host.document->backgroundStyle.isEnabled);
    EXPECT_EQ(host.history.undoStack.size(), 1u);
    ASSERT_TRUE(top()->backgroundPopover());
    EXPECT_TRUE(top()->backgroundPopover()->enabledSwitch()->isChecked());
    EXPECT_TRUE(chip(top()->backgroundPopover(), "なし"));
    QTest::mouseClick(chip(top()->backgroundPopover(), "72 px"), Qt::LeftButton);
    EXPECT_EQ(host.document->backgroundStyle.padding, 72);
    EXPECT_EQ(host.history.undoStack.size(), 2u);

    top()->presentBackgroundPopover();
    top()->backgroundPopover()->enabledSwitch()->setChecked(false);
    EXPECT_FALSE(host.document->backgroundStyle.isEnabled);
    EXPECT_EQ(host.history.undoStack.size(), 3u);
}

TEST_F(EditorFixture, ZoomButtonsStepThroughPresets) {
    showWithDocument();
    auto* canvasHost = controller->view()->canvasHost();
    EXPECT_EQ(bottom()->zoomMenuButton()->text(), "100%");
    canvasHost->setZoomScale(1.1);
    EXPECT_EQ(bottom()->zoomMenuButton()->text(), "110%");
    QTest::mouseClick(bottom()->zoomOutButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(canvasHost->zoomScale(), 0.75);
    canvasHost->setZoomScale(1.1);
    QTest::mouseClick(bottom()->zoomInButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(canvasHost->zoomScale(), 1.25);
    EXPECT_EQ(bottom()->zoomMenuButton()->text(), "125%");

    canvasHost->setZoomScale(3.0);
    EXPECT_FALSE(bottom()->zoomInButton()->isEnabled());
    EXPECT_TRUE(bottom()->zoomOutButton()->isEnabled());
    canvasHost->setZoomScale(0.5);
    EXPECT_FALSE(bottom()->zoomOutButton()->isEnabled());
    QTest::mouseClick(bottom()->zoomOutButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(canvasHost->zoomScale(), 0.5);

    QStringList labels;
    for (QAction* a : bottom()->zoomMenuButton()->menu()->actions())
        labels << a->text();
    EXPECT_EQ(labels, (QStringList{"50%", "75%", "100%", "125%", "150%", "200%", "300%"}));
    bottom()->zoomMenuButton()->menu()->actions().at(5)->trigger();
    EXPECT_DOUBLE_EQ(canvasHost->zoomScale(), 2.0);
    EXPECT_FALSE(bottom()->zoomOutButton()->toolTip().isEmpty());
    EXPECT_NE(bottom()->zoomOutButton()->toolTip(), bottom()->zoomInButton()->toolTip());
}

TEST_F(EditorFixture, UndoAndRedoFollowTheHistory) {
    showWithDocument();
    EXPECT_FALSE(top()->undoButton()->isEnabled());
    EXPECT_FALSE(top()->redoButton()->isEnabled());
    top()->applyBackgroundCornerRadius(12);
    EXPECT_TRUE(top()->undoButton()->isEnabled());
    QTest::mouseClick(top()->undoButton(), Qt::LeftButton);
    EXPECT_EQ(host.document->backgroundStyle.cornerRadius, 24);
    EXPECT_FALSE(top()->undoButton()->isEnabled());
    EXPECT_TRUE(top()->redoButton()->isEnabled());
    QTest::mouseClick(top()->redoButton(), Qt::LeftButton);
    EXPECT_EQ(host.document->backgroundStyle.cornerRadius, 12);
    EXPECT_FALSE(top()->redoButton()->isEnabled());
    EXPECT_FALSE(top()->undoButton()->toolTip().isEmpty());
    EXPECT_NE(top()->undoButton()->toolTip(), top()->redoButton()->toolTip());
}

TEST_F(EditorFixture, DoneAndOutputButtonsHandTheDeselectedDocumentToTheHost) {
    showWithDocument();
    const Annotation a = addAnnotation(host, AnnotationKind::ellipse, {40, 40, 90, 60});
    ASSERT_TRUE(host.document->selectedAnnotationID);
    QTest::mouseClick(top()->copyButton(), Qt::LeftButton);
    ASSERT_EQ(host.copied.size(), 1u);
    EXPECT_FALSE(host.copied[0].selectedAnnotationID);
    EXPECT_FALSE(host.document->selectedAnnotationID);

    host.document->selectedAnnotationID = a.id;
    QTest::mouseClick(top()->saveAsButton(), Qt::LeftButton);
    QTest::mouseClick(top()->saveButton(), Qt::LeftButton);
    EXPECT_EQ(host.savedAs.size(), 1u);
    EXPECT_EQ(host.quickSaved.size(), 1u);

    host.document->selectedAnnotationID = a.id;
    QTest::mouseClick(top()->doneButton(), Qt::LeftButton);
    ASSERT_EQ(host.finished.size(), 1u);
    EXPECT_FALSE(host.finished[0].selectedAnnotationID);
    ASSERT_EQ(host.finished[0].annotations.size(), 1u);
    EXPECT_EQ(host.finished[0].annotations[0].id, a.id);
}

TEST_F(EditorFixture, CropAndMenus) {
    showWithDocument();
    EXPECT_FALSE(top()->cropApplyButton()->isVisible());
    host.document->selectedTool = AnnotationTool::crop;
    host.document->cropRect = QRectF(10, 10, 200, 100);
    top()->refresh();
    EXPECT_TRUE(top()->cropApplyButton()->isVisible());
    EXPECT_TRUE(top()->cropCancelButton()->isVisible());
    QTest::mouseClick(top()->cropApplyButton(), Qt::LeftButton);
    EXPECT_EQ(host.document->imageSize(), QSizeF(200, 100));
    EXPECT_FALSE(top()->cropApplyButton()->isVisible());

    QStringList items;
    for (QAction* action : top()->canvasMenuButton()->menu()->actions())
        if (!action->isSeparator() || !action->text().isEmpty())
            items << action->text();
    EXPECT_EQ(items, (QStringList{"回転", "左に90°回転", "右に90°回転", "反転", "左右反転", "上下反転", "リサイズ",
                                  "50%", "75%", "125%", "150%", "200%", "画面に固定"}));
    for (QAction* action : top()->canvasMenuButton()->menu()->actions())
        if (action->text() == "右に90°回転")
            action->trigger();
    EXPECT_EQ(host.document->imageSize(), QSizeF(100, 200));
    for (QAction* action : top()->canvasMenuButton()->menu()->actions())
        if (action->text() == "200%")
            action->trigger();
    EXPECT_EQ(host.document->imageSize(), QSizeF(200, 400));

    top()->chooseProjectSavePath = [] { return std::optional<QString>("/tmp/a.lumivane"); };
    top()->chooseProjectOpenPath = [] { return std::optional<QString>(); };
    const auto projectActions = top()->projectMenuButton()->menu()->actions();
    ASSERT_EQ(projectActions.size(), 2);
    EXPECT_EQ(projectActions[0]->text(), "Save Project...");
    EXPECT_EQ(projectActions[1]->text(), "Open Project...");
    projectActions[0]->trigger();
    projectActions[1]->trigger();
    EXPECT_EQ(host.projectSaves, std::vector<QString>{"/tmp/a.lumivane"});
    EXPECT_TRUE(host.projectOpens.empty());
}

TEST_F(EditorFixture, DragControlRendersTheDocument) {
    EXPECT_FALSE(bottom()->dragButton()->isAvailable());
    showWithDocument();
    EXPECT_TRUE(bottom()->dragButton()->isAvailable());
    host.document->backgroundStyle.isEnabled = true;
    host.document->backgroundStyle.padding = 48;
    bottom()->refresh();
    DragExportButton* drag = bottom()->dragButton();
    // Each refresh encodes its state ahead; the drag then carries that file.
    QTRY_VERIFY_WITH_TIMEOUT(drag->cache().isPrepared(drag->keyProvider()), 10000);
    const auto payload = drag->dragPayload();
    ASSERT_TRUE(payload);
    EXPECT_GT(payload->image->width(), 640); // framed by the background
    ASSERT_TRUE(payload->pngData);
    ASSERT_TRUE(payload->filePath);
    EXPECT_TRUE(QFileInfo(*payload->filePath).fileName().startsWith("Lumivane-Editor-"));
    QImage decoded;
    ASSERT_TRUE(decoded.load(*payload->filePath, "PNG"));
    EXPECT_EQ(decoded.size(), payload->image->size());
    EXPECT_EQ(drag->dragPayload()->filePath, payload->filePath) << "nothing changed: the same file";

    // A change not yet encoded is never dragged as the older picture.
    host.document->backgroundStyle.padding = 96;
    bottom()->refresh();
    const auto changed = drag->dragPayload();
    ASSERT_TRUE(changed && changed->filePath);
    EXPECT_NE(changed->filePath, payload->filePath);
    EXPECT_GT(changed->image->width(), payload->image->width());
    EXPECT_GT(QImage(*changed->filePath).width(), decoded.width());
    QDir(QFileInfo(*changed->filePath).absolutePath()).removeRecursively();
    QDir(QFileInfo(*payload->filePath).absolutePath()).removeRecursively();
}

TEST_F(EditorFixture, ShareSlotFollowsExportAvailability) {
    EXPECT_FALSE(bottom()->shareButton());
    auto* share = new QPushButton("share");
    bottom()->setShareButton(share);
    EXPECT_EQ(bottom()->shareButton(), share);
    EXPECT_EQ(share->parentWidget(), bottom());
    EXPECT_FALSE(share->isEnabled());
    showWithDocument();
    EXPECT_TRUE(share->isEnabled());
    EXPECT_GT(share->geometry().left(), bottom()->dragButton()->geometry().right());
}

TEST_F(EditorFixture, DoneCommitsTextBeingTypedFirst) {
    showWithDocument();
    EditorCanvas* canvas = startTyping(top(), controller->view()->canvasHost()->canvas());
    ASSERT_TRUE(canvas->isEditingText());
    ASSERT_TRUE(canvas->textEditor());
    QTest::keyClicks(canvas->textEditor(), "Hello");
    QTest::mouseClick(top()->doneButton(), Qt::LeftButton);
    EXPECT_FALSE(canvas->isEditingText());
    ASSERT_EQ(host.finished.size(), 1u);
    ASSERT_EQ(host.finished[0].annotations.size(), 1u);
    EXPECT_EQ(host.finished[0].annotations[0].text, "Hello");
    EXPECT_FALSE(host.finished[0].selectedAnnotationID);
}

TEST_F(EditorFixture, PopoversStayOpenAcrossSeveralChoices) {
    showWithDocument();
    const Annotation rect = addAnnotation(host, AnnotationKind::rectangle, {30, 30, 100, 80});
    QTest::mouseClick(top()->styleButton(), Qt::LeftButton);
    QPointer<AnnotationStylePopover> style = top()->stylePopover();
    ASSERT_TRUE(style);
    for (const char* width : {"2 px", "8 px", "10 px"}) {
        QTest::mouseClick(chip(style, width), Qt::LeftButton);
        QTest::qWait(10);
        ASSERT_TRUE(style) << width;
        EXPECT_TRUE(style->isVisible());
        EXPECT_EQ(selectedChipLabels(style), std::vector<QString>{QString(width)});
    }
    EXPECT_EQ(host.document->find(rect.id)->lineWidth, 10);
    auto* palette = style->content()->findChild<AnnotationColorPalette*>();
    ASSERT_TRUE(palette);
    QTest::mouseClick(palette->swatch(1), Qt::LeftButton);
    QTest::qWait(10);
    ASSERT_TRUE(style);
    EXPECT_TRUE(style->isVisible());
    EXPECT_EQ(style->content()->findChild<AnnotationColorPalette*>()->selectedSwatches(), std::vector<int>{1});
    EXPECT_EQ(host.history.undoStack.size(), 4u);
    style->close();

    QTest::mouseClick(top()->backgroundButton(), Qt::LeftButton);
    QPointer<BackgroundStylePopover> background = top()->backgroundPopover();
    ASSERT_TRUE(background);
    for (const char* padding : {"24 px", "72 px"}) {
        QTest::mouseClick(chip(background, padding), Qt::LeftButton);
        QTest::qWait(10);
        ASSERT_TRUE(background);
        EXPECT_TRUE(background->isVisible());
    }
    QTest::mouseClick(chip(background, "16%"), Qt::LeftButton);
    QTest::qWait(10);
    ASSERT_TRUE(background);
    EXPECT_EQ(host.document->backgroundStyle.padding, 72);
    EXPECT_DOUBLE_EQ(host.document->backgroundStyle.shadowOpacity, 0.16);
    // The switch off shows the hint, on again the presets; the popover stays.
    background->enabledSwitch()->click();
    QTest::qWait(10);
    ASSERT_TRUE(background);
    EXPECT_FALSE(host.document->backgroundStyle.isEnabled);
    EXPECT_FALSE(chip(background, "72 px"));
    background->enabledSwitch()->click();
    QTest::qWait(10);
    ASSERT_TRUE(background);
    EXPECT_TRUE(background->isVisible());
    const std::vector<QString> shown = selectedChipLabels(background);
    EXPECT_NE(std::find(shown.begin(), shown.end(), "72 px"), shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), "16%"), shown.end());
    background->close();
}

TEST_F(EditorFixture, ChangingToolsEndsTextEditing) {
    showWithDocument();
    EditorCanvas* canvas = startTyping(top(), controller->view()->canvasHost()->canvas());
    ASSERT_TRUE(canvas->isEditingText());
    QTest::keyClicks(canvas->textEditor(), "Hi");
    QTest::mouseClick(top()->toolButton(AnnotationTool::rectangle), Qt::LeftButton);
    EXPECT_FALSE(canvas->isEditingText());
    EXPECT_FALSE(host.editingText);
    EXPECT_EQ(host.document->selectedTool, AnnotationTool::rectangle);
    ASSERT_EQ(host.document->annotations.size(), 1u);
    EXPECT_EQ(host.document->annotations[0].text, "Hi");
    // Undo works again and removes the typing in one step.
    const size_t steps = host.history.undoStack.size();
    QTest::mouseClick(top()->undoButton(), Qt::LeftButton);
    EXPECT_EQ(host.history.undoStack.size(), steps - 1);
    EXPECT_EQ(host.document->annotations[0].text, "");
}

TEST_F(EditorFixture, TextStillBeingComposedIsCommittedBeforeCopySaveAndMenus) {
    showWithDocument();
    EditorCanvas* canvas = controller->view()->canvasHost()->canvas();
    int placed = 0;
    const auto typeAndCompose = [&](const QString& typed, const QString& composing) {
        startTyping(top(), canvas, QPoint(0, 150 * placed++));
        ASSERT_TRUE(canvas->textEditor());
        QTest::keyClicks(canvas->textEditor(), typed);
        compose(canvas->textEditor(), composing);
    };
    typeAndCompose("A", QStringLiteral("にほん"));
    QTest::mouseClick(top()->copyButton(), Qt::LeftButton);
    ASSERT_EQ(host.copied.size(), 1u);
    EXPECT_EQ(host.copied[0].annotations.back().text, QStringLiteral("Aにほん"));

    typeAndCompose("B", QStringLiteral("ご"));
    QTest::mouseClick(top()->saveButton(), Qt::LeftButton);
    ASSERT_EQ(host.quickSaved.size(), 1u);
    EXPECT_EQ(host.quickSaved[0].annotations.back().text, QStringLiteral("Bご"));

    typeAndCompose("C", QStringLiteral("変換"));
    for (QAction* action : top()->canvasMenuButton()->menu()->actions())
        if (action->text() == "左右反転")
            action->trigger();
    EXPECT_FALSE(canvas->isEditingText());
    EXPECT_EQ(host.document->annotations.back().text, QStringLiteral("C変換"));
}

TEST_F(EditorFixture, CanvasLaysOutAgainAfterABackgroundChange) {
    showWithDocument();
    EditorCanvas* canvas = controller->view()->canvasHost()->canvas();
    const QRectF before = canvas->imageRect();
    QTest::mouseClick(top()->backgroundButton(), Qt::LeftButton);
    ASSERT_TRUE(host.document->backgroundStyle.isEnabled);
    QTest::mouseClick(chip(top()->backgroundPopover(), "96 px"), Qt::LeftButton);
    top()->backgroundPopover()->close();
    // The frame's padding surrounds the image on the canvas as in the output.
    const QRectF framed = canvas->imageRect();
    EXPECT_GT(framed.left(), before.left());
    EXPECT_GT(framed.top(), before.top());
    EXPECT_LT(framed.width(), before.width());
    EXPECT_GT(canvas->width() - framed.right(), framed.width() * 96.0 / 640.0 - 1);
}

TEST_F(EditorFixture, TopBarFitsTheDefaultWidthInCropMode) {
    showWithDocument();
    QWidget* w = controller->window();
    ASSERT_EQ(w->width(), 1180);
    // With a selection the style control shows too: the widest the bar gets.
    addAnnotation(host, AnnotationKind::text, {60, 60, 200, 40});
    QTest::mouseClick(top()->toolButton(AnnotationTool::crop), Qt::LeftButton);
    host.document->cropRect = QRectF(10, 10, 200, 100);
    top()->refresh();
    QApplication::processEvents();
    ASSERT_TRUE(top()->cropApplyButton()->isVisible());
    ASSERT_TRUE(top()->styleButton()->isVisible());
    // Every control of the left part, the background button last, is in view.
    QToolButton* background = top()->backgroundButton();
    QWidget* viewport = background->parentWidget()->parentWidget();
    const QRect inView = QRect(background->mapTo(viewport, QPoint(0, 0)), background->size());
    EXPECT_TRUE(viewport->rect().contains(inView))
        << inView.x() << "+" << inView.width() << " in " << viewport->width();
    for (QWidget* control :
         std::initializer_list<QWidget*>{top()->cropApplyButton(), top()->doneButton(), top()->saveAsButton()}) {
        const QRect r(control->mapTo(top(), QPoint(0, 0)), control->size());
        EXPECT_TRUE(top()->rect().contains(r));
    }
}

TEST_F(EditorFixture, SelectionRefreshesKeepThePreparedExportAndADragWaitsForTheEncoding) {
    showWithDocument();
    const Annotation rect = addAnnotation(host, AnnotationKind::rectangle, {30, 30, 100, 80});
    DragExportButton* drag = bottom()->dragButton();
    QTRY_VERIFY_WITH_TIMEOUT(drag->cache().isPrepared(drag->keyProvider()), 10000);
    const quint64 key = bottom()->exportGeneration();
    // Selecting and deselecting, and a tool change, are no new picture.
    host.document->selectedAnnotationID.reset();
    emit host.editorDocumentChanged();
    host.document->selectedAnnotationID = rect.id;
    emit host.editorDocumentChanged();
    QTest::mouseClick(top()->toolButton(AnnotationTool::ellipse), Qt::LeftButton);
    EXPECT_EQ(bottom()->exportGeneration(), key);
    EXPECT_TRUE(drag->cache().isPrepared(key));

    // An edit is a new picture; a drag started at once does not encode on the UI thread.
    QTest::mouseClick(top()->styleButton(), Qt::LeftButton);
    QTest::mouseClick(chip(top()->stylePopover(), "10 px"), Qt::LeftButton);
    top()->stylePopover()->close();
    EXPECT_NE(bottom()->exportGeneration(), key);
    QTest::mousePress(drag, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(drag, QPoint(30, 12));
    EXPECT_FALSE(drag->cache().isPrepared(drag->keyProvider()));
    QTest::mouseRelease(drag, Qt::LeftButton, {}, QPoint(30, 12));
    QTRY_VERIFY_WITH_TIMEOUT(drag->cache().isPrepared(drag->keyProvider()), 10000);
}
