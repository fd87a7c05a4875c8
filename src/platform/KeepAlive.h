#pragma once

#include <QtGlobal>

// TCP keep-alive on a connected socket, so that a peer that has gone without a word (a cable
// pulled, a computer switched off, a network that went away) is noticed: the connection fails
// within `deadSeconds` whether it is idle (keep-alive probes) or has data waiting for an
// acknowledgement (Linux TCP_USER_TIMEOUT, Windows TCP_MAXRT). `descriptor` is the native
// socket (QAbstractSocket::socketDescriptor()). False when the system refused an option.
bool EnableKeepAlive(qintptr descriptor, int deadSeconds = 15);
