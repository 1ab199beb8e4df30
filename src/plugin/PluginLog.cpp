// SPDX-License-Identifier: GPL-2.0-or-later
#include "PluginLog.h"
#include "Snapshot.h"

#include <util/base.h>

#include <cstdarg>
#include <string>

void logLine(int level, const char* format, ...) {
    const std::string prefixed = std::string("[") + kestrune::pluginId + "] " + format;
    va_list args;
    va_start(args, format);
    blogva(level, prefixed.c_str(), args);
    va_end(args);
}
