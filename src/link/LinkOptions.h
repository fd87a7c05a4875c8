#pragma once

#include <QtGlobal>

// What a connection to the event server is opened with. The station's own values are the
// defaults; a rehearsal or a check points it at a server of its own, or shortens the waits,
// for the connections opened from then on.
struct LinkOptions {
    static constexpr quint16 kServerPort = 8963;

    // The server's port.
    quint16 port = kServerPort;
    // The longest an open may take in all.
    int connectTimeoutMs = 10000;
    // How long unsent data may wait before the link counts as lost.
    int sendTimeoutMs = 5000;
};
