#include "StandardInput.h"

#include <QObject>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#ifdef _WIN32
#include <io.h>
#include <thread>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr qsizetype kMaxCommandLine = 4096;

} // namespace

void KeepStandardDescriptorsOpen()
{
#ifdef _WIN32
    // Windows gives a program without one no handle at all; nothing takes its place.
#else
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
#endif
}

bool StandardInputIsInteractive()
{
#ifdef _WIN32
    return ::_isatty(::_fileno(stdin)) != 0;
#else
    return ::isatty(STDIN_FILENO) == 1;
#endif
}

#ifdef _WIN32
// Windows cannot watch a console or a pipe for readiness in the event loop, so a thread of its
// own reads, and hands each chunk to the main thread.
CommandReader::CommandReader(QObject *parent, std::function<void(const QString &)> onLine,
                             std::function<void()> onClosed)
    : parent_(parent)
    , onLine_(std::move(onLine))
    , onClosed_(std::move(onClosed))
{
    const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    if (in == nullptr || in == INVALID_HANDLE_VALUE) {
        QTimer::singleShot(0, parent_, onClosed_);
        return;
    }
    // Ends with the process; it holds nothing but the input handle.
    std::thread([this, in] {
        char chunk[4096];
        DWORD n = 0;
        while (::ReadFile(in, chunk, sizeof chunk, &n, nullptr) && n > 0) {
            QByteArray bytes(chunk, qsizetype(n));
            QMetaObject::invokeMethod(parent_, [this, bytes] { take(bytes); }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(parent_, [this] { ended(); }, Qt::QueuedConnection);
    }).detach();
}

void CommandReader::readSome()
{
}
#else
CommandReader::CommandReader(QObject *parent, std::function<void(const QString &)> onLine,
                             std::function<void()> onClosed)
    : parent_(parent)
    , onLine_(std::move(onLine))
    , onClosed_(std::move(onClosed))
{
    struct stat st;
    if (::fstat(STDIN_FILENO, &st) != 0) {
        QTimer::singleShot(0, parent_, onClosed_);
        return;
    }
    notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, parent_);
    QObject::connect(notifier_, &QSocketNotifier::activated, parent_, [this] { readSome(); });
}

void CommandReader::readSome()
{
    char chunk[4096];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n > 0) {
        take(QByteArrayView(chunk, n));
        return;
    }
    if (n < 0 && errno == EINTR)
        return;
    if (n < 0 && (errno == EIO || errno == EAGAIN)) {
        // A background job reading its terminal: try again later, for when it is
        // brought to the foreground.
        notifier_->setEnabled(false);
        QTimer::singleShot(1000, parent_, [this] { notifier_->setEnabled(true); });
        return;
    }
    notifier_->setEnabled(false);
    ended();
}
#endif

void CommandReader::ended()
{
    if (!pending_.isEmpty())
        deliver(pending_);
    pending_.clear();
    onClosed_();
}

void CommandReader::take(QByteArrayView chunk)
{
    pending_.append(chunk);
    qsizetype nl;
    while ((nl = pending_.indexOf('\n')) >= 0) {
        QByteArray line = pending_.left(nl);
        pending_.remove(0, nl + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        deliver(line);
    }
    if (pending_.size() > kMaxCommandLine)
        pending_.clear();
}

void CommandReader::deliver(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString line = utf8.decode(bytes);
    if (utf8.hasError())
        line = QString::fromLatin1(bytes);
    onLine_(line);
}
