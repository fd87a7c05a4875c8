#pragma once

#include <QByteArray>
#include <QString>

#include <initializer_list>
#include <memory>

class DeferMemoAppends;
class QListWidget;
class QPlainTextEdit;

// The operator's details of the link as the link writes them: its log, the chat, the table of
// the stations (rows and columns as `ConnectionsGrid` names them) and the list of stations that
// have connected (the main window's OperatorDetails). Every line is bounded as below.
class OperatorView
{
public:
    virtual void AddLogLine(const QString &line) = 0;   // one line of the link log
    virtual void AddChatLine(const QString &text) = 0;  // one received chat text, unchanged
    // Appends a station to the list of connected ones, keeping its newest
    // kConnectedClientsMaxLines lines.
    virtual void AddConnectedClient(const QString &text) = 0;
    // Takes the first station listed as `id` (case aside) off the list.
    virtual void RemoveConnectedClient(const QString &id) = 0;
    virtual void ClearConnectedClients() = 0;
    // A cell of the stations' table; empty where there is none.
    virtual QString stationCell(int row, int column) const = 0;
    virtual void setStationCell(int row, int column, const QString &text) = 0;
    // The chat line the operator has typed.
    virtual QString chatMessage() const = 0;
    // While the returned object lives, the log's and the chat's lines are appended together
    // (DeferMemoAppends).
    virtual std::unique_ptr<DeferMemoAppends> deferMemoAppends() = 0;

protected:
    ~OperatorView() = default;
};

// The operator memos of the link (LogFile, ChatFile) and the list of connected stations are
// bounded, so that a flooding server cannot grow them until the station runs out of memory.
constexpr int kMemoMaxLines = 5000;        // newest lines kept in LogFile and ChatFile
constexpr int kMemoMaxLineChars = 2000;    // a longer memo line is cut and marked
constexpr int kConnectedClientsMaxLines = 1000;

// `line` cut to kMemoMaxLineChars characters with a visible mark saying how much was cut;
// unchanged when it is not longer.
QString CutLongLine(const QString &line);

// Appends `text` as a new line of `memo`. A text that holds line breaks (CR LF, LF or CR)
// becomes several lines, as the memo shows it; each line is cut by CutLongLine, and the memo
// keeps its newest kMemoMaxLines lines. Immediate, unless appends to the memo are deferred.
void AppendMemoLine(QPlainTextEdit *memo, const QString &text);

// While one of these lives, lines appended to the given memos are collected and added in one
// edit when the last one ends, or earlier when the event loop runs (a modal box's included),
// so that what has been received is on screen whenever the screen can be seen. One edit per
// line costs far more than the line itself (layout, scroll bar, change signals) when
// messages come fast.
class DeferMemoAppends
{
public:
    DeferMemoAppends(std::initializer_list<QPlainTextEdit *> memos);
    ~DeferMemoAppends();
    DeferMemoAppends(const DeferMemoAppends &) = delete;
    DeferMemoAppends &operator=(const DeferMemoAppends &) = delete;

private:
    QPlainTextEdit *memos_[4] = {};
};

// Appends a line to a list, keeping its newest kConnectedClientsMaxLines lines.
void AppendBoundedListLine(QListWidget *list, const QString &text);
