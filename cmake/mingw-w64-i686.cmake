# Cross build for 32-bit Windows with mingw-w64: the programs that ship. 32-bit because the
# setup-toolkit libraries on customers' machines are 32-bit.
set(mingw_triple i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
