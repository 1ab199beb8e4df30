// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <util/base.h>

// Writes one line to OBS's log, prefixed with the plug-in's name in brackets
// as every line of ours is.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void logLine(int level, const char* format, ...);
