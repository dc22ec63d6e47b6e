#include "core/NativeFileNames.h"
#include "settings/AppSettings.h"
#include "settings/SettingsHost.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsView.h"
#include "settings/SettingsWindowController.h"
#include "settings/ShortcutRecorder.h"
#include "settings/ShortcutRow.h"

#include "MemorySettingsStore.h"
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace lumivane {
namespace {

using MemoryStore = test::MemorySettingsStore;

class FakeHost : public SettingsHost {
public:
    FakeHost() : settings_(std::make_unique<MemoryStore>(&writes)) {}
    AppSettings& settings() override { return settings_; }
    SettingsTab selectedSettingsTab() const override { return tab_; }
    void setSelectedSettingsTab(SettingsTab tab) override {
        tab_ = tab;
        emit selectedSettingsTabChanged();
    }
    void applySettings() override { ++applyCount; }
    void useRecommendedShortcuts() override { ++recommendedCount; }
    QMap<HotKeyService::Action, HotKeyService::RegistrationFailure> shortcutRegistrationFailures() const override {
        return failures;
    }
    void shortcutRecorderDidBeginRecording() override { ++activeRecorders, ++beginCount; }
    void shortcutRecorderDidEndRecording() override { activeRecorders = std::max(0, activeRecorders - 1), ++endCount; }
    void openDesktopScreenshotShortcutSettings() override { ++openSettingsCount; }
    QString updateStatusTitle() const override { return QStringLiteral("アップデート未設定"); }
    QString updateStatusDetail() const override { return QStringLiteral("detail"); }
    bool canCheckForUpdates() const override { return false; }
    bool updateTestToolsEnabled() const override { return false; }
    void checkForUpdates() override {}
    void showTestUpdateAlert() override {}

    int writes = 0;
    int applyCount = 0, recommendedCount = 0, beginCount = 0, endCount = 0, activeRecorders = 0, openSettingsCount = 0;
    QMap<HotKeyService::Action, HotKeyService::RegistrationFailure> failures;

private:
    AppSettings settings_;
    SettingsTab tab_ = SettingsTab::shortcuts;
};

constexpr Qt::KeyboardModifiers kShiftSuper = Qt::ShiftModifier | Qt::MetaModifier;

class ShortcutRecorderFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        field.onShortcutRecorded = [this](const Shortcut& s) { recorded.push_back(s); };
        field.onBeginRecording = [this] { ++begins; };
        field.onEndRecording = [this] { ++ends; };
        field.setShortcut(Shortcut{18, 768});
        window.resize(400, 200);
        field.setParent(&window);
        other.setParent(&window);
        other.move(0, 100);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void click() { QTest::mouseClick(&field, Qt::LeftButton, {}, QPoint(20, 20)); }

    QWidget window;
    ShortcutRecorderField field;
    QLineEdit other;
    std::vector<Shortcut> recorded;
    int begins = 0, ends = 0;
};

TEST_F(ShortcutRecorderFieldTest, BareKeyAndLoneModifiersAreIgnoredThenShiftSuper3IsRecorded) {
    click();
    EXPECT_TRUE(field.isRecording());
    EXPECT_EQ(field.labelText(), "新しいキーを入力");
    EXPECT_EQ(field.hintText(), "Esc で取り消し");
    EXPECT_EQ(begins, 1);

    QTest::keyClick(&field, Qt::Key_3);
    QTest::keyClick(&field, Qt::Key_Meta, Qt::MetaModifier);
    QTest::keyClick(&field, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(field.isRecording());
    EXPECT_TRUE(recorded.empty());

    // Shift+3 arrives as "#" on the US layout.
    QTest::keyClick(&field, Qt::Key_NumberSign, kShiftSuper);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0], (Shortcut{20, 768}));
    EXPECT_FALSE(field.isRecording());
    EXPECT_FALSE(field.isMonitoring());
    EXPECT_EQ(field.labelText(), "Super+Shift+3");
    EXPECT_EQ(ends, 1);
}

TEST_F(ShortcutRecorderFieldTest, KeysSentElsewhereAreCapturedWhileRecording) {
    click();
    QTest::keyClick(&other, Qt::Key_F5, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].modifiers, 256u + 512u + 2048u + 4096u);
    EXPECT_TRUE(other.text().isEmpty());
}

