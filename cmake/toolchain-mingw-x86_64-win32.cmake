# The x86-64 test vehicle's DLL, built like the shipped one: the win32
# thread-model variant of the same cross-GCC, so the two differ in nothing
# but the target.
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-x86_64.cmake)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
