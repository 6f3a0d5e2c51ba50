# Shared by the scripts: the repository root and CMake's extra arguments.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cmake_extra=()
if [ "$(uname -s)" = Darwin ] && command -v brew >/dev/null 2>&1; then
    cmake_extra+=("-DCMAKE_PREFIX_PATH=$(brew --prefix qt);$(brew --prefix libplist)")
fi
