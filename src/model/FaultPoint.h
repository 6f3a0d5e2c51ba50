#pragma once

namespace tandrel {

// A seam for the crash tests: when TANDREL_FAULT names this step, the process is killed
// here, as a power cut or `kill -9` would. Does nothing otherwise.
void faultPoint(const char *step);

} // namespace tandrel
