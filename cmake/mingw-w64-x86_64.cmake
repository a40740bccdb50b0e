# Cross-compiling for 64-bit Windows with mingw-w64 (Debian package mingw-w64).
#
# The "-posix" compilers use the winpthreads threading model, which gives std::thread and
# std::mutex; everything is linked statically (C++ runtime, libgcc, winpthreads), so the DLL and
# the programs import nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(AURALITH_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${AURALITH_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${AURALITH_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${AURALITH_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${AURALITH_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
