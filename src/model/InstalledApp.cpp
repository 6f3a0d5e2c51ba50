#include "model/InstalledApp.h"

#include <algorithm>

namespace tandrel {

QString withoutTrailingSeparators(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString plainPath(const QUrl &url)
{
    return withoutTrailingSeparators(url.toLocalFile());
}

QString baseNameWithoutExtension(const QString &path)
{
    const QString trimmed = withoutTrailingSeparators(path);
    const QString fileName = trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

bool hasAppExtension(const QString &path)
{
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && QStringView(fileName).mid(dot + 1) == QLatin1String("app");
}

bool hasControlCharacters(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029;
    });
}

InstalledApp::InstalledApp(const QUrl &url)
{
    auto *derived = new Derived;
    derived->url = url;
    derived->id = plainPath(url);
    derived->name = baseNameWithoutExtension(derived->id);
    m_derived.reset(derived);
}

InstalledApp::InstalledApp(const QUrl &url, const QString &name, const QString &keywords)
{
    auto *derived = new Derived;
    derived->url = url;
    derived->id = plainPath(url);
    derived->name = name;
    derived->keywords = keywords;
    m_derived.reset(derived);
}

const InstalledApp::Derived &InstalledApp::empty()
{
    static const Derived none;
    return none;
}

} // namespace tandrel
