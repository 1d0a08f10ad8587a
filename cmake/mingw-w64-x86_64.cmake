# Cross build for 64-bit Windows with mingw-w64: a test build only, so that the Windows suite runs
# under 64-bit Wine where no 32-bit code runs. What ships is the i686 build.
set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
