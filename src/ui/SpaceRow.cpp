#include "ui/SpaceRow.h"

#include "l10n/LanguageManager.h"
#include "l10n/Tr.h"
#include "model/AppIcons.h"
#include "model/Store.h"
#include "ui/Accessibility.h"
#include "ui/BadgeDialog.h"
#include "ui/Confirmation.h"
#include "ui/ElidedLabel.h"
#include "ui/Style.h"
#include "ui/Symbols.h"
#include "ui/Transfers.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <utility>

namespace tandrel {
namespace {

constexpr qreal restingOpacity = style::tint::row;
constexpr qreal hoverOpacity = style::tint::rowHovered;
// How long the row says the instance is opening: about as long as an app takes to show.
constexpr int openingMilliseconds = 3000;

// A size as the desktop's file managers write it: powers of 1000, in the language in force.
QString dataSize(qint64 bytes)
{
    const QLocale locale(LanguageManager::shared().isSpanish() ? QLocale::Spanish : QLocale::English);
    return locale.formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

// Runs `work` on a thread of its own (it takes seconds: ending apps, removing caches) and
// then `done` with its result on the main thread. Neither may need the row, which a rescan
// may rebuild meanwhile.
template <typename Work, typename Done> void inBackground(Work work, Done done)
{
    QThread *thread = QThread::create([work = std::move(work), done = std::move(done)]() mutable {
        QMetaObject::invokeMethod(
            qApp, [done = std::move(done), result = work()]() mutable { done(result); });
    });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

QPushButton *smallButton(QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setFont(style::font(11));
    button->setIconSize(QSize(11, 11));
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoDefault(false);
    return button;
}

// The instance's icon, 36 points square. It is asked for at the first paint and read in
// the background, so only the rows in view pay for theirs and none is decoded on the main
// thread; it is drawn at the screen's own density.
class BundleIcon : public QWidget
{
public:
    BundleIcon(QString path, QWidget *parent)
        : QWidget(parent)
        , m_path(std::move(path))
    {
        setFixedSize(side, side);
        connect(&IconCache::shared(), &IconCache::iconLoaded, this, [this](const QString &loaded) {
            if (loaded == m_path)
                update();
        });
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const qreal ratio = devicePixelRatioF();
        if (m_pixmap.isNull() || !qFuzzyCompare(m_pixmap.devicePixelRatio(), ratio)) {
            const QImage image = IconCache::shared().icon(m_path);
            if (image.isNull())
                return;
            m_pixmap = style::iconPixmap(image, side, ratio);
        }
        QPainter painter(this);
        const QSizeF size = m_pixmap.deviceIndependentSize();
        painter.drawPixmap(QPointF((side - size.width()) / 2, (side - size.height()) / 2), m_pixmap);
    }

private:
    static constexpr int side = 36;
    QString m_path;
    QPixmap m_pixmap;
};

} // namespace

SpaceRow::SpaceRow(SpaceInfo space, Store *store, QWidget *parent)
    : QWidget(parent)
    , m_space(std::move(space))
    , m_store(store)
    , m_icon(new BundleIcon(m_space.id(), this))
    , m_name(new ElidedLabel(this))
    , m_target(new ElidedLabel(this))
    , m_state(new QLabel(this))
    , m_size(new QLabel(this))
    , m_open(smallButton(this))
    , m_stop(smallButton(this))
    , m_reveal(smallButton(this))
    , m_delete(smallButton(this))
    , m_animation(new QVariantAnimation(this))
    , m_openingTimer(new QTimer(this))
{
    m_openingTimer->setSingleShot(true);
    m_openingTimer->setInterval(openingMilliseconds);
    connect(m_openingTimer, &QTimer::timeout, this, &SpaceRow::showTarget);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(12);

    row->addWidget(m_icon, 0, Qt::AlignVCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_name->setFont(style::font(13, QFont::Medium));
    m_name->setText(m_space.name);
    texts->addWidget(m_name);
    m_target->setFont(style::font(11));
    texts->addWidget(m_target);
    showTarget();
    row->addLayout(texts, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_state->setFont(style::font(11));
    m_size->setFont(style::font(11));
    buttons->addWidget(m_size);
    buttons->addWidget(m_state);
    buttons->addWidget(m_open);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_reveal);
    buttons->addWidget(m_delete);
    row->addLayout(buttons);

    // The open button is the row's prominent one.
    style::makeProminent(m_open);

    connect(m_open, &QPushButton::clicked, this, &SpaceRow::open);
    connect(m_stop, &QPushButton::clicked, this, &SpaceRow::stop);
    connect(m_store, &Store::runningChanged, this, &SpaceRow::updateRunning);
    connect(m_store, &Store::sizesChanged, this, &SpaceRow::updateSize);
    connect(m_reveal, &QPushButton::clicked, this, &SpaceRow::reveal);
    connect(m_delete, &QPushButton::clicked, this, &SpaceRow::askToDelete);
    // The delete key asks too, while any control of the row has the focus.
    auto *deleteKey = new QAction(this);
    QList<QKeySequence> deleteKeys = QKeySequence::keyBindings(QKeySequence::Delete);
#ifdef Q_OS_MACOS
    deleteKeys.append(QKeySequence(Qt::Key_Backspace)); // the key labelled "delete"
#endif
    deleteKey->setShortcuts(deleteKeys);
    deleteKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(deleteKey);
    connect(deleteKey, &QAction::triggered, this, &SpaceRow::askToDelete);
    m_deleteAction = deleteKey;
    // Renaming: F2 as in file managers, and the row's context menu (with deleting).
    m_renameAction = new QAction(this);
    m_renameAction->setShortcut(QKeySequence(Qt::Key_F2));
    m_renameAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    insertAction(deleteKey, m_renameAction);
    connect(m_renameAction, &QAction::triggered, this, &SpaceRow::askToRename);
    m_badgeAction = new QAction(this);
    insertAction(deleteKey, m_badgeAction);
    connect(m_badgeAction, &QAction::triggered, this, &SpaceRow::askForNewBadge);
    m_duplicateAction = new QAction(this);
    insertAction(deleteKey, m_duplicateAction);
    connect(m_duplicateAction, &QAction::triggered, this,
        [this] { duplicateInstance(window(), *m_store, m_space); });
    m_exportAction = new QAction(this);
    insertAction(deleteKey, m_exportAction);
    connect(m_exportAction, &QAction::triggered, this, [this] { exportInstance(window(), m_space); });
    m_clearCacheAction = new QAction(this);
    m_clearCacheAction->setVisible(Store::hasCache(m_space));
    insertAction(deleteKey, m_clearCacheAction);
    connect(m_clearCacheAction, &QAction::triggered, this, &SpaceRow::clearCache);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_animation->setDuration(150);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_backgroundOpacity = value.toReal();
        update();
    });

    setAttribute(Qt::WA_Hover);
    // A group named after the instance, so each button is read with the row it belongs to.
    installAccessibility();
    setAccessibleName(m_space.name);
    updateColors();
    retranslate();
    updateRunning();
}

void SpaceRow::updateSize()
{
    const auto size = m_store->sizes().constFind(m_space.id());
    m_size->setVisible(size != m_store->sizes().cend());
    if (size == m_store->sizes().cend())
        return;
    m_size->setText(dataSize(*size));
    m_size->setAccessibleName(
        tandrel::tr(QStringLiteral("Datos: ") + m_size->text(), QStringLiteral("Data: ") + m_size->text()));
}

bool SpaceRow::isRunning() const
{
    return m_store->running().contains(m_space.id());
}

void SpaceRow::updateRunning()
{
    const bool running = isRunning();
    m_state->setVisible(running);
    m_stop->setVisible(running);
    if (!running)
        m_stop->setEnabled(true);
}

void SpaceRow::stop()
{
    stopThen({});
}

void SpaceRow::stopThen(std::function<void()> next)
{
    m_stop->setEnabled(false);
    inBackground([space = m_space] { return Store::stopSpace(space); },
        [row = QPointer<SpaceRow>(this), store = QPointer<Store>(m_store), next = std::move(next)](
            bool stopped) {
            if (store)
                store->checkRunning();
            if (row)
                row->m_stop->setEnabled(true);
            if (stopped && next)
                next();
        });
}

void SpaceRow::retranslate()
{
    const auto label = [](QPushButton *button, const QString &text, const QString &tip) {
        button->setText(text);
        button->setToolTip(tip);
        button->setAccessibleName(text);
        button->setAccessibleDescription(tip);
    };
    label(m_open, tandrel::tr(QStringLiteral("Abrir"), QStringLiteral("Open")),
        tandrel::tr(QStringLiteral("Abrir esta instancia"), QStringLiteral("Open this instance")));
#ifdef Q_OS_MACOS
    label(m_reveal, tandrel::tr(QStringLiteral("Ver en Finder"), QStringLiteral("Show in Finder")),
        tandrel::tr(QStringLiteral("Mostrar la instancia en Finder (") + m_space.id() + QStringLiteral(")"),
            QStringLiteral("Show the instance in Finder (") + m_space.id() + QStringLiteral(")")));
#else
    label(m_reveal, tandrel::tr(QStringLiteral("Mostrar en Archivos"), QStringLiteral("Reveal in Files")),
        tandrel::tr(QStringLiteral("Mostrar la instancia en Archivos (") + m_space.id() + QStringLiteral(")"),
            QStringLiteral("Show the instance in Files (") + m_space.id() + QStringLiteral(")")));
#endif
    label(m_stop, tandrel::tr(QStringLiteral("Detener"), QStringLiteral("Stop")),
        tandrel::tr(QStringLiteral("Cerrar la instancia y todo lo que abrió"),
            QStringLiteral("Close the instance and everything it opened")));
    m_state->setText(tandrel::tr(QStringLiteral("● Abierta"), QStringLiteral("● Running")));
    updateSize();
    m_state->setAccessibleName(tandrel::tr(QStringLiteral("Abierta"), QStringLiteral("Running")));
    m_renameAction->setText(tandrel::tr(QStringLiteral("Renombrar…"), QStringLiteral("Rename…")));
    m_badgeAction->setText(tandrel::tr(QStringLiteral("Distintivo…"), QStringLiteral("Badge…")));
    m_duplicateAction->setText(tandrel::tr(QStringLiteral("Duplicar…"), QStringLiteral("Duplicate…")));
    m_exportAction->setText(tandrel::tr(QStringLiteral("Exportar…"), QStringLiteral("Export…")));
    m_clearCacheAction->setText(
        tandrel::tr(QStringLiteral("Vaciar la caché"), QStringLiteral("Clear Cache")));
    m_deleteAction->setText(tandrel::tr(QStringLiteral("Eliminar…"), QStringLiteral("Delete…")));
    label(m_delete, tandrel::tr(QStringLiteral("Eliminar"), QStringLiteral("Delete")),
        tandrel::tr(QStringLiteral("Eliminar la instancia y todos sus datos"),
            QStringLiteral("Delete the instance and all its data")));
}

void SpaceRow::open()
{
    // The row says it is opening for the moments a start takes; if the app ends with an
    // error meanwhile, the window says so, with the app's own last words.
    const QPointer<QWidget> window = this->window();
    const QString title = tandrel::tr(
        QStringLiteral("No se pudo abrir la instancia"), QStringLiteral("Couldn't open the instance"));
    try {
        m_store->launchSpace(m_space, [window, title](const QString &message) {
            QTimer::singleShot(0, qApp, [window, title, message] {
                if (window)
                    inform({ QMessageBox::Warning, title, message, window });
            });
        });
    } catch (const std::exception &error) {
        inform({ QMessageBox::Warning, title, QString::fromUtf8(error.what()), window });
        return;
    }
    m_target->setText(tandrel::tr(QStringLiteral("Abriendo ") + m_space.name + QStringLiteral("…"),
        QStringLiteral("Opening ") + m_space.name + QStringLiteral("…")));
    m_target->show();
    m_openingTimer->start();
}

void SpaceRow::showTarget()
{
    if (m_space.targetPath)
        m_target->setText(*m_space.targetPath);
    else
        m_target->hide();
}

void SpaceRow::askToRename()
{
    NameQuestion question;
    question.title
        = tandrel::tr(QStringLiteral("Renombrar la instancia"), QStringLiteral("Rename the Instance"));
    question.label
        = tandrel::tr(QStringLiteral("Nombre nuevo para \"") + m_space.name + QStringLiteral("\":"),
            QStringLiteral("New name for \"") + m_space.name + QStringLiteral("\":"));
    question.name = m_space.instanceName.value_or(m_space.name);
    question.parent = window();
    const std::optional<QString> name = askForName(question);
    if (!name)
        return;
    // The rescan that follows replaces this row; what the alert needs is copied first.
    const QPointer<QWidget> parent = window();
    try {
        m_store->renameSpace(m_space, *name);
    } catch (const std::exception &error) {
        inform({ QMessageBox::Warning,
            tandrel::tr(QStringLiteral("No se pudo renombrar la instancia"),
                QStringLiteral("Couldn't rename the instance")),
            QString::fromUtf8(error.what()), parent });
    }
}

void SpaceRow::askForNewBadge()
{
    const std::optional<Badge> badge = askForBadge(m_space, window());
    if (!badge)
        return;
    // The rescan that follows replaces this row; what the alert needs is copied first.
    const QPointer<QWidget> parent = window();
    try {
        m_store->setBadge(m_space, *badge);
    } catch (const std::exception &error) {
        inform({ QMessageBox::Warning,
            tandrel::tr(QStringLiteral("No se pudo cambiar el distintivo"),
                QStringLiteral("Couldn't change the badge")),
            QString::fromUtf8(error.what()), parent });
    }
}

void SpaceRow::clearCache()
{
    inBackground(
        [space = m_space]() -> std::pair<QString, QString> {
            try {
                const QString size = dataSize(Store::clearCache(space));
                return { tandrel::tr(QStringLiteral("Se liberaron ") + size
                                 + QStringLiteral(" de caché de \"") + space.name + QStringLiteral("\"."),
                             QStringLiteral("Cleared ") + size + QStringLiteral(" of cache from \"")
                                 + space.name + QStringLiteral("\".")),
                    QString() };
            } catch (const std::exception &error) {
                return { QString(), QString::fromUtf8(error.what()) };
            }
        },
        [parent = QPointer<QWidget>(window()), store = QPointer<Store>(m_store)](
            const std::pair<QString, QString> &outcome) {
            if (store)
                store->countSizes();
            if (!parent)
                return;
            if (outcome.second.isEmpty())
                inform({ QMessageBox::Information, outcome.first, QString(), parent });
            else
                inform({ QMessageBox::Warning,
                    tandrel::tr(QStringLiteral("No se pudo vaciar la caché"),
                        QStringLiteral("Couldn't clear the cache")),
                    outcome.second, parent });
        });
}

void SpaceRow::reveal()
{
    m_store->revealSpace(m_space);
}

void SpaceRow::askToDelete()
{
    const QString quoted = QLatin1Char('"') + m_space.name + QLatin1Char('"');
    Confirmation confirmation;
    confirmation.icon = QMessageBox::Warning;
    confirmation.message = tandrel::tr(QStringLiteral("¿Eliminar ") + quoted + QStringLiteral("?"),
        QStringLiteral("Delete ") + quoted + QStringLiteral("?"));
    confirmation.informativeText = tandrel::tr(
        QStringLiteral(
            "Se borrará la instancia y todos sus datos (sesión, cookies, configuración). Esta acción no "
            "se puede deshacer."),
        QStringLiteral(
            "The instance and all its data (session, cookies, settings) will be deleted. This cannot be "
            "undone."));
    confirmation.actionTitle = tandrel::tr(QStringLiteral("Eliminar"), QStringLiteral("Delete"));
    // Data is never removed under a running app: it is stopped first, with the user's word.
    const bool running = isRunning();
    if (running) {
        confirmation.informativeText = tandrel::tr(
            QStringLiteral("Está abierta: primero se cerrarán sus ventanas. ") + confirmation.informativeText,
            QStringLiteral("It is running: its windows will be closed first. ")
                + confirmation.informativeText);
        confirmation.actionTitle
            = tandrel::tr(QStringLiteral("Detener y eliminar"), QStringLiteral("Stop and Delete"));
    }
    confirmation.cancelTitle = tandrel::tr(QStringLiteral("Cancelar"), QStringLiteral("Cancel"));
    confirmation.parent = window();
    if (!confirm(confirmation))
        return;
    if (running) {
        stopThen([row = QPointer<SpaceRow>(this), store = QPointer<Store>(m_store), space = m_space,
                     parent = QPointer<QWidget>(window())] {
            if (store)
                deleteAndReport(*store, space, row, parent);
        });
        return;
    }
    deleteAndReport(*m_store, m_space, this, window());
}

void SpaceRow::deleteAndReport(Store &store, const SpaceInfo &space, SpaceRow *row, QWidget *parent)
{
    // The rescan replaces the row; what the alert needs is copied first.
    const RemovalReport report = store.deleteSpace(space);
    if (row)
        Q_EMIT row->deleted(space.name, report.isComplete());
    if (!report.isComplete())
        inform({ QMessageBox::Warning,
            tandrel::tr(QStringLiteral("Parte de la instancia se conservó"),
                QStringLiteral("Part of the instance was kept")),
            report.message(), parent });
}

void SpaceRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style::fillRounded(
        painter, QRectF(rect()), 12, style::withAlpha(style::primaryText(palette()), m_backgroundOpacity));
}

void SpaceRow::enterEvent(QEnterEvent *event)
{
    animateBackground(hoverOpacity);
    QWidget::enterEvent(event);
}

void SpaceRow::leaveEvent(QEvent *event)
{
    animateBackground(restingOpacity);
    QWidget::leaveEvent(event);
}

void SpaceRow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateColors();
    QWidget::changeEvent(event);
}

void SpaceRow::animateBackground(qreal to)
{
    m_animation->stop();
    m_animation->setStartValue(m_backgroundOpacity);
    m_animation->setEndValue(to);
    m_animation->start();
}

void SpaceRow::updateColors()
{
    style::setTextColor(m_target, style::secondaryText(palette()));
    style::setTextColor(m_state, style::secondaryText(palette()));
    style::setTextColor(m_size, style::secondaryText(palette()));
    const QColor destructive = style::destructiveText(palette());
    QPalette deletePalette = m_delete->palette();
    deletePalette.setColor(QPalette::Active, QPalette::ButtonText, destructive);
    deletePalette.setColor(QPalette::Inactive, QPalette::ButtonText, destructive);
    m_delete->setPalette(deletePalette);
    m_open->setIcon(QIcon(symbolPixmap(Symbol::OpenApp, style::onAccent(), 11, devicePixelRatioF())));
    m_reveal->setIcon(symbolIcon(Symbol::Folder, 11));
    m_delete->setIcon(QIcon(symbolPixmap(Symbol::Trash, destructive, 11, devicePixelRatioF())));
}

} // namespace tandrel
