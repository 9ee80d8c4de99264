# SPDX-License-Identifier: MIT
# Cross build for 32-bit ARM with Debian's cross compiler (g++-arm-linux-gnueabihf);
# GoogleTest comes from libgtest-dev:armhf.
#   cmake -S . -B build-arm-linux-gnueabihf -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake
set(processeur arm)
set(triplet arm-linux-gnueabihf)
set(multiarch arm-linux-gnueabihf)
set(qemu arm)
include(${CMAKE_CURRENT_LIST_DIR}/croisee.cmake)
