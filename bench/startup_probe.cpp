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

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdio>

#include <sys/resource.h>

namespace {

std::chrono::steady_clock::time_point started;

// The first paint event of the content starts the frame; the zero-timer runs once
// the whole window has been painted and flushed, which ends it.
class FirstFrame : public QObject
{
public:
    explicit FirstFrame(tandrel::ContentView *view)
        : m_view(view)
    {
        view->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, this, [this] {
                const double ms
                    = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                          .count();
                rusage usage {};
                getrusage(RUSAGE_SELF, &usage);
                const tandrel::AppsSection *apps = m_view->appsSection();
                std::printf("startup_ms=%.3f maxrss_kb=%ld apps=%lld cards=%d\n", ms, usage.ru_maxrss,
                    static_cast<long long>(m_view->store().apps().size()),
                    apps->duplicableGrid()->lastPaintedCardCount()
                        + apps->sandboxedGrid()->lastPaintedCardCount());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    tandrel::ContentView *m_view;
    bool m_seen = false;
};

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
    FirstFrame firstFrame(window->contentView());
    return app.exec();
}
