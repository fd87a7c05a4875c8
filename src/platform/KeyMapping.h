#pragma once

#include <QStringView>
#include <QtGlobal>

// Virtual-key codes of the keys the station acts on (Windows's codes).
namespace vk {
constexpr int Enter = 13;
constexpr int Escape = 27;
constexpr int F5 = 116;
constexpr int F9 = 120;
constexpr int Digit0 = 48;   // '0' ... '9' are 48 ... 57
constexpr int X = 88;
constexpr int Numpad0 = 96;  // numeric pad 0 ... 9 are 96 ... 105
} // namespace vk

// What the window system tells of a key besides the toolkit's key: X11's and Wayland's xkb
// keycodes (the physical key: evdev code + 8), or Windows's own virtual-key code.
enum class NativeKeys { None, XkbKeycode, WindowsVirtualKey };
NativeKeys nativeKeysOf(QStringView platformName);

// One key press as the toolkit reports it.
struct KeyPress {
    int key = 0;             // Qt::Key
    bool keypad = false;     // Qt::KeypadModifier
    quint32 scanCode = 0;    // nativeScanCode()
    quint32 virtualKey = 0;  // nativeVirtualKey()
};

// The virtual-key code of a key press, whatever the keyboard layout and the modifiers: the
// digit row gives its digit (Shift+6 and an AZERTY's unshifted 6 are the 6 key), the numeric
// pad its own codes, and the key Windows calls X gives X (the letter X on Latin layouts, the
// key in X's place on others). 0 for the keys the station does not use.
int virtualKeyOf(NativeKeys native, const KeyPress &press);
