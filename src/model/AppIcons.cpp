#include "model/AppIcons.h"

#include "model/Roads.h"
#include "model/ThreadHandoff.h"
#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QMutex>
#include <QPainter>
#include <QPointer>
#include <QThreadPool>

namespace tandrel {
namespace {

QImage drawGenericIcon()
{
    constexpr int side = 512;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // The tile: the proportions of a system app icon, light neutral grey.
    const QRectF tile(50, 50, 412, 412);
    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    fill.setColorAt(0, QColor(0xF4, 0xF5, 0xF7));
    fill.setColorAt(1, QColor(0xD5, 0xD8, 0xDE));
    painter.setPen(QPen(QColor(0xAE, 0xB2, 0xBA), 4));
    painter.setBrush(fill);
    painter.drawRoundedRect(tile, 92, 92);

    // The mark: four rounded squares, the usual sign for "an application".
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x86, 0x8B, 0x96));
    constexpr qreal cell = 112;
    constexpr qreal gap = 28;
    const qreal origin = (side - 2 * cell - gap) / 2;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column)
            painter.drawRoundedRect(
                QRectF(origin + column * (cell + gap), origin + row * (cell + gap), cell, cell), 26, 26);
    }
    painter.end();
    return image;
}

QImage fitted(const QImage &image)
{
    if (image.width() <= IconCache::maxSide && image.height() <= IconCache::maxSide)
        return image;
    return image.scaled(
        IconCache::maxSide, IconCache::maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

qsizetype costOf(const QImage &image)
{
    return qMax<qsizetype>(1, qsizetype(image.width()) * image.height());
}

QMutex themeMutex;
QString themeName; // guarded by themeMutex

} // namespace

void setIconThemeName(const QString &name)
{
    const QMutexLocker locker(&themeMutex);
    themeName = name;
}

QString iconThemeName()
{
    const QMutexLocker locker(&themeMutex);
    return themeName;
}

QImage genericApplicationIcon()
{
    static const QImage icon = drawGenericIcon();
    return icon;
}

QImage iconForFile(const QString &path)
{
    QImage icon = Workspace::shared().iconForFile(path);
    if (icon.isNull())
        icon = roadFor(path).icon(path);
    return icon.isNull() ? genericApplicationIcon() : icon;
}

IconCache &IconCache::shared()
{
    static IconCache *cache = new IconCache; // lives as long as the process
    return *cache;
}

QImage IconCache::icon(const QString &path)
{
    if (const QImage *hit = m_icons.object(path))
        return *hit;
    if (m_pending.contains(path))
        return {};
    // The platform answers at once where it draws icons itself; bundles read from disk
    // are left to the background.
    const QImage platform = Workspace::shared().iconForFile(path);
    if (!platform.isNull()) {
        const QImage scaled = fitted(platform);
        m_icons.insert(path, new QImage(scaled), costOf(scaled));
        return scaled;
    }
    m_pending.insert(path);
    static const char toJob = 0;
    static const char toMain = 0;
    auto job = [path, generation = m_generation, cache = QPointer<IconCache>(this)] {
        receive(&toJob);
        QImage image = roadFor(path).icon(path);
        if (image.isNull())
            image = genericApplicationIcon();
        auto deliver = [path, generation, cache, image = std::move(image)]() mutable {
            receive(&toMain);
            if (cache)
                cache->store(path, std::move(image), generation);
        };
        handOff(&toMain, [&deliver] {
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(deliver), Qt::QueuedConnection);
        });
    };
    handOff(&toJob, [&job] { QThreadPool::globalInstance()->start(std::move(job)); });
    return {};
}

void IconCache::clear()
{
    m_icons.clear();
    m_pending.clear();
    ++m_generation;
}

void IconCache::forget(const QString &path)
{
    m_icons.remove(path);
    m_pending.remove(path);
}

void IconCache::store(const QString &path, QImage image, quint64 generation)
{
    if (generation != m_generation)
        return; // read before a refresh: it may be out of date
    m_pending.remove(path);
    image = fitted(image);
    const qsizetype cost = costOf(image);
    m_icons.insert(path, new QImage(std::move(image)), cost);
    Q_EMIT iconLoaded(path);
}

} // namespace tandrel
