#include "model/SpaceInfo.h"

#include "model/InstalledApp.h"

namespace tandrel {

QString SpaceInfo::id() const
{
    return plainPath(url);
}

} // namespace tandrel
