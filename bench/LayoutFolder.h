// Realistic benchmark data: a main window with a dozen named docks spread over
// several areas, tabbed and floating, and a folder of snapshot files captured
// from it in many arrangements.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QMainWindow;

namespace benchdata {

// Object names of the docks, as OBS and common plug-ins name theirs.
QStringList dockNames();

// A window holding every dock of dockNames() around a central widget.
std::unique_ptr<QMainWindow> makeWindow();

// Moves, tabs, floats and resizes the docks into arrangement number n.
void arrange(QMainWindow& window, int n);

// Display names that look like what people type: words, numbers, accents.
QString snapshotName(int n);

// Fills dir with count snapshot files captured from window, one arrangement
// each. Returns the file names written, in creation order.
QStringList populate(QMainWindow& window, const QString& dir, int count);

// The floor: list the folder, read every ".json" file with QFile::readAll and
// parse it with QJsonDocument::fromJson. Returns how many parsed as objects.
int readAndParseAll(const QString& dir);

} // namespace benchdata
