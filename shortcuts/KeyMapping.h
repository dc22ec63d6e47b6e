#pragma once
#include "platform/KeyboardLayout.h"

#include <QString>
#include <Qt>
#include <QtGlobal>
#include <memory>
#include <optional>

// Mapping between stored key codes / modifier masks and the window system's keys.
//
// Modifier decision: the stored Super bit (256) is the Super key (X11 Mod4,
// Qt::MetaModifier); Control (4096) is Control, Alt (2048) is Alt (Mod1) and
// Shift (512) is Shift. Each stored bit has exactly one counterpart, so
// shortcuts round-trip through the recorder and the hot-key service.
namespace lumivane {

// Stored key codes name physical keys, whatever the layout: below
// kExtendedKeyCodeBase the positions of the US ANSI keyboard (18 is the key
// that types "1" there); from it on, keys that keyboard lacks (Print, Pause,
// media keys, the Japanese conversion keys) as the base plus their evdev code.
inline constexpr quint32 kExtendedKeyCodeBase = 0x10000;
inline constexpr quint32 kLargestEvdevCode = 0x2ff;

// The physical key's Linux input event code (the X11 keycode minus 8).
std::optional<quint32> evdevCodeForKeyCode(quint32 keyCode);
// Every evdev code from 1 to kLargestEvdevCode has a key code.
std::optional<quint32> keyCodeForEvdevCode(quint32 evdevCode);

std::optional<int> qtKeyForKeyCode(quint32 keyCode);
// keypad: the event carried Qt::KeypadModifier. Shifted symbols of the US
// layout (e.g. Qt::Key_Exclam for Shift+1) map to their unshifted key.
std::optional<quint32> keyCodeForQtKey(int qtKey, bool keypad = false);

// X11 modifier state bits (ShiftMask 1, ControlMask 4, Mod1Mask 8, Mod4Mask 64).
quint16 x11ModifierMaskForModifiers(quint32 modifiers);
// Lock, NumLock and the other bits are ignored.
quint32 modifiersForX11State(quint16 state);

Qt::KeyboardModifiers qtModifiersForModifiers(quint32 modifiers);
quint32 modifiersForQtModifiers(Qt::KeyboardModifiers modifiers);

// The keyboard layout key labels are taken from; set once by the application.
// Without one, keys are labelled as on a US keyboard. UI thread.
void setKeyboardLayout(std::shared_ptr<KeyboardLayout> layout);

// The key's label: what it types in the active layout without modifiers,
// upper-cased ("Z" for the US "Y" key under a German layout, "Ф" under a Russian
// one, "^" for a dead circumflex); otherwise its name ("F5", "Num 1", "Print",
// "変換", "AudioPlay"); "#<code>" for a key nothing is known about.
QString keyLabel(quint32 keyCode);

// True for the key codes of modifier keys themselves (Command, Shift, ...).
bool isModifierKeyCode(quint32 keyCode);

} // namespace lumivane
