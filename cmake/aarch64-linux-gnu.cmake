# SPDX-License-Identifier: MIT
# Cross build for aarch64 with Debian's cross compiler (g++-aarch64-linux-gnu);
# GoogleTest comes from libgtest-dev:arm64.
#   cmake -S . -B build-aarch64-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(processeur aarch64)
set(triplet aarch64-linux-gnu)
set(multiarch aarch64-linux-gnu)
set(qemu aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/croisee.cmake)
