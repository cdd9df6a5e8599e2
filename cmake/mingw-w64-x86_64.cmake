# Cross-compiling for 64-bit Windows with Debian's mingw-w64 toolchain.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
# The POSIX thread model: the C++ library has std::thread and std::mutex
# (GoogleTest and Google Benchmark need them); winpthread is linked statically.
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# Libraries and headers come from the mingw sysroot and from the prefix of
# statically built libraries (VEXELOR_WIN_DEPS, see scripts/build-windows.sh);
# programs run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
if(DEFINED ENV{VEXELOR_WIN_DEPS})
  set(VEXELOR_WIN_DEPS "$ENV{VEXELOR_WIN_DEPS}" CACHE PATH "Prefix of the static Windows libraries")
endif()
if(VEXELOR_WIN_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${VEXELOR_WIN_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only static libraries: the programs must import nothing but system DLLs.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# zlib: the static archive, never the import library of zlib1.dll beside it
# (".dll.a" ends in ".a" too, and FindZLIB would take it).
set(ZLIB_LIBRARY /usr/${MINGW_TRIPLET}/lib/libz.a CACHE FILEPATH "Static zlib of the mingw sysroot")
