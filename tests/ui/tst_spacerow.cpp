#include "app/MainWindow.h"
#include "l10n/LanguageManager.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "support/FakeBundle.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"
#include "ui/AppGrid.h"
#include "ui/AppsSection.h"
#include "ui/BadgeDialog.h"
#include "ui/Confirmation.h"
#include "ui/ContentView.h"
#include "ui/ElidedLabel.h"
#include "ui/SpaceRow.h"
#include "ui/SpacesSection.h"
#include "ui/Style.h"
#include "ui/Transfers.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

using namespace tandrel;
using namespace tandrel::test;

class SpaceRowTest : public QObject
{
    Q_OBJECT

    RecordingWorkspace m_workspace;
    QTemporaryDir m_root;
    QString m_apps;
    QString m_longApp = QStringLiteral("Mail Work Account Sync Utility for the Whole Marketing Team");
    QString m_longAppPath;
    QList<Confirmation> m_asked;
    bool m_answer = false;

    SpaceRow *onlyRow(ContentView &view)
    {
        const QList<SpaceRow *> rows = view.spacesSection()->rows();
        return rows.size() == 1 ? rows.first() : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_workspace.install();
        m_apps = m_root.filePath(QStringLiteral("apps"));
        makeFakeBundle(m_apps, QStringLiteral("Mail"));
        m_longAppPath = makeFakeBundle(m_apps, m_longApp);
        setConfirmer([this](const Confirmation &confirmation) {
            m_asked.append(confirmation);
            return m_answer;
        });
    }
    void init()
    {
        QDir(isolatedHome() + QStringLiteral("/Applications")).removeRecursively();
        QDir(isolatedHome() + QStringLiteral("/Library")).removeRecursively();
        m_asked.clear();
        LanguageManager::shared().setChoice(LanguageManager::Choice::En);
    }

