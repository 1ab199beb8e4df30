// SPDX-License-Identifier: GPL-2.0-or-later
// What a snapshot row of the manager list carries besides its name.
#pragma once

#include <Qt>

enum SnapshotItemRole : int {
    PathRole = Qt::UserRole,     // the snapshot file's absolute path
    TimeRole = Qt::UserRole + 1, // modification time as painted, "yyyy-MM-dd HH:mm"
    LastRole,                    // true for the snapshot loaded last
    HotkeyRole,                  // the first key binding of its load hotkey, as OBS names it
    NoteRole,                    // what it loads with by itself, in short
};
