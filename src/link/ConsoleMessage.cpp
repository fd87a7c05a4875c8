#include "link/ConsoleMessage.h"

QByteArray FrameConsoleMessage(const QByteArray &command, const QByteArray &disciplineTag,
                               const QByteArray &stationId, const QByteArray &payload)
{
    QByteArray out;
    out.reserve(command.size() + disciplineTag.size() + stationId.size() + payload.size() + 3);
    out += ctl::SOH;
    out += command;
    out += disciplineTag;
    out += stationId;
    out += ctl::STX;
    for (char c : payload)
        if (c != ctl::EOT)
            out += c;
    out += ctl::EOT;
    return out;
}

ConsoleText CutConsoleText(const QByteArray &text)
{
    ConsoleText m;
    const qsizetype p = text.indexOf(ctl::SOH);  // 0-based, -1 when absent
    const qsizetype s = text.indexOf(ctl::STX);
    // Positions counted from 1 as in the layout: P = p + 1, S = s + 1 (0 when absent).
    const qsizetype P = p + 1;
    const qsizetype S = s + 1;
    if (S > P + 1)
        m.header = text.mid(P, S - P - 1);
    m.command = m.header.left(2);
    m.sender = m.header.mid(6, 4);
    // The payload runs from after position S to before the last character.
    const qsizetype from = S;  // 0-based index of the character after STX (or 0 when absent)
    const qsizetype to = text.size() - 1;
    if (to > from)
        m.payload = text.mid(from, to - from);
    return m;
}

QByteArray RenderForLog(const QByteArray &text)
{
    static const struct {
        char byte;
        const char *label;
    } labels[] = {
        {0x01, "[SOH]"}, {0x02, "[STX]"}, {0x04, "[EOT]"}, {0x08, "[BS]"},  {0x0A, "[LF]"},
        {0x0B, "[ERL]"}, {0x0C, "[ERP]"}, {0x10, "[DLE]"}, {0x11, "[DC1]"}, {0x12, "[DC2]"},
        {0x13, "[DC3]"}, {0x14, "[DC4]"}, {0x15, "[DC5]"}, {0x16, "[SYN]"}, {0x17, "[ETB]"},
    };
    // No label contains a byte that a later label replaces, so one pass gives the same
    // result as replacing each byte over the whole text in turn.
    QByteArray out;
    out.reserve(text.size() + text.size() / 4);
    for (char c : text) {
        if (c == '\r')
            continue;
        bool done = false;
        for (const auto &l : labels) {
            if (c == l.byte) {
                out += l.label;
                done = true;
                break;
            }
        }
        if (!done)
            out += c;
    }
    return out;
}
