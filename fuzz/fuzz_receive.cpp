// Fuzz target: whatever arrives on the console link, handled by the real main window.
//
// The input is a received byte stream. It is cut as the reader cuts it (every EOT ends a
// message, a message's text ends at its first NUL, a message longer than the link allows
// ends the connection and the rest of the stream with it), each text is handed to
// ReceiveConsoleText on one main window created once, and what changed is painted. Message
// boxes are replaced by nothing, so that a "CE" or a malformed number never blocks.
//
//   cmake -S . -B build-fuzz -DMARLO_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DBUILD_TESTING=OFF
//   cmake --build build-fuzz --target fuzz_receive
//   build-fuzz/fuzz/fuzz_receive -max_total_time=60 fuzz/corpus

#include "../tests/support/Elements.h"
#include "../tests/support/LayoutFakes.h"

#include "link/ClientReader.h"
#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "link/InboundHandlers.h"
#include "link/LinkMemos.h"
#include "scoring/ScoreConfirmation.h"
#include "screens/Unit_Main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

TMainForm *form = nullptr;

} // namespace

// Fontconfig keeps some of what it allocates while Qt looks for a fallback font; that is
// the system library's, not the station's.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    (void)argc;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char *qtArgv[] = {(*argv)[0], nullptr};
    // Like the window, never destroyed: libFuzzer ends the process with exit(), and Qt's
    // objects must not be torn down by static destructors in an arbitrary order.
    new QApplication(qtArgc, qtArgv);

    // The station reads Settings.ini from its working directory while it starts: an empty
    // one of its own, then back to where libFuzzer finds its corpus and writes its findings.
    static QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());

    static LayoutPlatform fakes(QRect(0, 0, 1218, 805));
    form = new TMainForm(fakes.platform);
    form->confirmClose = [] { return true; };
    form->link->showMessage = [](ConsoleLink::BoxKind, const QString &) {};
    form->show();
    QElapsedTimer wait;
    wait.start();
    while (!form->startedUp() && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!form->startedUp())
        std::abort();
    QDir::setCurrent(previous);
    EnterScoringScreen(form->scoring);
    QCoreApplication::processEvents();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A "CD" for this station sends it home; each stream starts on the scoring page.
    if (form->currentPage() != 1)
        EnterScoringScreen(form->scoring);
    const QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        // As the link hands over a batch: its memo lines are added together.
        DeferMemoAppends together {element<QPlainTextEdit>(*form, "LogFile"), element<QPlainTextEdit>(*form, "ChatFile")};
        qsizetype from = 0;
        for (;;) {
            const qsizetype eot = stream.indexOf(ctl::EOT, from);
            if (eot < 0 || eot - from > kMaxMessageBytes)
                break;
            ReceiveConsoleText(form->inbound(), HandoffText(stream.mid(from, eot - from)));
            from = eot + 1;
        }
    }
    // Paint what changed, as the next turn of the event loop would.
    QCoreApplication::processEvents();
    return 0;
}
