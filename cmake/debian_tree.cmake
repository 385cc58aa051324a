# Run by CPack on the staged files of the Debian package, before they are
# packed: the manual page and the changelog compressed as Debian wants
# (gzip -9n, no name or time stamp, so the package is reproducible), and the
# licence in Debian's machine-readable copyright file, which takes the place
# of the plain LICENSE.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/${CPACK_VARDELK_DOCDIR}")
set(man "${root}/${CPACK_VARDELK_MANDIR}/man1/vardelk.1")
foreach(required "${doc}/LICENSE" "${man}")
  if(NOT EXISTS "${required}")
    message(FATAL_ERROR "debian_tree: ${required} was not staged")
  endif()
endforeach()

# The licence text as the copyright file's body: every line indented by one
# space, empty lines written as " .".
file(STRINGS "${doc}/LICENSE" lines)
set(body "")
foreach(line IN LISTS lines)
  if(line STREQUAL "")
    string(APPEND body " .\n")
  else()
    string(APPEND body " ${line}\n")
  endif()
endforeach()
file(STRINGS "${doc}/LICENSE" holder REGEX "^Copyright ")
string(REGEX REPLACE "^Copyright (\\([cC]\\) )?" "" holder "${holder}")
file(WRITE "${doc}/copyright"
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: ${CPACK_PACKAGE_NAME}\n\n"
  "Files: *\n"
  "Copyright: ${holder}\n"
  "License: Expat\n"
  "${body}")
file(REMOVE "${doc}/LICENSE")

# A native package's changelog: one entry for this version.
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${doc}/changelog"
  "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium\n\n"
  "  * Release ${CPACK_PACKAGE_VERSION}.\n\n"
  " -- ${CPACK_PACKAGE_CONTACT}  ${date}\n")

foreach(file "${man}" "${doc}/changelog")
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "debian_tree: gzip ${file} failed (${status})")
  endif()
endforeach()
