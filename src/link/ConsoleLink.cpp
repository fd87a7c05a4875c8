#include "link/ConsoleLink.h"

#include "screens/Unit_Main.h"

ConsoleLink::ConsoleLink(TMainForm &form) : QObject(&form), form_(form) {}

ConsoleLink::~ConsoleLink() = default;

bool ConsoleLink::Connected() const
{
    return false;
}

void ConsoleLink::FillServerAddressList()
{
    form_.HostIP->clear();
    form_.HostIP->addItem(QStringLiteral("This Computer"));
    form_.HostIP->setCurrentIndex(0);
}

QString ConsoleLink::ServerAddressOfSelection() const
{
    const QString t = form_.HostIP->currentText();
    return t.contains(QLatin1String("This Computer")) ? form_.state.ClientInfo.LocalAddress : t;
}

void ConsoleLink::ConnectConsolesClick() {}
void ConsoleLink::DisconnectAction() {}

void ConsoleLink::GoHome()
{
    form_.SelectPage(0);
    if (form_.DisconnectConsoles->isEnabled())
        DisconnectAction();
    if (form_.ConnectConsoles->isEnabled())
        form_.ConnectConsoles->setFocus();
}

void ConsoleLink::GoHomeStopTimer()
{
    form_.SelectPage(0);
    form_.ReconnectTimer->stop();
    if (form_.DisconnectConsoles->isEnabled())
        DisconnectAction();
    if (form_.ConnectConsoles->isEnabled())
        form_.ConnectConsoles->setFocus();
}

void ConsoleLink::StatusBarDblClick()
{
    form_.SelectPage(0);
    if (form_.DisconnectConsoles->isEnabled())
        DisconnectAction();
}

void ConsoleLink::ReportLostLink() {}
void ConsoleLink::ReconnectTimerTimer() {}
void ConsoleLink::SendConsoleMessage(const QByteArray &, const QByteArray &) {}
