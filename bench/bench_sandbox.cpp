// Sandbox detection over 1,000 bundles whose executables are fat files of 50 to 300 MB
// with the signature near the end (sparse on disk). The page cache is warm: the files
// were just written and every pass reads them again.
//
// Argument: the bundles' Info.plist. 1 is realistic (about 3 KB of XML, as shipped
// apps have); 0 holds only the five keys a bundle needs, which isolates the cost of
// reading the executable and its entitlements.
#include "formats/MachOSignature.h"
#include "model/Store.h"
#include "model/bundle/BundleInfo.h"
#include "support/BenchSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <array>

using namespace tandrel;
using namespace tandrel::bench;

namespace {

constexpr int appCount = 1000;

// Written once per process, both kinds, and shared by the benchmarks below.
struct Fixture
{
    QTemporaryDir dir;
    std::array<QString, 2> folders;

    Fixture()
    {
        for (int realistic : { 0, 1 }) {
            AppsOptions options;
            options.realisticInfoPlist = realistic == 1;
            folders[realistic] = dir.filePath(QStringLiteral("apps-%1").arg(realistic));
            makeApps(folders[realistic], options);
        }
    }
};

Fixture &fixture()
{
    static Fixture shared;
    return shared;
}

QString bundleIn(const QString &folder, int i)
{
    return folder + QLatin1Char('/') + appName(i) + QStringLiteral(".app");
}

QList<QUrl> urlsIn(const QString &folder)
{
    QList<QUrl> urls;
    for (int i = 0; i < appCount; ++i)
        urls.append(QUrl::fromLocalFile(bundleIn(folder, i)));
    return urls;
}

benchmark::Counter perApp()
{
    return benchmark::Counter(
        appCount, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The first question about each app, as at start-up: every iteration moves the folder,
// so each path is new to the cache while the files stay in the page cache.
void BM_SandboxFirstCall(benchmark::State &state)
{
    QString &folder = fixture().folders.at(size_t(state.range(0)));
    int sandboxed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        folder = renameToFresh(folder);
        const QList<QUrl> urls = urlsIn(folder);
        sandboxed = 0;
        state.ResumeTiming();
        for (const QUrl &url : urls)
            sandboxed += Store::isSandboxed(url) ? 1 : 0;
    }
    state.counters["per_app"] = perApp();
    state.counters["sandboxed"] = sandboxed;
    state.counters["info_plist_bytes"]
        = double(QFileInfo(bundleIn(folder, 0) + QStringLiteral("/Contents/Info.plist")).size());
}
BENCHMARK(BM_SandboxFirstCall)
    ->ArgName("realistic_info_plist")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

// What the reader asks the file system for, per app: the Mach-O bytes it reads (the
// Info.plist before it is read whole, and is not counted). The time is
// the bundle reader and the entitlements reader alone, without parsing the entitlements.
void BM_SandboxBytesRead(benchmark::State &state)
{
    const QString &folder = fixture().folders.at(size_t(state.range(0)));
    qint64 total = 0;
    qint64 largest = 0;
    int signatures = 0;
    for (auto _ : state) {
        total = 0;
        largest = 0;
        signatures = 0;
        for (int i = 0; i < appCount; ++i) {
            EntitlementsReadStats stats;
            const QString bundle = bundleIn(folder, i);
            const std::optional<BundleInfo> info = readBundleInfo(bundle);
            const auto xml = info ? readEntitlementsFromFile(info->executablePath(bundle), hostCpu(), &stats)
                                  : std::nullopt;
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
BENCHMARK(BM_SandboxBytesRead)
    ->ArgName("realistic_info_plist")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);

// The answer for an app already asked about, as every later refresh gets it.
void BM_SandboxCachedCall(benchmark::State &state)
{
    const QList<QUrl> urls = urlsIn(fixture().folders.at(1));
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