    // Long names are cut in the middle, never the buttons: all stay inside at any window size.
    void layout_longNamesLeaveEveryButtonInside_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("spanish"); // the longer button texts
        QTest::addColumn<bool>("nameCut");
        QTest::newRow("below the minimum, English") << QSize(300, 200) << false << true;
        QTest::newRow("the minimum, Spanish") << QSize(700, 520) << true << true;
        QTest::newRow("wide, English") << QSize(1600, 700) << false << false;
    }
    void layout_longNamesLeaveEveryButtonInside()
    {
        QFETCH(QSize, size);
        QFETCH(bool, spanish);
        QFETCH(bool, nameCut);
        LanguageManager::shared().setChoice(
            spanish ? LanguageManager::Choice::Es : LanguageManager::Choice::En);
        const QString name
            = QStringLiteral("Mail - Work account for the marketing team in Buenos Aires, mailbox 3");
        for (const QString &space : { name, QStringLiteral("Mail - Home") })
            QVERIFY(QDir().mkpath(Store::spacesDir() + QLatin1Char('/') + space + QStringLiteral(".app")));
        MainWindow window(QStringList { m_apps });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(size);
        QTRY_COMPARE(window.width(), std::max(size.width(), 700));
        QWidget *viewport = window.contentView()->scrollArea()->viewport();
        const QRect inside = QRect(viewport->mapTo(&window, QPoint()), viewport->size()) & window.rect();
        for (SpaceRow *row : window.contentView()->spacesSection()->rows()) {
            for (QPushButton *button : { row->openButton(), row->revealButton(), row->deleteButton() }) {
                const QRect at(button->mapTo(&window, QPoint()), button->size());
                QVERIFY2(button->isVisible() && at.left() >= inside.left() && at.right() <= inside.right(),
                    qPrintable(row->space().name + QLatin1Char(' ') + button->text()));
            }
        }
        const auto shows = [](const QString &shown, const QString &whole, bool cut) {
            return cut ? shown.contains(QChar(0x2026)) && shown.startsWith(whole.left(6))
                    && shown.endsWith(whole.right(3))
                       : shown == whole;
        };
        SpaceRow *row = window.contentView()->spacesSection()->rows().last();
        QVERIFY(row->targetLabel()->isHidden()); // a wrapper without a record shows only its name
        ElidedLabel *label = row->nameLabel();
        QCOMPARE(label->accessibleName(), name);
        QVERIFY2(shows(label->displayedText(), name, nameCut), qPrintable(label->displayedText()));
        QCOMPARE(label->toolTip(), nameCut ? name : QString());
        // A card's name takes two lines, broken between words, before it is cut in the middle.
        AppGrid *grid = window.contentView()->appsSection()->duplicableGrid();
        const int card = int(grid->apps().indexOf(InstalledApp { QUrl::fromLocalFile(m_longAppPath) }));
        const QStringList lines = grid->displayedName(card).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 2);
        QVERIFY2(m_longApp.startsWith(lines[0] + QLatin1Char(' ')), qPrintable(lines[0]));
        QVERIFY2(shows(lines[1], m_longApp.mid(lines[0].size() + 1), true), qPrintable(lines[1]));
        QVERIFY(QFontMetrics(style::font(12)).horizontalAdvance(lines[1]) <= grid->cardRect(card).width());
    }

    void buttons_openRevealAndTheirTexts()
    {
        ContentView view(QStringList { m_apps });
        const QUrl wrapper
            = view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Auto);
        SpaceRow *row = onlyRow(view);
        QCOMPARE(row->targetLabel()->text(), QString(m_apps + QStringLiteral("/Mail.app")));
        // The reveal tooltip names the wrapper, not the target.
        QVERIFY(row->revealButton()->toolTip().contains(wrapper.toLocalFile()));
        QTest::mouseClick(row->openButton(), Qt::LeftButton);
        QCOMPARE(m_workspace.opened, QList<QUrl> { wrapper });
        QCOMPARE(m_workspace.executables,
            QStringList { wrapper.toLocalFile() + QStringLiteral("/Contents/MacOS/launcher") });
        QTest::mouseClick(row->revealButton(), Qt::LeftButton);
        QCOMPARE(m_workspace.revealed, (QList<QList<QUrl>> { { wrapper } }));
    }

    void delete_cancelKeepsEverything_deleteRemovesWrapperAndData()
    {
        ContentView view(QStringList { m_apps });
        const QUrl wrapper
            = view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Home);
        const QString dataDir = *view.store().spaces().first().dataDir;
        QVERIFY(QDir().mkpath(dataDir + QStringLiteral("/home")));

        m_answer = false;
        QTest::mouseClick(onlyRow(view)->deleteButton(), Qt::LeftButton);
        QCOMPARE(m_asked.size(), 1);
        QVERIFY(m_asked.first().message.contains(QLatin1String("\"Mail - Work\"")));
        QVERIFY(QFileInfo::exists(wrapper.toLocalFile()));
        QVERIFY(QFileInfo::exists(dataDir));
        QVERIFY(onlyRow(view));

        m_answer = true;
        QTest::mouseClick(onlyRow(view)->deleteButton(), Qt::LeftButton);
        QVERIFY(!QFileInfo::exists(wrapper.toLocalFile()));
        QVERIFY(!QFileInfo::exists(dataDir));
        QVERIFY(view.spacesSection()->rows().isEmpty());
    }

    // F2 (or the context menu) renames the instance in place; a refusal is told
    void rename_byKeyKeepsTheData()
    {
        ContentView view(QStringList { m_apps });
        view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Home);
        const QString dataDir = *view.store().spaces().first().dataDir;
        QString answer = QStringLiteral("Home"), told;
        setNameAsker([&answer](const NameQuestion &question) {
            return question.name == QLatin1String("Work") ? std::optional(answer) : std::nullopt;
        });
        setInformer([&told](const Notice &notice) { told = notice.informativeText; });
        onlyRow(view)->openButton()->setFocus();
        QVERIFY(onlyRow(view)->actions().contains(onlyRow(view)->renameAction()));
        onlyRow(view)->renameAction()->trigger();
        QTRY_COMPARE(onlyRow(view)->space().name, QStringLiteral("Mail - Home"));
        QCOMPARE(*onlyRow(view)->space().dataDir, dataDir);
        answer = QStringLiteral(" ");
        setNameAsker([&answer](const NameQuestion &) { return std::optional(answer); });
        onlyRow(view)->renameAction()->trigger();
        QVERIFY(!told.isEmpty());
        QCOMPARE(onlyRow(view)->space().name, QStringLiteral("Mail - Home"));
        setNameAsker({});
        setInformer({});
    }

    // The badge dialog shows the colour in use, takes a swatch, one or two characters or an
    // image; the row applies what was chosen
    void badge_chosenInTheDialogAndApplied()
    {
        ContentView view(QStringList { m_apps });
        view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Home);
        BadgeDialog dialog(onlyRow(view)->space());
        QVERIFY(dialog.swatches().at(0)->isChecked()); // the app's first instance: blue
        dialog.swatches().at(4)->click();
        QCOMPARE(dialog.badge().color, QStringLiteral("teal"));
        QVERIFY(!dialog.swatches().at(0)->isChecked() && dialog.swatches().at(4)->isChecked());
        QTest::keyClicks(dialog.labelField(), QStringLiteral("W2x"));
        QCOMPARE(dialog.badge().label, QStringLiteral("W2")); // a third character is not taken
        QImage picture(64, 32, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QTemporaryDir dir;
        QVERIFY(picture.save(dir.filePath(QStringLiteral("p.png"))));
        dialog.useImageFile(dir.filePath(QStringLiteral("p.png")));
        QTRY_VERIFY(dialog.removeImageButton()->isEnabled());
        QVERIFY(!dialog.badge().image.isEmpty());
        dialog.removeImageButton()->click();
        QVERIFY(dialog.badge().image.isEmpty());

        const Badge chosen = dialog.badge();
        setBadgeAsker([&chosen](const SpaceInfo &, QWidget *) { return std::optional(chosen); });
        onlyRow(view)->badgeAction()->trigger();
        QTRY_COMPARE(onlyRow(view)->space().badge, chosen);
        QCOMPARE(onlyRow(view)->space().name, QStringLiteral("Mail - Work"));
        setBadgeAsker({});
    }

    // Duplicate, export and import from the window: each asks for what it needs, shows its
    // progress and leaves a new instance with the data; a taken name is changed only with
    // consent; Cancel leaves nothing
    void transfers_duplicateExportImportAndCancel()
    {
        ContentView view(QStringList { m_apps });
        view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Home);
        const QString data = *view.store().spaces().first().dataDir;
        QVERIFY(QDir().mkpath(data + QStringLiteral("/home/.config")));
        QFile kept(data + QStringLiteral("/home/.config/kept"));
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("kept") == 4);
        kept.close();
        const auto hasKept = [&view](const QString &name) {
            for (const SpaceInfo &space : view.store().spaces()) {
                if (space.name == QStringLiteral("Mail - ") + name)
                    return QFile::exists(*space.dataDir + QStringLiteral("/home/.config/kept"));
            }
            return false;
        };
        setNameAsker([](const NameQuestion &question) { return std::optional(question.name); });
        onlyRow(view)->duplicateAction()->trigger();
        QTRY_VERIFY(hasKept(QStringLiteral("Work 2")));
        setNameAsker({});

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("work.tar.zst"));
        setFileAsker([&file](const FileQuestion &) { return file; });
        view.spacesSection()->rows().first()->exportAction()->trigger();
        QTRY_VERIFY(QFile::exists(file));
        m_answer = true; // "Work" is taken: import it as "Work 3"
        importInstance(&view, view.store());
        QTRY_VERIFY(hasKept(QStringLiteral("Work 3")));
        setFileAsker({});

        std::optional<QString> ended;
        runTransfer(
            &view, QStringLiteral("Copy"),
            [](const Transfer &transfer) {
                while (!transfer.cancelled->load())
                    QThread::msleep(5);
                throw TandrelError::msg(transferCancelledText());
            },
            [&ended](const QString &error) { ended = error; });
        QTRY_VERIFY(view.findChild<QProgressDialog *>());
        view.findChild<QProgressDialog *>()->findChild<QPushButton *>()->click();
        QTRY_COMPARE(ended, std::optional(transferCancelledText()));
    }

    // A running instance is marked and can be stopped; deleting it stops it first, after
    // saying so, and its data goes only once nothing runs from it
    void running_markedStoppedAndStoppedBeforeDeleting()
    {
        ContentView view(QStringList { m_apps });
        view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Home);
        const QString dataDir = *view.store().spaces().first().dataDir;
        const auto startApp = [&dataDir](QProcess &app) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("HOME"), dataDir + QStringLiteral("/home"));
            app.setProcessEnvironment(environment);
            app.start(QStringLiteral("sh"), { QStringLiteral("-c"), QStringLiteral("sleep 60; :") });
            return app.waitForStarted();
        };
        QProcess app;
        QVERIFY(startApp(app));
        QVERIFY(onlyRow(view)->stopButton()->isHidden());
        QTRY_VERIFY(onlyRow(view)->sizeLabel()->text().endsWith(QStringLiteral(" kB")));
        view.store().checkRunning();
        QTRY_VERIFY(!onlyRow(view)->stopButton()->isHidden() && !onlyRow(view)->stateLabel()->isHidden());
        QTest::mouseClick(onlyRow(view)->stopButton(), Qt::LeftButton);
        QVERIFY(app.waitForFinished(10000));
        QTRY_VERIFY(onlyRow(view)->stopButton()->isHidden());

        QProcess again;
        QVERIFY(startApp(again));
        view.store().checkRunning();
        QTRY_VERIFY(!onlyRow(view)->stopButton()->isHidden());
        m_answer = true;
        QString told;
        setInformer([&told](const Notice &notice) { told += notice.informativeText; });
        QTest::mouseClick(onlyRow(view)->deleteButton(), Qt::LeftButton);
        QVERIFY(m_asked.last().informativeText.contains(QStringLiteral("running")));
        QVERIFY(again.waitForFinished(10000));
        QTRY_VERIFY2(!QFileInfo::exists(dataDir), qPrintable(told));
        setInformer({});
        QVERIFY(view.spacesSection()->rows().isEmpty());
    }
};

TANDREL_WIDGETS_TEST_MAIN(SpaceRowTest)
#include "tst_spacerow.moc"
