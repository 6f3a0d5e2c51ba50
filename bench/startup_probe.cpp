// The app's start-up, timed: main as the app has it, with the apps folders given on the
// command line, from main's first line until the first frame of the window's content has
// been painted and flushed. Prints "startup_ms=<ms> maxrss_kb=<kB> apps=<n> cards=<n>"
// (the apps listed and the cards that frame drew) and exits. bench_startup runs it with
// HOME and the XDG folders pointing at temporary folders.
#include "app/Application.h"
#include "app/MainWindow.h"
#include "app/TandrelApp.h"
#include "model/Store.h"
#include "ui/AppGrid.h"
#include "ui/AppsSection.h"
#include "ui/ContentView.h"

#include "support/FirstFrame.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdio>

#include <sys/resource.h>

namespace {

std::chrono::steady_clock::time_point started;

} // namespace

int main(int argc, char *argv[])
{
    started = std::chrono::steady_clock::now();
    if (argc < 2) {
        std::fprintf(
            stderr, "usage: %s <applications folder>...\n", argc > 0 ? argv[0] : "tandrel-startup-probe");
        return 2;
    }
    tandrel::installQuietMessageHandler();
    QApplication app(argc, argv);
    tandrel::setApplicationIdentity();
    tandrel::TandrelApp tandrelApp(QApplication::arguments().mid(1));
    // The window is shown inside openWindow; the filter is in place before any paint,
    // which only happens once the event loop runs.
    tandrel::MainWindow *window = tandrelApp.openWindow();
    tandrel::ContentView *view = window->contentView();
    const tandrel::bench::FirstFrame firstFrame(view, "startup", started, [view] {
        const tandrel::AppsSection *apps = view->appsSection();
        return "apps=" + std::to_string(view->store().apps().size()) + " cards="
            + std::to_string(apps->duplicableGrid()->lastPaintedCardCount()
                + apps->sandboxedGrid()->lastPaintedCardCount());
    });
    return app.exec();
}
