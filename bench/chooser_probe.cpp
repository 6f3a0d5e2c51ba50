// The link chooser's start, timed: what "tandrel route URL" does when no rule matches,
// from main's first line (the GUI application, the instances read without the app list,
// the targets, the chooser shown) until its first frame has been painted and flushed.
// Prints "chooser_ms=<ms> maxrss_kb=<kB> targets=<n>" and exits. bench_links runs it with
// HOME and the XDG folders pointing at temporary folders.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/LinkCommands.h"
#include "model/Store.h"
#include "ui/LinkChooser.h"

#include "support/FirstFrame.h"

#include <QApplication>
#include <QEvent>
#include <QListWidget>
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
    tandrel::installQuietMessageHandler();
    const QString text
        = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("https://example.org/a/b?c=d");
    // As "tandrel route" runs: the rules are read without the GUI first, which is made only
    // when none matches.
    {
        QCoreApplication core(argc, argv);
        tandrel::setApplicationNames();
        if (tandrel::runCommandLine({ QStringLiteral("tandrel"), QStringLiteral("route"), text })
            != tandrel::routeNeedsChooser)
            return 1;
    }
    QApplication app(argc, argv);
    tandrel::setApplicationIdentity();
    const QUrl link(text);
    tandrel::Store store(std::nullopt, nullptr, tandrel::Store::Start::Idle);
    store.scanSpaces();
    tandrel::LinkChooser chooser(link, tandrel::Store::linkTargets(store.spaces()));
    const tandrel::bench::FirstFrame firstFrame(chooser.targetList()->viewport(), "chooser", started,
        [&chooser] { return "targets=" + std::to_string(chooser.targetList()->count()); });
    chooser.show();
    return app.exec();
}
