// Living with instances: which run (one pass over the process list for every data folder),
// how much each takes, renaming one, and how long the window stops answering while the
// first two are computed. 200 instances; 500 processes besides the system's, a fifth of them
// running from an instance's data folder, as a busy session has them.
#include "app/MainWindow.h"
#include "model/Store.h"
#include "platform/FileSystem.h"
#include "platform/Processes.h"
#include "support/BenchSupport.h"
#include "support/FakeBundle.h"
#include "ui/ContentView.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

using namespace tandrel;
using namespace tandrel::bench;

namespace {

constexpr int instances = 200;
constexpr int processes = 500;

struct Sleepers
{
    QList<pid_t> pids;
    Sleepers(const QStringList &folders)
    {
        for (int i = 0; i < processes; ++i) {
            // Every fifth names a data folder in its environment, as an instance's app does.
            QList<QByteArray> environment;
            for (char **variable = environ; *variable; ++variable)
                environment << QByteArray(*variable);
            if (i % 5 == 0)
                environment << "HOME=" + QFile::encodeName(folders[i % folders.size()]) + "/home";
            QList<char *> pointers;
            for (QByteArray &variable : environment)
                pointers << variable.data();
            pointers << nullptr;
            char sleep[] = "sleep", seconds[] = "600";
            char *argv[] = { sleep, seconds, nullptr };
            pid_t pid = 0;
            if (::posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, pointers.data()) == 0)
                pids << pid;
        }
    }
    ~Sleepers()
    {
        for (const pid_t pid : std::as_const(pids)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

QStringList dataFolders(const QTemporaryDir &dir)
{
    QStringList folders;
    for (int i = 0; i < instances; ++i) {
        const QString folder
            = dir.filePath(QStringLiteral("data/%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
        fs::createDirectory(folder + QStringLiteral("/home"));
        for (int file = 0; file < 20; ++file)
            fs::writeBytes(folder + QStringLiteral("/home/f%1").arg(file), QByteArray(3000, 'x'));
        folders << folder;
    }
    return folders;
}

void BM_RunningCheck(benchmark::State &state)
{
    QTemporaryDir dir;
    const QStringList folders = dataFolders(dir);
    const Sleepers sleepers(folders);
    qsizetype found = 0;
    for (auto _ : state)
        found = processesUsing(folders).size();
    state.counters["processes"] = double(sleepers.pids.size());
    state.counters["folders_running"] = double(found);
}
BENCHMARK(BM_RunningCheck)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DataSizes(benchmark::State &state)
{
    QTemporaryDir dir;
    QList<SpaceInfo> spaces;
    for (const QString &folder : dataFolders(dir))
        spaces << SpaceInfo { QUrl::fromLocalFile(folder + QStringLiteral(".app")), folder, {}, folder, {} };
    for (auto _ : state)
        benchmark::DoNotOptimize(Store::dataSizes(spaces));
}
BENCHMARK(BM_DataSizes)->Unit(benchmark::kMillisecond)->UseRealTime();

// A wrapper bundle renamed beside 50 others (the signing tools do not exist on Linux).
void BM_Rename(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("apps"));
    test::FakeBundleOptions options;
    options.iconFile = QStringLiteral("AppIcon");
    options.iconBytes = realisticIcns();
    const InstalledApp target { QUrl::fromLocalFile(
        test::makeFakeBundle(folder, QStringLiteral("Notes"), options)) };
    static const bool others = (makeInstances(Store::spacesDir(), 50, { target.id() }), true);
    Q_UNUSED(others)
    Store store(QStringList { folder }, nullptr, Store::Start::Idle);
    QUrl wrapper = store.createSpace(target, QStringLiteral("A"), Store::Mode::Auto);
    bool toB = true;
    for (auto _ : state) {
        const SpaceInfo space = *std::find_if(store.spaces().cbegin(), store.spaces().cend(),
            [&wrapper](const SpaceInfo &s) { return s.url == wrapper; });
        wrapper = store.renameSpace(space, toB ? QStringLiteral("B") : QStringLiteral("A"));
        toB = !toB;
    }
    for (const SpaceInfo &space : store.spaces()) {
        if (space.url == wrapper)
            store.deleteSpace(space); // the benchmark runs again with the same names
    }
}
BENCHMARK(BM_Rename)->Unit(benchmark::kMillisecond)->UseRealTime();

// The window open on 200 instances for three seconds after it has settled, asking every 300 ms for their
// running state and sizes (it asks every 3 and 30 s by itself); a 5 ms timer on the main thread measures each
// gap between its ticks. Reports the longest and the 99th percentile.
void BM_WindowGaps(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString apps = dir.filePath(QStringLiteral("apps"));
    const InstalledApp target { QUrl::fromLocalFile(test::makeFakeBundle(apps, QStringLiteral("Mail"))) };
    makeInstances(Store::spacesDir(), instances, { target.id() });
    QStringList folders;
    {
        Store store(QStringList { apps }, nullptr, Store::Start::Idle);
        store.scanSpaces();
        for (const SpaceInfo &space : store.spaces()) {
            fs::createDirectory(*space.dataDir + QStringLiteral("/home"));
            for (int file = 0; file < 20; ++file)
                fs::writeBytes(*space.dataDir + QStringLiteral("/home/f%1").arg(file), QByteArray(3000, 'x'));
            folders << *space.dataDir;
        }
    }
    const Sleepers sleepers(folders);
    GapMeter meter;
    for (auto _ : state) {
        MainWindow window(QStringList { apps });
        window.show();
        // Measured once the window has shown its 200 rows: their first layout and paint are
        // the start's, measured by bench_startup.
        QEventLoop settle;
        QTimer::singleShot(1000, &settle, &QEventLoop::quit);
        settle.exec();
        Store &store = window.contentView()->store();
        QTimer asker;
        asker.setInterval(300);
        QObject::connect(&asker, &QTimer::timeout, [&store] {
            store.checkRunning();
            store.countSizes();
        });
        QEventLoop loop;
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        meter.start();
        asker.start();
        loop.exec();
    }
    state.counters["instances"] = double(folders.size());
    state.counters["longest_gap_ms"] = meter.longest();
    state.counters["p99_gap_ms"] = meter.percentile(0.99);
}
BENCHMARK(BM_WindowGaps)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
