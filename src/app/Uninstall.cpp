#include "app/Uninstall.h"

#include "l10n/Tr.h"
#include "model/OwnCopy.h"
#include "model/Store.h"
#include "model/TandrelError.h"
#include "ui/Confirmation.h"

#include <QApplication>

namespace tandrel {

UninstallSteps defaultUninstallSteps()
{
    UninstallSteps steps;
    steps.applicationCopy = ownCopyToTrash(
        hostPlatform(), QCoreApplication::applicationFilePath(), qEnvironmentVariable("APPIMAGE"));
    steps.trashApplication = &trashOwnCopy;
    steps.quit = [] {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    };
    return steps;
}

QString uninstallDetails(const QList<UninstallPlace> &places, bool trashesApplication)
{
    const QString spanishApp = trashesApplication
        ? QStringLiteral("• Tandrel.app se moverá a la Papelera")
        : QStringLiteral("• Tandrel seguirá instalado: desinstálalo con tu gestor de paquetes");
    const QString englishApp = trashesApplication
        ? QStringLiteral("• Tandrel.app will be moved to the Trash")
        : QStringLiteral("• Tandrel itself stays installed: remove it with your package manager");
#ifdef Q_OS_MACOS
    const QString spanishFirst = QStringLiteral("Se eliminará todo lo que Tandrel creó en tu Mac:");
    const QString englishFirst = QStringLiteral("Everything Tandrel created on your Mac will be removed:");
#else
    const QString spanishFirst = QStringLiteral("Se eliminará todo lo que Tandrel creó en este equipo:");
    const QString englishFirst
        = QStringLiteral("Everything Tandrel created on this computer will be removed:");
#endif
    QStringList spanish { spanishFirst, QString() };
    QStringList english { englishFirst, QString() };
    for (const UninstallPlace &place : places) {
        const bool instances = place.holds == UninstallPlace::Holds::Instances;
        const QString path = QStringLiteral(" (") + place.path + QLatin1Char(')');
        spanish << (instances ? QStringLiteral("• Todas las instancias duplicadas")
                              : QStringLiteral("• Sus datos y sesiones"))
                + path;
        english << (instances ? QStringLiteral("• All duplicated instances")
                              : QStringLiteral("• Their data and sessions"))
                + path;
    }
    spanish << spanishApp << QString() << QStringLiteral("Esta acción no se puede deshacer.");
    english << englishApp << QString() << QStringLiteral("This cannot be undone.");
    return tandrel::tr(spanish.join(QLatin1Char('\n')), english.join(QLatin1Char('\n')));
}

bool uninstall(const UninstallSteps &steps, QWidget *parent)
{
    QList<UninstallPlace> places;
    try {
        Store::home();
        places = Store::uninstallPlaces();
    } catch (const TandrelError &error) {
        inform({ QMessageBox::Critical, error.errorDescription(), QString(), parent });
        return false;
    }
    Confirmation confirmation;
    confirmation.icon = QMessageBox::Critical;
    confirmation.message
        = tandrel::tr(QStringLiteral("¿Desinstalar Tandrel?"), QStringLiteral("Uninstall Tandrel?"));
    confirmation.informativeText = uninstallDetails(places, steps.applicationCopy.has_value());
    confirmation.actionTitle = tandrel::tr(QStringLiteral("Desinstalar"), QStringLiteral("Uninstall"));
    confirmation.cancelTitle = tandrel::tr(QStringLiteral("Cancelar"), QStringLiteral("Cancel"));
    confirmation.parent = parent;
    if (!confirm(confirmation))
        return false;
    const RemovalReport report = Store::removeEverything();
    if (steps.applicationCopy && steps.trashApplication)
        steps.trashApplication(*steps.applicationCopy);
    if (!report.isComplete())
        inform({ QMessageBox::Warning,
            tandrel::tr(
                QStringLiteral("Algunas cosas se conservaron"), QStringLiteral("Some things were kept")),
            report.message(), parent });
    if (steps.quit)
        steps.quit();
    return true;
}

} // namespace tandrel
