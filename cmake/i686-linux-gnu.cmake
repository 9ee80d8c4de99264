# SPDX-License-Identifier: MIT
# Cross build for 32-bit x86 with Debian's cross compiler (g++-i686-linux-gnu);
# GoogleTest comes from libgtest-dev:i386.
#   cmake -S . -B build-i686-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/i686-linux-gnu.cmake
set(processeur i686)
set(triplet i686-linux-gnu)
set(multiarch i386-linux-gnu)
set(qemu i386)
include(${CMAKE_CURRENT_LIST_DIR}/croisee.cmake)
