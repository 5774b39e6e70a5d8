# The toolchain of the shipped gen_tunewire.dll: the same cross-GCC in its
# win32 thread-model variant. Its libstdc++ sits on Win32 threads directly, so
# the DLL links no winpthreads, whose imports (thread contexts, process
# opening, GetTickCount64) would keep it from loading on Windows XP.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-i686.cmake)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
