#pragma once

#include "model/TandrelError.h"

namespace tandrel {

// The refusals both roads of creation give, in the language in force.
TandrelError unreadableAppError();
TandrelError existingNameError();

} // namespace tandrel
