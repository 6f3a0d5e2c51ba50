#include "l10n/LanguageManager.h"
#include "model/Store.h"
#include "support/FakeBundle.h"
#include "support/RecordingWorkspace.h"
#include "support/TestEnvironment.h"
#include "ui/Confirmation.h"
#include "ui/ContentView.h"
#include "ui/ElidedLabel.h"
#include "ui/SpaceRow.h"
#include "ui/SpacesSection.h"

#include <QAccessible>
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

    void buttons_openRevealAndTheirTexts()
    {
        ContentView view(QStringList{m_apps});
        const QUrl wrapper = view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Auto);
        SpaceRow *row = onlyRow(view);
        QVERIFY(row);
        QCOMPARE(row->targetLabel()->text(), QString(m_apps + QStringLiteral("/Mail.app")));
        // The reveal tooltip names the wrapper, not the target.
        QVERIFY(row->revealButton()->toolTip().contains(wrapper.toLocalFile()));
        QTest::mouseClick(row->openButton(), Qt::LeftButton);
        QCOMPARE(m_workspace.opened, QList<QUrl>{wrapper});
        QCOMPARE(m_workspace.executables, QStringList{wrapper.toLocalFile() + QStringLiteral("/Contents/MacOS/launcher")});
        QTest::mouseClick(row->revealButton(), Qt::LeftButton);
        QCOMPARE(m_workspace.revealed, (QList<QList<QUrl>>{{wrapper}}));

        const QString english = row->openButton()->text() + row->revealButton()->text() + row->deleteButton()->toolTip();
        LanguageManager::shared().setChoice(LanguageManager::Choice::Es);
        row = onlyRow(view);
        QVERIFY(row->openButton()->text() + row->revealButton()->text() + row->deleteButton()->toolTip() != english);
    }

    void noRecord_showsOnlyTheName()
    {
        QDir().mkpath(Store::spacesDir() + QStringLiteral("/Loose.app"));
        ContentView view(QStringList{m_apps});
        SpaceRow *row = onlyRow(view);
        QVERIFY(row);
        QVERIFY(row->targetLabel()->isHidden());
    }

    // Icons: a wrapper's icon is decoded when its row is first painted, not before
    void icons_onlyRowsInViewFetchTheirIcon()
    {
        QStringList wrappers;
        for (int i = 0; i < 30; ++i) {
            wrappers.append(Store::spacesDir() + QStringLiteral("/Instance %1.app").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(QDir().mkpath(wrappers.last()));
        }
        m_workspace.iconRequests.clear();
        ContentView view(QStringList{m_apps});
        QCOMPARE(view.spacesSection()->rows().size(), 30);
        QVERIFY(m_workspace.iconRequests.isEmpty());
        view.resize(700, 520);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(m_workspace.iconRequests.contains(wrappers.first()));
        QVERIFY(!m_workspace.iconRequests.contains(wrappers.last()));

        QScrollBar *scrollBar = view.scrollArea()->verticalScrollBar();
        scrollBar->setValue(scrollBar->maximum());
        QTRY_VERIFY(m_workspace.iconRequests.contains(wrappers.last()));
        QCOMPARE(m_workspace.iconRequests.count(wrappers.last()), 1);
    }

    void delete_cancelKeepsEverything_deleteRemovesWrapperAndData()
    {
        makeFakeHome(isolatedHome());
        ContentView view(QStringList{m_apps});
        const QUrl wrapper = view.store().createSpace(view.store().apps().first(), QStringLiteral("Work"), Mode::Home);
        const QString dataDir = *view.store().spaces().first().dataDir;
        // The isolated home holds links to the real folders, as after a first start.
        QDir().mkpath(dataDir + QStringLiteral("/home"));
        for (const char *folder : {"Downloads", "Documents", "Desktop"})
            QVERIFY(QFile::link(isolatedHome() + QLatin1Char('/') + QLatin1String(folder),
                                dataDir + QStringLiteral("/home/") + QLatin1String(folder)));

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
        QVERIFY(fakeHomeIntact(isolatedHome()));
    }

};

TANDREL_WIDGETS_TEST_MAIN(SpaceRowTest)
#include "tst_spacerow.moc"
