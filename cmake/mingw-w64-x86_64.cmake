# Cross-builds Windows x86-64 programs with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64-posix): the POSIX thread model, which std::thread needs. Programs built
# here run on Linux through Wine (package wine64), which CMake uses to run the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELLORAN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELLORAN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELLORAN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELLORAN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELLORAN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Linked statically (the C++ runtime and winpthreads included), so the executable runs without
# any DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Debian installs Wine's loader outside PATH; a plain "wine" wrapper may be there instead.
find_program(VELLORAN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VELLORAN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELLORAN_WINE})
endif()
