#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The console link carries single-byte text in the event servers' code page, Windows-1252.
// Its five undefined bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the control characters of
// the same value and encode back to themselves, so that every received text goes out byte
// for byte.

// The text of bytes received on the link.
QString DecodeConsoleText(QByteArrayView bytes);

// The bytes of a text to send; a character the code page cannot hold becomes "?" and, when
// given, *exact is set to false (true otherwise).
QByteArray EncodeConsoleText(QStringView text, bool *exact = nullptr);
