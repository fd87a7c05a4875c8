#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::function<bool(SafeWriteStep)> &safeWriteFault()
{
    static std::function<bool(SafeWriteStep)> fault;
    return fault;
}

bool faultAt(SafeWriteStep step)
{
    const auto &fault = safeWriteFault();
    return fault && fault(step);
}

} // namespace

bool SyncToDisk(QFileDevice &file)
{
    const int fd = file.handle();
    if (fd < 0)
        return false;
#ifdef _WIN32
    return ::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(fd))) != 0;
#else
    return ::fsync(fd) == 0;
#endif
}

bool ReadRegularFile(const QString &path, QByteArray *content)
{
    content->clear();
    // A FIFO, a device or a folder is never opened: opening a FIFO for reading waits for a
    // writer.
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return false;
#ifdef _WIN32
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *content = f.readAll();
    return f.error() == QFileDevice::NoError;
#else
    // The path may have been replaced since it was looked at: opened without waiting, and
    // looked at again through the descriptor.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    *content = f.readAll();
    return f.error() == QFileDevice::NoError;
#endif
}

void SetSafeWriteFaultForTests(std::function<bool(SafeWriteStep)> fails)
{
    safeWriteFault() = std::move(fails);
}

bool WriteFileSafely(const QString &path, const QByteArray &content, QString *error)
{
    // Something that is not a regular file (a FIFO, a device, a folder) was put there on
    // purpose: it is neither written through (a FIFO would wait for a reader) nor replaced.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        if (error)
            *error = QStringLiteral("not a regular file");
        return false;
    }
    QSaveFile f(path);
    auto fail = [&](const QString &reason) {
        f.cancelWriting();  // the temporary file goes; the old file is not touched
        if (error)
            *error = reason;
        return false;
    };
    // Unbuffered: every write reaches the system at once and its outcome is seen here, not
    // lost in a flush at the end.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(f.errorString());
    if (faultAt(SafeWriteStep::Write)) {
        f.write(content.left(content.size() / 2));
        return fail(QString::fromLocal8Bit(std::strerror(ENOSPC)));
    }
    errno = 0;
    if (f.write(content) != content.size())
        // A short write sets no error of the file's own; the system's reason is in errno.
        return fail(f.error() != QFileDevice::NoError || errno == 0 ? f.errorString()
                                                                     : QString::fromLocal8Bit(std::strerror(errno)));
    if (!f.flush())
        return fail(f.errorString());
    if (faultAt(SafeWriteStep::Sync))
        return fail(QString::fromLocal8Bit(std::strerror(EIO)));
    if (!SyncToDisk(f))
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!f.commit()) {
        const QString reason = f.errorString();
        if (error)
            *error = reason;
        return false;
    }
    return true;
}
