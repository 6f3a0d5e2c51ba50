// Start-up to the first painted frame, with 1,000 apps (sparse fat executables, each
// with a realistic ICNS icon) and 50 instances: tandrel-startup-probe is started again
// and again, offscreen, with the isolated home; the median of its own timing (from main
// to the first frame) and its peak resident memory are reported.
#include "model/Store.h"
#include "support/BenchSupport.h"

#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

using namespace tandrel;
using namespace tandrel::bench;

namespace {

constexpr int appCount = 1000;
constexpr int instanceCount = 50;

struct Fixture
{
    QTemporaryDir dir;
    QString folder;

    Fixture()
    {
        const QString icon = dir.filePath(QStringLiteral("AppIcon.icns"));
        QFile file(icon);
        if (!file.open(QIODevice::WriteOnly) || file.write(realisticIcns()) <= 0)
            std::abort();
        file.close();
        folder = dir.filePath(QStringLiteral("apps"));
        AppsOptions options;
        options.count = appCount;
        options.sharedIconFile = icon;
        const QStringList apps = makeApps(folder, options);
        makeInstances(Store::spacesDir(), instanceCount, apps);
    }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

void BM_StartupToFirstFrame(benchmark::State &state)
{
    static Fixture fixture;
    std::vector<double> startup;
    std::vector<double> process;
    std::vector<double> rss;
    double apps = 0;
    double cards = 0;
    for (auto _ : state) {
        QProcess probe;
        probe.setProgram(QStringLiteral(TANDREL_STARTUP_PROBE));
        probe.setArguments({fixture.folder});
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
    state.counters["median_with_exec_ms"] = median(process);
    state.counters["max_ms"] = startup.empty() ? 0 : *std::max_element(startup.begin(), startup.end());
    state.counters["apps"] = apps;
    state.counters["cards"] = cards;
    state.counters["peak_rss_MB"] = rss.empty() ? 0 : *std::max_element(rss.begin(), rss.end());
}
BENCHMARK(BM_StartupToFirstFrame)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
