// Sandbox detection over 1,000 bundles whose executables are fat files of 50 to 300 MB
// with the signature near the end (sparse on disk). The page cache is warm: the files
// were just written and the first pass reads them again.
#include "formats/MachOSignature.h"
#include "model/Store.h"
#include "support/BenchSupport.h"

#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>

using namespace tandrel;
using namespace tandrel::bench;

namespace {

constexpr int appCount = 1000;

// The fixture is written once per process and shared by the benchmarks below.
struct Fixture
{
    QTemporaryDir dir;
    QString folder;
    QStringList paths;

    Fixture()
    {
        folder = dir.filePath(QStringLiteral("apps"));
        paths = makeApps(folder, AppsOptions{});
    }
};

Fixture &fixture()
{
    static Fixture shared;
    return shared;
}

QList<QUrl> urlsIn(const QString &folder)
{
    QList<QUrl> urls;
    for (int i = 0; i < appCount; ++i)
        urls.append(QUrl::fromLocalFile(folder + QLatin1Char('/') + appName(i) + QStringLiteral(".app")));
    return urls;
}

benchmark::Counter perApp(double value = appCount)
{
    return benchmark::Counter(value, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The first question about each app, as at start-up: every iteration renames the folder,
// so each path is new to the cache while the files stay in the page cache.
void BM_SandboxFirstCall(benchmark::State &state)
{
    Fixture &f = fixture();
    int sandboxed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.folder = renameToFresh(f.folder);
        const QList<QUrl> urls = urlsIn(f.folder);
        sandboxed = 0;
        state.ResumeTiming();
        for (const QUrl &url : urls)
            sandboxed += Store::isSandboxed(url) ? 1 : 0;
    }
    state.counters["per_app"] = perApp();
    state.counters["sandboxed"] = sandboxed;
}
BENCHMARK(BM_SandboxFirstCall)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// What the reader asks the file system for, per app: the bundle's Mach-O bytes only
// (Info.plist, a few hundred bytes, is read whole beforehand).
void BM_SandboxBytesRead(benchmark::State &state)
{
    Fixture &f = fixture();
    qint64 total = 0;
    qint64 largest = 0;
    int signatures = 0;
    for (auto _ : state) {
        total = 0;
        largest = 0;
        signatures = 0;
        for (int i = 0; i < appCount; ++i) {
            EntitlementsReadStats stats;
            const auto xml
                = readBundleEntitlements(f.folder + QLatin1Char('/') + appName(i) + QStringLiteral(".app"), &stats);
            benchmark::DoNotOptimize(xml);
            total += stats.bytesRead;
            largest = std::max(largest, stats.bytesRead);
            signatures += stats.signatureFound ? 1 : 0;
        }
    }
    state.counters["per_app"] = perApp();
    state.counters["bytes_per_app"] = double(total) / appCount;
    state.counters["bytes_max"] = double(largest);
    state.counters["signatures"] = signatures;
}
BENCHMARK(BM_SandboxBytesRead)->Unit(benchmark::kMillisecond);

// The answer for an app already asked about, as every later refresh gets it.
void BM_SandboxCachedCall(benchmark::State &state)
{
    const QList<QUrl> urls = urlsIn(fixture().folder);
    for (const QUrl &url : urls)
        Store::isSandboxed(url);
    qsizetype next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Store::isSandboxed(urls.at(next)));
        next = (next + 1) % urls.size();
    }
}
BENCHMARK(BM_SandboxCachedCall)->Unit(benchmark::kNanosecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
