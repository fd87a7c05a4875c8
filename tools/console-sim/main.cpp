// console-sim: the rehearsal event server. It serves the judges' stations on the console port,
// runs the event of an event file (or the built-in demo event), logs every message in and out
// on standard output and takes operator commands on standard input.

#include "StandardInput.h"

#include "link/CodePage.h"
#include "platform/TerminationSignals.h"
#include "server/EventFile.h"
#include "server/EventServer.h"
#include "server/OperatorConsole.h"
#ifdef MARLO_HAVE_BOARD
#include "server/board/Board.h"
#endif

#include <QCommandLineParser>
#include <QDir>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTime>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitListen = 1;

void Print(const QString &text)
{
    const QString stamp = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz "));
    QByteArray out;
    for (const QString &line : text.split(QLatin1Char('\n')))
        out += (stamp + line).toUtf8() + '\n';
    // A closed standard output (the log piped into a program that has ended) is no reason to
    // stop serving.
    if (std::fwrite(out.constData(), 1, size_t(out.size()), stdout) == size_t(out.size()))
        std::fflush(stdout);
    else
        std::clearerr(stdout);
}

void Fail(const QString &text, int code)
{
    std::fprintf(stderr, "console-sim: %s\n", text.toLocal8Bit().constData());
    std::exit(code);
}

int SecondsToMs(const QCommandLineParser &args, const QCommandLineOption &option, int defaultMs)
{
    if (!args.isSet(option))
        return defaultMs;
    bool ok = false;
    const double seconds = args.value(option).toDouble(&ok);
    if (!ok || seconds < 0 || seconds > 86400)
        Fail(QStringLiteral("--%1 takes a number of seconds from 0 to 86400, not \"%2\"")
                 .arg(option.names().constLast(), args.value(option)),
             kExitUsage);
    return int(seconds * 1000 + 0.5);
}

quint16 PortArg(const QCommandLineParser &args, const QCommandLineOption &option)
{
    bool ok = false;
    const uint port = args.value(option).toUInt(&ok);
    if (!ok || port > 65535)
        Fail(QStringLiteral("--%1 takes a port number from 0 to 65535, not \"%2\"")
                 .arg(option.names().constLast(), args.value(option)),
             kExitUsage);
    return quint16(port);
}

// "1 round", "3 rounds".
QString Counted(int n, const char *noun)
{
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(noun)).arg(n == 1 ? "" : "s");
}

} // namespace

