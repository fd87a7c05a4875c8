#pragma once

#include "link/CodePage.h"
#include "scoring/ScoringModel.h"
#include "station/Settings.h"

#include <QString>
#include <QtGlobal>

#include <memory>

// All station texts are single-byte, in the event servers' code page (Windows-1252): received
// bytes become text through fromBytes() and text goes onto the link through toBytes(), which
// gives back every received text byte for byte.

// The station's identity.
struct TClientInfo {
    QString LocalAddress;       // this computer's IPv4 address, dotted decimal
    QString DisciplineTag;      // placed in every outbound header; always "IND "
    QString LocalComputerName;  // host name
    QString FunctionCaption;    // "Judge 1" ... "Judge 11"
    QString LocalStationId;     // "J1  " ... "J11 "
};

// The fixed identifier tables, filled when the main window is shown.
struct TProtocols {
    QString DisciplineTags[2];
    QString StationIdTable[12];  // 0..10 the judges 1..11, 11 the event server "VRX "
};

constexpr int kStationIdCount = 12;
constexpr int kServerStationIndex = 11;

// The table of the stations (`GridConnections`): a heading row, then one row for each entry of
// the identifier table in its order (row r is StationIdTable[r - 1]), the event server's last.
namespace ConnectionsGrid {
constexpr int HeadingRow = 0;
constexpr int ServerRow = kServerStationIndex + 1;
constexpr int Rows = kStationIdCount + 1;
constexpr int JobColumn = 0;      // "Judge 1" ... "Judge 11", "VRX KMT"
constexpr int NameColumn = 1;     // the station's computer name
constexpr int AddressColumn = 2;  // its IP address
constexpr int StatusColumn = 3;   // its last status ("CS"), "Off" once gone
constexpr int Columns = 4;
} // namespace ConnectionsGrid

struct StationState {
    TClientInfo ClientInfo;
    TProtocols Protocols;
    qint32 JudgeCount = 11;
    // How many panel-score displays, from the first, an "XX" has written: only those ever show.
    qint32 ScoreDisplaysWritten = 0;
    qint32 RetryCount = 0;
    qint32 SavedFunctionIndex = 0;
    // The station's function, 0-based ("Judge 1" is 0; -1 before one is chosen): chosen on the
    // opening page, which shows it. FunctionCaption and LocalStationId follow it (setFunction).
    qint32 FunctionIndex = -1;
    // The discipline of the event: 0 individual, 1 synchro ("EI" sets it; the opening page shows it).
    qint32 DisciplineIndex = 0;
    // The battery text: "Power" until the meter has read the battery, then "N %" or "??". The
    // header shows it; "CS" "Active" sends it.
    QString BatteryText = QStringLiteral("Power");
    QString LastServerAddress;
    // The scoring page's state: the score text, ZeroPressCount, the confirmation panel and
    // what was sent for it.
    ScoringModel Scoring;
    bool Closed = false;  // the close has run (settings written, link closed)
    // Settings.ini as read at start, written back at every write (any thread).
    std::shared_ptr<StationSettingsFile> SettingsFile = std::make_shared<StationSettingsFile>();

    void FillProtocols();
    // The identifier of judge `functionIndex` (0-based), bounded to the table.
    QString stationIdAt(int functionIndex) const;
    // "Judge 1" ... "Judge 11" for the functions 0 to 10, empty for any other.
    static QString functionCaption(int functionIndex);
    // Takes function `functionIndex` with its caption and its identifier (from the table).
    void setFunction(int functionIndex);
};

inline QString fromBytes(const QByteArray &b)
{
    return DecodeConsoleText(b);
}

// A character the code page cannot hold becomes "?".
inline QByteArray toBytes(const QString &s)
{
    return EncodeConsoleText(s);
}

// Removes leading and trailing characters with codes 0 to 32.
QString trimControls(const QString &s);
