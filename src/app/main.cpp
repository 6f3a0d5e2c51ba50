#include "app/Application.h"
#include "app/TandrelApp.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Without a display Qt prints a page of warnings and aborts; one clear line is kinder.
    const QString message = tandrel::missingDisplayMessage(QString::fromLocal8Bit(argc > 0 ? argv[0] : "tandrel"));
    if (!message.isEmpty()) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return 2;
    }
    tandrel::installQuietMessageHandler();
    QApplication app(argc, argv);
    tandrel::setApplicationIdentity();
    tandrel::TandrelApp tandrelApp;
    tandrelApp.openWindow();
    return app.exec();
}
