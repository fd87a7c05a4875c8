#pragma once

// The lines a rehearsal server running on its own thread logs, gathered on the test's thread.

#include "server/EventServer.h"
#include "server/EventServerThread.h"

#include <QObject>
#include <QStringList>

class ServerLog : public QObject
{
public:
    explicit ServerLog(EventServerThread &server)
    {
        connect(server.server(), &EventServer::logLine, this, [this](const QString &l) { lines << l; },
                Qt::QueuedConnection);
    }
    QString text() const { return lines.join('\n'); }

    QStringList lines;
};