// An idle field shows its shortcut and takes no keys; Esc while recording keeps it.
TEST_F(ShortcutRecorderFieldTest, IdleFieldIgnoresKeysAndEscapeCancelsAndKeepsTheShortcut) {
    EXPECT_EQ(field.labelText(), "Super+Shift+1");
    QTest::keyClick(&field, Qt::Key_5, Qt::MetaModifier);
    EXPECT_TRUE(recorded.empty());
    EXPECT_EQ(begins, 0);
    click();
    QTest::keyClick(&field, Qt::Key_Escape);
    EXPECT_FALSE(field.isRecording());
    EXPECT_TRUE(recorded.empty());
    EXPECT_EQ(field.shortcut(), (Shortcut{18, 768}));
    EXPECT_EQ(field.labelText(), "Super+Shift+1");
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
    // A later key goes nowhere.
    QTest::keyClick(&field, Qt::Key_4, kShiftSuper);
    EXPECT_TRUE(recorded.empty());
}

TEST_F(ShortcutRecorderFieldTest, EachRecordingEndsExactlyOnce) {
    click();
    click(); // restarting ends the first recording
    EXPECT_EQ(begins, 2);
    EXPECT_EQ(ends, 1);
    // Focus changes only reach an active window, which a bare X server never
    // grants; deliver the focus loss itself.
    QFocusEvent focusOut(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(&field, &focusOut);
    EXPECT_FALSE(field.isRecording());
    EXPECT_FALSE(field.isMonitoring());
    EXPECT_EQ(ends, 2);
    field.stopMonitoring();
    EXPECT_EQ(ends, 2);
}

class SettingsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view = controller.view();
        controller.showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    }
    template <class T>
    T* child(const char* name) {
        T* w = view->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    FakeHost host;
    SettingsWindowController controller{host};
    SettingsView* view = nullptr;
};

// One window of a fixed size, kept between showings, opening on the shortcuts tab;
// every tab's title fits its button.
TEST_F(SettingsViewTest, WindowIsKeptHasAFixedSizeAndOpensOnTheShortcutsTab) {
    QWidget* w = controller.window();
    EXPECT_EQ(w->windowTitle(), "設定");
    EXPECT_EQ(view->shownTab(), SettingsTab::shortcuts);
    w->close();
    controller.showWindow();
    EXPECT_EQ(controller.window(), w);
    EXPECT_TRUE(w->isVisible());
    QApplication::processEvents();
    EXPECT_EQ(w->minimumSize(), QSize(760, 540));
    EXPECT_EQ(w->maximumSize(), QSize(760, 540));
    w->resize(600, 400); // a fixed window ignores this
    QApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(760, 540));

    QTest::mouseClick(view->tabButton(SettingsTab::about), Qt::LeftButton);
    EXPECT_EQ(host.selectedSettingsTab(), SettingsTab::about);
    EXPECT_EQ(view->shownTab(), SettingsTab::about);
    EXPECT_TRUE(view->tabButton(SettingsTab::about)->isChecked());
    for (SettingsTab tab : allSettingsTabs) {
        auto* b = qobject_cast<QToolButton*>(view->tabButton(tab));
        ASSERT_NE(b, nullptr);
        const int textWidth = b->fontMetrics().horizontalAdvance(title(tab));
        EXPECT_GE(b->width(), textWidth + 8) << title(tab).toStdString(); // 4 px padding on each side
        EXPECT_GE(b->width(), b->sizeHint().width()) << title(tab).toStdString();
        EXPECT_EQ(settingsTabFromRaw(rawValue(tab)), tab);
    }
    EXPECT_NE(view->setupChecklistContainer(), nullptr);
    EXPECT_TRUE(view->setupChecklistContainer()->children().size() <= 1); // only its layout
}

