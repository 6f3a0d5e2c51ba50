#pragma once

#include "platform/Workspace.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QStringList>
#include <QUrl>

namespace tandrel::test {

// A workspace that launches and reveals nothing: it records what it was asked and
// gives one fixed image for every icon. install() makes it the shared workspace
// until it is destroyed.
class RecordingWorkspace final : public Workspace
{
public:
    static QColor iconColor() { return QColor(0x2E, 0x86, 0xC1); }

    RecordingWorkspace() { m_icon.fill(iconColor()); }
    ~RecordingWorkspace() override
    {
        if (m_installed)
            Workspace::setShared(nullptr);
    }
    RecordingWorkspace(const RecordingWorkspace &) = delete;
    RecordingWorkspace &operator=(const RecordingWorkspace &) = delete;

    void install()
    {
        Workspace::setShared(this);
        m_installed = true;
    }

    QImage iconForFile(const QString &path) override
    {
        iconRequests.append(path);
        return m_icon;
    }
    void openApplication(const QUrl &bundle, const QString &executable, const QStringList &arguments) override
    {
        opened.append(bundle);
        executables.append(executable);
        this->arguments.append(arguments);
    }
    bool openDesktopEntry(const QString &path, const EarlyExitHandler &, const QStringList &links) override
    {
        openApplication(QUrl::fromLocalFile(path), {}, links);
        return true;
    }
    void activateFileViewerSelecting(const QList<QUrl> &items) override { revealed.append(items); }

    QImage icon() const { return m_icon; }

    QStringList iconRequests;
    QList<QUrl> opened; // one bundle per call
    QStringList executables; // the executable passed with each
    QList<QStringList> arguments; // and its arguments (links, for an entry)
    QList<QList<QUrl>> revealed; // one list per call

private:
    QImage m_icon { 64, 64, QImage::Format_ARGB32_Premultiplied };
    bool m_installed = false;
};

} // namespace tandrel::test
