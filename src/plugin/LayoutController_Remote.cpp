// SPDX-License-Identifier: GPL-2.0-or-later
// Remote control through obs-websocket's vendor requests and events, for
// stream decks, Companion and scripts. obs-websocket calls requests on its own
// threads; every request's work runs on ours, and the caller waits a bounded
// time for it.
#include "LayoutController.h"
#include "PluginLog.h"

#include <obs-websocket-api.h>
#include <obs.hpp>

#include <QMainWindow>
#include <QScopedValueRollback>

#include <cmath>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace {

constexpr auto requestTimeout = std::chrono::seconds(5);
const char* const requestNames[] = {"ListSnapshots", "LoadSnapshot", "LoadNextSnapshot",
                                    "LoadPreviousSnapshot", "SaveSnapshot"};

// Hands requests from obs-websocket's threads to the controller's. It lives as
// long as the module, so a request that arrives while the controller goes
// finds it closed instead of a dangling pointer.
struct Bridge {
    std::mutex mutex;
    std::condition_variable answered;
    LayoutController* target = nullptr; // only while open
    obs_websocket_vendor vendor = nullptr;
};

Bridge& bridge() {
    static Bridge instance;
    return instance;
}

void setError(obs_data_t* response, const char* error) {
    obs_data_set_bool(response, "ok", false);
    obs_data_set_string(response, "error", error);
}

void handleRequest(obs_data_t* request, obs_data_t* response, void* name) {
    const QByteArray requestJson = obs_data_get_json(request);
    auto answer = std::make_shared<std::optional<QByteArray>>();
    Bridge& b = bridge();
    std::unique_lock lock(b.mutex);
    if (!b.target)
        return setError(response, "OBS-Kestrune is not ready.");
    LayoutController* target = b.target;
    const QString requestName = QString::fromLatin1(static_cast<const char*>(name));
    QMetaObject::invokeMethod(
        target,
        [target, answer, requestName, requestJson] {
            const QByteArray json = target->answerRequest(requestName, requestJson);
            const std::lock_guard done(bridge().mutex);
            *answer = json;
            bridge().answered.notify_all();
        },
        Qt::QueuedConnection);
    // Never longer than the timeout, and not at all once the controller closes.
    if (!b.answered.wait_for(lock, requestTimeout,
                             [&] { return answer->has_value() || !b.target; }) ||
        !answer->has_value())
        return setError(response, "OBS-Kestrune did not answer in time.");
    const OBSDataAutoRelease data = obs_data_create_from_json(answer->value().constData());
    obs_data_apply(response, data);
}

// A member of the wrong type is an error; one that is absent is not, here.
QString typeError(obs_data_t* args, const char* key, obs_data_type type, const char* what) {
    if (!obs_data_has_user_value(args, key))
        return QString();
    obs_data_item_t* item = obs_data_item_byname(args, key);
    const bool matches = obs_data_item_gettype(item) == type;
    obs_data_item_release(&item);
    return matches ? QString() : QStringLiteral("\"%1\" must be %2.").arg(key, what);
}

void setDocks(obs_data_t* response, const QList<QString>& docks) {
    const OBSDataArrayAutoRelease list = obs_data_array_create();
    for (const QString& dock : docks) {
        const OBSDataAutoRelease item = obs_data_create();
        obs_data_set_string(item, "name", dock.toUtf8().constData());
        obs_data_array_push_back(list, item);
    }
    obs_data_set_array(response, "missingDocks", list);
}

} // namespace

void LayoutController::startRemote() {
    obs_websocket_vendor vendor = obs_websocket_register_vendor(kestrune::pluginId);
    if (!vendor) {
        logLine(LOG_INFO, "obs-websocket is not there: no remote control");
        return;
    }
    for (const char* name : requestNames)
        obs_websocket_vendor_register_request(vendor, name, handleRequest, const_cast<char*>(name));
    const std::lock_guard lock(bridge().mutex);
    bridge().target = this;
    bridge().vendor = vendor;
}

