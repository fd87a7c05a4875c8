#pragma once

#include "link/LinkMemos.h"

#include <QString>

class DockLayout;
class Panel;
class QAbstractButton;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTableWidget;
class QWidget;

// The operator's details of the link on the opening page (PanelDetails, shown and hidden by
// F5): the link log (LogFile), the table of the stations (GridConnections, its rows and
// columns as ConnectionsGrid names them), the chat (ChatFile, EditMessage, ButtonSendMessage)
// and the stations that have connected (LabelWhosConnected, ConnectedClients).
class OperatorDetails : public OperatorView
{
public:
    // Builds the panel, hidden, in `parent`.
    explicit OperatorDetails(QWidget *parent);

    // Docks the panel along the right of `dock`.
    void dockIn(DockLayout &dock);
    // F5: the panel shown or hidden.
    void toggle();
    // The send button of the chat (the window connects it to ButtonSendMessageClick).
    QAbstractButton *sendButton() const { return ButtonSendMessage; }
    // The table's headings and its first column: the judges up to `judgeCount` and the event
    // server.
    void nameStations(int judgeCount);

    // OperatorView
    void AddLogLine(const QString &line) override;
    void AddChatLine(const QString &text) override;
    void AddConnectedClient(const QString &text) override;
    void RemoveConnectedClient(const QString &id) override;
    void ClearConnectedClients() override;
    QString stationCell(int row, int column) const override;
    void setStationCell(int row, int column, const QString &text) override;
    QString chatMessage() const override;
    std::unique_ptr<DeferMemoAppends> deferMemoAppends() override;

private:
    Panel *PanelDetails;
    QLabel *LabelWhosConnected;
    QPlainTextEdit *LogFile, *ChatFile;
    QTableWidget *GridConnections;
    QLineEdit *EditMessage;
    QAbstractButton *ButtonSendMessage;
    QListWidget *ConnectedClients;
};
