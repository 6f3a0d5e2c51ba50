#pragma once

#include <QHashFunctions>
#include <QString>
#include <QUrl>

#include <functional>

namespace tandrel {

// An application bundle found on disk. The URL is the only stored field.
struct InstalledApp
{
    QUrl url;

    // The plain path, which keys lists of applications.
    QString id() const;
    // The file name without its last extension: "Big.Tool.app" gives "Big.Tool".
    QString name() const;

    friend bool operator==(const InstalledApp &a, const InstalledApp &b) { return a.url == b.url; }
};

inline size_t qHash(const InstalledApp &app, size_t seed = 0) noexcept
{
    return qHash(app.url, seed);
}

// Plain file-system path of a file URL, without a trailing separator.
QString plainPath(const QUrl &url);

// The last path component without its last extension.
QString baseNameWithoutExtension(const QString &path);

} // namespace tandrel

template<>
struct std::hash<tandrel::InstalledApp>
{
    size_t operator()(const tandrel::InstalledApp &app) const noexcept { return qHash(app); }
};
