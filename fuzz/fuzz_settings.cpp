// The settings reader on arbitrary file bytes, the way the plug-in reads
// settings.json at start: a capped read, the JSON parse, the member
// extraction, and every bindings array handed through the host's data parser
// as the hotkeys receive it. What it extracts must survive the rewrite.
#include "FuzzSupport.h"
#include "SettingsFile.h"

#include <obs.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// loadBindings without the final obs_hotkey_load, which needs a running host.
void passBindingsThroughHost(const QJsonArray& bindings) {
    // The host refuses some JSON that Qt writes (a NUL in a key); the plug-in
    // then leaves the bindings alone.
    obs_data_array_t* array = hostBindings(bindings);
    if (!array)
        return;
    // The host keeps the objects and drops every other element.
    size_t objects = 0;
    for (const QJsonValue& binding : bindings)
        objects += binding.isObject() ? 1 : 0;
    FUZZ_CHECK(obs_data_array_count(array) == objects);
    obs_data_array_release(array);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QCoreApplication* app = fuzzsupport::coreApplication();
    (void)app;
    static const QString path = fuzzsupport::scratchDir() + QStringLiteral("/settings.json");
    if (!fuzzsupport::writeRaw(path, data, size))
        std::abort();

    const QJsonObject settings = readSettingsFile(path);
    const QString last = settings.value("last").toString();
    QList<QString> order;
    for (const QJsonValue& value : settings.value("snapshotOrder").toArray()) {
        if (value.isString())
            order.append(value.toString());
    }
    for (const char* key : {"cycleHotkey", "previousHotkey", "openHotkey"})
        passBindingsThroughHost(settings.value(key).toArray());
    const QJsonObject perSnapshot = settings.value("snapshotHotkeys").toObject();
    for (auto it = perSnapshot.begin(); it != perSnapshot.end(); ++it)
        passBindingsThroughHost(it.value().toArray());

    // The next write keeps what was read: the last path and the order.
    QJsonObject root;
    root.insert("last", last);
    root.insert("snapshotOrder", QJsonArray::fromStringList(order));
    const QJsonObject reread =
        QJsonDocument::fromJson(QJsonDocument(root).toJson(QJsonDocument::Indented)).object();
    FUZZ_CHECK(reread.value("last").toString() == last);
    FUZZ_CHECK(reread.value("snapshotOrder").toArray() == root.value("snapshotOrder").toArray());
    return 0;
}
