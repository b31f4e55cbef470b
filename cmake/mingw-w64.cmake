# Cross-builds datmend.exe for 64-bit Windows with the MinGW-w64 compilers of a Linux host;
# the tests run under Wine. Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
# The "-posix" thread model: GoogleTest needs std::thread and std::mutex.
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A static link leaves the program with KERNEL32 and msvcrt as its only imports.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest and test discovery run the Windows binaries through Wine.
find_program(DATMEND_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT DATMEND_WINE)
  find_program(DATMEND_WINE NAMES wine64 wine)
endif()
if(DATMEND_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DATMEND_WINE})
endif()
