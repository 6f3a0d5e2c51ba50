#include "platform/Workspace.h"

#include "platform/PlatformWorkspace.h"

namespace tandrel {
namespace {

Workspace *replacement = nullptr;

} // namespace

Workspace &Workspace::shared()
{
    return replacement ? *replacement : platformWorkspace();
}

void Workspace::setShared(Workspace *workspace)
{
    replacement = workspace;
}

} // namespace tandrel
