#include "ui/Transfers.h"

#include "l10n/Tr.h"
#include "model/Store.h"
#include "ui/Confirmation.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLocale>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>

#include <memory>

namespace tandrel {
namespace {

FileAsker &installedFileAsker()
{
    static FileAsker asker;
    return asker;
}

QString askForFile(const FileQuestion &question)
{
    if (installedFileAsker())
        return installedFileAsker()(question);
    const QString filter
        = tandrel::tr(QStringLiteral("Instancias de Tandrel"), QStringLiteral("Tandrel instances"))
        + QStringLiteral(" (*.tar.zst *.tzst *.tar *.tar.gz *.tgz *.tar.xz *.tar.bz2)");
    return question.save
        ? QFileDialog::getSaveFileName(question.parent, question.title, question.suggested, filter)
        : QFileDialog::getOpenFileName(question.parent, question.title, question.suggested, filter);
}

QString sizeText(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

// A failure, told; a cancel needs no telling.
void tellFailure(QWidget *parent, const QString &title, const QString &error)
{
    if (!error.isEmpty() && error != transferCancelledText())
        inform({ QMessageBox::Warning, title, error, parent });
}

} // namespace

void setFileAsker(FileAsker asker)
{
    installedFileAsker() = std::move(asker);
}

void runTransfer(QWidget *parent, const QString &title, std::function<void(const Transfer &)> work,
    std::function<void(const QString &error)> done)
{
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    auto *dialog = new QProgressDialog(parent);
    dialog->setWindowTitle(title);
    dialog->setLabelText(title);
    dialog->setAccessibleName(title);
    dialog->setCancelButtonText(tandrel::tr(QStringLiteral("Cancelar"), QStringLiteral("Cancel")));
    dialog->setRange(0, 1000);
    dialog->setMinimumDuration(300);
    dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setValue(0);
    // Cancel asks the copy to stop; the dialog stays until the copy has undone itself.
    QObject::connect(dialog, &QProgressDialog::canceled, dialog, [cancelled, dialog] {
        cancelled->store(true);
        dialog->setLabelText(tandrel::tr(QStringLiteral("Cancelando…"), QStringLiteral("Cancelling…")));
        dialog->show();
    });
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    const QPointer<QProgressDialog> shown(dialog);
    Transfer transfer;
    transfer.cancelled = cancelled.get();
    transfer.progress = [shown, clock, cancelled, title](qint64 done, qint64 total) {
        QMetaObject::invokeMethod(qApp, [shown, clock, cancelled, title, done, total] {
            if (!shown || cancelled->load())
                return;
            const qint64 elapsed = clock->elapsed();
            QString text
                = title + QLatin1Char('\n') + sizeText(done) + QStringLiteral(" / ") + sizeText(total);
            if (done > 0 && elapsed > 2000 && total > done)
                text += tandrel::tr(
                    QStringLiteral(" — quedan unos %1 s"), QStringLiteral(" — about %1 s left"))
                            .arg((total - done) * elapsed / done / 1000 + 1);
            shown->setLabelText(text);
            shown->setValue(total > 0 ? int(done * 1000 / total) : 0);
        });
    };
    QThread *thread
        = QThread::create([work = std::move(work), done = std::move(done), transfer, cancelled, shown] {
              QString error;
              try {
                  work(transfer);
              } catch (const std::exception &failure) {
                  error = QString::fromUtf8(failure.what());
              }
              QMetaObject::invokeMethod(qApp, [done, error, shown] {
                  if (shown)
                      shown->deleteLater();
                  done(error);
              });
          });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void exportInstance(QWidget *parent, const SpaceInfo &space)
{
    const QString title
        = tandrel::tr(QStringLiteral("Exportar ") + space.name, QStringLiteral("Export ") + space.name);
    const QString file = askForFile({ title,
        QDir::homePath() + QLatin1Char('/') + QString(space.name).replace(QLatin1Char('/'), QLatin1Char('-'))
            + QStringLiteral(".tar.zst"),
        true, parent });
    if (file.isEmpty())
        return;
    const QPointer<QWidget> window(parent);
    runTransfer(
        parent, title, [space, file](const Transfer &transfer) { Store::exportSpace(space, file, transfer); },
        [window](const QString &error) {
            tellFailure(window,
                tandrel::tr(QStringLiteral("No se pudo exportar la instancia"),
                    QStringLiteral("Couldn't export the instance")),
                error);
        });
}

void duplicateInstance(QWidget *parent, Store &store, const SpaceInfo &space)
{
    const QString appName = space.name.section(QStringLiteral(" - "), 0, 0);
    NameQuestion question;
    question.title
        = tandrel::tr(QStringLiteral("Duplicar la instancia"), QStringLiteral("Duplicate the Instance"));
    question.label
        = tandrel::tr(QStringLiteral("Nombre de la copia de \"") + space.name + QStringLiteral("\":"),
            QStringLiteral("Name of the copy of \"") + space.name + QStringLiteral("\":"));
    question.name = Store::freeInstanceName(appName, space.instanceName.value_or(space.name));
    question.parent = parent;
    const std::optional<QString> name = askForName(question);
    if (!name)
        return;
    const QPointer<QWidget> window(parent);
    const QPointer<Store> target(&store);
    runTransfer(
        parent, question.title,
        [space, name = *name](const Transfer &transfer) { Store::duplicateSpace(space, name, transfer); },
        [window, target](const QString &error) {
            if (target)
                target->scanSpaces();
            tellFailure(window,
                tandrel::tr(QStringLiteral("No se pudo duplicar la instancia"),
                    QStringLiteral("Couldn't duplicate the instance")),
                error);
        });
}

void importInstance(QWidget *parent, Store &store)
{
    const QString title
        = tandrel::tr(QStringLiteral("Importar una instancia"), QStringLiteral("Import an Instance"));
    const QString failedTitle = tandrel::tr(
        QStringLiteral("No se pudo importar la instancia"), QStringLiteral("Couldn't import the instance"));
    const QString file = askForFile({ title, QDir::homePath(), false, parent });
    if (file.isEmpty())
        return;
    Store::ArchiveFacts facts;
    try {
        facts = Store::archiveFacts(file);
    } catch (const std::exception &error) {
        tellFailure(parent, failedTitle, QString::fromUtf8(error.what()));
        return;
    }
    // A name already taken is changed only with the user's consent.
    const QString name = Store::freeInstanceName(facts.appName, facts.name);
    if (name != facts.name) {
        Confirmation question;
        question.icon = QMessageBox::Question;
        question.message = tandrel::tr(QStringLiteral("Ya hay una instancia \"") + facts.appName
                + QStringLiteral(" - ") + facts.name + QStringLiteral("\"."),
            QStringLiteral("There is an instance \"") + facts.appName + QStringLiteral(" - ") + facts.name
                + QStringLiteral("\" already."));
        question.informativeText = tandrel::tr(QStringLiteral("La importada se llamará \"") + name
                + QStringLiteral("\"; la que ya existe no cambia."),
            QStringLiteral("The imported one will be named \"") + name
                + QStringLiteral("\"; the existing one stays as it is."));
        question.actionTitle = tandrel::tr(QStringLiteral("Importar como \"") + name + QLatin1Char('"'),
            QStringLiteral("Import as \"") + name + QLatin1Char('"'));
        question.cancelTitle = tandrel::tr(QStringLiteral("Cancelar"), QStringLiteral("Cancel"));
        question.parent = parent;
        if (!confirm(question))
            return;
    }
    const QPointer<QWidget> window(parent);
    const QPointer<Store> target(&store);
    runTransfer(
        parent, title, [file, name](const Transfer &transfer) { Store::importSpace(file, name, transfer); },
        [window, target, failedTitle](const QString &error) {
            if (target)
                target->scanSpaces();
            tellFailure(window, failedTitle, error);
        });
}

} // namespace tandrel
