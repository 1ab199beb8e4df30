// SPDX-License-Identifier: GPL-2.0-or-later
// A structural check of QMainWindow::saveState bytes before Qt parses them.
// Qt 6.4 trusts the dock-area index and the nesting depth it reads, so
// hostile state bytes can make restoreState read out of bounds, recurse
// until the stack ends or loop for billions of rounds.
#pragma once

#include <QByteArray>

namespace kestrune {

// True when state has the shape saveState(version) writes: every dock area
// index in range, nesting bounded, every count backed by data, nothing left.
bool isRestorableState(const QByteArray& state, int version);

} // namespace kestrune
