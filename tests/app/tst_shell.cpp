#include "app/About.h"
#include "app/MainWindow.h"
#include "app/TandrelApp.h"
#include "app/Uninstall.h"
#include "l10n/LanguageManager.h"
#include "model/OwnCopy.h"
#include "model/Store.h"
#include "platform/FileSystem.h"
#include "support/FakeBundle.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"
#include "ui/Confirmation.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>

using namespace tandrel;
using namespace tandrel::test;

class ShellTest : public QObject
{
    Q_OBJECT

    RecordingWorkspace m_workspace;
    QList<Confirmation> m_asked;
    bool m_answer = false;
    QStringList m_steps;

    UninstallSteps recordingSteps()
    {
        UninstallSteps steps;
        steps.applicationCopy = QStringLiteral("/opt/Tandrel.app");
        steps.trashApplication = [this](const QString &bundle) {
            m_steps << QStringLiteral("trash ") + bundle
                           + (QFileInfo::exists(Store::spacesDir()) || QFileInfo::exists(Store::dataRoot())
                                  ? QStringLiteral(" (folders still there)")
                                  : QString());
        };
        steps.quit = [this] { m_steps << QStringLiteral("quit"); };
        return steps;
    }

    static QString labelText(QDialog *dialog, const char *name)
    {
        const auto *label = dialog->findChild<QLabel *>(QLatin1String(name));
        return label ? label->text() : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_workspace.install();
        setConfirmer([this](const Confirmation &confirmation) {
            m_asked.append(confirmation);
            return m_answer;
        });
        setInformer([this](const Notice &) { m_steps << QStringLiteral("told"); });
    }
    void init()
    {
        QDir(isolatedHome() + QStringLiteral("/Applications")).removeRecursively();
        QDir(isolatedHome() + QStringLiteral("/Library")).removeRecursively();
        m_asked.clear();
        m_steps.clear();
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
    }

