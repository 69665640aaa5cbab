# The same sources as 64-bit programs, for tests on a kernel that cannot start
# 32-bit x86 programs (tools/test.sh picks it there); never shipped.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
