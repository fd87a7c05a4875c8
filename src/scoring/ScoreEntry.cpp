#include "scoring/ScoreEntry.h"

#include "link/ConsoleLink.h"
#include "screens/Unit_Main.h"

#include <QGuiApplication>
#include <QKeyEvent>

int virtualKeyOf(const QKeyEvent *e)
{
    const int key = e->key();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vk::Enter;
    case Qt::Key_Escape:
        return vk::Escape;
    case Qt::Key_F5:
        return vk::F5;
    case Qt::Key_F9:
        return vk::F9;
    case Qt::Key_X:
        return vk::X;
    default:
        break;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const int d = key - Qt::Key_0;
        return (e->modifiers() & Qt::KeypadModifier) ? vk::Numpad0 + d : vk::Digit0 + d;
    }
    // With Shift held the digit row gives its shifted symbol; the key is still the digit.
    // X11 key codes 10 to 19 are the digit row 1 ... 9, 0 whatever the keyboard layout.
    static const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    const quint32 scan = e->nativeScanCode();
    if (x11 && scan >= 10 && scan <= 19 && !(e->modifiers() & Qt::KeypadModifier))
        return vk::Digit0 + int((scan - 9) % 10);
    static const char shifted[] = ")!@#$%^&*(";
    for (int d = 0; d < 10; ++d)
        if (key == shifted[d])
            return vk::Digit0 + d;
    return 0;
}

void FinalScoreClick(TMainForm &, int) {}

void FormKeyDown(TMainForm &form, int key)
{
    if (key == vk::F9) {
        form.link->GoHomeStopTimer();
        return;
    }
    if (key == vk::F5) {
        form.PanelDetails->setVisible(form.PanelDetails->isHidden());
        return;
    }
}
