#pragma once

#include <QExplicitlySharedDataPointer>
#include <QHashFunctions>
#include <QSharedData>
#include <QString>
#include <QUrl>

#include <functional>

namespace tandrel {

// An installed application (a bundle, a desktop entry), identified by its URL alone. The path and the
// name are derived from the URL once, when the value is made: lists of thousands of
// apps are filtered and sorted by name at every keystroke and every refresh. The three
// live in one immutable block that copies share, so a copy costs what a QUrl copy does,
// lists move it as plain bytes, and any thread may read it.
class InstalledApp
{
public:
    InstalledApp() = default;
    explicit InstalledApp(const QUrl &url);
    // An app whose name is not its file's (a desktop entry's own localised Name), with the
    // other words it is found by (its generic name and keywords), one per line.
    InstalledApp(const QUrl &url, const QString &name, const QString &keywords = {});

    const QUrl &url() const { return m_derived ? m_derived->url : empty().url; }
    // The plain path, which keys lists of applications.
    const QString &id() const { return m_derived ? m_derived->id : empty().id; }
    // The file name without its last extension: "Big.Tool.app" gives "Big.Tool"; for a
    // desktop entry, the name it gives itself.
    const QString &name() const { return m_derived ? m_derived->name : empty().name; }
    const QString &keywords() const { return m_derived ? m_derived->keywords : empty().keywords; }

    friend bool operator==(const InstalledApp &a, const InstalledApp &b)
    {
        return a.m_derived == b.m_derived || a.url() == b.url();
    }

private:
    struct Derived : QSharedData
    {
        QUrl url;
        QString id;
        QString name;
        QString keywords;
    };
    static const Derived &empty();

    QExplicitlySharedDataPointer<const Derived> m_derived;
};

inline size_t qHash(const InstalledApp &app, size_t seed = 0) noexcept
{
    return qHash(app.url(), seed);
}

// The path without trailing separators ("/" stays "/").
QString withoutTrailingSeparators(QString path);

// Plain file-system path of a file URL, without a trailing separator.
QString plainPath(const QUrl &url);

// The last path component without its last extension.
QString baseNameWithoutExtension(const QString &path);

// The path's last extension equals "app" exactly: "Mail.APP" and "Mail" are not bundles.
bool hasAppExtension(const QString &path);

// Control characters (U+0000–U+001F, U+007F–U+009F) and the line and paragraph separators.
bool hasControlCharacters(const QString &text);

} // namespace tandrel

Q_DECLARE_TYPEINFO(tandrel::InstalledApp, Q_RELOCATABLE_TYPE);

template <> struct std::hash<tandrel::InstalledApp>
{
    size_t operator()(const tandrel::InstalledApp &app) const noexcept { return qHash(app); }
};
