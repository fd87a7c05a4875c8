#pragma once

#include "link/ConsoleConnection.h"
#include "link/LinkOptions.h"

class TClientReader;

// What the tests look at, and change, on a connection beyond what the station does with it.
struct ConnectionProbe {
    // The reader of the open connection, if any.
    static const TClientReader *reader(const ConsoleConnection &connection) { return connection.reader_.get(); }

    // Points the connections opened from now on at a server of the test's own; the rest of
    // the options are kept.
    static void usePort(ConsoleConnection &connection, quint16 port)
    {
        LinkOptions options = connection.options();
        options.port = port;
        connection.setOptions(options);
    }
    // Shortens (or lengthens) the waits of the connections opened from now on.
    static void setConnectTimeoutMs(ConsoleConnection &connection, int ms)
    {
        LinkOptions options = connection.options();
        options.connectTimeoutMs = ms;
        connection.setOptions(options);
    }
    static void setSendTimeoutMs(ConsoleConnection &connection, int ms)
    {
        LinkOptions options = connection.options();
        options.sendTimeoutMs = ms;
        connection.setOptions(options);
    }
};
