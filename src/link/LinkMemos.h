#pragma once

#include <QByteArray>
#include <QString>

#include <initializer_list>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTableWidget;

// The operator's details of the link: its log, the chat, the table of connected stations and
// the list of stations that have connected. The main window fills it.
struct OperatorDetails {
    QPlainTextEdit *LogFile = nullptr;
    QPlainTextEdit *ChatFile = nullptr;
    QTableWidget *GridConnections = nullptr;
    QListWidget *ConnectedClients = nullptr;
    QLineEdit *EditMessage = nullptr;
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

// Received bytes are shown in the link's code page (fromBytes).

// One line of the link log.
void AddLogLine(OperatorDetails &details, const QByteArray &line);

// Appends one received chat text as a line of ChatFile, unchanged (but bounded).
void AddChatLine(OperatorDetails &details, const QByteArray &text);

// Appends a line to ConnectedClients, keeping its newest kConnectedClientsMaxLines lines.
void AddConnectedClient(OperatorDetails &details, const QByteArray &text);
void AppendBoundedListLine(QListWidget *list, const QString &text);
