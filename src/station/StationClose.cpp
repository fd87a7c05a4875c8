#include "station/StationClose.h"

#include "link/ConsoleLink.h"
#include "platform/ScreenAwake.h"
#include "screens/Unit_Invalid.h"
#include "screens/OpeningPage.h"
#include "screens/Unit_Main.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

StationSettings CurrentSettings(const TMainForm &form)
{
    StationSettings s;
    const QRect g = form.geometry();
    s.Left = g.x();
    s.Top = g.y();
    s.Width = g.width();
    s.Height = g.height();
    // Until the deferred start-up has filled the server list nothing is selected: a shutdown
    // then keeps the address read from the settings rather than forgetting it.
    s.LastIP = form.opening().serverSelected() ? form.opening().selectedServer() : form.state.LastServerAddress;
    s.Who = form.state.FunctionIndex;
    return s;
}

void CloseStation(TMainForm &form)
{
    CloseStation(form, CurrentSettings(form));
}

void CloseStation(TMainForm &form, const StationSettings &settings)
{
    if (form.state.Closed)
        return;
    form.state.Closed = true;
    form.TimerPowerMeter->stop();
    if (form.platform.awake)
        form.platform.awake->release();
    form.state.SettingsFile->write(settings);
    form.link->DisconnectAction();
    if (form.InvalidElements)
        form.InvalidElements->hide();
}

void CloseModalBoxes()
{
    // Each box leaves the stack of modal windows when it is hidden; a box that refuses to
    // close is hidden all the same. Bounded, in case a box is shown again as it closes.
    QPointer<QWidget> previous;
    for (int i = 0; i < 64; ++i) {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        if (box == previous) {
            box->hide();
            continue;
        }
        previous = box;
        if (auto *dialog = qobject_cast<QDialog *>(box))
            dialog->reject();
        else
            box->close();
    }
}

void ShutDownStation(TMainForm &form)
{
    if (form.state.Closed)
        return;
    CloseModalBoxes();
    CloseStation(form);
    // Ends every event loop, the boxes' own included, and the main one returns 0.
    QCoreApplication::exit(0);
}
