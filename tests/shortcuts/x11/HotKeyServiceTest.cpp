#include "shortcuts/HotKeyService.h"
#include "XTestKeyboard.h"
#include "platform/x11/X11Platform.h"
#include "shortcuts/KeyMapping.h"

#include <gtest/gtest.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

using namespace lumivane;
using Action = HotKeyService::Action;

namespace {

// In-memory grabber recording what the service asks for.
struct FakeGrabber : GlobalKeyGrabber {
    struct Grab {
        quint32 evdev;
        quint16 mods;
        int id;
    };
    std::vector<Grab>* grabs;
    int* installs;
    qint32 refuseStatus = 0;
    quint32 refusedEvdev = 0;
    bool installed = false;
    FakeGrabber(std::vector<Grab>* g, int* i) : grabs(g), installs(i) {}
    qint32 install() override {
        ++*installs;
        installed = true;
        return statusOk;
    }
    void uninstall() override { installed = false; }
    bool isInstalled() const override { return installed; }
    qint32 grab(quint32 evdev, quint16 mods, int id) override {
        if (refuseStatus && evdev == refusedEvdev)
            return refuseStatus;
        grabs->push_back({evdev, mods, id});
        return statusOk;
    }
    void ungrabAll() override { grabs->clear(); }
};

TEST(HotKeyRegistration, DuplicatesFailWithMinus50AndNothingIsInstalled) {
    std::vector<FakeGrabber::Grab> grabs;
    int installs = 0;
    HotKeyService service(std::make_unique<FakeGrabber>(&grabs, &installs));
    const Shortcut same{18, 768};
    auto failures = service.registerShortcuts({{Action::captureFullScreen, same}, {Action::captureArea, same}});
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0], (HotKeyService::RegistrationFailure{Action::captureFullScreen, same, -50}));
    EXPECT_EQ(failures[1], (HotKeyService::RegistrationFailure{Action::captureArea, same, -50}));
    EXPECT_TRUE(grabs.empty());
    EXPECT_EQ(installs, 0);
}

TEST(HotKeyRegistration, ModifierlessShortcutsAreSkippedAndRefusalsReported) {
    std::vector<FakeGrabber::Grab> grabs;
    int installs = 0;
    auto grabber = std::make_unique<FakeGrabber>(&grabs, &installs);
    grabber->refuseStatus = 10;
    grabber->refusedEvdev = 4; // the "3" key
    FakeGrabber* raw = grabber.get();
    HotKeyService service(std::move(grabber));

    auto failures = service.registerShortcuts({{Action::captureFullScreen, {18, 0}}, {Action::captureArea, {19, 768}}});
    EXPECT_TRUE(failures.empty());
    ASSERT_EQ(grabs.size(), 1u);
    EXPECT_EQ(grabs[0].evdev, 3u); // the "2" key
    EXPECT_EQ(grabs[0].mods, 64 | 1);
    EXPECT_EQ(grabs[0].id, 2);

    // Registering again replaces the first set.
    failures = service.registerShortcuts({{Action::captureFullScreen, {20, 768}}, {Action::captureArea, {21, 768}}});
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0], (HotKeyService::RegistrationFailure{Action::captureFullScreen, {20, 768}, 10}));
    ASSERT_EQ(grabs.size(), 1u);
    EXPECT_EQ(grabs[0].evdev, 5u); // the "4" key

    int calls = 0;
    service.onAction = [&](Action a) {
        ++calls;
        EXPECT_EQ(a, Action::captureArea);
    };
    raw->onPressed(99); // unknown id: ignored
    raw->onPressed(2);
    EXPECT_EQ(calls, 1);
}

// Each press fires once: with Caps Lock on, and while the key is held (the X server
// repeats it); a chord without all the modifiers is not ours.
TEST(HotKeysOnX11, EachPressFiresOnceWhateverTheLockStateOrHowLongItIsHeld) {
    HotKeyService service(makeX11GlobalKeyGrabber());
    int full = 0, area = 0;
    service.onAction = [&](Action a) { (a == Action::captureFullScreen ? full : area)++; };
    auto failures =
        service.registerShortcuts({{Action::captureFullScreen, {18, 768}}, {Action::captureArea, {19, 768}}});
    ASSERT_TRUE(failures.empty()) << failures[0].status;

    test::XTestKeyboard x;
    x.chord({XK_Shift_L, XK_Super_L, XK_1});
    test::pumpEvents(300);
    EXPECT_EQ(full, 1);
    EXPECT_EQ(area, 0);

    x.chord({XK_Caps_Lock}); // Caps Lock on
    x.chord({XK_Shift_L, XK_Super_L, XK_2});
    test::pumpEvents(300);
    x.chord({XK_Caps_Lock});
    EXPECT_EQ(area, 1);

    x.chord({XK_Shift_L, XK_2}); // missing Super: not ours
    test::pumpEvents(200);
    EXPECT_EQ(area, 1);

    // Held: repeated presses as the server's auto-repeat sends them, then its own
    // auto-repeat while the key stays down.
    x.key(XK_Shift_L, true);
    x.key(XK_Super_L, true);
    x.key(XK_1, true);
    for (int i = 0; i < 3; ++i)
        x.key(XK_1, true);
    test::pumpEvents(200);
    EXPECT_EQ(full, 2);
    test::pumpEvents(1200);
    EXPECT_EQ(full, 2);
    x.key(XK_1, false);
    x.key(XK_Super_L, false);
    x.key(XK_Shift_L, false);
    test::pumpEvents(200);
    EXPECT_EQ(full, 2);
    x.chord({XK_Shift_L, XK_Super_L, XK_1}); // the next press is a new one
    test::pumpEvents(300);
    EXPECT_EQ(full, 3);

    service.unregisterAll();
    x.chord({XK_Shift_L, XK_Super_L, XK_1});
    test::pumpEvents(200);
    EXPECT_EQ(full, 3);
}

TEST(HotKeysOnX11, KeyHeldByAnotherClientIsAFailure) {
    test::XTestKeyboard other;
    const xcb_keycode_t three = other.keycode(XK_3);
    xcb_grab_key(other.conn, 1, other.root, 64 | 1, three, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    other.sync();

    HotKeyService service(makeX11GlobalKeyGrabber());
    int area = 0;
    service.onAction = [&](Action a) {
        if (a == Action::captureArea)
            ++area;
    };
    auto failures =
        service.registerShortcuts({{Action::captureFullScreen, {20, 768}}, {Action::captureArea, {19, 768}}});
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].action, Action::captureFullScreen);
    EXPECT_EQ(failures[0].status, 10); // BadAccess

    // The other action still works.
    test::XTestKeyboard x;
    x.chord({XK_Shift_L, XK_Super_L, XK_2});
    test::pumpEvents(300);
    EXPECT_EQ(area, 1);
}

} // namespace
