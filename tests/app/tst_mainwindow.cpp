#include "app/Application.h"
#include "app/MainWindow.h"
#include "ui/ContentView.h"
#include "support/TestEnvironment.h"

#include <QApplication>

using namespace tandrel;

class MainWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void opensWithMinimumSize()
    {
        MainWindow window(QStringList{});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.contentView()->minimumSize(), QSize(700, 520));
        QVERIFY(window.minimumSizeHint().width() >= 700 && window.minimumSizeHint().height() >= 520);
        QCOMPARE(window.windowTitle(), QStringLiteral("Tandrel"));
    }

    void missingDisplay_oneLineWithXvfbHint()
    {
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        const QByteArray display = qgetenv("DISPLAY");
        const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
        qunsetenv("QT_QPA_PLATFORM");
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        const QString message = missingDisplayMessage(QStringLiteral("/usr/local/bin/tandrel"));
        qputenv("DISPLAY", ":99");
        const QString withDisplay = missingDisplayMessage(QStringLiteral("tandrel"));
        qputenv("QT_QPA_PLATFORM", platform);
        display.isNull() ? qunsetenv("DISPLAY") : qputenv("DISPLAY", display);
        if (!wayland.isNull())
            qputenv("WAYLAND_DISPLAY", wayland);
        QVERIFY(!message.contains(QLatin1Char('\n')));
        QVERIFY(message.contains(QLatin1String("xvfb-run -a /usr/local/bin/tandrel")));
        QVERIFY(withDisplay.isEmpty());
    }
};

TANDREL_WIDGETS_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
