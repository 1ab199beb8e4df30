// SPDX-License-Identifier: GPL-2.0-or-later
// Whole-file reads and writes that a hostile folder can neither hang nor tear.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace kestrune {

enum class FileStatus : int { Ok = 0, OpenFailed = 1, Invalid = 2, TooLarge = 3, WriteError = 4 };

// The content of the regular file at path, which may hold at most limit
// bytes. Opened without blocking, so a FIFO in its place cannot hang the
// caller: OpenFailed for anything that is not a readable regular file,
// TooLarge for more than limit bytes. On Ok, bytes receives the content and
// modified (when given) the modification time, taken from the open file;
// both are left alone otherwise.
FileStatus readFile(const QString& path, qint64 limit, QByteArray& bytes,
                    QDateTime* modified = nullptr);

// Replaces the file at path with bytes through a temporary file. Unbuffered,
// so a write the disk refuses shows as a short count and the old file stays.
// On failure, errorString (when given) receives the reason.
FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes,
                               QString* errorString = nullptr);

} // namespace kestrune
