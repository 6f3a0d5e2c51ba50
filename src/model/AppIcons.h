#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>

namespace tandrel {

// The icon for anything without one of its own: a neutral rounded square with a simple
// mark, 512 × 512, drawn here so that no icon theme is needed. Never null.
QImage genericApplicationIcon();

// The icon theme apps' icons are looked up in, as Qt's platform theme names it: set on
// the main thread at start (Qt's lookup belongs there), read by the readers on any
// thread. Empty until set, which leaves the desktop's base theme alone.
void setIconThemeName(const QString &name);
QString iconThemeName();

// The icon of an app or instance, read now: the platform's own icon, else the one its road
// reads from its files (a bundle's ICNS, a desktop entry's Icon), else the generic icon.
// Never null. Main thread (the platform's icon service lives there).
QImage iconForFile(const QString &path);

// Icons for the window's lists, read in the background so that no file an app ships
// (however large or slow) is read on the main thread. Lives on the main thread.
class IconCache : public QObject
{
    Q_OBJECT
public:
    // Cached images are scaled down to this side: enough for every list at 2× density.
    static constexpr int maxSide = 256;

    static IconCache &shared();

    // The icon when it has been read; otherwise a null image, the read starts in the
    // background, and iconLoaded(path) follows on the main thread.
    QImage icon(const QString &path);
    // Forgets every icon, so a refresh shows icons that changed on disk.
    void clear();
    // Forgets one icon, which was drawn again (a new badge).
    void forget(const QString &path);

Q_SIGNALS:
    void iconLoaded(const QString &path);

private:
    IconCache() = default;
    void store(const QString &path, QImage image, quint64 generation);

    QCache<QString, QImage> m_icons { 16 * 1024 * 1024 }; // pixels
    QSet<QString> m_pending;
    quint64 m_generation = 0;
};

} // namespace tandrel
