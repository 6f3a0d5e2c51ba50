// One keystroke in the search field with 10,000 apps: filtering and splitting the
// list, then the window (900 x 680, offscreen) laid out and repainted with the result.
#include "model/Store.h"
#include "support/BenchSupport.h"
#include "support/FakeBundle.h"
#include "support/MachOBuilder.h"
#include "ui/AppFilter.h"
#include "ui/AppGrid.h"
#include "ui/AppsSection.h"
#include "ui/ContentView.h"
#include "ui/Header.h"
#include "ui/SearchField.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

using namespace tandrel;
using namespace tandrel::bench;

namespace {

constexpr int appCount = 10000;
constexpr int sandboxedEvery = 10;

// What is typed, keystroke by keystroke, per benchmark argument: a broad search and
// back to all, or a word typed and then cleared.
const QList<QStringList> keystrokes {
    { QStringLiteral("a"), QString() },
    { QStringLiteral("p"), QStringLiteral("ph"), QStringLiteral("pho"), QStringLiteral("phot"),
        QStringLiteral("photo"), QString() },
};

void BM_FilterAndSplit(benchmark::State &state)
{
    QList<InstalledApp> apps;
    QSet<QString> sandboxed;
    for (int i = 0; i < appCount; ++i) {
        const QString path = QStringLiteral("/Applications/") + appName(i) + QStringLiteral(".app");
        apps.append(InstalledApp { QUrl::fromLocalFile(path) });
        if (i % sandboxedEvery == 0)
            sandboxed.insert(path);
    }
    const QStringList &typed = keystrokes.at(state.range(0));
    qsizetype next = 0;
    qsizetype shown = 0;
    for (auto _ : state) {
        const AppGroups groups = splitBySandbox(filterApps(apps, typed.at(next)), sandboxed);
        shown += groups.duplicables.size() + groups.nonDuplicables.size();
        benchmark::DoNotOptimize(groups);
        next = (next + 1) % typed.size();
    }
    state.counters["shown"] = benchmark::Counter(double(shown), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FilterAndSplit)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// 10,000 bundle folders; every tenth has a small signed executable with the sandbox on.
QString makeSearchFixture(const QString &folder)
{
    QDir().mkpath(folder);
    test::ThinOptions thin;
    thin.entitlements = realisticEntitlements(true);
    const QByteArray executable = test::buildThin(thin);
    for (int i = 0; i < appCount; ++i) {
        if (i % sandboxedEvery == 0) {
            test::FakeBundleOptions options;
            options.executableBytes = executable;
            test::makeFakeBundle(folder, appName(i), options);
        } else {
            QDir().mkpath(folder + QLatin1Char('/') + appName(i) + QStringLiteral(".app"));
        }
    }
    return folder;
}

void BM_SearchRedraw(benchmark::State &state)
{
    QTemporaryDir dir;
    ContentView view(QStringList { makeSearchFixture(dir.filePath(QStringLiteral("apps"))) });
    view.resize(900, 680);
    view.show();
    {
        QEventLoop loop;
        QObject::connect(&view.store(), &Store::sandboxedPathsChanged, &loop, &QEventLoop::quit);
        QTimer::singleShot(60'000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QLineEdit *field = view.header()->searchField()->lineEdit();
    const QStringList &typed = keystrokes.at(state.range(0));
    const auto keystroke = [&](const QString &text) {
        field->setText(text);
        // Layouts first (the grids changed size), then one synchronous paint of the window.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        view.repaint();
    };
    for (const QString &text : typed) // warms the card caches for what is shown
        keystroke(text);
    QCoreApplication::processEvents();
    qsizetype next = 0;
    for (auto _ : state) {
        keystroke(typed.at(next));
        next = (next + 1) % typed.size();
    }
    state.counters["cards"] = double(view.appsSection()->duplicableGrid()->lastPaintedCardCount()
        + view.appsSection()->sandboxedGrid()->lastPaintedCardCount());
    state.counters["apps"] = double(view.store().apps().size());
    state.counters["sandboxed"] = double(view.store().sandboxedPaths().size());
}
BENCHMARK(BM_SearchRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return runBenchmarks(argc, argv);
}
