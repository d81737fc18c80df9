# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX thread
# model, for std::thread and std::mutex). Programs are linked statically, so
# sizewalk.exe runs without any MinGW DLL beside it.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SIZEWALK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SIZEWALK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SIZEWALK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SIZEWALK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SIZEWALK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine when it is there.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(SIZEWALK_WINE wine)
    if(SIZEWALK_WINE)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${SIZEWALK_WINE})
    endif()
endif()
