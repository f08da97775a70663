# Cross build for 64-bit Windows with Debian's mingw-w64 compilers:
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DBULKON_WITH_QT=OFF -DBULKON_WITH_BENCH=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BULKON_MINGW_TRIPLET x86_64-w64-mingw32)
# The "-posix" variants: the plain names are the win32-thread build of the compiler, whose
# standard library has no std::mutex or std::thread (GoogleTest needs them).
set(CMAKE_C_COMPILER ${BULKON_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BULKON_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BULKON_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BULKON_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in statically: a program that misses one of the compiler's DLLs does
# not start under Wine and fails with nothing but exit code 53.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
