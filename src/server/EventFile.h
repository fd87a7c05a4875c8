#pragma once

#include "server/Scoring.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// One competition as the rehearsal server runs it. Texts are single-byte, in the stations'
// code page (Windows-1252), ready for the link.
struct DiveSpec {
    QByteArray number;       // "107B"
    int ddTenths = 0;        // degree of difficulty in tenths: 3.0 is 30
    QByteArray height;       // "3m"
    QByteArray description;  // "Forward 3 1/2 somersaults pike"
};

struct AthleteSpec {
    QByteArray name;  // for synchro, both divers: "Anna Meyer / Lena Roth"
    QByteArray team;
    QVector<DiveSpec> dives;
};

struct EventDefinition {
    QByteArray name;
    EventKind kind = EventKind::Individual;
    int judges = 5;
    QVector<AthleteSpec> athletes;

    // The number of rounds: the most dives any athlete has.
    int rounds() const;
    // The number of dives in the whole event.
    int diveCount() const;
};

struct EventFileResult {
    bool ok = false;
    EventDefinition event;
    QStringList errors;    // "line 7: ..." - any error refuses the file
    QStringList warnings;  // the file is used, but the operator should know
};

// Reads the text of an event file (format in docs/event-file.md). UTF-8 or Windows-1252;
// texts are converted to Windows-1252 for the stations.
EventFileResult ParseEventFile(const QByteArray &content);
// Reads the file at `path`; a file that cannot be read is an error.
EventFileResult LoadEventFile(const QString &path);

// The built-in event used when no event file is given, in the same format.
QByteArray DemoEventText();
EventDefinition DemoEvent();

// Turns a text into the single-byte text the stations show (Windows-1252): characters that
// code page cannot hold become "?" (and set *lossy; *lost lists them), control characters
// become blanks (they would end fields of a message early), blanks around the text are removed.
QByteArray ToStationText(const QString &text, bool *lossy = nullptr, QString *lost = nullptr);

// "individual" / "synchro".
QString EventKindName(EventKind kind);
