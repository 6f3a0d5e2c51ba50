#include "app/Uninstall.h"

#include "l10n/Tr.h"
#include "model/Store.h"
#include "platform/FileSystem.h"
#include "ui/Confirmation.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace tandrel {
namespace {

void removeIgnoringFailure(const QString &path)
{
    try {
        fs::removeItem(path); // links inside are removed as links, never followed
    } catch (const FileSystemError &) {
    }
}

} // namespace

UninstallSteps defaultUninstallSteps()
{
    UninstallSteps steps;
    QString path = QCoreApplication::applicationFilePath();
#ifdef Q_OS_MACOS
    // .../Tandrel.app/Contents/MacOS/Tandrel: the bundle is three levels up.
    QDir bundle(QCoreApplication::applicationDirPath());
    if (bundle.cdUp() && bundle.cdUp() && bundle.dirName().endsWith(QLatin1String(".app")))
        path = bundle.absolutePath();
#endif
    steps.applicationPath = path;
    steps.trashApplication = [](const QString &bundle) {
        try {
            fs::trashItem(bundle);
        } catch (const FileSystemError &) {
        }
    };
    steps.quit = [] {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    };
    return steps;
}

QString uninstallDetails(const QString &spacesDir, const QString &dataRoot)
{
    const QStringList spanish{
        QStringLiteral("Se eliminará todo lo que Tandrel creó en tu Mac:"),
        QString(),
        QStringLiteral("• Todas las instancias duplicadas (") + spacesDir + QStringLiteral(")"),
        QStringLiteral("• Sus datos y sesiones (") + dataRoot + QStringLiteral(")"),
        QStringLiteral("• Tandrel.app se moverá a la Papelera"),
        QString(),
        QStringLiteral("Esta acción no se puede deshacer."),
    };
    const QStringList english{
        QStringLiteral("Everything Tandrel created on your Mac will be removed:"),
        QString(),
        QStringLiteral("• All duplicated instances (") + spacesDir + QStringLiteral(")"),
        QStringLiteral("• Their data and sessions (") + dataRoot + QStringLiteral(")"),
        QStringLiteral("• Tandrel.app will be moved to the Trash"),
        QString(),
        QStringLiteral("This cannot be undone."),
    };
    return tandrel::tr(spanish.join(QLatin1Char('\n')), english.join(QLatin1Char('\n')));
}

bool uninstall(const UninstallSteps &steps, QWidget *parent)
{
    const QString spacesDir = Store::spacesDir();
    const QString dataRoot = Store::dataRoot();
    Confirmation confirmation;
    confirmation.icon = QMessageBox::Critical;
    confirmation.message = tandrel::tr(QStringLiteral("¿Desinstalar Tandrel?"), QStringLiteral("Uninstall Tandrel?"));
    confirmation.informativeText = uninstallDetails(spacesDir, dataRoot);
    confirmation.actionTitle = tandrel::tr(QStringLiteral("Desinstalar"), QStringLiteral("Uninstall"));
    confirmation.cancelTitle = tandrel::tr(QStringLiteral("Cancelar"), QStringLiteral("Cancel"));
    confirmation.parent = parent;
    if (!confirm(confirmation))
        return false;
    removeIgnoringFailure(spacesDir);
    removeIgnoringFailure(dataRoot);
    if (steps.trashApplication)
        steps.trashApplication(steps.applicationPath);
    if (steps.quit)
        steps.quit();
    return true;
}

} // namespace tandrel
