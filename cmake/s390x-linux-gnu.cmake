# SPDX-License-Identifier: MIT
# Cross build for s390x, a big-endian machine, with Debian's cross compiler
# (g++-s390x-linux-gnu); GoogleTest comes from libgtest-dev:s390x.
#   cmake -S . -B build-s390x-linux-gnu -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
set(processeur s390x)
set(triplet s390x-linux-gnu)
set(multiarch s390x-linux-gnu)
set(qemu s390x)
include(${CMAKE_CURRENT_LIST_DIR}/croisee.cmake)
