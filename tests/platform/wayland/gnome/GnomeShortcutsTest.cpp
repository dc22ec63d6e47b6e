// The capture commands as GNOME custom keyboard shortcuts, written through the
// settings page's button and read back with gsettings as GNOME itself stores them,
// beside a shortcut of the user's own that must stay as it was.
#include "GnomeSession.h"
#include "MemorySettingsStore.h"
#include "app/AppDesktopShortcuts.h"
#include "platform/DesktopBackend.h"
#include "platform/GnomeKeyBindings.h"
#include "settings/AppSettings.h"
#include "settings/DesktopShortcutsBox.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;
using lumivane::test::sharedGnome;

namespace {

const QString listSchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString bindingSchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding");
const QString userPath = QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/");

class GnomeShortcuts : public ::testing::Test {
protected:
    void SetUp() override {
        gnome_ = sharedGnome();
        ASSERT_NE(gnome_, nullptr);
        // The user's own shortcut, made as GNOME's keyboard settings make one.
        ASSERT_TRUE(gnome_->gsettingsSet(listSchema, "custom-keybindings", QStringLiteral("['%1']").arg(userPath)));
        ASSERT_TRUE(gnome_->gsettingsSet(bindingSchema + ":" + userPath, "name", "'Terminal'"));
        ASSERT_TRUE(gnome_->gsettingsSet(bindingSchema + ":" + userPath, "command", "'gnome-terminal'"));
        ASSERT_TRUE(gnome_->gsettingsSet(bindingSchema + ":" + userPath, "binding", "'<Control><Alt>t'"));
    }

    QString list() const { return gnome_->gsettingsGet(listSchema, "custom-keybindings"); }
    QString get(const QString& path, const QString& key) const {
        return gnome_->gsettingsGet(bindingSchema + ":" + path, key);
    }
    void expectUserShortcutUntouched() const {
        EXPECT_TRUE(list().contains(userPath)) << list().toStdString();
        EXPECT_EQ(get(userPath, "name"), "'Terminal'");
        EXPECT_EQ(get(userPath, "command"), "'gnome-terminal'");
        EXPECT_EQ(get(userPath, "binding"), "'<Control><Alt>t'");
    }

    test::GnomeSession* gnome_ = nullptr;
};

} // namespace

// The desktop offers its keyboard settings, without a global shortcuts portal.
TEST_F(GnomeShortcuts, ButtonRegistersFollowsKeyChangesAndRemovesOnlyOurs) {
    const std::shared_ptr<DesktopBackend> backend = loadDesktopBackend();
    EXPECT_FALSE(backend->makeKeyGrabber);
    ASSERT_TRUE(backend->makeDesktopKeyBindings);
    std::unique_ptr<DesktopKeyBindings> bindings = backend->makeDesktopKeyBindings();
    ASSERT_NE(bindings, nullptr);
    EXPECT_EQ(bindings->desktopName(), "GNOME");

    AppSettings settings(std::make_unique<test::MemorySettingsStore>());
    settings.setShortcut({19, kSuperModifier | kShiftModifier}, ShortcutAction::captureArea); // Super+Shift+2
    settings.setShortcut({18, kSuperModifier | kShiftModifier}, ShortcutAction::captureFullScreen);
    settings.setShortcut({20, kSuperModifier | kShiftModifier}, ShortcutAction::captureLastArea);
    settings.setShortcut({21, kSuperModifier | kShiftModifier}, ShortcutAction::captureWindow);
    AppDesktopShortcuts shortcuts(settings, std::move(bindings));
    DesktopShortcutsBox box(shortcuts);
    box.resize(620, box.sizeHint().height());
    box.show();
    ASSERT_TRUE(box.registerButton()->isVisible());
    EXPECT_FALSE(shortcuts.registered());

    box.registerButton()->click();
    const QString area = GnomeKeyBindings::pathFor("capture-area");
    const QString full = GnomeKeyBindings::pathFor("capture-full");
    const QString window = GnomeKeyBindings::pathFor("capture-window");
    const QString last = GnomeKeyBindings::pathFor("capture-last");
    // The text capture has no key: it is not listed with none.
    EXPECT_EQ(list(), QStringLiteral("['%1', '%2', '%3', '%4', '%5']").arg(userPath, area, full, window, last))
        << list().toStdString();
    const struct {
        QString path, command, binding;
    } written[] = {{area, "'lumivane capture area'", "'<Shift><Super>2'"},
                   {full, "'lumivane capture full'", "'<Shift><Super>1'"},
                   {window, "'lumivane capture window'", "'<Shift><Super>4'"},
                   {last, "'lumivane capture last'", "'<Shift><Super>3'"}};
    for (const auto& w : written) {
        SCOPED_TRACE(w.path.toStdString());
        EXPECT_EQ(get(w.path, "command"), w.command);
        EXPECT_EQ(get(w.path, "binding"), w.binding);
        EXPECT_TRUE(get(w.path, "name").startsWith("'Lumivane: "));
    }
    expectUserShortcutUntouched();
    EXPECT_TRUE(shortcuts.registered());
    EXPECT_FALSE(box.registerButton()->isVisible());
    EXPECT_TRUE(box.removeButton()->isVisible());
    const QList<QLabel*> keys = box.findChildren<QLabel*>("desktopShortcutKeys");
    ASSERT_EQ(keys.size(), 5);
    EXPECT_TRUE(keys[0]->text().contains("<Shift><Super>2")) << keys[0]->text().toStdString();

    // A key changed in our settings follows into GNOME's.
    settings.setShortcut({0, kControlModifier | kAltModifier}, ShortcutAction::captureArea); // Ctrl+Alt+A
    EXPECT_EQ(get(area, "binding"), "'<Control><Alt>a'");
    EXPECT_EQ(get(full, "binding"), "'<Shift><Super>1'");
    EXPECT_TRUE(keys[0]->text().contains("<Control><Alt>a")) << keys[0]->text().toStdString();
    expectUserShortcutUntouched();

    box.removeButton()->click();
    EXPECT_EQ(list(), QStringLiteral("['%1']").arg(userPath));
    EXPECT_EQ(get(area, "binding"), "''") << "our entry is reset, not left behind";
    expectUserShortcutUntouched();
    EXPECT_FALSE(shortcuts.registered());
    EXPECT_TRUE(box.registerButton()->isVisible());
    EXPECT_EQ(keys[0]->text(), QStringLiteral("未登録"));

    // Unregistered, a key change writes nothing.
    settings.setShortcut({1, kControlModifier | kAltModifier}, ShortcutAction::captureArea);
    EXPECT_EQ(list(), QStringLiteral("['%1']").arg(userPath));
}
