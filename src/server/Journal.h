#pragma once

#include "server/EventFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// What console-sim must not lose when it is stopped mid-event: every recorded score and every
// dive moved on, one line each, appended to a journal in the working folder and synced to the
// disk before the judge's station is told. `--resume` replays it.
//
//     console-sim journal 1 <fingerprint of the event>
//     event: Women's 3m Springboard Final
//     score 0 3 15 station        dive 1 (from 0), judge 3, 7.5, sent by the judge's station
//     score 0 4 16 operator       entered by the operator (or "filled" by --fill-missing)
//     next 0                      moved on from dive 1
//     repeat 1                    dive 2 judged again
//     end 4                       the event ended while dive 5 was under way
struct JournalEntry {
    enum class Kind { Score, Next, Repeat, End };
    enum class Source { Station, Operator, Filled };
    Kind kind = Kind::Score;
    int diveIndex = 0;   // the dive under way when it happened, from 0
    int judge = 0;       // Score only
    int halfPoints = 0;  // Score only
    Source source = Source::Station;

    bool operator==(const JournalEntry &) const = default;
};

QByteArray FormatJournalEntry(const JournalEntry &entry);
// Nothing for a line that is not an entry.
std::optional<JournalEntry> ParseJournalEntry(const QByteArray &line);
// Tells one event from another: its name, kind, panel, athletes and dives.
QByteArray EventFingerprint(const EventDefinition &event);

struct JournalContent {
    bool ok = false;
    QString error;            // why the journal cannot be resumed
    QVector<JournalEntry> entries;
    bool tornLastLine = false;  // the last line was cut short (stopped while writing it)
};
// Reads a journal's text for `event`; refuses one that belongs to another event.
JournalContent ReadJournal(const QByteArray &content, const EventDefinition &event);

class Journal
{
public:
    static constexpr const char *kFileName = "console-sim.journal";

    // A new journal at `path`. A journal already there is kept aside first, renamed after the
    // time it was last written ("console-sim-20261209-170512.journal"); *keptAs names it.
    bool startFresh(const QString &path, const EventDefinition &event, QString *keptAs, QString *error);
    // Reads the journal at `path` for `event` and goes on appending to it.
    bool resume(const QString &path, const EventDefinition &event, JournalContent *content, QString *error);
    bool isOpen() const { return file_.isOpen(); }
    QString path() const { return file_.fileName(); }

    // Appends one entry and syncs it to the disk before returning.
    bool append(const JournalEntry &entry, QString *error);

private:
    bool writeSynced(const QByteArray &bytes, QString *error);
    QFile file_;
};
