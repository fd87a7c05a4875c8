#pragma once

#include "link/ConsoleConnection.h"
#include "link/LinkMemos.h"
#include "scoring/ScoringPage.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QTimer;
class StatusBar;
class InboundDispatcher;
struct StationPlatform;
struct StationState;

// The status bar's link panel, in red, while the link is down on the scoring page.
inline const QString kLinkLostText = QStringLiteral("Link lost");

// Shown when the connect action cannot open the link (carriage returns as line breaks).
inline const QString kCouldNotConnectText =
    QStringLiteral("Could not connect\rMake sure you have the correct ip address for Quorra\rand Quorra is running");

// The server address list's entries: "This Computer", the neighbour entries, then the
// remembered server (`LastServerAddress`) when it is an IPv4 address that is neither listed
// already nor this computer's own: a neighbour table emptied by a restart does not lose it.
QStringList ServerAddressEntries(const QStringList &neighbours, const QString &remembered, const QString &localAddress);

// The opening page as the link's lifecycle sees it: the server list, and whether the page shows
// the station linked (Connect Console and Disconnect Console).
class OpeningView
{
public:
    // The list's entries, the first selected.
    virtual void setServerAddresses(const QStringList &entries) = 0;
    virtual QString selectedServer() const = 0;  // the selected entry's text
    virtual void showLinked(bool linked) = 0;
    virtual bool linkedShown() const = 0;
    virtual void focusConnect() = 0;  // Connect Console takes the focus when it is enabled

protected:
    ~OpeningView() = default;
};

// What the link's lifecycle asks of the window around it, and the parts of the window it works
// on: the opening page, the operator's details, the status bar and the reconnect timer.
class LinkHost
{
public:
    virtual OpeningView &openingView() = 0;
    virtual OperatorView &operatorView() = 0;
    virtual StatusBar &statusBar() = 0;
    virtual QTimer &reconnectTimer() = 0;
    virtual void SelectPage(int page) = 0;
    virtual int currentPage() const = 0;
    // The lost-connection window, over the main window.
    virtual void ShowLostConnection() = 0;

protected:
    ~LinkHost() = default;
};

// The console link as the screens see it: the connect and disconnect actions, the go-home
// action, the lost link and its automatic reconnect, the server address list, and sending.
// The connection itself (socket, reader, outgoing buffer) is the ConsoleConnection it owns.
// Main thread only.
class ConsoleLink : public QObject, public ConnectionEvents, public ScoreSender
{
    Q_OBJECT
public:
    static constexpr int kCloseDrainMs = ConsoleConnection::kCloseDrainMs;

    ConsoleLink(StationState &state, const StationPlatform &platform, LinkHost &host, ScoringPage &scoring,
                QObject *parent = nullptr);
    ~ConsoleLink() override;

    ConsoleConnection &connection() { return *connection_; }
    const ConsoleConnection &connection() const { return *connection_; }

    // Whether the link reports itself connected (the socket's state, not the buttons').
    bool Connected() const;

    // Fills the server address list: "This Computer", the neighbour addresses, then the
    // remembered server when the neighbours do not have it (ServerAddressEntries).
    void FillServerAddressList();
    // The address the selected entry stands for ("This Computer" is LocalAddress).
    QString ServerAddressOfSelection() const;

    void ConnectConsolesClick();
    void DisconnectAction();

    // The go-home steps: to the opening page, the link let go, the focus on Connect Console.
    struct GoHomeSteps {
        bool stopReconnect = false;  // the reconnect timer stopped as well (F9)
        bool focusConnect = true;    // Connect Console takes the focus when it is enabled
    };
    void GoHome(GoHomeSteps steps);
    void GoHome() { GoHome(GoHomeSteps {}); }
    void GoHomeStopTimer() { GoHome({.stopReconnect = true}); }
    void StatusBarDblClick() { GoHome({.focusConnect = false}); }

    void ReportLostLink();
    // The automatic reconnect, once the reconnect timer has run out: home, the link opened
    // again, and the confirmation panel shown again with the same score.
    void AutomaticReconnect();

    // The one way to send; never fails to its caller. A score is followed by "CS" with the
    // battery text; one that cannot be written reports the lost link.
    // Returns whether the message was written.
    bool SendConsoleMessage(const QByteArray &command, const QByteArray &payload);
    // "CS" "Active" with the battery text (`BatteryText`).
    void SendBatteryStatus();

    // --- Seams (the station leaves them as they are; tests and tools replace them) ---

    enum class BoxKind { Plain, Error };
    // Shows a modal message box titled with the application title; the text is plain text.
    std::function<void(BoxKind kind, const QString &text)> showMessage;
    // The handling of the received texts when receiveText is empty (the main window's).
    void setInbound(InboundDispatcher *inbound) { inbound_ = inbound; }
    // Handles one received text (with its EOT); ReceiveConsoleText by default. A
    // std::exception thrown while handling a text ends the handling of that text: its what()
    // is shown in an error box (showMessage), and the next text follows once it is closed.
    std::function<void(const QByteArray &text)> receiveText;

    // ScoreSender: "SD" with the score and its closing DC1.
    bool SendScore(const QString &score) override;

signals:
    // The connect action linked: `LastServerAddress` and `SavedFunctionIndex` have just taken
    // the selected server and function.
    void serverChosen();

private:
    // ConnectionEvents
    void LinkConnected() override;
    void LinkDisconnected() override;
    void TextReceived(const QByteArray &text) override;
    void ScoreSendFailed() override;
    void TextsBegin() override;
    void TextsEnd() override;

    // Status-bar panel 2: says so while the link is down on the scoring page.
    void ShowLinkState();
    // Opens the link to the selected server, letting any old one go on purpose.
    bool OpenLink(QString *error);

    StationState &state_;
    const StationPlatform &platform_;
    LinkHost &host_;
    ScoringPage &scoring_;
    InboundDispatcher *inbound_ = nullptr;
    std::unique_ptr<ConsoleConnection> connection_;
    // The memos' appends are collected while texts that arrived together are handed over
    // (batches nest when a handler's modal box drains more of them).
    int togetherDepth_ = 0;
    bool leaving_ = false;      // the station is closing the link itself
    bool lossPending_ = false;  // a lost link was reported and no connect has followed
    bool scoreUnsent_ = false;  // a score did not reach the server since the last connect
    std::unique_ptr<DeferMemoAppends> together_;
};
