// Store::refresh() with 1,000 apps (sparse fat executables of 50 to 300 MB) and 500
// instances: the part that runs on the main thread, and the time until the background
// sandbox check has delivered sandboxedPaths.
#include "model/Store.h"
#include "support/BenchSupport.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

using namespace tandrel;
using namespace tandrel::bench;

namespace {

constexpr int appCount = 1000;
constexpr int instanceCount = 500;

struct Fixture
{
    QTemporaryDir dir;
    QString folder;

    Fixture()
    {
        folder = dir.filePath(QStringLiteral("apps"));
        AppsOptions options;
        options.count = appCount;
        const QStringList apps = makeApps(folder, options);
        makeInstances(Store::spacesDir(), instanceCount, apps);
    }
};

Fixture &fixture()
{
    static Fixture shared;
    return shared;
}

// Runs the event loop until the store publishes sandboxedPaths (or a minute passes).
void waitForSandboxedPaths(Store &store)
{
    QEventLoop loop;
    QObject::connect(&store, &Store::sandboxedPathsChanged, &loop, &QEventLoop::quit);
    QTimer::singleShot(60'000, &loop, &QEventLoop::quit);
    loop.exec();
}

// The call itself: listing, naming and sorting the apps, reading every space.json,
// and starting the background job. The job's answers are cached, as after start-up.
void BM_RefreshMainThread(benchmark::State &state)
{
    Store store(QStringList { fixture().folder });
    waitForSandboxedPaths(store);
    for (auto _ : state) {
        store.refresh();
        state.PauseTiming();
        waitForSandboxedPaths(store);
        state.ResumeTiming();
    }
    state.counters["apps"] = double(store.apps().size());
    state.counters["spaces"] = double(store.spaces().size());
}
BENCHMARK(BM_RefreshMainThread)->Unit(benchmark::kMillisecond)->UseRealTime();

// From refresh() until sandboxedPaths arrives, with every path new to the cache (the
// folder is renamed each time), as at start-up; the page cache is warm.
void BM_RefreshUntilSandboxedPaths(benchmark::State &state)
{
    Fixture &f = fixture();
    qsizetype sandboxed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.folder = renameToFresh(f.folder);
        state.ResumeTiming();
        Store store(QStringList { f.folder }); // the constructor refreshes
        waitForSandboxedPaths(store);
        sandboxed = store.sandboxedPaths().size();
    }
    state.counters["sandboxed"] = double(sandboxed);
}
BENCHMARK(BM_RefreshUntilSandboxedPaths)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
