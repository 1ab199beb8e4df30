// SPDX-License-Identifier: GPL-2.0-or-later
#include "FileAccess.h"

#include <QFile>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTimeZone>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrune {

#ifdef Q_OS_UNIX
FileStatus readFile(const QString& path, qint64 limit, QByteArray& bytes, QDateTime* modified) {
    const QByteArray native = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return FileStatus::OpenFailed;
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return FileStatus::OpenFailed;
    if (info.st_size > limit)
        return FileStatus::TooLarge;

    // One byte beyond the size shows a file that has grown since; such a file
    // is read on up to the limit plus one.
    qsizetype capacity = qsizetype(info.st_size) + 1;
    QByteArray content(capacity, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        const qsizetype wanted = capacity - filled;
        const ssize_t count = ::read(fd, content.data() + filled, size_t(wanted));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return FileStatus::OpenFailed;
        }
        filled += count;
        if (count == 0)
            break;
        // A short read that reaches the size seen by fstat is the end of a
        // regular file; asking again would only return nothing.
        if (count < wanted && filled >= info.st_size)
            break;
        if (filled == capacity) {
            if (capacity > limit)
                break;
            capacity = qsizetype(limit) + 1;
            content.resize(capacity);
        }
    }
    if (filled > limit)
        return FileStatus::TooLarge;
    content.truncate(filled);
    if (modified) {
#ifdef KESTRUNE_HAVE_ST_MTIM
        // In UTC: the same instant, without a time zone look-up per file.
        const qint64 msecs = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
        *modified = QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::UTC);
#else
        *modified = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
#endif
#else
        // This system names the nanosecond field otherwise; Qt knows how.
        QFile file;
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            *modified = file.fileTime(QFileDevice::FileModificationTime);
#endif
    }
    bytes = std::move(content);
    return FileStatus::Ok;
}
#else
FileStatus readFile(const QString& path, qint64 limit, QByteArray& bytes, QDateTime* modified) {
    QFile file(path);
    // Unbuffered: the content is read in one call, a buffer would only copy it.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return FileStatus::OpenFailed;
    const qint64 size = file.size();
    if (size > limit)
        return FileStatus::TooLarge;
    QByteArray content = file.read(size + 1);
    if (content.size() > size)
        content += file.read(limit + 1 - content.size());
    if (content.size() > limit)
        return FileStatus::TooLarge;
    if (modified)
        *modified = file.fileTime(QFileDevice::FileModificationTime);
    bytes = std::move(content);
    return FileStatus::Ok;
}
#endif

FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes, QString* errorString) {
    QSaveFile file(path);
    // Never fall back to writing in place: a failure must leave the old file.
    file.setDirectWriteFallback(false);
    // Unbuffered, so a write the disk refuses shows up in the byte count
    // instead of being lost silently at commit.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (errorString)
            *errorString = file.errorString();
        return FileStatus::OpenFailed;
    }
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        if (errorString) {
            *errorString = file.errorString();
            if (written >= 0)
                *errorString +=
                    QStringLiteral(" (%1 of %2 bytes written)").arg(written).arg(bytes.size());
        }
        file.cancelWriting();
        return FileStatus::WriteError;
    }
    if (!file.commit()) {
        if (errorString)
            *errorString = file.errorString();
        return FileStatus::WriteError;
    }
    return FileStatus::Ok;
}

} // namespace kestrune
