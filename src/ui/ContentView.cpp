#include "ui/ContentView.h"

#include "l10n/LanguageManager.h"
#include "l10n/Tr.h"
#include "model/Store.h"
#include "ui/Accessibility.h"
#include "ui/AppFilter.h"
#include "ui/AppGrid.h"
#include "ui/AppsSection.h"
#include "ui/CreateSheet.h"
#include "ui/Header.h"
#include "ui/SearchField.h"
#include "ui/SpaceRow.h"
#include "ui/SpacesSection.h"
#include "ui/Style.h"

#include <QApplication>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace tandrel {
namespace {

// A faint line across the window.
class Divider : public QWidget
{
public:
    explicit Divider(QWidget *parent)
        : QWidget(parent)
    {
        setFixedHeight(1);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), style::withAlpha(style::primaryText(palette()), 0.4 * 0.3));
    }
};

} // namespace

ContentView::ContentView(std::optional<QStringList> applicationFolders, QWidget *parent)
    : QWidget(parent)
    , m_store(std::make_unique<Store>(std::move(applicationFolders)))
    , m_header(new Header(this))
    , m_scrollArea(new QScrollArea(this))
    , m_announcer(new Announcer(QAccessible::StatusBar, this))
{
    setMinimumSize(700, 520);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_header);
    column->addWidget(new Divider(this));

    auto *content = new QWidget(m_scrollArea);
    auto *sections = new QVBoxLayout(content);
    sections->setContentsMargins(24, 24, 24, 24);
    sections->setSpacing(24);
    m_spacesSection = new SpacesSection(m_store.get(), content);
    m_appsSection = new AppsSection(content);
    sections->addWidget(m_spacesSection);
    sections->addWidget(m_appsSection);
    sections->addStretch(1);

    m_scrollArea->setWidget(content);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab goes from control to control inside it, never to the area itself.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    // The backdrop shows through the scrolling area.
    m_scrollArea->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    column->addWidget(m_scrollArea, 1);

    connect(m_header->searchField(), &SearchField::textChanged, this, &ContentView::setSearch);
    connect(m_header->searchField(), &SearchField::accepted, this, [this] {
        const QList<InstalledApp> apps = duplicables();
        if (!m_search.isEmpty() && !apps.isEmpty())
            setSelectedApp(apps.first());
    });
    connect(m_header->searchField(), &SearchField::downPressed, this, [this] {
        if (!duplicables().isEmpty())
            m_appsSection->duplicableGrid()->setFocus(Qt::TabFocusReason);
    });
    connect(m_header, &Header::refreshRequested, this, &ContentView::refresh);
    connect(m_store.get(), &Store::appsChanged, this, &ContentView::updateApps);
    connect(m_store.get(), &Store::sandboxedPathsChanged, this, &ContentView::updateApps);
    connect(m_store.get(), &Store::spacesChanged, this, &ContentView::updateSpaces);
    connect(m_appsSection, &AppsSection::appActivated, this,
        [this](const InstalledApp &app) { setSelectedApp(app); });
    connect(&LanguageManager::shared(), &LanguageManager::choiceChanged, this, &ContentView::retranslate);
    connect(m_store.get(), &Store::spaceCreated, this, [this](const QUrl &wrapper) {
        for (const SpaceInfo &space : m_store->spaces())
            if (space.url == wrapper)
                m_announcer->announce(
                    tandrel::tr(QStringLiteral("Instancia \"") + space.name + QStringLiteral("\" creada."),
                        QStringLiteral("Instance \"") + space.name + QStringLiteral("\" created.")));
    });
    connect(m_spacesSection, &SpacesSection::spaceDeleted, this, [this](const QString &name, bool complete) {
        m_announcer->announce(complete
                ? tandrel::tr(QStringLiteral("Instancia \"") + name + QStringLiteral("\" eliminada."),
                    QStringLiteral("Instance \"") + name + QStringLiteral("\" deleted."))
                : tandrel::tr(QStringLiteral("Parte de la instancia se conservó"),
                    QStringLiteral("Part of the instance was kept")));
    });
    // A control reached by Tab from outside the scroll area is scrolled into view here; the
    // grid scrolls to its current card itself.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && !qobject_cast<AppGrid *>(now) && m_scrollArea->widget()->isAncestorOf(now))
            m_scrollArea->ensureWidgetVisible(now);
    });

    updateApps();
    updateSpaces();
}

ContentView::~ContentView() = default;

void ContentView::setSelectedApp(std::optional<InstalledApp> app)
{
    m_selectedApp = std::move(app);
    Q_EMIT selectedAppChanged();
    if (!m_selectedApp || m_sheet)
        return;
    // The sheet is tied to the selection: closing it, however, clears the selection.
    m_sheet = new CreateSheet(*m_selectedApp, m_store.get(), this);
    // The keyboard goes back where it was (the search, a card) when the sheet closes.
    connect(
        m_sheet, &QDialog::finished, this, [this, before = QPointer<QWidget>(QApplication::focusWidget())] {
            m_sheet = nullptr;
            setSelectedApp(std::nullopt);
            if (before)
                before->setFocus(Qt::OtherFocusReason);
        });
    m_sheet->open();
}

QList<InstalledApp> ContentView::filteredApps() const
{
    return filterApps(m_store->apps(), m_search);
}

QList<InstalledApp> ContentView::duplicables() const
{
    return splitBySandbox(filteredApps(), m_store->sandboxedPaths()).duplicables;
}

QList<InstalledApp> ContentView::nonDuplicables() const
{
    return splitBySandbox(filteredApps(), m_store->sandboxedPaths()).nonDuplicables;
}

void ContentView::setSearch(const QString &search)
{
    m_search = search;
    updateApps();
}

void ContentView::focusSearch()
{
    QLineEdit *edit = m_header->searchField()->lineEdit();
    edit->setFocus(Qt::ShortcutFocusReason);
    edit->selectAll();
}

void ContentView::refresh()
{
    m_store->refresh();
    m_announcer->announce(
        tandrel::tr(QStringLiteral("Lista de apps actualizada."), QStringLiteral("App list refreshed.")));
}

void ContentView::updateApps()
{
    const AppGroups groups = splitBySandbox(filteredApps(), m_store->sandboxedPaths());
    m_appsSection->setGroups(groups.duplicables, groups.nonDuplicables, m_search);
}

void ContentView::updateSpaces()
{
    m_spacesSection->setSpaces(m_store->spaces());
    updateTabOrder();
}

void ContentView::updateTabOrder()
{
    // In reading order, but the search first: it is where most visits start.
    QList<QWidget *> chain { m_header->searchField()->lineEdit(), m_header->languageButton(),
        m_header->refreshButton(), m_appsSection->duplicableGrid(), m_appsSection->sandboxedGrid() };
    for (const SpaceRow *row : m_spacesSection->rows())
        chain << row->openButton() << row->revealButton() << row->deleteButton();
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void ContentView::retranslate()
{
    m_header->retranslate();
    m_spacesSection->retranslate();
    m_appsSection->retranslate();
}

void ContentView::paintEvent(QPaintEvent *)
{
    // The backdrop: the window colour, a touch lighter at the top, so the content floats on it.
    QPainter painter(this);
    const QColor base = palette().color(QPalette::Window);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, base.lighter(104));
    gradient.setColorAt(1, base.darker(102));
    painter.fillRect(rect(), gradient);
}

} // namespace tandrel
