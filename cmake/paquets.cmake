# SPDX-License-Identifier: MIT
# The packages, made in the build tree by `cpack -G DEB` (the executable,
# for Debian and its derivatives) and `cpack -G TGZ` (the static executable,
# for any Linux of this architecture).
set(CPACK_PACKAGE_NAME brasse-adn)
set(CPACK_PACKAGE_VENDOR "the brasse_adn authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write FASTA files of random DNA sequences")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

# The architecture's name in each package's: Debian's, RPM's, and for the
# static archive the machine's as `uname -m` says it (32-bit ARM: armv7l, the
# oldest its code runs on). By multiarch tuple, which CMake finds on Debian
# and the toolchain files set: cpack would otherwise name a cross build's
# packages after the machine it runs on.
set(noms_x86_64-linux-gnu    amd64 x86_64  x86_64)
set(noms_aarch64-linux-gnu   arm64 aarch64 aarch64)
set(noms_arm-linux-gnueabihf armhf armv7hl armv7l)
set(noms_s390x-linux-gnu     s390x s390x   s390x)
set(noms_i386-linux-gnu      i386  i686    i686)
set(BRASSE_ADN_MACHINE ${CMAKE_SYSTEM_PROCESSOR})
if(DEFINED noms_${CMAKE_LIBRARY_ARCHITECTURE})
  list(GET noms_${CMAKE_LIBRARY_ARCHITECTURE} 0 CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
  list(GET noms_${CMAKE_LIBRARY_ARCHITECTURE} 1 CPACK_RPM_PACKAGE_ARCHITECTURE)
  list(GET noms_${CMAKE_LIBRARY_ARCHITECTURE} 2 BRASSE_ADN_MACHINE)
elseif(CMAKE_CROSSCOMPILING)
  message(WARNING "no package names for \"${CMAKE_LIBRARY_ARCHITECTURE}\": "
                  "the packages would be named after this machine")
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BRASSE_ADN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The extended description; CPack puts the summary before it, a space before
# each line and a dot on the empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "brasse_adn writes alea.seq, a file of random DNA sequences in FASTA
layout, to test and benchmark programs that read such files. Given the
length of each sequence and their number, it writes a header line >Seq0,
>Seq1, ... and one unwrapped line of letters from A, C, T and G for each.

The letters are those of the C library's rand seeded with the time in
whole seconds: runs started within the same second with the same
arguments write the same file, byte for byte, on every machine. Files of
gigabytes, or of millions of short records, are written about as fast as
the kernel takes their bytes. A failed write is never reported as
success.")

# The RPM package, for Fedora, RHEL and their derivatives, from the same
# files as the Debian one: brasse-adn-<version>-1.<arch>.rpm.
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP "Applications/Engineering")
set(CPACK_RPM_PACKAGE_SUMMARY "Write FASTA files of random DNA sequences")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_RPM_PACKAGE_VENDOR "${CPACK_PACKAGE_VENDOR}")
# rpmbuild takes the Packager tag, and a build made again the same, from
# these (SOURCE_DATE_EPOCH: paquets_config.cmake.in); it strips the
# executable further with the build's own tools, which read its architecture.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${BRASSE_ADN_MAINTAINER}
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define __strip ${CMAKE_STRIP}
%define __objdump ${CMAKE_OBJDUMP}")
set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_BINARY_DIR}/documents/changelog.rpm)
# The directories of the file system are the system's, not the package's.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/share/man /usr/share/man/man1 /usr/share/man/fr /usr/share/man/fr/man1)
set(CPACK_RPM_USER_FILELIST "%lang(fr) /usr/share/man/fr/man1/brasse_adn.1.gz")

# Each generator packs its own component (see paquets_config.cmake.in).
configure_file(${PROJECT_SOURCE_DIR}/cmake/paquets_config.cmake.in
               ${PROJECT_BINARY_DIR}/paquets_config.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/paquets_config.cmake)
include(CPack)
