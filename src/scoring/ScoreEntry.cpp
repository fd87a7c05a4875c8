#include "scoring/ScoreEntry.h"

#include "link/ConsoleLink.h"
#include "scoring/ScoreConfirmation.h"
#include "screens/Unit_Main.h"

#include <limits>

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

ScoreKeyResult ApplyScoreKeyRules(const QString &T, int Z, int k)
{
    auto isOneToNine = [](const QString &t) {
        return !t.isEmpty() && t.at(0) >= QLatin1Char('1') && t.at(0) <= QLatin1Char('9');
    };
    const QString zero = QStringLiteral("0.0");
    if (k == -1)
        return {zero, 0};
    if (trimControls(T).isEmpty())
        return {zero, Z};  // the key itself is lost
    if (k == 0 && T == QLatin1String("1.0"))
        return {QStringLiteral("10.0"), 0};
    if (k == 0 && Z < std::numeric_limits<int>::max())
        ++Z;
    if (k == 10)
        return {QStringLiteral("10.0"), 0};
    if (k == 5 && T == zero && Z == 1)
        return {QStringLiteral("0.5"), 0};
    if (k == 5 && T.size() >= 3 && T.at(2) == QLatin1Char('5'))
        return {QStringLiteral("5.0"), 0};
    if (k == 5 && isOneToNine(T))
        return {T.left(1) + QStringLiteral(".5"), 0};
    if (k == 0 && isOneToNine(T))
        return {T, Z};
    if (k == 0 && Z == 2 && T == zero)
        return {QStringLiteral("0.5"), 0};
    if (k == 0)
        return {T, Z};
    if (k < 1 || k > 9)
        return {T, Z};
    const QString d = QString::number(k);
    if (T.contains(d + QStringLiteral(".0")))
        return {d + QStringLiteral(".5"), 0};
    return {d + QStringLiteral(".0"), 0};
}

void ApplyScoreKey(TMainForm &form, int key)
{
    form.ScoreConfirmTitle->setText(QStringLiteral("Score Confirmation"));
    form.ScoreConfirmMain->hide();
    form.PanelKeypad->show();
    form.ButtonSendScore->setEnabled(true);
    const ScoreKeyResult r = ApplyScoreKeyRules(form.ScoreEdit->text(), form.state.ZeroPressCount, key);
    form.ScoreEdit->setText(r.text);
    form.state.ZeroPressCount = r.zeroPressCount;
}

void FinalScoreClick(TMainForm &form, int tag)
{
    ApplyScoreKey(form, tag);
}

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
    if (form.currentPage() != 1)
        return;
    auto confirming = [&form] { return !form.ScoreConfirmMain->isHidden(); };
    // One pass; each step reads the panel's visibility afresh.
    if (key == vk::Enter) {
        if (confirming())
            ScoreConfirmAcceptClick(form);
        else
            ButtonSendScoreClick(form);
    }
    if (!confirming()) {
        if (key == vk::Escape)
            ApplyScoreKey(form, -1);
        else if (key >= vk::Digit0 && key <= vk::Digit0 + 9)
            ApplyScoreKey(form, key - vk::Digit0);
        else if (key == vk::X)
            ApplyScoreKey(form, 10);
        else if (key >= vk::Numpad0 && key <= vk::Numpad0 + 9)
            ApplyScoreKey(form, key - vk::Numpad0);
    }
    if (key == vk::Escape && confirming())
        ScoreConfirmDeclineClick(form);
}
