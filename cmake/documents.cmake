# SPDX-License-Identifier: MIT
# The manuals, the Debian changelog and copyright file, made from the sources
# at configure time, and where they are installed.

find_program(GZIP gzip REQUIRED)
set(documents ${PROJECT_BINARY_DIR}/documents)

# Compressed as Debian wants them: best ratio, no name or time stamp inside.
function(compresser source sortie)
  execute_process(COMMAND ${GZIP} -9n -c ${source} OUTPUT_FILE ${sortie} RESULT_VARIABLE statut)
  if(NOT statut EQUAL 0)
    message(FATAL_ERROR "gzip ${source}: ${statut}")
  endif()
endfunction()

function(date_debian iso sortie)  # 2026-12-08 -> Tue, 08 Dec 2026 00:00:00 +0000
  string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" _ "${iso}")
  set(annee ${CMAKE_MATCH_1})
  set(jour ${CMAKE_MATCH_3})
  set(a ${annee})
  math(EXPR m "1${CMAKE_MATCH_2} - 100")
  math(EXPR j "1${jour} - 100")
  # Sakamoto's day of the week, 0 for Sunday.
  set(decalages 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR k "${m} - 1")
  list(GET decalages ${k} decalage)
  if(m LESS 3)
    math(EXPR a "${a} - 1")
  endif()
  math(EXPR js "(${a} + ${a} / 4 - ${a} / 100 + ${a} / 400 + ${decalage} + ${j}) % 7")
  set(jours Sun Mon Tue Wed Thu Fri Sat)
  list(GET jours ${js} nom_jour)
  set(mois Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET mois ${k} nom_mois)
  set(${sortie} "${nom_jour}, ${jour} ${nom_mois} ${annee} 00:00:00 +0000" PARENT_SCOPE)
endfunction()

# The Debian changelog, from CHANGELOG.md: one entry per heading, its items
# as the entry's items; and the date of this version, for the manuals.
set(BRASSE_ADN_MAINTAINER "brasse_adn authors <brasse-adn@users.noreply.invalid>"
    CACHE STRING "Maintainer of the Debian package, \"name <address>\"")
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md lignes)
set(journal "")
set(entree "")
macro(clore_entree)
  if(entree)
    date_debian(${date_entree} date_rfc)
    string(APPEND journal "${entree}\n -- ${BRASSE_ADN_MAINTAINER}  ${date_rfc}\n\n")
    set(entree "")
  endif()
endmacro()
set(BRASSE_ADN_DATE "")
# The RPM changelog, from the same headings, newest first as RPM wants it.
set(journal_rpm "")
function(date_rpm iso sortie)  # 2026-12-08 -> Tue Dec 08 2026
  date_debian(${iso} rfc)
  string(REGEX MATCH "^([A-Za-z]+), ([0-9]+) ([A-Za-z]+) ([0-9]+)" _ "${rfc}")
  set(${sortie} "${CMAKE_MATCH_1} ${CMAKE_MATCH_3} ${CMAKE_MATCH_2} ${CMAKE_MATCH_4}" PARENT_SCOPE)
endfunction()
foreach(ligne IN LISTS lignes)
  if(ligne MATCHES "^## ([^ ]+) - ([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])$")
    clore_entree()
    set(date_entree ${CMAKE_MATCH_2})
    set(entree "brasse-adn (${CMAKE_MATCH_1}) unstable; urgency=medium\n\n")
    date_rpm(${CMAKE_MATCH_2} date_entree_rpm)
    if(journal_rpm)
      string(APPEND journal_rpm "\n")
    endif()
    string(APPEND journal_rpm "* ${date_entree_rpm} ${BRASSE_ADN_MAINTAINER} - ${CMAKE_MATCH_1}-1\n")
    if(CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
      set(BRASSE_ADN_DATE ${date_entree})
    endif()
  elseif(entree AND ligne MATCHES "^- (.*)$")
    string(APPEND entree "  * ${CMAKE_MATCH_1}\n")
    string(APPEND journal_rpm "- ${CMAKE_MATCH_1}\n")
  elseif(entree AND ligne MATCHES "^  (.*)$")
    string(APPEND entree "    ${CMAKE_MATCH_1}\n")
    string(APPEND journal_rpm "  ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
clore_entree()
file(WRITE ${documents}/changelog "${journal}")
file(WRITE ${documents}/changelog.rpm "${journal_rpm}")
compresser(${documents}/changelog ${documents}/changelog.gz)
if(NOT BRASSE_ADN_DATE)
  message(FATAL_ERROR "CHANGELOG.md has no heading \"## ${PROJECT_VERSION} - YYYY-MM-DD\"")
endif()
# That date at midnight UTC, in seconds since 1970: the time the packages'
# files carry, so that the same sources make the same packages.
string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" _ "${BRASSE_ADN_DATE}")
math(EXPR a "${CMAKE_MATCH_1}")
math(EXPR m "1${CMAKE_MATCH_2} - 100")
math(EXPR j "1${CMAKE_MATCH_3} - 100")
if(m LESS_EQUAL 2)
  math(EXPR a "${a} - 1")
  math(EXPR m "${m} + 9")
else()
  math(EXPR m "${m} - 3")
endif()
# Days from 1 March of year 0, by 400-year eras (a is positive here).
math(EXPR jours "${a} / 400 * 146097 + (${a} % 400) * 365 + (${a} % 400) / 4 - (${a} % 400) / 100
                 + (153 * ${m} + 2) / 5 + ${j} - 1 - 719468")
math(EXPR BRASSE_ADN_EPOQUE "${jours} * 86400")

# The manuals, English and French, with this version and date.
foreach(langue IN ITEMS "" "fr/")
  configure_file(${PROJECT_SOURCE_DIR}/man/${langue}brasse_adn.1.in
                 ${documents}/man/${langue}man1/brasse_adn.1 @ONLY)
  compresser(${documents}/man/${langue}man1/brasse_adn.1 ${documents}/man/${langue}man1/brasse_adn.1.gz)
endforeach()

# The copyright file in Debian's machine-readable format, the licence's text
# taken from LICENSE (MIT is "Expat" to Debian).
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX REPLACE "^.*\n(Permission is hereby granted)" "\\1" licence "${licence}")
string(REGEX REPLACE "\n+$" "" licence "${licence}")
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " licence "${licence}")
file(WRITE ${documents}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: brasse_adn

Files: *
Copyright: 2026 the brasse_adn authors
License: Expat
 ${licence}
")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/LICENSE)

# cmake --install and the Debian package: the executable, the manuals
# compressed, and the documents Debian asks for.
install(TARGETS brasse_adn RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programme)
install(FILES ${documents}/man/man1/brasse_adn.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programme)
install(FILES ${documents}/man/fr/man1/brasse_adn.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/fr/man1 COMPONENT programme)
install(FILES ${documents}/copyright ${documents}/changelog.gz ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT programme)

# The archive with the static executable, only: the executable at its top,
# beside the licence, the README and the manuals as man reads them.
if(TARGET brasse_adn_statique)
  install(TARGETS brasse_adn_statique RUNTIME DESTINATION . COMPONENT statique EXCLUDE_FROM_ALL)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md
                ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          DESTINATION . COMPONENT statique EXCLUDE_FROM_ALL)
  install(FILES ${documents}/man/man1/brasse_adn.1 DESTINATION man/man1
          COMPONENT statique EXCLUDE_FROM_ALL)
  install(FILES ${documents}/man/fr/man1/brasse_adn.1 DESTINATION man/fr/man1
          COMPONENT statique EXCLUDE_FROM_ALL)
endif()
