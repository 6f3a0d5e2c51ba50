// The app grid with 5,000 apps: painting the region a 700 x 520 window shows, at the
// top and deep down the list, and sweeping the pointer across cards. Runs offscreen
// with generated icons, so it neither needs a display nor reads any bundle.
#include "platform/Workspace.h"
#include "support/BenchSupport.h"
#include "ui/AppGrid.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

using namespace tandrel;

namespace {

// Every bundle gets the same large icon, as real bundles ship 1024-pixel images.
class BenchWorkspace final : public Workspace
{
public:
    BenchWorkspace() { m_icon.fill(QColor(0x2E, 0x86, 0xC1)); }
    QImage iconForFile(const QString &) override { return m_icon; }
    void openApplication(const QUrl &, const QString &, const QStringList &) override { }
    void activateFileViewerSelecting(const QList<QUrl> &) override { }

private:
    QImage m_icon { 1024, 1024, QImage::Format_ARGB32_Premultiplied };
};

QList<InstalledApp> makeApps(int count)
{
    QList<InstalledApp> apps;
    apps.reserve(count);
    for (int i = 0; i < count; ++i)
        apps.append(
            InstalledApp { QUrl::fromLocalFile(QStringLiteral("/nonexistent/Bench App %1.app").arg(i)) });
    return apps;
}

constexpr int appCount = 5000;
constexpr QSize window(700, 520);

void paintVisibleRegion(benchmark::State &state, bool sandboxed)
{
    AppGrid grid(sandboxed);
    grid.setApps(makeApps(appCount));
    grid.resize(window.width(), grid.heightForWidth(window.width()));
    // state.range(0) is how far down the list the window has scrolled, in percent.
    const int top = int(qint64(grid.height() - window.height()) * state.range(0) / 100);
    const QRect visible(QPoint(0, top), window);
    QImage target(window, QImage::Format_ARGB32_Premultiplied);
    grid.render(&target, QPoint(), QRegion(visible)); // fills the icon caches once
    for (auto _ : state) {
        target.fill(Qt::white);
        grid.render(&target, QPoint(), QRegion(visible));
        benchmark::DoNotOptimize(target.constBits());
    }
    state.counters["cards"] = grid.lastPaintedCardCount();
}

void BM_PaintVisibleRegion(benchmark::State &state)
{
    paintVisibleRegion(state, false);
}
BENCHMARK(BM_PaintVisibleRegion)->Arg(0)->Arg(50)->Arg(100)->Unit(benchmark::kMicrosecond);

void BM_PaintVisibleRegionSandboxed(benchmark::State &state)
{
    paintVisibleRegion(state, true);
}
BENCHMARK(BM_PaintVisibleRegionSandboxed)->Arg(50)->Unit(benchmark::kMicrosecond);

// Hit-testing only: the pointer crosses a row of cards deep in the list.
void BM_PointerSweep(benchmark::State &state)
{
    AppGrid grid(false);
    grid.setApps(makeApps(appCount));
    grid.resize(window.width(), grid.heightForWidth(window.width()));
    const int y = grid.cardRect(appCount / 2).center().y();
    int x = 0;
    for (auto _ : state) {
        x = (x + 7) % window.width();
        const QPointF at(x, y);
        QMouseEvent move(
            QEvent::MouseMove, at, grid.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&grid, &move);
    }
}
BENCHMARK(BM_PointerSweep);

} // namespace

int main(int argc, char **argv)
{
    BenchWorkspace workspace;
    Workspace::setShared(&workspace);
    const int code = bench::runBenchmarks(argc, argv);
    Workspace::setShared(nullptr);
    return code;
}
