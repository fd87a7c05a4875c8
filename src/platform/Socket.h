#pragma once

// The system's TCP sockets as the console link uses them, and the event that wakes the main
// thread for the link's reader, in plain functions. One file a system implements them
// (SocketPosix.cpp, SocketWindows.cpp: Winsock); CMake builds the one of the platform.
//
// A socket is the system's own handle (a descriptor; a SOCKET on Windows) in a qintptr, -1
// when there is none. Errors are the system's codes (errno; WSAGetLastError()). Deadlines are
// on clockMs()'s clock; -1 means no limit.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

class QObject;

namespace sock {

// A monotonic clock in milliseconds, the clock of every deadline.
inline std::int64_t clockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Starts the system's sockets, once for the whole process (Winsock's WSAStartup); every part
// that uses sockets calls it before anything else. False when they cannot be used.
bool start();

// The calling thread's last socket error, and the system's text for an error.
int lastError();
QString errorText(int error);
// Whether `error` says the call would have had to wait (a non-blocking socket).
bool wouldBlock(int error);

// The errors the link tells apart, as the system numbers them.
struct Errors {
    int interrupted;  // a signal interrupted the call (try again)
    int timedOut;     // a connect that timed out
    int refused;      // a connect refused
};
extern const Errors kErrors;
inline bool interrupted(int error)
{
    return error == kErrors.interrupted;
}
inline int timedOutError()
{
    return kErrors.timedOut;
}
inline int refusedError()
{
    return kErrors.refused;
}

// One address of a host, ready for a TCP connect.
struct Address {
    int family = 0;
    int type = 0;
    int protocol = 0;
    QByteArray bytes;  // the system's socket address
};
// The IPv4 addresses of `host` (dotted decimal or a name) at TCP port `port`, in the
// resolver's order. False, with the resolver's text for the failure, when there is none.
bool resolve(const QByteArray &host, quint16 port, std::vector<Address> &found, QString *errorText);

// A new socket for `address`: non-blocking, not inherited by child processes. -1 on failure
// (lastError()).
qintptr open(const Address &address);
// Starts connecting to `address` without waiting: 0 when connected at once, else the error;
// connectPending(error) when the connect goes on.
int startConnect(qintptr fd, const Address &address);
bool connectPending(int error);
// Waits until a connect under way has its outcome (connected or failed) or `deadline` has
// come: whether it has one.
bool waitConnected(qintptr fd, std::int64_t deadline);
// The outcome of a connect that has one: 0 when connected, else the error.
int connectOutcome(qintptr fd);
// Whether the system tells a failed connect only among a socket's exceptions (Winsock), so
// that a notifier waiting for the outcome must watch for those as well.
bool connectFailsAsException();
// Each write goes out at once, not held back for the next (TCP_NODELAY).
void setNoDelay(qintptr fd);

// Sends what the system takes of [data, data + size) now: the count taken, or -1
// (lastError()).
qsizetype send(qintptr fd, const char *data, qsizetype size);
// Receives at most `size` bytes into `data`: the count, 0 when the peer closed, or -1
// (lastError()).
qsizetype receive(qintptr fd, char *data, qsizetype size);

enum class Ready {
    Yes,       // what was waited for
    TimedOut,  // the deadline came first
    Broken,    // the socket failed or hung up, or the wait itself failed
};
// Waits until the socket takes more bytes, or until `deadline`.
Ready waitWritable(qintptr fd, std::int64_t deadline);
// Waits, as long as it takes, until bytes have come, the peer closed, or the socket was shut
// down here (`open` turned false). False when the wait failed, or (where a shutdown does not
// end a wait: Winsock) when `open` turned false while waiting.
bool waitReadable(qintptr fd, const std::atomic<bool> &open);

// Bytes the system holds for the peer that the peer has not acknowledged; 0 where the system
// cannot tell (it can on Linux: SIOCOUTQ).
std::int64_t unacknowledgedBytes(qintptr fd);
// Shuts both directions down; a reader waiting on the socket is woken (see waitReadable).
void shutdown(qintptr fd);
// Makes the release of the socket reset the connection (a zero linger), so that nothing the
// system still holds goes out. Where the system can (POSIX), the socket is swapped at once
// for an unconnected one under the same descriptor, which then stays the caller's.
void reset(qintptr fd);
// Releases the socket.
void close(qintptr fd);

} // namespace sock

// The event a reader sets to wake the main thread: an eventfd, on Windows an auto-reset event
// object. Its handle is a qintptr too.
namespace wake {

qintptr create();
// Sets the event (safe from any thread).
void set(qintptr event);
// Clears it (main thread, before taking what it announced).
void clear(qintptr event);
void destroy(qintptr event);
// Calls `woken` on the calling thread's event loop whenever the event is set; the watcher is
// a child of `parent`.
QObject *watch(qintptr event, QObject *parent, std::function<void()> woken);

} // namespace wake
