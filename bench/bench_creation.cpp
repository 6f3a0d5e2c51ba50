// Creating an instance: the badged icon drawn and written as ICNS, and createSpace end
// to end. The signing tools do not exist on Linux, so running them returns at once.
// The target bundle carries a realistic 16-to-1024-pixel ICNS, read by the platform's
// own workspace, whose icon cache is warm as it is after the grid has shown the app.
#include "formats/Icns.h"
#include "model/Store.h"
#include "model/bundle/BundleIcon.h"
#include "platform/FileSystem.h"
#include "platform/Workspace.h"
#include "support/BenchSupport.h"
#include "support/FakeBundle.h"

#include <QTemporaryDir>

using namespace tandrel;
using namespace tandrel::bench;

namespace {

constexpr int existingInstances = 50;

struct Fixture
{
    QTemporaryDir dir;
    QString folder;
    InstalledApp target;

    Fixture()
    {
        folder = dir.filePath(QStringLiteral("apps"));
        test::FakeBundleOptions options;
        options.iconFile = QStringLiteral("AppIcon");
        options.iconBytes = realisticIcns();
        options.identifier = QStringLiteral("io.example.notes");
        target = InstalledApp { QUrl::fromLocalFile(
            test::makeFakeBundle(folder, QStringLiteral("Notes"), options)) };
        makeInstances(Store::spacesDir(), existingInstances, { target.id() });
        Workspace::shared().iconForFile(target.id()); // decoded once, then cached
    }
};

Fixture &fixture()
{
    static Fixture shared;
    return shared;
}

void BM_WriteBadgedIcon(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString path = f.dir.filePath(QStringLiteral("badged.icns"));
    for (auto _ : state)
        writeBadgedIcon(f.target, QStringLiteral("Work"), path);
    state.counters["icns_bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_WriteBadgedIcon)->Unit(benchmark::kMillisecond)->UseRealTime();

// Decoding the bundle's ICNS (every image, keeping the largest), which the workspace
// does once per icon before caching it.
void BM_DecodeBundleIcon(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString icon = f.target.id() + QStringLiteral("/Contents/Resources/AppIcon.icns");
    for (auto _ : state)
        benchmark::DoNotOptimize(readLargestIcnsImageFile(icon));
    state.counters["icns_bytes"] = double(QFileInfo(icon).size());
}
BENCHMARK(BM_DecodeBundleIcon)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CreateSpace(benchmark::State &state)
{
    Fixture &f = fixture();
    Store store(QStringList { f.folder });
    for (auto _ : state) {
        const QUrl wrapper = store.createSpace(f.target, QStringLiteral("Work"), Store::Mode::Auto);
        state.PauseTiming();
        for (const SpaceInfo &space : store.spaces()) {
            if (space.url == wrapper)
                store.deleteSpace(space);
        }
        state.ResumeTiming();
    }
    state.counters["spaces"] = double(store.spaces().size());
}
BENCHMARK(BM_CreateSpace)->Unit(benchmark::kMillisecond)->UseRealTime();

// What all-or-nothing adds to a create, at most: the lock taken and released, the look for
// an interrupted operation's leftovers, and the instances scanned once more (here through
// deleting an instance that is not there, which scans once more than creating adds), beside
// the 50 instances; and the two renames that put a staged launcher and data folder in place.
void BM_TransactionOverhead(benchmark::State &state)
{
    Fixture &f = fixture();
    Store store(QStringList { f.folder }, nullptr, Store::Start::Idle);
    const SpaceInfo missing { QUrl::fromLocalFile(Store::spacesDir() + QStringLiteral("/None.app")),
        QStringLiteral("None"), {}, {}, {} };
    const QString staged = f.dir.filePath(QStringLiteral("staged")),
                  placed = f.dir.filePath(QStringLiteral("placed"));
    fs::createDirectory(staged);
    for (auto _ : state) {
        store.deleteSpace(missing);
        fs::renameNoReplace(staged, placed);
        fs::renameItem(placed, staged);
    }
    state.counters["spaces"] = double(store.spaces().size());
}
BENCHMARK(BM_TransactionOverhead)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
