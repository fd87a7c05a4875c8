#pragma once

#include <QByteArray>

// The framed console message: SOH, a 10-character header (2-letter command, 4-character
// discipline tag, 4-character sender identifier), STX, the payload, EOT. Single-byte text,
// no escaping.
namespace ctl {
constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char EOT = 0x04;
constexpr char DC1 = 0x11;
constexpr char DC2 = 0x12;
constexpr char DC3 = 0x13;
constexpr char DC4 = 0x14;
constexpr char ListSeparator = '^';
} // namespace ctl

// The longest message accepted before its EOT.
constexpr int kMaxMessageBytes = 16384;

// Builds one message. EOT bytes in the payload are removed: one would end the frame early
// and corrupt what follows.
QByteArray FrameConsoleMessage(const QByteArray &command, const QByteArray &disciplineTag,
                               const QByteArray &stationId, const QByteArray &payload);

// A received message taken apart at its first SOH and its first STX.
struct ConsoleText {
    QByteArray header;   // strictly between the first SOH and the first STX
    QByteArray command;  // header characters 1 and 2
    QByteArray sender;   // header characters 7 to 10
    QByteArray payload;  // after the first STX, up to but not including the last character (EOT)
};

// `text` is one message with its EOT as the last character.
ConsoleText CutConsoleText(const QByteArray &text);

// The link-log form of a text: CRs removed, control bytes shown by their labels.
QByteArray RenderForLog(const QByteArray &text);

// Payload fields, on the bytes or on their text: the field before the first `terminator`
// (empty when absent), and the rest after it (the whole text when absent).
template <typename Text, typename Terminator>
Text FieldBefore(const Text &text, Terminator terminator)
{
    const qsizetype i = text.indexOf(terminator);
    return i < 0 ? Text() : text.left(i);
}

template <typename Text, typename Terminator>
Text RestAfter(const Text &text, Terminator terminator)
{
    const qsizetype i = text.indexOf(terminator);
    return i < 0 ? text : text.mid(i + 1);
}
