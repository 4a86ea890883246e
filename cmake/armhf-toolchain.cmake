# Cross build for the 32-bit ARM target (Debian armhf) with crossbuild-essential-armhf,
# running the built programs and tests under qemu-arm.
#
#   scripts/fetch-armhf-sysroot build-armhf/sysroot
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake
#
# QX_ARMHF_SYSROOT names the sysroot (default: <build folder>/sysroot), filled with Debian's
# armhf packages by scripts/fetch-armhf-sysroot.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

if(NOT QX_ARMHF_SYSROOT)
  if(DEFINED ENV{QX_ARMHF_SYSROOT})
    set(QX_ARMHF_SYSROOT "$ENV{QX_ARMHF_SYSROOT}")
  else()
    set(QX_ARMHF_SYSROOT "${CMAKE_BINARY_DIR}/sysroot")
  endif()
endif()
get_filename_component(QX_ARMHF_SYSROOT "${QX_ARMHF_SYSROOT}" ABSOLUTE)
if(NOT EXISTS "${QX_ARMHF_SYSROOT}/lib/arm-linux-gnueabihf/libc.so.6")
  message(FATAL_ERROR "No armhf sysroot at ${QX_ARMHF_SYSROOT}: run scripts/fetch-armhf-sysroot "
                      "${QX_ARMHF_SYSROOT} first (or set QX_ARMHF_SYSROOT)")
endif()
# Try-compile projects get the same sysroot.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QX_ARMHF_SYSROOT)

# The cross compiler keeps its own C and C++ headers and libstdc++; libraries, their headers
# and CMake package files come from the sysroot.
set(CMAKE_SYSROOT "${QX_ARMHF_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH "${QX_ARMHF_SYSROOT}" /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Built programs run under user-mode emulation with the sysroot's loader and libraries.
# CTest puts the emulator before every test that is a target; a test that starts a built
# program itself (or runs one under `unshare -rn`) puts ${CMAKE_CROSSCOMPILING_EMULATOR}
# before it (empty on a native build). There is no binfmt handler to do it behind our back.
# glibc's iconv loads its converters from gconv modules: point it at the armhf ones.
find_program(QX_QEMU_ARM NAMES qemu-arm qemu-arm-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${QX_QEMU_ARM};-L;${QX_ARMHF_SYSROOT};-E;GCONV_PATH=${QX_ARMHF_SYSROOT}/usr/lib/arm-linux-gnueabihf/gconv")
