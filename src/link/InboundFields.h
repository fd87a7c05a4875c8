#pragma once

#include <QString>
#include <optional>

// Field helpers of the inbound messages, on single-byte texts held as Latin-1 QStrings.

// Trims characters of codes 0 to 32 at both ends, then right-aligns in exactly n characters:
// blanks added on the left, or the first n characters kept.
QString PadToWidth(const QString &text, int n);

// A whole decimal number: optional leading blanks (spaces and tabs), an optional sign, one
// or more digits 0-9 and nothing after them, within the range of a 32-bit signed integer.
std::optional<qint32> parseWholeNumber(const QString &text);

// The default error text for a field that must be a whole number.
QString notAnIntegerMessage(const QString &field);

// The athlete message's first field "round-start": the round (before the first "-", empty
// without one) and the start order (the field without its first two characters, and of that
// only what follows its first "-" when it has one).
struct RoundAndStart {
    QString round;
    QString start;
};
RoundAndStart splitRoundAndStart(const QString &first);
