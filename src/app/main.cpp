#include "app/Application.h"
#include "app/TandrelApp.h"
#include "model/Store.h"
#include "model/TandrelError.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

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