TEST_F(SettingsViewTest, RecordingInARowStoresTheShortcutAndBalancesSuspension) {
    ShortcutRow* row = view->shortcutRow(ShortcutAction::captureFullScreen);
    ASSERT_NE(row, nullptr);
    ShortcutRecorderField* field = row->recorder()->field();
    EXPECT_EQ(field->labelText(), "Super+Shift+1");
    EXPECT_FALSE(row->isWarningShown());

    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(host.activeRecorders, 1);
    QTest::keyClick(field, Qt::Key_Print, Qt::ShiftModifier);
    EXPECT_EQ(host.activeRecorders, 0);
    EXPECT_EQ(host.beginCount, host.endCount);
    EXPECT_EQ(host.settings().shortcut(ShortcutAction::captureFullScreen), kDesktopScreenshotAreaKey);
    EXPECT_GE(host.applyCount, 1);
    EXPECT_TRUE(row->isWarningShown());
    EXPECT_EQ(row->warningTitle(), "Shift+Print はデスクトップ標準のスクリーンショットと同じキーです");

    host.failures.insert(HotKeyService::Action::captureFullScreen,
                         {HotKeyService::Action::captureFullScreen, kDesktopScreenshotAreaKey, 10});
    emit host.shortcutRegistrationFailuresChanged();
    EXPECT_EQ(row->warningTitle(), "Shift+Print は現在 Lumivane で使えていません");
    QApplication::processEvents();
    if (const QByteArray dir = qgetenv("LUMIVANE_SETTINGS_GRAB_DIR"); !dir.isEmpty())
        controller.window()->grab().save(QString::fromUtf8(dir) + "/settings-shortcut-warning.png");
    QTest::mouseClick(row->findChild<QPushButton*>("useRecommendedShortcuts"), Qt::LeftButton);
    QTest::mouseClick(row->findChild<QPushButton*>("openScreenshotSettings"), Qt::LeftButton);
    EXPECT_EQ(host.recommendedCount, 1);
    EXPECT_EQ(host.openSettingsCount, 1);

    // Esc in the other row leaves its shortcut alone and still balances.
    ShortcutRecorderField* areaField = view->shortcutRow(ShortcutAction::captureArea)->recorder()->field();
    QTest::mouseClick(areaField, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::keyClick(areaField, Qt::Key_Escape);
    EXPECT_EQ(host.activeRecorders, 0);
    EXPECT_EQ(host.settings().shortcut(ShortcutAction::captureArea), defaultShortcut(ShortcutAction::captureArea));
}

// A key the other action already has is refused with a note naming that action; the
// field keeps recording, so the next key can be pressed at once.
TEST_F(SettingsViewTest, TheOtherActionsKeyIsRefusedWithANote) {
    ShortcutRow* areaRow = view->shortcutRow(ShortcutAction::captureArea);
    ShortcutRecorderField* field = areaRow->recorder()->field();
    const Shortcut fullKey = host.settings().shortcut(ShortcutAction::captureFullScreen);
    EXPECT_FALSE(areaRow->isRefusalShown());

    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::keyClick(field, Qt::Key_1, kShiftSuper);
    EXPECT_TRUE(field->isRecording());
    EXPECT_EQ(host.settings().shortcut(ShortcutAction::captureArea), defaultShortcut(ShortcutAction::captureArea));
    EXPECT_TRUE(areaRow->isRefusalShown());
    EXPECT_TRUE(areaRow->refusalText().startsWith(fullKey.displayString())) << areaRow->refusalText().toStdString();
    EXPECT_TRUE(areaRow->refusalText().contains("全画面を撮影"));
    EXPECT_FALSE(areaRow->isWarningShown());
    QApplication::processEvents();
    if (const QByteArray dir = qgetenv("LUMIVANE_SETTINGS_GRAB_DIR"); !dir.isEmpty())
        controller.window()->grab().save(QString::fromUtf8(dir) + "/settings-shortcut-taken.png");

    QTest::keyClick(field, Qt::Key_3, kShiftSuper);
    EXPECT_FALSE(field->isRecording());
    EXPECT_EQ(host.settings().shortcut(ShortcutAction::captureArea), (Shortcut{20, 768}));
    EXPECT_FALSE(areaRow->isRefusalShown());
    EXPECT_EQ(host.beginCount, host.endCount);

    // Esc after a refusal takes the note away too.
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::keyClick(field, Qt::Key_1, kShiftSuper);
    EXPECT_TRUE(areaRow->isRefusalShown());
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(areaRow->isRefusalShown());
    EXPECT_EQ(host.settings().shortcut(ShortcutAction::captureFullScreen), fullKey);
}

// 情報 names the real version and build, both desktops, and only what this session
// asks of the user: nothing of another system's permissions or update framework.
TEST_F(SettingsViewTest, AboutPageTellsWhatIsTrueHere) {
    host.setSelectedSettingsTab(SettingsTab::about);
    QStringList texts;
    for (QLabel* l : view->findChildren<QLabel*>())
        texts << l->text();
    const QString all = texts.join('\n');
    EXPECT_TRUE(AboutSettingsPage::appBuild() != "-" && !AboutSettingsPage::appBuild().isEmpty());
    EXPECT_TRUE(all.contains(AboutSettingsPage::appVersion() + " (" + AboutSettingsPage::appBuild() + ")"));
    EXPECT_NE(AboutSettingsPage::appVersion(), "-");
    EXPECT_TRUE(all.contains("X11") && all.contains("Wayland"));
    EXPECT_TRUE(all.contains("リモートデバッグ"));
    for (const char* foreign : {"Sparkle", "配布URL", "署名鍵", "アクセシビリティ", "オートメーション", "画面収録"})
        EXPECT_FALSE(all.contains(foreign)) << foreign;
    if (const QByteArray dir = qgetenv("LUMIVANE_SETTINGS_GRAB_DIR"); !dir.isEmpty())
        controller.window()->grab().save(QString::fromUtf8(dir) + "/settings-about.png");
}

TEST_F(SettingsViewTest, ControlsWriteTheSettings) {
    AppSettings& s = host.settings();
    host.setSelectedSettingsTab(SettingsTab::general);
    const int before = host.writes;
    QTest::mouseClick(child<QCheckBox>("openEditorAfterCapture"), Qt::LeftButton);
    QTest::mouseClick(child<QCheckBox>("autoDismissPreview"), Qt::LeftButton);
    EXPECT_TRUE(s.openEditorAfterCapture());
    EXPECT_TRUE(s.autoDismissPreview());
    EXPECT_GE(host.writes, before + 2);
    // The history's limits are written when editing ends, within bounds; with the history
    // off they cannot be changed.
    QSpinBox* entries = child<QSpinBox>("historyMaximumEntries");
    EXPECT_EQ(entries->value(), 50);
    entries->setFocus();
    entries->selectAll();
    QTest::keyClicks(entries, "123456");
    EXPECT_EQ(s.historyMaximumEntries(), 50) << "not at every digit";
    QTest::keyClick(entries, Qt::Key_Return);
    EXPECT_EQ(s.historyMaximumEntries(), 1234) << "digits past the maximum are refused";
    QTest::keyClick(entries, Qt::Key_Down);
    EXPECT_EQ(s.historyMaximumEntries(), 1233);
    QTest::mouseClick(child<QCheckBox>("historyEnabled"), Qt::LeftButton);
    EXPECT_FALSE(s.historyEnabled());
    EXPECT_FALSE(entries->isEnabled());
    EXPECT_FALSE(child<QSpinBox>("historyMaximumMegabytes")->isEnabled());
    if (const QByteArray dir = qgetenv("LUMIVANE_SETTINGS_GRAB_DIR"); !dir.isEmpty())
        view->window()->grab().save(QString::fromUtf8(dir) + "/settings-history-off.png");

    host.setSelectedSettingsTab(SettingsTab::screenshots);
    QTest::mouseClick(child<QPushButton>("format_jpeg"), Qt::LeftButton);
    EXPECT_EQ(s.screenshotFileFormat(), ScreenshotFileFormat::jpeg);
    QRadioButton* high = child<QRadioButton>("quality_high");
    QTest::mouseClick(high, Qt::LeftButton, {}, QPoint(8, high->height() / 2));
    EXPECT_EQ(s.captureQualityPreset(), CaptureQualityPreset::high);
    QCheckBox* split = child<QCheckBox>("splitLongPages");
    EXPECT_FALSE(split->isChecked());
    QTest::mouseClick(split, Qt::LeftButton);
    EXPECT_TRUE(s.splitLongPages());
    QLineEdit* prefix = child<QLineEdit>("fileNamePrefix");
    EXPECT_EQ(prefix->placeholderText(), "Lumivane");
    prefix->selectAll();
    QTest::keyClicks(prefix, "Shot");
    EXPECT_EQ(s.fileNamePrefix(), "Shot");

    // A folder whose name is not UTF-8 has no form in the settings file: refused, said so.
    view->chooseFolder = [] { return std::optional<QString>(fileNameFromNative("/tmp/caf\xe9")); };
    QTest::mouseClick(child<QPushButton>("chooseSaveFolder"), Qt::LeftButton);
    EXPECT_FALSE(s.defaultSaveFolderPath().has_value());
    EXPECT_TRUE(view->folderPathLabel()->text().contains("UTF-8 でない文字"))
        << view->folderPathLabel()->text().toStdString();
    QTest::qWait(100);
    if (const QByteArray dir = qgetenv("LUMIVANE_SETTINGS_GRAB_DIR"); !dir.isEmpty())
        view->window()->grab().save(QString::fromUtf8(dir) + "/settings-folder-refused.png");
    view->chooseFolder = [] { return std::optional<QString>("/tmp/shots"); };
    QTest::mouseClick(child<QPushButton>("chooseSaveFolder"), Qt::LeftButton);
    EXPECT_EQ(s.defaultSaveFolderPath(), QString("/tmp/shots"));
    EXPECT_EQ(view->folderPathLabel()->text(), "/tmp/shots");
    QTest::mouseClick(child<QPushButton>("clearSaveFolder"), Qt::LeftButton);
    EXPECT_FALSE(s.defaultSaveFolderPath().has_value());
    EXPECT_FALSE(s.defaultSaveFolderBookmarkData().has_value());
    EXPECT_EQ(view->folderPathLabel()->text(), "未設定の場合は保存ダイアログを開きます。");

    host.setSelectedSettingsTab(SettingsTab::annotate);
    QSlider* width = child<QSlider>("defaultAnnotationLineWidth");
    QSlider* size = child<QSlider>("defaultTextFontSize");
    EXPECT_EQ(width->value(), 4);
    EXPECT_EQ(size->value(), 32);
    width->setFocus();
    QTest::keyClick(width, Qt::Key_End);
    EXPECT_EQ(s.defaultAnnotationLineWidth(), 12.0);
    QTest::keyClick(width, Qt::Key_Home);
    EXPECT_EQ(s.defaultAnnotationLineWidth(), 1.0);
    size->setFocus();
    QTest::keyClick(size, Qt::Key_Home);
    EXPECT_EQ(s.defaultTextFontSize(), 10.0);
    QTest::keyClick(size, Qt::Key_End);
    EXPECT_EQ(s.defaultTextFontSize(), 96.0);

    view->chooseColor = [](const QColor&) { return std::optional<QColor>(QColor(255, 0, 0)); };
    QTest::mouseClick(child<QPushButton>("defaultHighlightColor"), Qt::LeftButton);
    EXPECT_EQ(s.defaultHighlightColor(), (RgbaColor{1, 0, 0, 1}));
}

TEST_F(SettingsViewTest, RestoreDefaultsResetsPreferencesAndReappliesHotKeys) {
    AppSettings& s = host.settings();
    s.setFileNamePrefix("Custom");
    s.setShortcut(Shortcut{21, 768}, ShortcutAction::captureArea);
    s.setHasSeenSetupGuide(true);
    s.setBrowserAutomationVerified(true);
    EXPECT_EQ(view->shortcutRow(ShortcutAction::captureArea)->recorder()->field()->labelText(), "Super+Shift+4");
    const int applied = host.applyCount;

    QTest::mouseClick(child<QPushButton>("restoreDefaults"), Qt::LeftButton);
    EXPECT_EQ(s.fileNamePrefix(), "Lumivane");
    EXPECT_EQ(s.shortcut(ShortcutAction::captureArea), defaultShortcut(ShortcutAction::captureArea));
    EXPECT_TRUE(s.hasSeenSetupGuide());
    EXPECT_TRUE(s.browserAutomationVerified());
    EXPECT_EQ(host.applyCount, applied + 1);
    EXPECT_EQ(view->shortcutRow(ShortcutAction::captureArea)->recorder()->field()->labelText(), "Super+Shift+2");
    EXPECT_EQ(child<QLineEdit>("fileNamePrefix")->text(), "Lumivane");
}

TEST_F(SettingsViewTest, EveryPageRendersText) {
    const QByteArray dir = qgetenv("LUMIVANE_SETTINGS_GRAB_DIR");
    for (SettingsTab tab : allSettingsTabs) {
        host.setSelectedSettingsTab(tab);
        QApplication::processEvents();
        const QImage image = controller.window()->grab().toImage();
        ASSERT_EQ(image.size(), QSize(760, 540) * image.devicePixelRatio());
        // The header alone draws dark glyphs on a light background.
        int dark = 0;
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 100;
        EXPECT_GT(dark, 200) << rawValue(tab).toStdString();
        if (!dir.isEmpty())
            image.save(QString::fromUtf8(dir) + "/settings-" + rawValue(tab) + ".png");
    }
}

} // namespace
} // namespace lumivane
