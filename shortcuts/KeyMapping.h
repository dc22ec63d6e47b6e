#pragma once
#include <QString>
#include <Qt>
#include <QtGlobal>
#include <optional>

// Mapping between stored key codes / modifier masks and the window system's keys.
//
// Modifier decision: the stored Command bit (256) is the Super key (X11 Mod4,
// Qt::MetaModifier); Control (4096) is Control, Option (2048) is Alt (Mod1) and
// Shift (512) is Shift. Each stored bit has exactly one counterpart, so
// shortcuts round-trip through the recorder and the hot-key service.
namespace lumivane {

std::optional<quint32> x11KeysymForKeyCode(quint32 keyCode);
// Accepts upper- and lower-case letter keysyms.
std::optional<quint32> keyCodeForX11Keysym(quint32 keysym);

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

// Label for keys that have no character or special name (function keys,
// keypad, punctuation, navigation), e.g. "F5", "=", "Num 1"; "#<code>" for
// codes outside the table.
QString fallbackKeyLabel(quint32 keyCode);

// True for the key codes of modifier keys themselves (Command, Shift, ...).
bool isModifierKeyCode(quint32 keyCode);

} // namespace lumivane
