#pragma once

// Linux only: it reads the listener's queue through TCP_INFO.

#include "LoopbackServer.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cerrno>
#include <vector>

#include <arpa/inet.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A listener on 127.0.0.1 whose accept queue is full: it never accepts, so once the queue
// holds what its backlog allows the system drops further SYNs, and a connect to it gets no
// answer at all, like one to a host that is not there.
class FullListener
{
public:
    FullListener()
    {
        fd_ = int(LoopbackServer::listenSocket(0, &port_));
        if (fd_ < 0)
            return;
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port_);
        // Fill the queue: connects whose handshakes the system completes (it answers them
        // even though nobody accepts) until the queue holds what its backlog allows.
        for (int i = 0; i < 8 && !queueFull(); ++i) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            fillers_.push_back(c);
            if (::connect(c, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 && errno != EINPROGRESS)
                continue;
            // Until this one is in the queue (its handshake's end reaches the listener).
            QDeadlineTimer deadline(5000);
            while (!queueFull() && !deadline.hasExpired())
                QThread::msleep(5);
        }
        full_ = queueFull();
    }
    ~FullListener()
    {
        for (int c : fillers_)
            ::close(c);
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool full() const { return full_; }
    quint16 port() const { return port_; }

private:
    // Whether the accept queue is full: the system then drops a new connect's SYN unanswered.
    // For a listening socket TCP_INFO gives the queue's length and its backlog.
    bool queueFull() const
    {
        tcp_info info {};
        socklen_t len = sizeof info;
        return ::getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &len) == 0 && info.tcpi_unacked > info.tcpi_sacked;
    }

    int fd_ = -1;
    quint16 port_ = 0;
    bool full_ = false;
    std::vector<int> fillers_;
};