    // Menu
    void menu_aboutDividerUninstall_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("es") << int(LanguageManager::Choice::Es) << QStringList{"Acerca de Tandrel", "", "Desinstalar Tandrel…"};
        QTest::newRow("en") << int(LanguageManager::Choice::En) << QStringList{"About Tandrel", "", "Uninstall Tandrel…"};
    }
    void menu_aboutDividerUninstall()
    {
        QFETCH(int, choice);
        QFETCH(QStringList, titles);
        LanguageManager::shared().setChoice(LanguageManager::Choice(choice));
        MainWindow window(QStringList{});
        const QList<QAction *> menus = window.menuBar()->actions();
        QVERIFY(!menus.isEmpty());
        QStringList shown;
        for (const QAction *action : menus.first()->menu()->actions())
            shown << (action->isSeparator() ? QString() : action->text());
        QCOMPARE(shown, titles);
    }

    // About
    void about_versionsAndFallbacks_data()
    {
        QTest::addColumn<QVariant>("dictionary");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("build");
        QVariantMap complete{{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.0.1")},
                             {QStringLiteral("CFBundleVersion"), QStringLiteral("42")}};
        QTest::newRow("from the bundle") << QVariant(complete) << "2.0.1" << "42";
        QTest::newRow("no dictionary") << QVariant() << "1.7.0" << "11";
        QTest::newRow("short version missing")
            << QVariant(QVariantMap{{QStringLiteral("CFBundleVersion"), QStringLiteral("42")}}) << "1.7.0" << "42";
        QTest::newRow("build not a text")
            << QVariant(QVariantMap{{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.0.1")},
                                    {QStringLiteral("CFBundleVersion"), qint64(12)}})
            << "2.0.1" << "11";
    }
    void about_versionsAndFallbacks()
    {
        QFETCH(QVariant, dictionary);
        QFETCH(QString, version);
        QFETCH(QString, build);
        const AboutInfo info = aboutInfo(dictionary.isValid() ? std::optional(dictionary.toMap()) : std::nullopt,
                                         QStringLiteral("/no/such/icon.icns"));
        QCOMPARE(info.name, QStringLiteral("Tandrel"));
        QCOMPARE(info.version, version);
        QCOMPARE(info.build, build);
        QVERIFY(info.icon.isNull()); // a missing icon is left out
        QDialog *dialog = makeAboutDialog(info);
        QCOMPARE(labelText(dialog, "name"), QStringLiteral("Tandrel"));
        QVERIFY(labelText(dialog, "version").contains(version));
        QVERIFY(labelText(dialog, "version").contains(build));
        delete dialog;
    }

    void about_creditsInTheLanguageInForce()
    {
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
        QCOMPARE(aboutInfo(std::nullopt, QString()).credits, QStringLiteral("Tandrel\nCity: Morvale"));
        LanguageManager::shared().setChoice(LanguageManager::Choice::Es);
        QCOMPARE(aboutInfo(std::nullopt, QString()).credits, QStringLiteral("Tandrel\nCiudad: Morvale"));
        QDialog *dialog = makeAboutDialog(aboutInfo(std::nullopt, QString()));
        QVERIFY(dialog->findChild<QLabel *>(QStringLiteral("credits"))->text().contains(QLatin1String("Ciudad: Morvale")));
        QCOMPARE(dialog->findChild<QLabel *>(QStringLiteral("credits"))->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        delete dialog;
    }

    void about_commandOpensThePanel()
    {
        TandrelApp app(QStringList{});
        app.showAbout();
        QDialog *panel = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
                panel = dialog;
        QVERIFY(panel);
        QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("version"))->text(), QStringLiteral("Version 1.7.0 (11)"));
        panel->close();
    }

    // Uninstall
    void uninstall_cancelChangesNothing()
    {
        fs::createDirectory(Store::spacesDir() + QStringLiteral("/Mail - Work.app"));
        m_answer = false;
        QVERIFY(!uninstall(recordingSteps()));
        QVERIFY(QFileInfo::exists(Store::spacesDir()));
        QVERIFY(m_steps.isEmpty());
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked.first().icon, QMessageBox::Critical);
        QCOMPARE(m_asked.first().message, QStringLiteral("Uninstall Tandrel?"));
        QCOMPARE(m_asked.first().actionTitle, QStringLiteral("Uninstall"));
        QCOMPARE(m_asked.first().cancelTitle, QStringLiteral("Cancel"));
    }

    void uninstall_alertNamesTheRealPaths_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("lines");
        const QString spaces = Store::spacesDir(), data = Store::dataRoot();
        QTest::newRow("en") << int(LanguageManager::Choice::En) << QStringList{
            "Everything Tandrel created on your Mac will be removed:", "",
            "• All duplicated instances (" + spaces + ")", "• Their data and sessions (" + data + ")",
            "• Tandrel.app will be moved to the Trash", "", "This cannot be undone."};
        QTest::newRow("es") << int(LanguageManager::Choice::Es) << QStringList{
            "Se eliminará todo lo que Tandrel creó en tu Mac:", "",
            "• Todas las instancias duplicadas (" + spaces + ")", "• Sus datos y sesiones (" + data + ")",
            "• Tandrel.app se moverá a la Papelera", "", "Esta acción no se puede deshacer."};
    }
    void uninstall_alertNamesTheRealPaths()
    {
        QFETCH(int, choice);
        QFETCH(QStringList, lines);
        LanguageManager::shared().setChoice(LanguageManager::Choice(choice));
        m_answer = false;
        uninstall(recordingSteps());
        QCOMPARE(m_asked.last().informativeText.split(QLatin1Char('\n')), lines);
        QVERIFY(Store::spacesDir().startsWith(isolatedHome()));
    }

    void uninstall_withNeitherFolderStillTrashesAndQuits()
    {
        QVERIFY(!QFileInfo::exists(Store::spacesDir()));
        QVERIFY(!QFileInfo::exists(Store::dataRoot()));
        m_answer = true;
        QVERIFY(uninstall(recordingSteps()));
        QCOMPARE(m_steps, (QStringList{QStringLiteral("trash /opt/Tandrel.app"), QStringLiteral("quit")}));
    }

    // Only a copy identified by its exact path is ever trashed.
    void uninstall_ownCopyToTrash_data()
    {
        QTest::addColumn<int>("platform");
        QTest::addColumn<QString>("executable"); // relative to a temporary folder
        QTest::addColumn<QString>("appImage");   // relative, or absolute as given
        QTest::addColumn<QString>("trashed");    // relative; empty: nothing
        const int mac = int(HostPlatform::MacOS), linux = int(HostPlatform::Linux);
        QTest::newRow("macOS: its own bundle") << mac << "Tandrel.app/Contents/MacOS/Tandrel" << "" << "Tandrel.app";
        QTest::newRow("macOS: a bundle that is not Tandrel") << mac << "Other.app/Contents/MacOS/Tandrel" << "" << "";
        QTest::newRow("macOS: outside a bundle") << mac << "bin/tandrel" << "" << "";
        QTest::newRow("Linux: an installed executable") << linux << "bin/tandrel" << "" << "";
        QTest::newRow("Linux: its AppImage") << linux << "bin/tandrel" << "Tandrel.AppImage" << "Tandrel.AppImage";
        QTest::newRow("Linux: an AppImage that is not there") << linux << "bin/tandrel" << "Gone.AppImage" << "";
        QTest::newRow("Linux: a relative AppImage") << linux << "bin/tandrel" << "/relative" << "";
    }
    void uninstall_ownCopyToTrash()
    {
        QFETCH(int, platform);
        QFETCH(QString, executable);
        QFETCH(QString, appImage);
        QFETCH(QString, trashed);
        QTemporaryDir dir;
        FakeBundleOptions tandrel;
        tandrel.identifier = QStringLiteral("io.tandrel.Tandrel");
        tandrel.executable = QStringLiteral("Tandrel");
        makeFakeBundle(dir.path(), QStringLiteral("Tandrel"), tandrel);
        tandrel.identifier = QStringLiteral("com.example.Other");
        makeFakeBundle(dir.path(), QStringLiteral("Other"), tandrel);
        fs::writeBytes(dir.filePath(QStringLiteral("Tandrel.AppImage")), "ELF");
        const QString image = appImage.startsWith(QLatin1Char('/')) ? appImage.mid(1) : dir.filePath(appImage);
        const auto copy = ownCopyToTrash(HostPlatform(platform), dir.filePath(executable), appImage.isEmpty() ? QString() : image);
        QCOMPARE(copy.value_or(QString()), trashed.isEmpty() ? QString() : dir.filePath(trashed));
    }

    void uninstall_commandUsesTheReplacedSteps()
    {
        TandrelApp app(QStringList{});
        app.setUninstallSteps(recordingSteps());
        m_answer = true;
        app.uninstall();
        QCOMPARE(m_steps.last(), QStringLiteral("quit"));
    }
};

TANDREL_WIDGETS_TEST_MAIN(ShellTest)
#include "tst_shell.moc"
