#pragma once

#include <QString>

class EventServer;

// The operator's command lines for the event server ("next", "fs 3 7.5", "list"...).
class OperatorConsole
{
public:
    explicit OperatorConsole(EventServer &server);

    // Runs one command line; returns what to show the operator (may be empty).
    QString execute(const QString &line);
    bool quitRequested() const { return quit_; }

    static QString helpText();

private:
    EventServer &server_;
    bool quit_ = false;
};
