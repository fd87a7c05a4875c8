// Fuzz target: cutting received byte streams into messages, messages into their parts, and
// the parts into the fields of each command. Pure: no window, no link.
#include "link/ConsoleMessage.h"
#include "link/InboundDecoders.h"
#include "link/InboundFields.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray stream(reinterpret_cast<const char *>(data), qsizetype(size));
    // As the reader does: every EOT ends a message, the text ends at its first NUL.
    qsizetype from = 0;
    for (;;) {
        const qsizetype eot = stream.indexOf(ctl::EOT, from);
        if (eot < 0)
            break;
        QByteArray text = stream.mid(from, eot - from);
        from = eot + 1;
        if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
            text.truncate(nul);
        text += ctl::EOT;
        const ConsoleText m = CutConsoleText(text);
        if (m.command.size() > 2 || m.sender.size() > 4 || m.payload.size() >= text.size())
            std::abort();
        const QByteArray log = RenderForLog(text);
        if (log.contains('\r') || log.contains(ctl::SOH) || log.contains(ctl::EOT))
            std::abort();
        const QString payload = QString::fromLatin1(m.payload);
        const RoundAndStart rs = splitRoundAndStart(FieldBefore(payload, QChar(ctl::DC1)));
        if (rs.round.size() > payload.size() || rs.start.size() > payload.size())
            std::abort();
        if (PadToWidth(payload, 9).size() != 9)
            std::abort();
        (void)parseWholeNumber(FieldBefore(payload, QChar(ctl::DC1)));
        // Every command's decoder takes any payload; its records keep their shapes.
        (void)InboundCommandOf(m.command);
        const AthleteInfo a = DecodeAthlete(m.payload);
        const DiveInfo d = DecodeDive(m.payload);
        if (a.athlete.size() > payload.size() || d.description.size() > payload.size())
            std::abort();
        const EventInfo e = DecodeEvent(m.payload);
        const FinalScoreInfo f = DecodeFinalScore(m.payload);
        if ((e.judgeCount && e.judgeCountText.isEmpty()) || (f.function && f.functionText.isEmpty()))
            std::abort();
        if (DecodePanelScores(m.payload).size() != kPanelScoreCount)
            std::abort();
        const ScoreboardInfo b = DecodeScoreboard(m.payload);
        if (b.order.size() != 3 || b.lines[0].size() != 9 || b.lines[1].size() != 9 || b.lines[2].size() != 9)
            std::abort();
        (void)DecodeReceivedStation(m.payload);
        const QByteArray framed = FrameConsoleMessage(m.command, "IND ", m.sender, m.payload);
        if (framed.count(ctl::EOT) != 1 || !framed.endsWith(ctl::EOT))
            std::abort();
    }
    return 0;
}
