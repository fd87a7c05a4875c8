#include "server/Journal.h"

#include "link/CodePage.h"
#include "platform/SafeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDateTime>
#include <QFileInfo>

namespace {

const QByteArray kMagic = "console-sim journal 1 ";

const char *KindWord(JournalEntry::Kind kind)
{
    switch (kind) {
    case JournalEntry::Kind::Score: return "score";
    case JournalEntry::Kind::Next: return "next";
    case JournalEntry::Kind::Repeat: return "repeat";
    case JournalEntry::Kind::End: return "end";
    }
    return "";
}

const char *SourceWord(JournalEntry::Source source)
{
    switch (source) {
    case JournalEntry::Source::Station: return "station";
    case JournalEntry::Source::Operator: return "operator";
    case JournalEntry::Source::Filled: return "filled";
    }
    return "";
}

// The one of `values` that `toWord` spells as `word`: each word is spelled only once, for
// writing and reading alike.
template <typename E>
std::optional<E> FromWord(const QByteArray &word, const char *(*toWord)(E), std::initializer_list<E> values)
{
    for (const E v : values)
        if (word == toWord(v))
            return v;
    return std::nullopt;
}

std::optional<int> Whole(const QByteArray &word, int min, int max)
{
    bool ok = false;
    const int n = word.toInt(&ok);
    if (!ok || n < min || n > max)
        return std::nullopt;
    return n;
}

} // namespace

QByteArray FormatJournalEntry(const JournalEntry &e)
{
    QByteArray line = QByteArray(KindWord(e.kind)) + ' ' + QByteArray::number(e.diveIndex);
    if (e.kind == JournalEntry::Kind::Score)
        line += ' ' + QByteArray::number(e.judge) + ' ' + QByteArray::number(e.halfPoints) + ' ' + SourceWord(e.source);
    return line;
}

std::optional<JournalEntry> ParseJournalEntry(const QByteArray &line)
{
    const QList<QByteArray> w = line.simplified().split(' ');
    JournalEntry e;
    const auto dive = Whole(w.value(1), 0, 1 << 20);
    if (!dive)
        return std::nullopt;
    e.diveIndex = *dive;
    if (w[0] == "score" && w.size() == 5) {
        using S = JournalEntry::Source;
        const auto judge = Whole(w[2], 1, 11);
        const auto half = Whole(w[3], 0, 20);
        const auto source = FromWord(w[4], SourceWord, {S::Station, S::Operator, S::Filled});
        if (!judge || !half || !source)
            return std::nullopt;
        e.judge = *judge;
        e.halfPoints = *half;
        e.source = *source;
        return e;
    }
    using K = JournalEntry::Kind;
    const auto kind = FromWord(w[0], KindWord, {K::Next, K::Repeat, K::End});
    if (w.size() != 2 || !kind)
        return std::nullopt;
    e.kind = *kind;
    return e;
}

QByteArray EventFingerprint(const EventDefinition &event)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    auto add = [&](const QByteArray &field) {
        hash.addData(QByteArray::number(field.size()) + ':' + field);
    };
    add(event.name);
    add(event.kind == EventKind::Individual ? "individual" : "synchro");
    add(QByteArray::number(event.judges));
    for (const AthleteSpec &a : event.athletes) {
        add("athlete");
        add(a.name);
        add(a.team);
        for (const DiveSpec &d : a.dives) {
            add(d.number);
            add(QByteArray::number(d.ddTenths));
            add(d.height);
            add(d.description);
        }
    }
    return hash.result().toHex().left(32);
}

JournalContent ReadJournal(const QByteArray &content, const EventDefinition &event)
{
    JournalContent out;
    QList<QByteArray> lines = content.split('\n');
    // The last line is whole only when the text ends with its newline.
    if (!lines.isEmpty()) {
        out.tornLastLine = !lines.constLast().isEmpty();
        lines.removeLast();
    }
    if (lines.isEmpty() || !lines[0].startsWith(kMagic)) {
        out.error = QStringLiteral("it is not a console-sim journal");
        return out;
    }
    if (lines[0].mid(kMagic.size()).trimmed() != EventFingerprint(event)) {
        QString journalEvent;
        if (lines.size() > 1 && lines[1].startsWith("event: "))
            journalEvent = QString::fromUtf8(lines[1].mid(7));
        out.error = QStringLiteral("it belongs to another event%1, or the event file has changed since")
                        .arg(journalEvent.isEmpty() ? QString() : QStringLiteral(" (\"%1\")").arg(journalEvent));
        return out;
    }
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].startsWith("event: ") || lines[i].trimmed().isEmpty())
            continue;
        const auto e = ParseJournalEntry(lines[i]);
        if (!e) {
            out.error = QStringLiteral("line %1 is not a journal entry: \"%2\"").arg(i + 1).arg(QString::fromLatin1(lines[i].left(60)));
            return out;
        }
        out.entries.append(*e);
    }
    out.ok = true;
    return out;
}

bool Journal::startFresh(const QString &path, const EventDefinition &event, QString *keptAs, QString *error)
{
    const QFileInfo info(path);
    if (info.exists()) {
        // Kept aside, named after the time it was last written; never overwritten.
        const QString stamp = info.lastModified().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const QString base = info.dir().filePath(info.completeBaseName() + QLatin1Char('-') + stamp);
        QString aside = base + QStringLiteral(".journal");
        for (int n = 2; QFileInfo::exists(aside); ++n)
            aside = base + QStringLiteral("-%1.journal").arg(n);
        if (!QFile::rename(path, aside)) {
            *error = QStringLiteral("cannot keep the old journal %1 aside as %2").arg(path, aside);
            return false;
        }
        if (keptAs)
            *keptAs = aside;
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = QStringLiteral("cannot create the journal %1: %2").arg(path, file_.errorString());
        return false;
    }
    return writeSynced(kMagic + EventFingerprint(event) + '\n' + "event: " + DecodeConsoleText(event.name).toUtf8() + '\n',
                       error);
}

bool Journal::resume(const QString &path, const EventDefinition &event, JournalContent *content, QString *error)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot resume: there is no journal %1 to read (%2)").arg(path, in.errorString());
        return false;
    }
    *content = ReadJournal(in.readAll(), event);
    in.close();
    if (!content->ok) {
        *error = QStringLiteral("cannot resume from the journal %1: %2; start without --resume to begin afresh "
                                "(the journal is then kept aside)")
                     .arg(path, content->error);
        return false;
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("cannot write to the journal %1: %2").arg(path, file_.errorString());
        return false;
    }
    // A line cut short by the stop is dropped, so that the next entry starts a line of its own.
    QByteArray whole = file_.readAll();
    if (content->tornLastLine) {
        whole.truncate(whole.lastIndexOf('\n') + 1);
        file_.resize(whole.size());
    }
    file_.seek(whole.size());
    return true;
}

bool Journal::append(const JournalEntry &entry, QString *error)
{
    if (!file_.isOpen())
        return true;
    return writeSynced(FormatJournalEntry(entry) + '\n', error);
}

bool Journal::writeSynced(const QByteArray &bytes, QString *error)
{
    if (file_.write(bytes) != bytes.size() || !file_.flush()) {
        *error = QStringLiteral("cannot write to the journal %1: %2").arg(file_.fileName(), file_.errorString());
        return false;
    }
    if (!SyncToDisk(file_)) {
        *error = QStringLiteral("cannot sync the journal %1 to the disk").arg(file_.fileName());
        return false;
    }
    return true;
}
