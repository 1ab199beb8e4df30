// SPDX-License-Identifier: GPL-2.0-or-later
// Snapshot core: records and free functions that know snapshot files, names,
// listing and the main window's layout. No UI, no logging, no exceptions.
#pragma once

#include "FileAccess.h" // FileStatus, readFile, writeFileAtomically

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class QMainWindow;

namespace kestrune {

inline constexpr int maxNameLength = 80;       // UTF-16 code units
inline constexpr qint64 maxFileSize = 2097152; // bytes, read and write
inline constexpr int snapshotLimit = 1000;     // entries listed at most
inline constexpr const char pluginId[] = "obs-kestrune";
inline constexpr const char obsVersion[] = "32.0.4";

struct Snapshot {
    QString name;
    QByteArray state;    // QMainWindow::saveState(0)
    QByteArray geometry; // QWidget::saveGeometry()
    QList<QString> docks;
    QList<QString> titles = {}; // window titles of docks, when stored; empty otherwise

    friend bool operator==(const Snapshot& a, const Snapshot& b) {
        return a.name == b.name && a.state == b.state && a.geometry == b.geometry &&
               a.docks == b.docks && a.titles == b.titles;
    }
    friend bool operator!=(const Snapshot& a, const Snapshot& b) { return !(a == b); }
};

enum class NameStatus : int { Valid = 0, Invalid = 1, Duplicate = 2 };

// The first rule a name breaks, so that the user can be told why it is refused.
enum class NameRule : int { None, Length, Spaces, Characters, Reserved };
struct NameProblem {
    NameRule rule = NameRule::None;
    QString detail; // Characters: the ones not allowed, each once; Reserved: the base
};

struct SnapshotEntry {
    QString file; // file name inside the folder, extension as on disk
    QString name; // stored name, trimmed and NFC
    QDateTime modified;
};

FileStatus write(const QString& path, const Snapshot& snapshot);
FileStatus read(const QString& path, Snapshot& out);

NameStatus checkName(const QString& dir, const QString& name, const QString& current);
NameProblem nameProblem(const QString& name);
// Two names are the same snapshot's when their keys are equal: letter case
// and Unicode composition do not matter.
QString nameKey(const QString& name);

// unreadable (when given) receives the file names counted in skipped.
QList<SnapshotEntry> listSnapshots(const QString& dir, const QList<QString>& order, int& skipped,
                                   int* overLimit, QStringList* unreadable = nullptr);

Snapshot capture(QMainWindow& window, const QString& name);
// False when the snapshot is refused; the window keeps its layout, state and rectangle.
bool restore(QMainWindow& window, const Snapshot& snapshot);
QList<QString> missingDocks(const QMainWindow& window, const Snapshot& snapshot);
// The main window and every floating dock that lies on no screen move onto
// the nearest one, keeping their size where it fits.
void keepOnScreen(QMainWindow& window);

namespace detail {
// read() for callers that need only the stored name: every check runs, but
// the layout and the dock names are not kept. On Ok, name receives the name
// and modified (when given) the file's modification time, taken from the open
// file so that the listing needs no second look-up.
FileStatus readName(const QString& path, QString& name, QDateTime* modified);
// The checks of read() on bytes already in memory. Files in the writer's own
// shape take a quick path; qtOnly sends every file through QJsonDocument, so
// that tests can hold the two to the same answers.
FileStatus parse(const QByteArray& bytes, Snapshot& out, bool nameOnly, bool qtOnly = false);
// dir's absolute, clean path ending in one "/", so that prefix + file name is
// the file's absolute path.
QString entryPrefix(const QString& dir);
} // namespace detail

} // namespace kestrune
