// Recording and grabbing shortcuts under several keyboard layouts, set on the
// test's own X server with setxkbmap and typed through XTest by physical key.
#include "platform/x11/X11Platform.h"
#include "settings/ShortcutRecorder.h"
#include "shortcuts/HotKeyService.h"
#include "shortcuts/KeyMapping.h"

#include "XTestKeyboard.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;
using Action = HotKeyService::Action;

namespace {

// evdev codes of the keys the tests press.
constexpr quint8 kShift = 42, kControl = 29, kSuper = 125, kKey2 = 3, kKeyY = 21, kPrint = 99, kF5 = 63;

bool setLayout(const QString& layout, const QString& model = QStringLiteral("pc105")) {
    QProcess p;
    p.start(QStringLiteral("setxkbmap"), {QStringLiteral("-model"), model, QStringLiteral("-layout"), layout});
    return p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

class KeyboardLayouts : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setKeyboardLayout(makeX11KeyboardLayout()); }
    static void TearDownTestSuite() {
        setLayout(QStringLiteral("us"));
        setKeyboardLayout(nullptr);
    }

    // Records one chord in a focused recorder field.
    std::optional<Shortcut> record(std::initializer_list<quint8> chord) {
        QWidget window;
        auto* field = new ShortcutRecorderField(&window);
        window.resize(240, 80);
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            return std::nullopt;
        field->setFocus();
        std::optional<Shortcut> recorded;
        field->onShortcutRecorded = [&](const Shortcut& s) { recorded = s; };
        field->beginRecording();
        typist.physicalChord(chord);
        QElapsedTimer t;
        t.start();
        while (!recorded && t.elapsed() < 3000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_FALSE(field->isRecording());
        EXPECT_EQ(field->labelText(), recorded ? recorded->displayString() : QString());
        return recorded;
    }

    // Registers the shortcut and counts its presses.
    int presses(const Shortcut& shortcut, std::initializer_list<quint8> chord) {
        HotKeyService service(makeX11GlobalKeyGrabber());
        int count = 0;
        service.onAction = [&](Action a) { count += a == Action::captureArea; };
        const auto failures = service.registerShortcuts({{Action::captureArea, shortcut}});
        EXPECT_TRUE(failures.empty()) << (failures.empty() ? 0 : failures[0].status);
        test::pumpEvents(50);
        typist.physicalChord(chord);
        test::pumpEvents(300);
        return count;
    }

    test::XTestKeyboard typist;
};

TEST_F(KeyboardLayouts, ShiftSuper2IsTheSamePhysicalKeyOnEveryLayout) {
    const QList<std::pair<QString, QString>> layouts{
        {"us", "pc105"}, {"jp", "jp106"}, {"de", "pc105"}, {"ru", "pc105"}};
    for (const auto& [layout, model] : layouts) {
        SCOPED_TRACE(layout.toStdString());
        ASSERT_TRUE(setLayout(layout, model));
        test::pumpEvents(100);
        const auto recorded = record({kShift, kSuper, kKey2});
        ASSERT_TRUE(recorded);
        EXPECT_EQ(*recorded, (Shortcut{19, 768}));
        EXPECT_EQ(recorded->displayString(), QStringLiteral("Super+Shift+2"));
        EXPECT_EQ(presses(*recorded, {kShift, kSuper, kKey2}), 1);
    }
}

TEST_F(KeyboardLayouts, LabelsComeFromTheActiveLayout) {
    ASSERT_TRUE(setLayout("de"));
    // The US "Y" position types "z" on a German keyboard; the key left of 1 is a dead circumflex.
    const auto recorded = record({kControl, kKeyY});
    ASSERT_TRUE(recorded);
    EXPECT_EQ(*recorded, (Shortcut{16, 4096}));
    EXPECT_EQ(keyLabel(16), "Z");
    EXPECT_EQ(keyLabel(6), "Y");
    EXPECT_EQ(keyLabel(50), "^");
    EXPECT_EQ(keyLabel(27), QString::fromUtf8("ß"));
    EXPECT_EQ(presses(*recorded, {kControl, kKeyY}), 1);

    ASSERT_TRUE(setLayout("ru"));
    EXPECT_EQ(keyLabel(0), QString::fromUtf8("Ф"));
    EXPECT_EQ(keyLabel(16), QString::fromUtf8("Н"));
    const auto cyrillic = record({kShift, kSuper, 30}); // the "A" position, "ф"
    ASSERT_TRUE(cyrillic);
    EXPECT_EQ(*cyrillic, (Shortcut{0, 768}));
    EXPECT_EQ(cyrillic->displayString(), QString::fromUtf8("Super+Shift+Ф"));

    ASSERT_TRUE(setLayout("jp", "jp106"));
    EXPECT_EQ(keyLabel(19), "2");
    EXPECT_EQ(keyLabel(kExtendedKeyCodeBase + 92), QString::fromUtf8("変換"));
    const auto ro = record({kShift, kSuper, 89}); // the JIS "ろ" key
    ASSERT_TRUE(ro);
    EXPECT_EQ(*ro, (Shortcut{94, 768}));
    EXPECT_EQ(keyLabel(94), "\\");
    EXPECT_EQ(presses(*ro, {kShift, kSuper, 89}), 1);

    ASSERT_TRUE(setLayout("us"));
    EXPECT_EQ(keyLabel(16), "Y");
}

// A field on screen shows its key as the layout in use types it now, not as the
// layout it was recorded under did.
TEST_F(KeyboardLayouts, AShownFieldFollowsALayoutSwitch) {
    ASSERT_TRUE(setLayout("us"));
    const auto recorded = record({kControl, kKeyY});
    ASSERT_TRUE(recorded);
    QWidget window;
    auto* field = new ShortcutRecorderField(&window);
    field->setShortcut(*recorded);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(field->labelText().endsWith("+Y")) << field->labelText().toStdString();
    ASSERT_TRUE(setLayout("de"));
    test::pumpEvents(100);
    EXPECT_TRUE(field->labelText().endsWith("+Z")) << field->labelText().toStdString();
    window.hide();
    window.show(); // shown again, as when the settings window comes back
    test::pumpEvents(50);
    EXPECT_TRUE(field->accessibleName().endsWith("+Z")) << field->accessibleName().toStdString();
    ASSERT_TRUE(setLayout("us"));
}

TEST_F(KeyboardLayouts, PrintAndFunctionKeysAreRecordedAndFire) {
    ASSERT_TRUE(setLayout("us"));
    const auto print = record({kShift, kPrint});
    ASSERT_TRUE(print);
    EXPECT_EQ(*print, (Shortcut{kExtendedKeyCodeBase + kPrint, 512}));
    EXPECT_EQ(print->displayString(), QStringLiteral("Shift+Print"));
    EXPECT_EQ(presses(*print, {kShift, kPrint}), 1);

    const auto f5 = record({kControl, kF5});
    ASSERT_TRUE(f5);
    EXPECT_EQ(*f5, (Shortcut{96, 4096}));
    EXPECT_EQ(f5->displayString(), QStringLiteral("Ctrl+F5"));
    EXPECT_EQ(presses(*f5, {kControl, kF5}), 1);
}

} // namespace
