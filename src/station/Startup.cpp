#include "station/Startup.h"

#include "link/ConsoleLink.h"
#include "platform/HostIdentity.h"
#include "platform/ScreenAwake.h"
#include "platform/ScreenInfo.h"
#include "screens/Layout.h"
#include "screens/ScoringView.h"
#include "screens/OpeningPage.h"
#include "screens/OperatorDetails.h"
#include "screens/Unit_GetIP.h"
#include "screens/Unit_Main.h"
#include "station/Settings.h"
#include "station/StationClose.h"
#include "station/StationState.h"
#include "widgets/StatusBar.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>

void StationCreationSteps(TMainForm &form)
{
    // Numbers are formatted and parsed with "." whatever the system's locale says.
    QLocale::setDefault(QLocale::c());
    form.StatusBar1->setPanelText(StatusPanel::Version, QStringLiteral("   Version " MARLO_VERSION));
    form.state.RetryCount = 0;
    form.state.JudgeCount = 11;
    form.details().nameStations(form.state.JudgeCount);
    form.opening().showFunction(0);
    // A station killed or without power after linking remembers the server and the function.
    QObject::connect(form.link.get(), &ConsoleLink::serverChosen, &form,
                     [&form] { form.state.SettingsFile->write(CurrentSettings(form)); });
    form.scoringView().adoptScoreDisplays();
}

void StationShowSteps(TMainForm &form)
{
    form.setWindowTitle(QStringLiteral("Marlo v" MARLO_VERSION));
    form.state.FillProtocols();
    form.scoringView().dockConfirmationPanel();
    // Read once: the shutdown that watches the station may have read it already.
    const StationSettings settings = form.state.SettingsFile->read();
    form.state.LastServerAddress = settings.LastIP;
    form.state.SavedFunctionIndex = settings.Who;
    // The radio group bounds the index: above 10 is Judge 11, below 0 is Judge 1.
    form.opening().showFunction(std::clamp(form.state.SavedFunctionIndex, 0, 10));
    form.fitToScreen();
    const QRect screen = form.platform.screen ? form.platform.screen->screenGeometry() : QRect();
    if (screen.isValid() && screen.width() < form.x())
        form.move(screen.width() - form.width(), form.y());
    form.state.Scoring.setZeroPressCount(0);
    form.Timer1->start();
}

void Timer1Timer(TMainForm &form)
{
    form.Timer1->stop();
    if (form.startedUp())
        return;
    // The screen stays on from here to the close (the window is shown: its surface exists).
    if (form.platform.awake)
        form.platform.awake->inhibit(form.windowHandle());
    ApplyOrientation(form);
    form.scoringView().hideScoreDisplays();
    StationState &state = form.state;
    state.setFunction(state.FunctionIndex);  // its identifier from the table filled since
    state.ClientInfo.DisciplineTag = state.Protocols.DisciplineTags[0];

    if (form.ObtainingIPAddress) {
        form.ObtainingIPAddress->showOver(&form);
        // A window system that never shows it cannot hold the start-up.
        form.ObtainingIPAddress->waitUntilPainted(TMainForm::kObtainingWindowBoundMs);
    }
    if (form.platform.host) {
        state.ClientInfo.LocalAddress = form.platform.host->firstIPv4();
        state.ClientInfo.LocalComputerName = form.platform.host->hostName();
    }
    form.link->FillServerAddressList();
    if (form.ObtainingIPAddress) {
        form.ObtainingIPAddress->hide();
        delete form.ObtainingIPAddress;
        form.ObtainingIPAddress = nullptr;
        QCoreApplication::processEvents();
    }
    form.StatusBar1->setPanelText(StatusPanel::Address, state.ClientInfo.LocalAddress);
    form.StatusBar1->setPanelText(StatusPanel::ComputerName, QStringLiteral("  ") + state.ClientInfo.LocalComputerName);
    form.opening().selectServer(state.LastServerAddress);
    form.SelectPage(0);
    form._Notebook->show();
    // The keyboard starts at the first element of the opening page, so that Tab goes on to
    // "Connect Console". A window system that activates the window only now gives it that
    // element itself; one that activated it while the pages were still hidden (Windows) gave
    // it none, and the first Tab only reached the address list.
    if (!form.focusWidget())
        form.focusFirstElement();
    // The keyboard comes to the station: where no window manager hands out the focus, nobody
    // else would give it.
    form.activateWindow();
    form.TimerPowerMeter->start();
    form.finishStartup();
}
