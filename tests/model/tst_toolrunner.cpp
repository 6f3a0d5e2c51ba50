#include "model/bundle/ToolRunner.h"
#include "support/TestEnvironment.h"

#include <QFile>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace tandrel;
using namespace std::chrono_literals;

class ToolRunnerTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString script(const QString &name, const QByteArray &body)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write("#!/bin/bash\n" + body);
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    }

    QString readAll(const QString &name)
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private Q_SLOTS:
    void missingOrUnstartableTool_returns_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("no such file") << QStringLiteral("/usr/bin/no-such-tool-here");
        QTest::newRow("a folder") << QStringLiteral("/");
    }
    void missingOrUnstartableTool_returns()
    {
        QFETCH(QString, path);
        runTool(path, { QStringLiteral("--force") });
    }

    void argumentsArriveOneByOne()
    {
        const QString tool = script(QStringLiteral("args"),
            "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \""
                + QFile::encodeName(m_dir.filePath(QStringLiteral("args.txt"))) + "\"\n");
        runTool(tool,
            { QStringLiteral("-dr"), QStringLiteral("com.apple.quarantine"),
                QStringLiteral("/Users/ana/Applications/Tandrel/Mail - Work $(x) `y`.app") });
        QCOMPARE(readAll(QStringLiteral("args.txt")),
            QStringLiteral(
                "[-dr][com.apple.quarantine][/Users/ana/Applications/Tandrel/Mail - Work $(x) `y`.app]"));
    }

    void outputLeavesNoTrace()
    {
        const QString tool = script(QStringLiteral("noisy"), "echo to-stdout; echo to-stderr >&2\n");
        // Point our own standard streams at a file while the tool runs: the child would inherit them.
        const QString capture = m_dir.filePath(QStringLiteral("capture.txt"));
        fflush(stdout);
        fflush(stderr);
        const int savedOut = dup(1);
        const int savedErr = dup(2);
        const int fd = open(QFile::encodeName(capture).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        dup2(fd, 1);
        dup2(fd, 2);
        runTool(tool, {});
        fflush(stdout);
        fflush(stderr);
        dup2(savedOut, 1);
        dup2(savedErr, 2);
        ::close(fd);
        ::close(savedOut);
        ::close(savedErr);
        QCOMPARE(QFileInfo(capture).size(), 0);
    }

    void hungToolIsKilledAtTheLimitWithWhatItStarted()
    {
        const QString pids = m_dir.filePath(QStringLiteral("hung.pids"));
        // The tool starts a child of its own, then hangs: both must go at the limit.
        const QString tool = script(QStringLiteral("hung"),
            "sleep 600 & echo $! > \"" + QFile::encodeName(pids) + "\"; echo $$ >> \""
                + QFile::encodeName(pids) + "\"; wait\n");
        runTool(tool, {}, 300ms);
        const QStringList started
            = readAll(QStringLiteral("hung.pids")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(started.size(), 2);
        // Gone, or a zombie waiting for whoever adopted it to reap it.
        const auto gone = [](const QString &pid) {
            QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
            return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
        };
        for (const QString &pid : started)
            QTRY_VERIFY(gone(pid));
    }
};

TANDREL_TEST_MAIN(ToolRunnerTest)
#include "tst_toolrunner.moc"
