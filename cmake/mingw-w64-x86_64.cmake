# mingw-w64-x86_64.cmake -- CMake toolchain for 64-bit Windows with Debian's mingw-w64 (posix threads).
# Libraries are looked up in MW_WIN_DEPS (the static dependency builds) and the mingw-w64 sysroot only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MW_WIN_HOST x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${MW_WIN_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MW_WIN_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${MW_WIN_HOST}-windres)

if(DEFINED ENV{MW_WIN_DEPS})
  set(MW_WIN_DEPS $ENV{MW_WIN_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${MW_WIN_HOST} ${MW_WIN_DEPS})
set(CMAKE_PREFIX_PATH ${MW_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers from the dependency builds only, never from the build machine's libraries.
if(MW_WIN_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} ${MW_WIN_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
