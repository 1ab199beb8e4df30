// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

// Text for widgets that guess the format (tool tips, labels): Qt would render
// a snapshot name such as "<b>Live" as markup, so such text is handed over as
// escaped rich text that shows exactly the characters given.
QString shownAsPlainText(const QString& text);