int main(int argc, char **argv)
{
    KeepStandardDescriptorsOpen();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("console-sim"));

    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral(
        "Rehearsal event server for the judges' scoring stations: serves up to 64 stations,\n"
        "runs the event of EVENT-FILE (the built-in demo event when none is given), logs every\n"
        "message on standard output and takes operator commands on standard input (type help).\n"
        "It stops on the command quit, SIGINT or SIGTERM; when standard input ends it serves on."));
    args.addHelpOption();
    const QCommandLineOption portOption({QStringLiteral("p"), QStringLiteral("port")},
                                        QStringLiteral("TCP port to listen on (default 8963; 0: any free port)."),
                                        QStringLiteral("PORT"));
    const QCommandLineOption bindOption({QStringLiteral("b"), QStringLiteral("bind")},
                                        QStringLiteral("Address to listen on (default: every IPv4 address of this "
                                                       "computer)."),
                                        QStringLiteral("ADDRESS"));
    const QCommandLineOption pulseOption(QStringLiteral("pulse"),
                                         QStringLiteral("Seconds between test pulses (TP) to every station "
                                                        "(default 10; 0: none)."),
                                         QStringLiteral("SECONDS"));
    const QCommandLineOption pauseOption(QStringLiteral("pause"),
                                         QStringLiteral("Seconds between a complete panel and the next dive, in which "
                                                        "judges may still correct (default 5)."),
                                         QStringLiteral("SECONDS"));
    const QCommandLineOption checkOption(QStringLiteral("check"),
                                         QStringLiteral("Check the event file, describe it and exit."));
    const QCommandLineOption demoOption(QStringLiteral("print-demo"),
                                        QStringLiteral("Print the built-in demo event (an event file to start from) "
                                                       "and exit."));
    const QCommandLineOption fillOption(QStringLiteral("fill-missing"),
                                        QStringLiteral("Score for every judge of the panel who has no station connected, "
                                                       "once every connected judge has scored: a half point within 0.5 "
                                                       "of their mean (nothing when no judge is connected)."));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed for --fill-missing: the same seed and the same scores fill "
                                                       "in the same scores (default: a new seed, shown at the start)."),
                                        QStringLiteral("NUMBER"));
    const QCommandLineOption resumeOption(QStringLiteral("resume"),
                                          QStringLiteral("Go on from the journal in the working folder (console-sim.journal) "
                                                         "at the dive under way, with every score recorded so far. "
                                                         "Without it a journal found there is kept aside and a new one begun."));
    const QCommandLineOption boardOption(QStringLiteral("board"),
                                         QStringLiteral("Serve the live board (a web page: the dive under way, each "
                                                        "judge's link, score and battery, the last result, the "
                                                        "standings) on TCP port PORT of the same addresses."),
                                         QStringLiteral("PORT"));
    args.addOptions({portOption, bindOption, pulseOption, pauseOption, fillOption, seedOption, resumeOption, boardOption,
                     checkOption, demoOption});
    args.addPositionalArgument(QStringLiteral("EVENT-FILE"),
                               QStringLiteral("The event to run (format: docs/event-file.md)."),
                               QStringLiteral("[EVENT-FILE]"));
    args.process(app);

    if (args.isSet(demoOption)) {
        const QByteArray demo = DemoEventText();
        std::fwrite(demo.constData(), 1, size_t(demo.size()), stdout);
        return 0;
    }
    if (args.positionalArguments().size() > 1)
        Fail(QStringLiteral("give at most one event file (see --help)"), kExitUsage);

    ServerOptions options;
    if (args.isSet(portOption))
        options.port = PortArg(args, portOption);
    if (args.isSet(bindOption)) {
        const QString text = args.value(bindOption);
        QHostAddress address;
        if (text == QLatin1String("localhost"))
            address = QHostAddress(QHostAddress::LocalHost);
        else if (!address.setAddress(text))
            Fail(QStringLiteral("--bind takes an IP address such as 192.168.1.10, not \"%1\"").arg(text), kExitUsage);
        options.bindAddress = address;
    }
    options.pulseIntervalMs = SecondsToMs(args, pulseOption, options.pulseIntervalMs);
    options.correctionPauseMs = SecondsToMs(args, pauseOption, options.correctionPauseMs);
    options.fillMissing = args.isSet(fillOption);
    if (args.isSet(seedOption)) {
        bool ok = false;
        options.fillSeed = args.value(seedOption).toUInt(&ok);
        if (!ok)
            Fail(QStringLiteral("--seed takes a whole number from 0 to 4294967295, not \"%1\"").arg(args.value(seedOption)),
                 kExitUsage);
    } else {
        options.fillSeed = QRandomGenerator::system()->generate();
    }

    options.resume = args.isSet(resumeOption);
    options.journalPath = QDir::current().filePath(QString::fromLatin1(Journal::kFileName));
    options.resultsPath = QDir::current().filePath(QStringLiteral("console-sim-results.csv"));

    EventDefinition event;
    QString source = QStringLiteral("the built-in demo event");
    if (!args.positionalArguments().isEmpty()) {
        source = args.positionalArguments().constFirst();
        const EventFileResult loaded = LoadEventFile(source);
        for (const QString &w : loaded.warnings)
            std::fprintf(stderr, "console-sim: %s: warning: %s\n", source.toLocal8Bit().constData(),
                         w.toLocal8Bit().constData());
        if (!loaded.ok) {
            for (const QString &e : loaded.errors)
                std::fprintf(stderr, "console-sim: %s: %s\n", source.toLocal8Bit().constData(),
                             e.toLocal8Bit().constData());
            Fail(QStringLiteral("%1 is not a usable event file (format: docs/event-file.md)").arg(source), kExitUsage);
        }
        event = loaded.event;
    } else {
        event = DemoEvent();
    }

    if (args.isSet(checkOption)) {
        const QString line = QStringLiteral("%1: \"%2\", %3, %4, %5, %6, %7\n")
                                 .arg(source, DecodeConsoleText(event.name), EventKindName(event.kind),
                                      Counted(event.judges, "judge"), Counted(int(event.athletes.size()), "athlete"),
                                      Counted(event.rounds(), "round"), Counted(event.diveCount(), "dive"));
        const QByteArray out = line.toLocal8Bit();
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return 0;
    }

    EventServer server(event, options);
    QObject::connect(&server, &EventServer::logLine, &server, &Print);
    Print(QStringLiteral("console-sim running %1").arg(source));
    QString error;
    if (!server.listen(&error))
        Fail(error, kExitListen);
    Print(QStringLiteral("results: %1 (written at each complete dive)").arg(options.resultsPath));
    if (options.fillMissing)
        Print(QStringLiteral("judges without a station are scored for (--fill-missing, --seed %1)").arg(options.fillSeed));

