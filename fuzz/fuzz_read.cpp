// Snapshot reader on arbitrary file bytes. A file it accepts must survive a
// write and a second read unchanged, a refused read must leave the caller's
// record alone, and the quick path for the writer's own shape must give the
// answers of Qt's parser.
#include "FuzzSupport.h"
#include "Snapshot.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QCoreApplication* app = fuzzsupport::coreApplication();
    (void)app;
    static const QString path = fuzzsupport::scratchDir() + QStringLiteral("/input.json");
    static const QString copy = fuzzsupport::scratchDir() + QStringLiteral("/copy.json");

    if (!fuzzsupport::writeRaw(path, data, size))
        std::abort();

    kestrune::Snapshot sentinel;
    sentinel.name = QStringLiteral("untouched");
    sentinel.docks = {QStringLiteral("keep")};

    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const bool nameOnly : {false, true}) {
        kestrune::Snapshot quick = sentinel;
        kestrune::Snapshot qt = sentinel;
        FUZZ_CHECK(kestrune::detail::parse(bytes, quick, nameOnly) ==
                   kestrune::detail::parse(bytes, qt, nameOnly, true));
        FUZZ_CHECK(quick == qt);
    }
    kestrune::Snapshot record = sentinel;
    const kestrune::FileStatus status = kestrune::read(path, record);
    if (status != kestrune::FileStatus::Ok) {
        FUZZ_CHECK(record == sentinel);
        return 0;
    }
    FUZZ_CHECK(!record.name.trimmed().isEmpty());
    FUZZ_CHECK(record.name.size() <= kestrune::maxNameLength);
    FUZZ_CHECK(!record.state.isEmpty() && !record.geometry.isEmpty());

    FUZZ_CHECK(kestrune::write(copy, record) == kestrune::FileStatus::Ok);
    kestrune::Snapshot again;
    FUZZ_CHECK(kestrune::read(copy, again) == kestrune::FileStatus::Ok);
    FUZZ_CHECK(again == record);
    return 0;
}
