#include "model/InstalledApp.h"

namespace tandrel {

QString plainPath(const QUrl &url)
{
    QString path = url.toLocalFile();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString baseNameWithoutExtension(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QString fileName = trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

InstalledApp::InstalledApp(const QUrl &url)
{
    auto *derived = new Derived;
    derived->url = url;
    derived->id = plainPath(url);
    derived->name = baseNameWithoutExtension(derived->id);
    m_derived.reset(derived);
}

InstalledApp::InstalledApp(const QUrl &url, const QString &name)
{
    auto *derived = new Derived;
    derived->url = url;
    derived->id = plainPath(url);
    derived->name = name;
    m_derived.reset(derived);
}

const InstalledApp::Derived &InstalledApp::empty()
{
    static const Derived none;
    return none;
}

} // namespace tandrel