#ifdef MARLO_HAVE_BOARD
    std::unique_ptr<Board> board;
    if (args.isSet(boardOption)) {
        board = std::make_unique<Board>(server);
        if (!board->listen(options.bindAddress, PortArg(args, boardOption), &error))
            Fail(error, kExitListen);
        QStringList urls;
        for (QString a : StationAddresses(LocalInterfaceAddresses(), options.bindAddress))
            urls << QStringLiteral("http://%1:%2/").arg(a.section(QLatin1Char(' '), 0, 0)).arg(board->port());
        Print(QStringLiteral("live board: %1").arg(urls.join(QLatin1String(" or "))));
    }
#else
    if (args.isSet(boardOption))
        Fail(QStringLiteral("--board: this build of console-sim has no live board (it needs Qt HTTP Server)"), kExitUsage);
#endif

    OperatorConsole console(server);
    // SIGINT and SIGTERM reach the event loop (on Windows Ctrl+C as SIGINT, Ctrl+Break and the
    // console's close as SIGTERM; after a close the handler's thread waits a little for the loop
    // to end, since the process ends when it returns). A closed log pipe must not kill the
    // server; reading the terminal from the background must not stop it.
    TerminationSignals::Options signalOptions;
    signalOptions.closeGraceMs = 2000;
    signalOptions.ignoreBrokenPipeAndBackgroundRead = true;
    TerminationSignals stopSignals(signalOptions);
    if (!stopSignals.ok())
        Fail(QStringLiteral("cannot set up signal handling"), kExitListen);
    QObject::connect(&stopSignals, &TerminationSignals::requested, &app, [&](int sig) {
        Print(QStringLiteral("stopping on %1").arg(sig == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM")));
        app.quit();
    });
    const bool interactive = StandardInputIsInteractive();
    CommandReader reader(
        &app,
        [&](const QString &line) {
            if (!line.trimmed().isEmpty() && !interactive)
                Print(QStringLiteral("> %1").arg(line.trimmed()));
            const QString reply = console.execute(line);
            if (!reply.isEmpty())
                Print(reply);
            if (console.quitRequested())
                app.quit();
        },
        [&] {
            Print(QStringLiteral("no more operator commands (standard input closed); serving on until SIGINT or "
                                 "SIGTERM"));
        });
    if (interactive)
        Print(QStringLiteral("type help for the operator commands"));

    const int rc = app.exec();
    server.stop();
    return rc;
}
