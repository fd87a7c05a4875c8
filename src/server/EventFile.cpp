#include "server/EventFile.h"

#include "link/CodePage.h"

#include <QFile>
#include <QStringDecoder>

namespace {

constexpr int kMaxTextLength = 200;       // any one text: name, team, description...
constexpr qint64 kMaxFileBytes = 1 << 20; // an event file is a few kilobytes

class Parser
{
public:
    EventFileResult result;

    void parse(const QString &text)
    {
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            lineNo_ = i + 1;
            parseLine(lines[i]);
        }
        finish();
    }

private:
    int lineNo_ = 0;
    bool haveName_ = false, haveKind_ = false, haveJudges_ = false;
    int judgesLine_ = 0;

    void error(const QString &what)
    {
        result.errors << (lineNo_ > 0 ? QStringLiteral("line %1: %2").arg(lineNo_).arg(what) : what);
    }

    void warning(const QString &what)
    {
        result.warnings << QStringLiteral("line %1: %2").arg(lineNo_).arg(what);
    }

    bool text(const QString &raw, const QString &what, QByteArray &out, bool required)
    {
        QString lost;
        out = ToStationText(raw, nullptr, &lost);
        if (!lost.isEmpty())
            warning(QStringLiteral("the %1 has characters that the stations' code page (Windows-1252) cannot hold: "
                                   "\"%2\"; they are shown as \"?\"")
                        .arg(what, lost));
        if (out.size() > kMaxTextLength) {
            error(QStringLiteral("the %1 is longer than %2 characters").arg(what).arg(kMaxTextLength));
            return false;
        }
        if (required && out.isEmpty()) {
            error(QStringLiteral("the %1 is missing").arg(what));
            return false;
        }
        return true;
    }

    void parseLine(QString line)
    {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            return;
        const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
        if (colon < 0) {
            error(QStringLiteral("expected \"key: value\", found \"%1\"").arg(trimmed.left(60)));
            return;
        }
        const QString key = trimmed.left(colon).trimmed().toLower();
        const QString value = trimmed.mid(colon + 1).trimmed();
        if (key == QLatin1String("event"))
            parseEvent(value);
        else if (key == QLatin1String("kind"))
            parseKind(value);
        else if (key == QLatin1String("judges"))
            parseJudges(value);
        else if (key == QLatin1String("athlete"))
            parseAthlete(value);
        else if (key == QLatin1String("dive"))
            parseDive(value);
        else
            error(QStringLiteral("unknown key \"%1\" (known: event, kind, judges, athlete, dive)").arg(key.left(40)));
    }

    bool once(bool &seen, const char *key)
    {
        if (seen) {
            error(QStringLiteral("\"%1\" is given twice").arg(QLatin1String(key)));
            return false;
        }
        seen = true;
        return true;
    }

    void parseEvent(const QString &value)
    {
        if (!once(haveName_, "event"))
            return;
        QByteArray name;
        if (!text(value, QStringLiteral("event name"), name, true))
            return;
        if (name == "END OF EVENT") {
            error(QStringLiteral("\"END OF EVENT\" ends scoring on the stations and cannot be an event's name"));
            return;
        }
        result.event.name = name;
    }

    void parseKind(const QString &value)
    {
        if (!once(haveKind_, "kind"))
            return;
        const QString v = value.toLower();
        if (v == QLatin1String("individual") || v == QLatin1String("ind"))
            result.event.kind = EventKind::Individual;
        else if (v == QLatin1String("synchro") || v == QLatin1String("syn"))
            result.event.kind = EventKind::Synchro;
        else
            error(QStringLiteral("kind must be \"individual\" or \"synchro\", not \"%1\"").arg(value.left(40)));
    }

    void parseJudges(const QString &value)
    {
        if (!once(haveJudges_, "judges"))
            return;
        bool ok = false;
        const int n = value.toInt(&ok);
        if (!ok) {
            error(QStringLiteral("the number of judges must be a whole number, not \"%1\"").arg(value.left(40)));
            return;
        }
        result.event.judges = n;
        judgesLine_ = lineNo_;
    }

    void parseAthlete(const QString &value)
    {
        const QStringList f = value.split(QLatin1Char('|'));
        if (f.size() > 2) {
            error(QStringLiteral("an athlete is \"name | team\""));
            return;
        }
        AthleteSpec a;
        if (!text(f.value(0), QStringLiteral("athlete's name"), a.name, true))
            return;
        if (!text(f.value(1), QStringLiteral("team"), a.team, false))
            return;
        result.event.athletes.append(a);
    }

