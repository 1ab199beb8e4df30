// The snapshot core against the floor: one pass over a folder of 1000
// realistic snapshot files, read and parsed with nothing else done.
#include "LayoutFolder.h"
#include "Snapshot.h"

#include <QDir>
#include <QMainWindow>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

constexpr int folderSize = 1000;

struct Folder {
    QTemporaryDir root;
    QString dir;
    QStringList files;

    Folder() : dir(root.path() + QStringLiteral("/snapshots")) {
        std::unique_ptr<QMainWindow> window = benchdata::makeWindow();
        files = benchdata::populate(*window, dir, folderSize);
    }
    static Folder& get() {
        static Folder folder;
        return folder;
    }
};

void checkFolder(benchmark::State& state, const Folder& folder) {
    if (folder.files.size() != folderSize)
        state.SkipWithError("the snapshot folder could not be filled");
}

void Floor(benchmark::State& state) {
    Folder& folder = Folder::get();
    checkFolder(state, folder);
    for (auto _ : state) {
        const int parsed = benchdata::readAndParseAll(folder.dir);
        benchmark::DoNotOptimize(parsed);
        if (parsed != folderSize)
            state.SkipWithError("the floor did not parse every file");
    }
}

// The order as the dialog keeps it after a refresh: every file, shuffled by
// the user's dragging.
QList<QString> userOrder(const Folder& folder) {
    QList<QString> order = folder.files;
    std::shuffle(order.begin(), order.end(), *QRandomGenerator::global());
    return order;
}

void ListSnapshots(benchmark::State& state) {
    Folder& folder = Folder::get();
    checkFolder(state, folder);
    const QList<QString> order = state.range(0) ? userOrder(folder) : QList<QString>();
    for (auto _ : state) {
        int skipped = 0;
        int overLimit = 0;
        const QList<kestrune::SnapshotEntry> entries =
            kestrune::listSnapshots(folder.dir, order, skipped, &overLimit);
        benchmark::DoNotOptimize(entries.size());
        if (entries.size() != folderSize || skipped != 0)
            state.SkipWithError("listSnapshots did not list every file");
    }
}

void CheckName(benchmark::State& state) {
    Folder& folder = Folder::get();
    checkFolder(state, folder);
    // A fresh name passes every rule and makes the duplicate search read the
    // whole folder, which is the cost that matters.
    const QString name = QStringLiteral("Evening Stream Überblick");
    for (auto _ : state) {
        const kestrune::NameStatus status = kestrune::checkName(folder.dir, name, QString());
        benchmark::DoNotOptimize(status);
        if (status != kestrune::NameStatus::Valid)
            state.SkipWithError("checkName rejected a fresh name");
    }
}

} // namespace

BENCHMARK(Floor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ListSnapshots)
    ->ArgName("ordered")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(CheckName)->Unit(benchmark::kMillisecond)->UseRealTime();
