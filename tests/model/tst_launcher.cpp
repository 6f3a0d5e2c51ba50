// Runs the isolated-HOME launcher for real with bash against a fixture target that
// records its environment and arguments.
#include "model/WrapperTemplates.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace tandrel;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return true;
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class LauncherTest : public QObject
{
    Q_OBJECT

    struct Run
    {
        int exitCode = -1;
        QStringList record;
    };

    static Run runLauncher(const QString &launcher, const QString &recordFile, const QString &cwd,
                           const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TANDREL_RECORD"), recordFile);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(cwd);
        process.start(QStringLiteral("/bin/bash"), QStringList{launcher} + arguments);
        Run run;
        if (!process.waitForFinished(30000))
            return run;
        run.exitCode = process.exitCode();
        QFile file(recordFile);
        if (file.open(QIODevice::ReadOnly))
            run.record = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return run;
    }

private Q_SLOTS:
    void isolatedHome_data()
    {
        QTest::addColumn<QString>("bundleName");
        QTest::addColumn<QString>("executable");
        QTest::newRow("ordinary names") << "Mail & Co's Café.app" << "Mail Helper";
        QTest::newRow("command substitution and backquotes")
            << "$(touch pwned) `touch pwned2`.app" << "run`touch pwned3`$(touch pwned4)";
        QTest::newRow("quotes, backslash, variables") << R"(a "b" \c $HOME.app)" << R"(x\"y$1)";
    }
    void isolatedHome()
    {
        QFETCH(QString, bundleName);
        QFETCH(QString, executable);
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString base = tmp.path();

        // The user's real folders, with files that must survive everything.
        const QString realHome = base + QStringLiteral("/real home");
        for (const char *folder : {"Downloads", "Documents", "Desktop"})
            QVERIFY(writeFile(realHome + QLatin1Char('/') + QLatin1String(folder) + QStringLiteral("/keep.txt"), "precious"));

        const QString target = base + QStringLiteral("/Apps/") + bundleName;
        QVERIFY(writeFile(target + QStringLiteral("/Contents/MacOS/") + executable,
                          "#!/bin/bash\n"
                          "{ printf 'HOME=%s\\n' \"$HOME\"; for a in \"$@\"; do printf 'ARG=%s\\n' \"$a\"; done; }"
                          " > \"$TANDREL_RECORD\"\n",
                          true));
        const QString dataDir = base + QStringLiteral("/Library/Application Support/Tandrel/0f8fad5b-d9cb-469f-a165-70867728950e");
        const QString launcher = base + QStringLiteral("/Wrapper.app/Contents/MacOS/launcher");
        QVERIFY(writeFile(launcher, launcherScript(LaunchStrategy::IsolatedHome,
                                                   {dataDir, realHome, target, executable}).toUtf8(), true));
        const QString cwd = base + QStringLiteral("/cwd");
        QVERIFY(QDir().mkpath(cwd));
        const QString recordFile = base + QStringLiteral("/record.txt");

        const QStringList arguments{QStringLiteral("two  spaces"), QStringLiteral(""), QStringLiteral("$(touch pwned5)")};
        const Run first = runLauncher(launcher, recordFile, cwd, arguments);
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(first.record, (QStringList{QStringLiteral("HOME=") + dataDir + QStringLiteral("/home"),
                                            QStringLiteral("ARG=two  spaces"), QStringLiteral("ARG="),
                                            QStringLiteral("ARG=$(touch pwned5)")}));
        QVERIFY2(entries(cwd).isEmpty(), qPrintable(entries(cwd).join(QLatin1Char(','))));

        const QString home = dataDir + QStringLiteral("/home");
        QCOMPARE(entries(home), (QStringList{QStringLiteral("Desktop"), QStringLiteral("Documents"), QStringLiteral("Downloads")}));
        for (const QString &name : entries(home)) {
            const QFileInfo link(home + QLatin1Char('/') + name);
            QVERIFY(link.isSymLink());
            QCOMPARE(link.symLinkTarget(), realHome + QLatin1Char('/') + name);
        }

        // A second start finds the links and leaves them, and the real folders, alone.
        QFile::remove(recordFile);
        const Run second = runLauncher(launcher, recordFile, cwd, {});
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(second.record, QStringList{QStringLiteral("HOME=") + home});
        QCOMPARE(entries(home).size(), 3);
        for (const char *folder : {"Downloads", "Documents", "Desktop"})
            QCOMPARE(entries(realHome + QLatin1Char('/') + QLatin1String(folder)), QStringList{QStringLiteral("keep.txt")});
        QVERIFY(entries(cwd).isEmpty());
    }
};

TANDREL_TEST_MAIN(LauncherTest)
#include "tst_launcher.moc"
