#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace tandrel::test {

// Points HOME and every XDG folder at a fresh temporary folder and turns on Qt's
// test mode, so no test reads or writes the real home or settings. Call it before
// the application object exists; the folder lives until the process ends.
void isolateEnvironment();

// The temporary home that isolateEnvironment() set up.
QString isolatedHome();

} // namespace tandrel::test

// Like QTEST_GUILESS_MAIN / QTEST_MAIN, with an isolated home and settings.
#define TANDREL_TEST_MAIN_IMPL(AppType, TestObject)                                                          \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        tandrel::test::isolateEnvironment();                                                                 \
        AppType app(argc, argv);                                                                             \
        app.setOrganizationName(QStringLiteral("TandrelTest"));                                              \
        app.setApplicationName(QStringLiteral("TandrelTest"));                                               \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

#define TANDREL_TEST_MAIN(TestObject) TANDREL_TEST_MAIN_IMPL(QCoreApplication, TestObject)
#define TANDREL_GUI_TEST_MAIN(TestObject) TANDREL_TEST_MAIN_IMPL(QGuiApplication, TestObject)
#define TANDREL_WIDGETS_TEST_MAIN(TestObject) TANDREL_TEST_MAIN_IMPL(QApplication, TestObject)
