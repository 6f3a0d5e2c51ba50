// Start-up to the first painted frame, with 1,000 apps (sparse fat executables, each
// with a realistic ICNS icon) and a number of instances (each with its badged icon):
// tandrel-startup-probe is started again and again, offscreen, with a home of its own
// below the isolated temporary folder; the median of its own timing (from main to the
// first frame) and its peak resident memory are reported.
//
// Argument: the number of instances. With 50 their rows fill the first screen; with 3
// the app grid shows too, and its visible cards' icons are decoded for that frame.
#include "support/BenchSupport.h"

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <vector>

using namespace tandrel;
using namespace tandrel::bench;

namespace {

constexpr int appCount = 1000;

struct Fixture
{
    QTemporaryDir dir;
    QString folder;
    QString home;

    explicit Fixture(int instances)
    {
        const QString icon = dir.filePath(QStringLiteral("AppIcon.icns"));
        QFile file(icon);
        if (!file.open(QIODevice::WriteOnly) || file.write(realisticIcns()) <= 0)
            std::abort();
        file.close();
        folder = dir.filePath(QStringLiteral("apps"));
        home = dir.filePath(QStringLiteral("home"));
        AppsOptions options;
        options.count = appCount;
        options.sharedIconFile = icon;
        const QStringList apps = makeApps(folder, options);
        makeInstances(home + QStringLiteral("/Applications/Tandrel"), instances, apps, realisticBadgedIcns());
    }
};

Fixture &fixture(int instances)
{
    static QMap<int, std::shared_ptr<Fixture>> fixtures;
    if (!fixtures.contains(instances))
        fixtures.insert(instances, std::make_shared<Fixture>(instances));
    return *fixtures.value(instances);
}

void BM_StartupToFirstFrame(benchmark::State &state)
{
    const Fixture &f = fixture(int(state.range(0)));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), f.home);
    std::vector<double> startup;
    std::vector<double> process;
    std::vector<double> rss;
    double apps = 0;
    double cards = 0;
    for (auto _ : state) {
        QProcess probe;
        probe.setProgram(QStringLiteral(TANDREL_STARTUP_PROBE));
        probe.setArguments({ f.folder });
        probe.setProcessEnvironment(environment);
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const auto spawned = std::chrono::steady_clock::now();
        probe.start();
        if (!probe.waitForReadyRead(60'000)) {
            state.SkipWithError("the probe printed nothing");
            break;
        }
        process.push_back(secondsSince(spawned) * 1000);
        probe.waitForFinished(60'000);
        // "startup_ms=<ms> maxrss_kb=<kB> apps=<n> cards=<n>"
        const QList<QByteArray> fields = probe.readAllStandardOutput().trimmed().split(' ');
        if (fields.size() != 4) {
            state.SkipWithError("the probe printed something else");
            break;
        }
        const auto value = [&](int i) { return fields.at(i).mid(fields.at(i).indexOf('=') + 1).toDouble(); };
        const double ms = value(0);
        startup.push_back(ms);
        rss.push_back(value(1) / 1024);
        apps = value(2);
        cards = value(3);
        state.SetIterationTime(ms / 1000);
    }
    state.counters["median_ms"] = median(startup);
    state.counters["median_from_exec_ms"] = median(process);
    state.counters["max_ms"] = startup.empty() ? 0 : *std::max_element(startup.begin(), startup.end());
    state.counters["apps"] = apps;
    state.counters["cards"] = cards;
    state.counters["peak_rss_MB"] = rss.empty() ? 0 : *std::max_element(rss.begin(), rss.end());
}
BENCHMARK(BM_StartupToFirstFrame)
    ->ArgName("instances")
    ->Arg(50)
    ->Arg(3)
    ->Iterations(15)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
