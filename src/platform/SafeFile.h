#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <functional>

// Forces what the system holds of an open file onto the disk; false when it cannot.
bool SyncToDisk(QFileDevice &file);

// Reads a whole regular file. A path that does not exist or is not a regular file gives
// false without waiting (the type is looked at before the file is opened, and opened
// without blocking where the system allows it).
bool ReadRegularFile(const QString &path, QByteArray *content);

// Replaces the file at `path` with `content` without ever leaving a part of it: the content
// goes into a temporary file in the same folder, every write is checked, the file is flushed
// and synced to the disk, and only then renamed over `path`. On any failure `path` keeps its
// old content byte for byte, the temporary file is removed, and false is returned with the
// system's reason in `error`. A path that exists and is not a regular file (a FIFO, a device,
// a folder) is left alone: neither written through nor replaced.
bool WriteFileSafely(const QString &path, const QByteArray &content, QString *error = nullptr);

// For tests: a step of WriteFileSafely that fails as a full disk or a broken disk would make it.
enum class SafeWriteStep { Write, Sync };
void SetSafeWriteFaultForTests(std::function<bool(SafeWriteStep)> fails);
