#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/LinkCommands.h"
#include "app/TandrelApp.h"
#include "model/Store.h"
#include "model/TandrelError.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    // Commands never need a display and never load the windowing system; one that draws
    // (the badged icon needs fonts) does it on the offscreen platform.
    const tandrel::Launch launch = tandrel::launchFor(arguments);
    if (launch != tandrel::Launch::Window)
        tandrel::installQuietMessageHandler(true); // what is printed is the command's own output
    if (launch == tandrel::Launch::Command) {
        QCoreApplication app(argc, argv);
        tandrel::setApplicationNames();
        return tandrel::runCommandLine(arguments);
    }
    if (launch == tandrel::Launch::Route) {
        // A rule decides without the GUI, so a link opens without its cost; only asking
        // makes the GUI application, once the first is gone.
        int status = 0;
        {
            QCoreApplication app(argc, argv);
            tandrel::setApplicationNames();
            status = tandrel::runCommandLine(arguments);
        }
        if (status != tandrel::routeNeedsChooser)
            return status;
        QApplication app(argc, argv);
        tandrel::setApplicationIdentity();
        tandrel::applyLanguageOption(arguments);
        const qsizetype command = arguments.indexOf(QStringLiteral("route"));
        return tandrel::askAndRoute(arguments.value(command + 1));
    }
    if (launch == tandrel::Launch::DrawingCommand) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        tandrel::setApplicationNames();
        return tandrel::runCommandLine(arguments);
    }

    // Without a display Qt prints a page of warnings and aborts; one clear line is kinder.
    const QString message = tandrel::missingDisplayMessage(arguments.value(0, QStringLiteral("tandrel")));
    if (!message.isEmpty()) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return 2;
    }
    tandrel::installQuietMessageHandler();
    QApplication app(argc, argv);
    tandrel::setApplicationIdentity();
    if (!tandrel::applyLanguageOption(arguments)) {
        std::fprintf(stderr, "tandrel: --lang takes es or en.\n");
        return 2;
    }
    // Without a usable home every folder Tandrel writes would land in the wrong place.
    try {
        tandrel::Store::home();
    } catch (const tandrel::TandrelError &error) {
        std::fprintf(stderr, "%s\n", error.errorDescription().toLocal8Bit().constData());
        QMessageBox::critical(nullptr, QStringLiteral("Tandrel"), error.errorDescription());
        return 1;
    }
    tandrel::TandrelApp tandrelApp;
    tandrelApp.openWindow();
    return app.exec();
}
