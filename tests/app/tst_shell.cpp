#include "app/About.h"
#include "app/Application.h"
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
        steps.trashApplication = [this](const QString &copy) {
            m_steps << QStringLiteral("trash ") + copy
                    + (QFileInfo::exists(Store::spacesDir()) ? QStringLiteral(" (instances still there)")
                                                             : QString());
        };
        steps.quit = [this] { m_steps << QStringLiteral("quit"); };
        return steps;
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

    // About: the bundle's versions, else the ones this build defines
    void about_versionsAndFallbacks()
    {
        const QVariantMap bundle { { QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.0.1") },
            { QStringLiteral("CFBundleVersion"), QStringLiteral("42") } };
        const AboutInfo fromBundle = aboutInfo(bundle, QStringLiteral("/no/such/icon.icns"));
        const AboutInfo built = aboutInfo(std::nullopt, QStringLiteral("/no/such/icon.icns"));
        QCOMPARE((QStringList { fromBundle.version, fromBundle.build, built.version, built.build }),
            (QStringList { QStringLiteral("2.0.1"), QStringLiteral("42"), QStringLiteral(TANDREL_VERSION),
                QStringLiteral(TANDREL_BUILD) }));
        QVERIFY(fromBundle.icon.isNull()); // a missing icon is left out
        std::unique_ptr<QDialog> dialog(makeAboutDialog(fromBundle));
        const QString shown = dialog->findChild<QLabel *>(QStringLiteral("version"))->text();
        QVERIFY(shown.contains(QLatin1String("2.0.1")) && shown.contains(QLatin1String("42")));
    }

    void about_commandShowsTheBuildsVersionAndCreditsInTheLanguageInForce()
    {
        TandrelApp app(QStringList {});
        QStringList credits;
        for (const auto choice : { LanguageManager::Choice::Es, LanguageManager::Choice::En }) {
            LanguageManager::shared().setChoice(choice);
            app.showAbout();
            QDialog *panel = nullptr;
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
                    panel = dialog;
            QVERIFY(panel);
            QVERIFY(panel->findChild<QLabel *>(QStringLiteral("version"))
                        ->text()
                        .contains(QStringLiteral(TANDREL_VERSION)));
            credits << panel->findChild<QLabel *>(QStringLiteral("credits"))->accessibleName();
            panel->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QVERIFY(credits[0].startsWith(QLatin1String("Tandrel\n")) && credits[0] != credits[1]);
    }

    // Uninstall
    void uninstall_cancelChangesNothing()
    {
        fs::createDirectory(Store::spacesDir() + QStringLiteral("/Mail - Work.app"));
        m_answer = false;
        QVERIFY(!uninstall(recordingSteps()));
        QVERIFY(QFileInfo::exists(Store::spacesDir() + QStringLiteral("/Mail - Work.app")));
        QVERIFY(m_steps.isEmpty());
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(m_asked.first().icon, QMessageBox::Critical);
    }

    // The alert names each place as it is on this platform: the paths are written out here,
    // not asked of the code that builds them.
    void uninstall_alertNamesTheRealPaths_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("bundleFolders"); // ~/Applications/Tandrel and its data root exist
        QTest::addColumn<QStringList>("lines");
        const QString h = isolatedHome();
        const QStringList bundlesEn { "• All duplicated instances (" + h + "/Applications/Tandrel)",
            "• Their data and sessions (" + h + "/Library/Application Support/Tandrel)" };
#ifdef Q_OS_MACOS
        const QStringList en { "Everything Tandrel created on your Mac will be removed:", "" };
        QTest::newRow("macOS") << int(LanguageManager::Choice::En) << false
                               << en + bundlesEn
                + QStringList { "• Tandrel.app will be moved to the Trash", "", "This cannot be undone." };
#else
        const QStringList en { "Everything Tandrel created on this computer will be removed:", "" };
        const QStringList desktopEn { "• All duplicated instances (" + h
                + "/.local/share/applications/tandrel-*.desktop)",
            "• Their data and sessions (" + h + "/.local/share/tandrel)" };
        const QStringList end { "• Tandrel.app will be moved to the Trash", "", "This cannot be undone." };
        QTest::newRow("Linux: desktop instances only")
            << int(LanguageManager::Choice::En) << false << en + desktopEn + end;
        QTest::newRow("Linux: bundle folders too")
            << int(LanguageManager::Choice::En) << true << en + bundlesEn + desktopEn + end;
        QTest::newRow("Linux, in Spanish")
            << int(LanguageManager::Choice::Es) << false
            << QStringList { "Se eliminará todo lo que Tandrel creó en este equipo:", "",
                   "• Todas las instancias duplicadas (" + h
                       + "/.local/share/applications/tandrel-*.desktop)",
                   "• Sus datos y sesiones (" + h + "/.local/share/tandrel)",
                   "• Tandrel.app se moverá a la Papelera", "", "Esta acción no se puede deshacer." };
#endif
    }
    void uninstall_alertNamesTheRealPaths()
    {
        QFETCH(int, choice);
        QFETCH(bool, bundleFolders);
        QFETCH(QStringList, lines);
        LanguageManager::shared().setChoice(LanguageManager::Choice(choice));
        if (bundleFolders) {
            fs::createDirectory(isolatedHome() + QStringLiteral("/Applications/Tandrel"));
            fs::createDirectory(isolatedHome() + QStringLiteral("/Library/Application Support/Tandrel"));
        }
        m_answer = false;
        uninstall(recordingSteps());
        QCOMPARE(m_asked.last().informativeText.split(QLatin1Char('\n')), lines);
        // Without a copy to trash, the line before the last two says what becomes of Tandrel.
        UninstallSteps keep = recordingSteps();
        keep.applicationCopy.reset();
        uninstall(keep);
        const QStringList kept = m_asked.last().informativeText.split(QLatin1Char('\n'));
        QCOMPARE(kept.size(), lines.size());
        QVERIFY(kept[lines.size() - 3].startsWith(QStringLiteral("• Tandrel ")) && kept != lines);
    }

    void uninstall_confirmedRemovesThenTrashesThenQuits()
    {
        makeWrapper(Store::spacesDir(), QStringLiteral("Mail - Work"), newInstanceId());
        m_answer = true;
        TandrelApp app(QStringList {});
        app.setUninstallSteps(recordingSteps());
        app.uninstall();
        QCOMPARE(m_steps, (QStringList { QStringLiteral("trash /opt/Tandrel.app"), QStringLiteral("quit") }));
    }

    // Only a copy identified by its exact path is ever trashed.
    void uninstall_ownCopyToTrash_data()
    {
        QTest::addColumn<int>("platform");
        QTest::addColumn<QString>("executable"); // relative to a temporary folder
        QTest::addColumn<QString>("appImage"); // relative, or absolute as given
        QTest::addColumn<QString>("trashed"); // relative; empty: nothing
        const int mac = int(HostPlatform::MacOS), linux = int(HostPlatform::Linux);
        QTest::newRow("macOS: its own bundle")
            << mac << "Tandrel.app/Contents/MacOS/Tandrel" << QStringLiteral("") << "Tandrel.app";
        QTest::newRow("macOS: a bundle that is not Tandrel")
            << mac << "Other.app/Contents/MacOS/Tandrel" << QStringLiteral("") << "";
        QTest::newRow("Linux: an installed executable") << linux << "bin/tandrel" << QStringLiteral("") << "";
        QTest::newRow("Linux: its AppImage")
            << linux << "bin/tandrel" << QStringLiteral("Tandrel.AppImage") << "Tandrel.AppImage";
        QTest::newRow("Linux: a relative AppImage")
            << linux << "bin/tandrel" << QStringLiteral("/relative") << "";
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
        const QString image
            = appImage.startsWith(QLatin1Char('/')) ? appImage.mid(1) : dir.filePath(appImage);
        const auto copy = ownCopyToTrash(
            HostPlatform(platform), dir.filePath(executable), appImage.isEmpty() ? QString() : image);
        QCOMPARE(copy.value_or(QString()), trashed.isEmpty() ? QString() : dir.filePath(trashed));
    }

    // Without a display: one line, with the way to run it anyway
    void missingDisplay_oneLineWithXvfbHint()
    {
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        const QByteArray display = qgetenv("DISPLAY");
        qunsetenv("QT_QPA_PLATFORM");
        qunsetenv("DISPLAY");
        const QString message = missingDisplayMessage(QStringLiteral("/usr/local/bin/tandrel"));
        qputenv("DISPLAY", ":99");
        const QString withDisplay = missingDisplayMessage(QStringLiteral("tandrel"));
        qputenv("QT_QPA_PLATFORM", platform);
        display.isNull() ? qunsetenv("DISPLAY") : qputenv("DISPLAY", display);
        QVERIFY(!message.contains(QLatin1Char('\n')));
        QVERIFY(message.contains(QLatin1String("xvfb-run -a /usr/local/bin/tandrel")));
        QVERIFY(withDisplay.isEmpty());
    }
};

TANDREL_WIDGETS_TEST_MAIN(ShellTest)
#include "tst_shell.moc"
