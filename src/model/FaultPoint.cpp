#include "model/FaultPoint.h"

#include <QByteArray>

#include <csignal>

namespace tandrel {

void faultPoint(const char *step)
{
    if (qgetenv("TANDREL_FAULT") == step)
        std::raise(SIGKILL);
}

} // namespace tandrel
