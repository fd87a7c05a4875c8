#include "platform/KeyMapping.h"

#include <Qt>

namespace {

// xkb keycodes of the digit row (1 ... 9, 0) and of the key in X's place on a US keyboard.
constexpr quint32 kXkbDigitRow1 = 10, kXkbDigitRow0 = 19;
constexpr quint32 kXkbKeyX = 53;

// A character of a script other than Latin (Greek, Cyrillic, ...): Windows names such a
// layout's letter keys by their place on the US keyboard.
bool nonLatinCharacter(int key)
{
    return key >= 0x0370 && key < Qt::Key_Escape;
}

int byToolkitKey(const KeyPress &press)
{
    if (press.key >= Qt::Key_0 && press.key <= Qt::Key_9)
        return (press.keypad ? vk::Numpad0 : vk::Digit0) + (press.key - Qt::Key_0);
    return press.key == Qt::Key_X ? vk::X : 0;
}

int byXkbKeycode(const KeyPress &press)
{
    if (press.scanCode >= kXkbDigitRow1 && press.scanCode <= kXkbDigitRow0)
        return vk::Digit0 + int((press.scanCode - kXkbDigitRow1 + 1) % 10);
    if (press.keypad && press.key >= Qt::Key_0 && press.key <= Qt::Key_9)
        return vk::Numpad0 + (press.key - Qt::Key_0);
    if (press.key == Qt::Key_X || (press.scanCode == kXkbKeyX && nonLatinCharacter(press.key)))
        return vk::X;
    return 0;
}

int byWindowsVirtualKey(const KeyPress &press)
{
    const int code = int(press.virtualKey);
    if ((code >= vk::Digit0 && code <= vk::Digit0 + 9) || (code >= vk::Numpad0 && code <= vk::Numpad0 + 9)
        || code == vk::X)
        return code;
    return 0;
}

} // namespace

NativeKeys nativeKeysOf(QStringView platformName)
{
    if (platformName == u"xcb" || platformName.startsWith(u"wayland"))
        return NativeKeys::XkbKeycode;
    if (platformName == u"windows")
        return NativeKeys::WindowsVirtualKey;
    return NativeKeys::None;
}

int virtualKeyOf(NativeKeys native, const KeyPress &press)
{
    switch (press.key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vk::Enter;
    case Qt::Key_Escape:
        return vk::Escape;
    case Qt::Key_F5:
        return vk::F5;
    case Qt::Key_F9:
        return vk::F9;
    default:
        break;
    }
    // A key made up by a program rather than typed carries no native codes: by its key alone.
    if (native == NativeKeys::XkbKeycode && press.scanCode != 0)
        return byXkbKeycode(press);
    if (native == NativeKeys::WindowsVirtualKey && press.virtualKey != 0)
        return byWindowsVirtualKey(press);
    return byToolkitKey(press);
}
