#include "model/Roads.h"

#include "model/bundle/BundleRoad.h"
#ifdef TANDREL_DESKTOP_ROAD
#include "model/desktop/DesktopRoad.h"
#endif

namespace tandrel {
namespace {

QList<const Road *> &replaced()
{
    static QList<const Road *> roads;
    return roads;
}

const QList<const Road *> &platformRoads()
{
    static const BundleRoad bundles;
#ifdef TANDREL_DESKTOP_ROAD
    static const DesktopRoad desktop;
    static const QList<const Road *> roads { &bundles, &desktop };
#else
    static const QList<const Road *> roads { &bundles };
#endif
    return roads;
}

} // namespace

const QList<const Road *> &roads()
{
    return replaced().isEmpty() ? platformRoads() : replaced();
}

const Road &roadFor(const QString &path)
{
    const QList<const Road *> &all = roads();
    for (const Road *road : all) {
        if (road->owns(path))
            return *road;
    }
    return *all.first();
}

void setRoads(QList<const Road *> replacement)
{
    replaced() = std::move(replacement);
}

} // namespace tandrel
