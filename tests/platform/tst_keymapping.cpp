// The key map from what the window system reports to virtual-key codes, as a pure function:
// the layouts the judges' keyboards have, on X11 and Wayland (xkb keycodes) and Windows.
#include "platform/KeyMapping.h"
#include "DataColumns.h"

#include <QtTest>

Q_DECLARE_METATYPE(NativeKeys)

class TestKeyMapping : public QObject
{
    Q_OBJECT

private slots:
    void platforms_data()
    {
        addColumns<QString, NativeKeys>("name", "native");
        QTest::newRow("xcb") << "xcb" << NativeKeys::XkbKeycode;
        QTest::newRow("wayland") << "wayland" << NativeKeys::XkbKeycode;
        QTest::newRow("wayland-egl") << "wayland-egl" << NativeKeys::XkbKeycode;
        QTest::newRow("windows") << "windows" << NativeKeys::WindowsVirtualKey;
        QTest::newRow("offscreen") << "offscreen" << NativeKeys::None;
    }
    void platforms()
    {
        QFETCH(QString, name);
        QFETCH(NativeKeys, native);
        QCOMPARE(nativeKeysOf(name), native);
    }

    void keys_data()
    {
        addColumns<NativeKeys, int, bool, uint, uint, int>(
            "native", "key", "keypad", "scanCode", "virtualKey", "expected");
        const NativeKeys xkb = NativeKeys::XkbKeycode, win = NativeKeys::WindowsVirtualKey, none = NativeKeys::None;
        auto row = [](const char *name, NativeKeys n, int key, bool keypad, uint scan, uint virt, int expected) {
            QTest::newRow(name) << n << key << keypad << scan << virt << expected;
        };
        // X11 and Wayland: the digit row by its keycode, whatever the layout gives there.
        row("us 6", xkb, Qt::Key_6, false, 15, 0x36, vk::Digit0 + 6);
        row("fr 1 (&)", xkb, Qt::Key_Ampersand, false, 10, 0x26, vk::Digit0 + 1);
        row("fr 0 (a grave)", xkb, Qt::Key_Agrave, false, 19, 0xe0, vk::Digit0);
        row("be 8 (!)", xkb, Qt::Key_Exclam, false, 17, 0x21, vk::Digit0 + 8);
        row("de shift 6 (&)", xkb, Qt::Key_Ampersand, false, 15, 0x26, vk::Digit0 + 6);
        row("ch shift 3 (*)", xkb, Qt::Key_Asterisk, false, 12, 0x2a, vk::Digit0 + 3);
        row("fr * key is no 8", xkb, Qt::Key_Asterisk, false, 51, 0x2a, 0);
        row("us shift 9 elsewhere is no 9", xkb, Qt::Key_ParenLeft, false, 34, 0x28, 0);
        row("numpad 6", xkb, Qt::Key_6, true, 85, 0xffb6, vk::Numpad0 + 6);
        row("numpad 6 without num lock", xkb, Qt::Key_Right, true, 85, 0xff98, 0);
        // Ten: the letter X, or on a non-Latin layout the key in X's place.
        row("us x", xkb, Qt::Key_X, false, 53, 'x', vk::X);
        row("ru x place (che)", xkb, 0x0427, false, 53, 0x6de, vk::X);
        row("gr x place (chi)", xkb, 0x03a7, false, 53, 0x7f7, vk::X);
        row("dvorak x", xkb, Qt::Key_X, false, 56, 'x', vk::X);
        row("dvorak q in x place", xkb, Qt::Key_Q, false, 53, 'q', 0);
        row("ru other letter", xkb, 0x0421, false, 54, 0x6f3, 0);
        // Windows: by its own virtual-key code.
        row("win fr 1 (&)", win, Qt::Key_Ampersand, false, 2, 0x31, vk::Digit0 + 1);
        row("win ctrl 6", win, 0, false, 7, 0x36, vk::Digit0 + 6);
        row("win numpad 6", win, Qt::Key_6, true, 77, 0x66, vk::Numpad0 + 6);
        row("win ru x place", win, 0x0427, false, 45, 0x58, vk::X);
        row("win oem key (*)", win, Qt::Key_Asterisk, false, 43, 0xdc, 0);
        // The keys both pages know, by the toolkit's key everywhere.
        row("enter", xkb, Qt::Key_Return, false, 36, 0xff0d, vk::Enter);
        row("keypad enter", win, Qt::Key_Enter, true, 28, 0x0d, vk::Enter);
        row("escape", win, Qt::Key_Escape, false, 1, 0x1b, vk::Escape);
        row("F5", xkb, Qt::Key_F5, false, 71, 0xffc2, vk::F5);
        row("F9", none, Qt::Key_F9, false, 0, 0, vk::F9);
        // Keys made up by a program carry no native codes: by the key alone, no shifted symbols.
        row("made up 7", xkb, Qt::Key_7, false, 0, 0, vk::Digit0 + 7);
        row("made up numpad 4", none, Qt::Key_4, true, 0, 0, vk::Numpad0 + 4);
        row("made up x", win, Qt::Key_X, false, 0, 0, vk::X);
        row("made up ^", none, Qt::Key_AsciiCircum, false, 0, 0, 0);
    }
    void keys()
    {
        QFETCH(NativeKeys, native);
        QFETCH(int, key);
        QFETCH(bool, keypad);
        QFETCH(uint, scanCode);
        QFETCH(uint, virtualKey);
        QFETCH(int, expected);
        QCOMPARE(virtualKeyOf(native, {key, keypad, scanCode, virtualKey}), expected);
    }
};

QTEST_APPLESS_MAIN(TestKeyMapping)
#include "tst_keymapping.moc"
