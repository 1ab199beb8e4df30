// Shared pieces of the fuzz targets: one application object, a private
// scratch folder, and a check that fails loudly enough for libFuzzer.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

class QCoreApplication;

namespace fuzzsupport {

// Created once per process; libFuzzer never returns from its loop.
QCoreApplication* coreApplication();
QCoreApplication* guiApplication();

// A folder of its own under the system temporary folder, removed at exit.
QString scratchDir();

bool writeRaw(const QString& path, const uint8_t* data, size_t size);

} // namespace fuzzsupport

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
