#include "server/OperatorConsole.h"

#include "server/EventServer.h"

#include <QRegularExpression>

namespace {

// "3", "J3", "j3" -> 3; 0 for anything else.
int ParseJudge(const QString &word)
{
    QString w = word;
    if (w.startsWith(QLatin1Char('J'), Qt::CaseInsensitive))
        w.remove(0, 1);
    bool ok = false;
    const int n = w.toInt(&ok);
    return ok && n >= 1 && n <= 11 ? n : 0;
}

QString Row(const QByteArray &v)
{
    return v.isEmpty() ? QStringLiteral("-") : RenderForServerLog(v);
}

} // namespace

OperatorConsole::OperatorConsole(EventServer &server)
    : server_(server)
{
}

QString OperatorConsole::helpText()
{
    return QStringLiteral(
        "commands:\n"
        "  next                 move on to the next dive now (also: n)\n"
        "  repeat               judge the dive under way again: clears its scores, sends EI, AI and DI again\n"
        "  status               the dive under way and the scores received (also: s)\n"
        "  fs JUDGE SCORE       place SCORE on the judge's station for the judge to accept, e.g. fs 3 7.5\n"
        "  score JUDGE SCORE    record SCORE for the judge here, as if the judge had sent it\n"
        "  ce JUDGE TEXT        show TEXT to the judge in a message box\n"
        "  cm TEXT              chat line to every station\n"
        "  cd JUDGE             disconnect the judge's station (it returns to its opening page)\n"
        "  end                  end the event now: END OF EVENT to every station\n"
        "  list                 the connected stations (also: stations)\n"
        "  help                 this text\n"
        "  quit                 stop the server (also: exit; or SIGINT, SIGTERM)\n"
        "JUDGE is a judge number 1 to 11 or its identifier, e.g. 3 or J3.");
}

QString OperatorConsole::execute(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QStringList words = trimmed.split(QRegularExpression(QStringLiteral("\\s+")));
    const QString command = words[0].toLower();
    // The text after the command and `skip` more words, as typed.
    auto restAfter = [&](int skip) {
        QString rest = trimmed;
        for (int i = 0; i <= skip; ++i) {
            const qsizetype blank = rest.indexOf(QRegularExpression(QStringLiteral("\\s")));
            rest = blank < 0 ? QString() : rest.mid(blank).trimmed();
        }
        return rest;
    };
    auto judgeArg = [&](int index, QString &error) {
        const int n = ParseJudge(words.value(index));
        if (n == 0)
            error = QStringLiteral("%1: give a judge number 1 to 11 (see help)").arg(command);
        return n;
    };

    QString error;
    if (command == QLatin1String("help") || command == QLatin1String("?"))
        return helpText();
    if (command == QLatin1String("next") || command == QLatin1String("n")) {
        server_.nextDive();
        return {};
    }
    if (command == QLatin1String("repeat")) {
        server_.repeatDive();
        return {};
    }
    if (command == QLatin1String("end")) {
        server_.endEvent();
        return {};
    }
    if (command == QLatin1String("status") || command == QLatin1String("s"))
        return server_.statusText();
    if (command == QLatin1String("quit") || command == QLatin1String("exit")) {
        quit_ = true;
        return QStringLiteral("stopping");
    }
    if (command == QLatin1String("list") || command == QLatin1String("stations")) {
        const auto stations = server_.stations();
        QStringList out;
        const QDateTime now = QDateTime::currentDateTime();
        out << QStringLiteral("judges:");
        for (const auto &link : server_.judgeLinks())
            out << QStringLiteral("  ") + FormatJudgeLink(link, now);
        out << (stations.isEmpty() ? QStringLiteral("no station is connected") : QStringLiteral("stations:"));
        for (const auto &s : stations)
            out << QStringLiteral("  %1  from %2  caption \"%3\"  IP %4  name %5  status %6")
                       .arg(s.id.isEmpty() ? QStringLiteral("(not announced)") : RenderForServerLog(s.id), s.peer,
                            RenderForServerLog(s.caption), Row(s.address), Row(s.name), Row(s.status));
        return out.join(QLatin1Char('\n'));
    }
    if (command == QLatin1String("fs") || command == QLatin1String("score")) {
        const int judge = judgeArg(1, error);
        if (!judge)
            return error;
        if (words.size() != 3)
            return QStringLiteral("%1: give a judge and a score, e.g. %1 3 7.5").arg(command);
        const QByteArray score = words[2].toLatin1();
        const bool ok = command == QLatin1String("fs") ? server_.sendForcedScore(judge, score, &error)
                                                        : server_.recordScore(judge, score, &error);
        return ok ? QString() : QStringLiteral("%1: %2").arg(command, error);
    }
    if (command == QLatin1String("ce")) {
        const int judge = judgeArg(1, error);
        if (!judge)
            return error;
        const QString text = restAfter(1);
        if (text.isEmpty())
            return QStringLiteral("ce: give the text to show, e.g. ce 3 Please score the dive");
        server_.messageJudge(judge, ToStationText(text));
        return {};
    }
    if (command == QLatin1String("cm")) {
        const QString text = restAfter(0);
        if (text.isEmpty())
            return QStringLiteral("cm: give the chat line, e.g. cm Warm-up ends in 5 minutes");
        server_.chat(ToStationText(text));
        return {};
    }
    if (command == QLatin1String("cd")) {
        const int judge = judgeArg(1, error);
        if (!judge)
            return error;
        server_.disconnectJudge(judge);
        return {};
    }
    return QStringLiteral("unknown command \"%1\"; type help for the commands").arg(words[0].left(40));
}
