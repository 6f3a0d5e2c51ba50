#include "app/Application.h"
#include "app/MainWindow.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Without a display Qt prints a page of warnings and aborts; one clear line is kinder.
    const QString message = tandrel::missingDisplayMessage(QString::fromLocal8Bit(argc > 0 ? argv[0] : "tandrel"));
    if (!message.isEmpty()) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return 2;
    }
    QApplication app(argc, argv);
    tandrel::setApplicationIdentity();
    auto *window = new tandrel::MainWindow;
    window->show();
    return app.exec();
}
