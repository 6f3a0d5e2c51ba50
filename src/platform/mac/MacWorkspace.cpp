// The workspace on macOS: the system draws bundle icons, and Launch Services opens
// bundles and reveals items through /usr/bin/open. Plain C++ and Qt only.
#include "platform/PlatformWorkspace.h"

#include <QAbstractFileIconProvider>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QProcess>
#include <QStringList>
#include <QThread>

#include <memory>

namespace tandrel {
namespace {

class MacWorkspace final : public Workspace
{
public:
    QImage iconForFile(const QString &path) override
    {
        // QAbstractFileIconProvider is the QtGui half of QFileIconProvider: without an
        // icon theme (none on macOS) it asks the platform theme, which draws the icon
        // the Finder shows. It keeps the core library free of QtWidgets, and Qt caches
        // the pixmaps it renders, so no cache of our own is needed here.
        // Pixmaps need the GUI application; without one (a command-line test) there is no
        // system icon to ask for.
        // Pixmaps belong to the main thread too: elsewhere (creating an instance in the
        // background) the caller reads the bundle's own icon instead.
        if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())
            || QThread::currentThread() != QCoreApplication::instance()->thread())
            return {};
        if (!m_provider)
            m_provider = std::make_unique<QAbstractFileIconProvider>();
        const QIcon icon = m_provider->icon(QFileInfo(path));
        const QImage image = icon.pixmap(QSize(1024, 1024)).toImage();
        return image;
    }

    void openApplication(const QUrl &bundle, const QString &, const QStringList &arguments) override
    {
        if (!bundle.isLocalFile())
            return;
        if (arguments.isEmpty()) {
            QProcess::startDetached(QStringLiteral("/usr/bin/open"), { bundle.toLocalFile() });
            return;
        }
        // A new copy of the launcher, which passes them on; a running browser hands them over.
        QProcess::startDetached(QStringLiteral("/usr/bin/open"),
            QStringList { QStringLiteral("-n"), bundle.toLocalFile(), QStringLiteral("--args") } + arguments);
    }

    void openLinksWith(const QUrl &bundle, const QString &, const QStringList &links) override
    {
        // Links reach here only as http(s) addresses, never read as one of open's options.
        if (bundle.isLocalFile())
            QProcess::startDetached(QStringLiteral("/usr/bin/open"),
                QStringList { QStringLiteral("-a"), bundle.toLocalFile() } + links);
    }

    void activateFileViewerSelecting(const QList<QUrl> &items) override
    {
        QStringList arguments { QStringLiteral("-R") };
        for (const QUrl &item : items) {
            if (item.isLocalFile())
                arguments.append(item.toLocalFile());
        }
        if (arguments.size() > 1)
            QProcess::startDetached(QStringLiteral("/usr/bin/open"), arguments);
    }

private:
    std::unique_ptr<QAbstractFileIconProvider> m_provider; // made on first use, in the GUI application
};

} // namespace

Workspace &platformWorkspace()
{
    static MacWorkspace workspace;
    return workspace;
}

} // namespace tandrel