void LayoutController::stopRemote() {
    Bridge& b = bridge();
    obs_websocket_vendor vendor = nullptr;
    {
        // Waiting requests give up at once instead of at their timeout.
        const std::lock_guard lock(b.mutex);
        if (b.target != this)
            return;
        b.target = nullptr;
        vendor = std::exchange(b.vendor, nullptr);
        b.answered.notify_all();
    }
    for (const char* name : requestNames)
        obs_websocket_vendor_unregister_request(vendor, name);
}

void LayoutController::emitEvent(const char* name, obs_data_t* data) {
    obs_websocket_vendor vendor = nullptr;
    {
        const std::lock_guard lock(bridge().mutex);
        vendor = bridge().target == this ? bridge().vendor : nullptr;
    }
    if (vendor)
        obs_websocket_vendor_emit_event(vendor, name, data);
}

void LayoutController::snapshotsChanged() {
    const OBSDataAutoRelease none = obs_data_create();
    emitEvent("SnapshotsChanged", none);
}

QByteArray LayoutController::answerRequest(const QString& request, const QByteArray& json) {
    const OBSDataAutoRelease response = obs_data_create();
    const OBSDataAutoRelease args = obs_data_create_from_json(json.constData());
    QString error = !args ? QStringLiteral("The request data could not be read.") : QString();
    if (!ready || shutDown || loading || !mainWindow)
        error = QStringLiteral("OBS-Kestrune is busy: a command, a question or an error is open.");
    else if (error.isEmpty() && request == "ListSnapshots")
        error = answerList(response);
    else if (error.isEmpty() && request == "SaveSnapshot")
        error = answerSave(args, response);
    else if (error.isEmpty())
        error = answerLoad(request, args, response);
    obs_data_set_bool(response, "ok", error.isEmpty());
    if (!error.isEmpty())
        obs_data_set_string(response, "error", error.toUtf8().constData());
    return obs_data_get_json(response);
}

QString LayoutController::answerList(obs_data_t* response) {
    int skipped = 0;
    const QList<kestrune::SnapshotEntry> entries =
        kestrune::listSnapshots(snapshotsDir, order, skipped, nullptr);
    const QString prefix = kestrune::detail::entryPrefix(snapshotsDir);
    const OBSDataArrayAutoRelease list = obs_data_array_create();
    for (int row = 0; row < entries.size(); ++row) {
        const kestrune::SnapshotEntry& entry = entries.at(row);
        const OBSDataAutoRelease item = obs_data_create();
        obs_data_set_string(item, "name", entry.name.toUtf8().constData());
        obs_data_set_string(item, "file", entry.file.toUtf8().constData());
        obs_data_set_int(item, "row", row + 1);
        obs_data_set_string(item, "modified",
                            entry.modified.toUTC().toString(Qt::ISODate).toUtf8().constData());
        obs_data_set_bool(item, "last", prefix + entry.file == lastPath);
        obs_data_array_push_back(list, item);
    }
    obs_data_set_array(response, "snapshots", list);
    return QString();
}

QString LayoutController::answerLoad(const QString& request, obs_data_t* args,
                                     obs_data_t* response) {
    QString error = typeError(args, "ignoreMissingDocks", OBS_DATA_BOOLEAN, "true or false");
    const bool ignore = obs_data_get_bool(args, "ignoreMissingDocks");
    LoadResult result{LoadResult::Busy, {}, {}};
    if (!error.isEmpty()) {
        return error;
    } else if (request != "LoadSnapshot") {
        result = cycle(request == "LoadNextSnapshot" ? 1 : -1, LoadTrigger::Remote, ignore);
    } else {
        const QString path = requestedSnapshot(args, error);
        if (!error.isEmpty())
            return error;
        result = load(path, LoadTrigger::Remote, ignore);
    }
    switch (result.status) {
    case LoadResult::Loaded:
        obs_data_set_string(response, "name", result.name.toUtf8().constData());
        return QString();
    case LoadResult::MissingDocks:
        setDocks(response, result.missing);
        return QStringLiteral("The snapshot names docks that are not open; set "
                              "\"ignoreMissingDocks\" to load it anyway.");
    case LoadResult::ReadFailed:
        return QStringLiteral("The snapshot file could not be read.");
    case LoadResult::RestoreFailed:
        return QStringLiteral("The dock layout could not be applied; the previous one was kept.");
    default:
        return QStringLiteral("There is no snapshot to load, or OBS-Kestrune is busy.");
    }
}

