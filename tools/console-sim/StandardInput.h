#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class QObject;
class QSocketNotifier;

// A closed standard descriptor would be taken by the next file opened (the listening socket,
// say), which would then be read as commands or written as log: point it at /dev/null first.
void KeepStandardDescriptorsOpen();

// Whether standard input is a terminal (a console on Windows), where the operator types.
bool StandardInputIsInteractive();

// Reads operator command lines from standard input, whatever it is: a terminal or console, a
// pipe, a file, or nothing at all. Its end is not the server's end.
class CommandReader
{
public:
    CommandReader(QObject *parent, std::function<void(const QString &)> onLine, std::function<void()> onClosed);

private:
    void readSome();  // a terminal, a pipe or a file that is ready (POSIX)
    void ended();
    // Adds what was read and hands on every whole line; an overlong line is dropped.
    void take(QByteArrayView chunk);
    void deliver(const QByteArray &bytes);

    QObject *parent_;
    std::function<void(const QString &)> onLine_;
    std::function<void()> onClosed_;
    QByteArray pending_;
    QSocketNotifier *notifier_ = nullptr;
};
