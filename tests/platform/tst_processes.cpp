// Which processes run from an instance's folder, and ending them with their children.
#include "platform/ProcessTable.h"
#include "platform/Processes.h"
#include "support/TestEnvironment.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

#include <signal.h>
#include <unistd.h>

using namespace tandrel;

class ProcessesTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString in(const QString &name) const { return m_root.filePath(name); }

    // A shell that stays (so its own command line and environment are what is read) and
    // a child of it; `environment` adds one variable.
    std::unique_ptr<QProcess> start(const QStringList &arguments, const QString &environment = {})
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        if (!environment.isEmpty())
            variables.insert(
                environment.section(QLatin1Char('='), 0, 0), environment.section(QLatin1Char('='), 1));
        process->setProcessEnvironment(variables);
        process->start(QStringLiteral("sh"),
            QStringList { QStringLiteral("-c"), QStringLiteral("sleep 60; :"), QStringLiteral("sh") }
                + arguments);
        process->waitForStarted();
        // The start is reported when the kernel closes the started-pipe during exec, before
        // it has set up the new command line and environment; until then both read empty.
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            const QByteArray text = processtable::argumentsAndEnvironment(process->processId());
            if (!text.isEmpty() && text.front() != '\0')
                break;
            QThread::msleep(5);
        }
        return process;
    }

private Q_SLOTS:
    // A process counts for a folder when it names the folder or a path inside it
    void processesUsing_findsWhatNamesTheFolder_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "@" stands for the root
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("expected"); // the folders' names, sorted
        QTest::newRow("an option naming it") << QStringList { "--user-data-dir=@/a" } << QString() << "a";
        QTest::newRow("a path inside it") << QStringList {} << "HOME=@/a/home"
                                          << "a";
        QTest::newRow("in a list of folders") << QStringList {} << "XDG_DATA_DIRS=/usr/share:@/b:/x"
                                              << "b";
        QTest::newRow("two of them") << QStringList { "--profile", "@/b" } << "HOME=@/a/home"
                                     << "a b";
        QTest::newRow("a folder whose name starts the same")
            << QStringList { "@/ab/home" } << QString() << "";
        QTest::newRow("their parent only") << QStringList { "@" } << "HOME=@/"
                                           << "";
    }
    void processesUsing_findsWhatNamesTheFolder()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, environment);
        QFETCH(QString, expected);
        const QString root = in(QStringLiteral("data"));
        for (QString &argument : arguments)
            argument.replace(QLatin1Char('@'), root);
        environment.replace(QLatin1Char('@'), root);
        const std::unique_ptr<QProcess> process = start(arguments, environment);
        const QHash<QString, QList<qint64>> found = processesUsing(
            { root + QStringLiteral("/a"), root + QStringLiteral("/b"), root + QStringLiteral("/c") });
        QStringList names;
        for (auto it = found.cbegin(); it != found.cend(); ++it) {
            if (it->contains(process->processId()))
                names << it.key().section(QLatin1Char('/'), -1);
        }
        names.sort();
        process->kill();
        process->waitForFinished();
        QCOMPARE(names.join(QLatin1Char(' ')), expected);
    }

    // Stopping ends the processes and their children, also one that ignores the request,
    // and never this process
    void endProcesses_endsThemAndTheirChildren()
    {
        const QString marker = in(QStringLiteral("child.pid"));
        QProcess stubborn;
        stubborn.start(QStringLiteral("sh"),
            { QStringLiteral("-c"), QStringLiteral("trap '' TERM; sleep 60 & echo $! > \"$0\"; wait; wait"),
                marker });
        QVERIFY(stubborn.waitForStarted());
        QTRY_VERIFY(QFileInfo(marker).size() > 0);
        QFile file(marker);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const qint64 child = file.readAll().trimmed().toLongLong();
        QVERIFY(child > 0 && ::kill(pid_t(child), 0) == 0);
        QVERIFY(endProcesses({ stubborn.processId(), ::getpid() }, std::chrono::milliseconds(300)));
        QVERIFY(stubborn.waitForFinished(5000));
        QCOMPARE(stubborn.exitStatus(), QProcess::CrashExit); // killed: it ignored the request
        // Gone, or a zombie left for whoever adopted it to reap.
        const std::optional<processtable::ProcessState> state = processtable::stateOf(child);
        QVERIFY(!state || state->zombie);
    }
};

TANDREL_TEST_MAIN(ProcessesTest)
#include "tst_processes.moc"