    void parseDive(const QString &value)
    {
        if (result.event.athletes.isEmpty()) {
            error(QStringLiteral("a dive must follow its athlete"));
            return;
        }
        const QStringList f = value.split(QLatin1Char('|'));
        if (f.size() < 2 || f.size() > 4) {
            error(QStringLiteral("a dive is \"number | degree of difficulty | height | description\""));
            return;
        }
        DiveSpec d;
        if (!text(f.value(0), QStringLiteral("dive number"), d.number, true))
            return;
        const auto dd = ParseDegreeOfDifficulty(f.value(1).trimmed().toLatin1());
        if (!dd) {
            error(QStringLiteral("the degree of difficulty must be a number above 0 and below 10 with at most "
                                 "one decimal, such as 2.8, not \"%1\"").arg(f.value(1).trimmed().left(40)));
            return;
        }
        d.ddTenths = *dd;
        if (!text(f.value(2), QStringLiteral("height"), d.height, false))
            return;
        if (!text(f.value(3), QStringLiteral("dive description"), d.description, false))
            return;
        result.event.athletes.last().dives.append(d);
    }

    void finish()
    {
        const int lastLine = lineNo_;
        lineNo_ = 0;
        if (!haveName_)
            error(QStringLiteral("the event has no name (\"event: ...\")"));
        if (!haveKind_)
            error(QStringLiteral("the event has no kind (\"kind: individual\" or \"kind: synchro\")"));
        if (!haveJudges_)
            error(QStringLiteral("the event has no number of judges (\"judges: ...\")"));
        if (haveKind_ && haveJudges_ && !PanelSupported(result.event.kind, result.event.judges)) {
            lineNo_ = judgesLine_;
            error(PanelRefusal(result.event.kind, result.event.judges));
            lineNo_ = 0;
        }
        if (result.event.athletes.isEmpty())
            error(QStringLiteral("the event has no athletes (\"athlete: name | team\")"));
        for (const AthleteSpec &a : result.event.athletes)
            if (a.dives.isEmpty())
                error(QStringLiteral("%1 has no dives (\"dive: number | degree of difficulty | height | description\" "
                                     "after the athlete)").arg(DecodeConsoleText(a.name)));
        lineNo_ = lastLine;
        result.ok = result.errors.isEmpty();
    }
};

} // namespace

QByteArray ToStationText(const QString &text, bool *lossy, QString *lost)
{
    // Control characters would end a message's fields early; a character beyond the basic
    // plane is one character for the judge, so it becomes one "?".
    QString clean;
    clean.reserve(text.size());
    QString missing;
    auto remember = [&](const QString &c) {
        if (!missing.contains(c) && missing.size() < 40)
            missing += c;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            remember(text.mid(i, 2));
            clean += QChar(0xFFFD);
            ++i;
        } else if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            clean += QLatin1Char(' ');
        } else {
            bool exact = true;
            EncodeConsoleText(QStringView(&c, 1), &exact);
            if (!exact)
                remember(u == 0xFFFD || c.isSurrogate() ? QString(QChar(0xFFFD)) : QString(c));
            clean += c;
        }
    }
    if (lossy)
        *lossy = !missing.isEmpty();
    if (lost)
        *lost = missing;
    return EncodeConsoleText(clean).trimmed();
}

int EventDefinition::rounds() const
{
    int n = 0;
    for (const AthleteSpec &a : athletes)
        n = std::max(n, int(a.dives.size()));
    return n;
}

int EventDefinition::diveCount() const
{
    int n = 0;
    for (const AthleteSpec &a : athletes)
        n += a.dives.size();
    return n;
}

EventFileResult ParseEventFile(const QByteArray &content)
{
    QByteArray bytes = content;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // UTF-8, or else a file saved in the code page of the stations' computers.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = DecodeConsoleText(bytes);
    Parser p;
    p.parse(text);
    return p.result;
}

EventFileResult LoadEventFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        EventFileResult r;
        r.errors << QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return r;
    }
    if (f.size() > kMaxFileBytes) {
        EventFileResult r;
        r.errors << QStringLiteral("%1 is larger than %2 bytes; is it an event file?").arg(path).arg(kMaxFileBytes);
        return r;
    }
    return ParseEventFile(f.readAll());
}

QByteArray DemoEventText()
{
    return R"(# The built-in demo event of console-sim.
event: Demo 3m Springboard
kind: individual
judges: 5

athlete: Anna Meyer | GER
dive: 105B | 2.4 | 3m | Forward 2 1/2 somersaults pike
dive: 203B | 2.3 | 3m | Back 1 1/2 somersaults pike
dive: 305C | 3.0 | 3m | Reverse 2 1/2 somersaults tuck

athlete: Sofia Rossi | ITA
dive: 107B | 3.1 | 3m | Forward 3 1/2 somersaults pike
dive: 205C | 3.0 | 3m | Back 2 1/2 somersaults tuck
dive: 405B | 3.0 | 3m | Inward 2 1/2 somersaults pike

athlete: Emma Clark | GBR
dive: 5154B | 3.2 | 3m | Forward 2 1/2 somersaults 2 twists pike
dive: 307C | 3.5 | 3m | Reverse 3 1/2 somersaults tuck
dive: 5335D | 3.0 | 3m | Reverse 1 1/2 somersaults 2 1/2 twists free
)";
}

EventDefinition DemoEvent()
{
    return ParseEventFile(DemoEventText()).event;
}

QString EventKindName(EventKind kind)
{
    return kind == EventKind::Individual ? QStringLiteral("individual") : QStringLiteral("synchro");
}
