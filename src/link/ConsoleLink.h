#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class TMainForm;

// The console link to the event server: the connection, its lifecycle, and sending.
class ConsoleLink : public QObject
{
    Q_OBJECT
public:
    explicit ConsoleLink(TMainForm &form);
    ~ConsoleLink() override;

    // Whether the link reports itself connected.
    bool Connected() const;

    // Fills the server address list: "This Computer", then the neighbour addresses.
    void FillServerAddressList();
    // The address the selected entry stands for ("This Computer" is LocalAddress).
    QString ServerAddressOfSelection() const;

    void ConnectConsolesClick();
    void DisconnectAction();
    void GoHome();
    void GoHomeStopTimer();
    void StatusBarDblClick();
    void ReportLostLink();
    void ReconnectTimerTimer();

    // The one way to send; never fails to its caller.
    void SendConsoleMessage(const QByteArray &command, const QByteArray &payload);

private:
    TMainForm &form_;
};