QString LayoutController::requestedSnapshot(obs_data_t* args, QString& error) {
    int skipped = 0;
    const QList<kestrune::SnapshotEntry> entries =
        kestrune::listSnapshots(snapshotsDir, order, skipped, nullptr);
    const QString prefix = kestrune::detail::entryPrefix(snapshotsDir);
    if (obs_data_has_user_value(args, "name")) {
        error = typeError(args, "name", OBS_DATA_STRING, "a string");
        const QString key = kestrune::nameKey(QString::fromUtf8(obs_data_get_string(args, "name"))
                                                  .trimmed()
                                                  .normalized(QString::NormalizationForm_C));
        for (const kestrune::SnapshotEntry& entry : entries) {
            if (error.isEmpty() && kestrune::nameKey(entry.name) == key)
                return prefix + entry.file;
        }
        error = error.isEmpty() ? QStringLiteral("There is no snapshot of that name.") : error;
        return QString();
    }
    if (!obs_data_has_user_value(args, "row")) {
        error = QStringLiteral("Give the snapshot's \"name\" or its \"row\".");
        return QString();
    }
    error = typeError(args, "row", OBS_DATA_NUMBER, "a whole number");
    const double row = obs_data_get_double(args, "row");
    if (error.isEmpty() && (row != std::floor(row) || row < 1 || row > entries.size()))
        error = QStringLiteral("\"row\" must be a whole number from 1 to %1.").arg(entries.size());
    return error.isEmpty() ? prefix + entries.at(int(row) - 1).file : QString();
}

QString LayoutController::answerSave(obs_data_t* args, obs_data_t* response) {
    if (!obs_data_has_user_value(args, "name"))
        return QStringLiteral("Give the snapshot's \"name\".");
    QString error = typeError(args, "name", OBS_DATA_STRING, "a string");
    if (error.isEmpty())
        error = typeError(args, "overwrite", OBS_DATA_BOOLEAN, "true or false");
    if (!error.isEmpty())
        return error;
    const QString name = QString::fromUtf8(obs_data_get_string(args, "name"))
                             .trimmed()
                             .normalized(QString::NormalizationForm_C);
    const kestrune::NameStatus status = kestrune::checkName(snapshotsDir, name, QString());
    if (status == kestrune::NameStatus::Invalid)
        return localeText("InvalidName") + QLatin1Char(' ') + nameReason(name);
    QString existing;
    if (status == kestrune::NameStatus::Duplicate) {
        if (!obs_data_get_bool(args, "overwrite"))
            return QStringLiteral(
                "A snapshot of that name exists; set \"overwrite\" to replace it.");
        existing = requestedSnapshot(args, error);
        if (!error.isEmpty()) // a name taken by a file that is no snapshot
            return QStringLiteral("That name is taken by a file that is not a snapshot.");
    }
    QScopedValueRollback<bool> guard(loading, true);
    kestrune::Snapshot stored;
    if (!existing.isEmpty() && kestrune::read(existing, stored) != kestrune::FileStatus::Ok)
        return QStringLiteral("The snapshot file could not be read.");
    // An overwrite keeps the stored name, as the dialog's does.
    const QString saved = existing.isEmpty() ? name : stored.name;
    const QString path =
        saveSnapshot(kestrune::capture(*mainWindow, saved), existing, true, LoadTrigger::Remote);
    if (path.isEmpty())
        return QStringLiteral("The snapshot could not be saved.");
    obs_data_set_string(response, "name", saved.toUtf8().constData());
    obs_data_set_string(response, "file", fileNameOf(path).toUtf8().constData());
    return QString();
}
