# Install rules and release packages. The native build installs the command
# line with its manual page and documents (`cmake --install`) and packs them
# as a Debian package; the Windows cross build packs the filter module with
# its guides as a zip. Both: `cpack --config <build>/CPackConfig.cmake`, or
# scripts/package.sh for the two at once.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME vardelk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vardelk team")
set(CPACK_PACKAGE_CONTACT "Vardelk team <vardelk@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MPEG-2 intra quantiser matrix simulator")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_THREADS 1)

if(WIN32)
  if(NOT TARGET vardelk_auf)
    return()
  endif()
  # The zip unpacks into one folder: the module as built, byte for byte, the
  # guides as UTF-8 text that Windows editors open correctly, the licence and
  # the picture of the filter window the guides refer to.
  install(FILES $<TARGET_FILE:vardelk_auf> DESTINATION .)
  set(guides "")
  foreach(language en ja)
    set(guide ${PROJECT_BINARY_DIR}/release/guide-${language}.txt)
    add_custom_command(OUTPUT ${guide}
      COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/docs/guide-${language}.md -DOUT=${guide}
              -P ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/guide-${language}.md ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
      COMMENT "Writing guide-${language}.txt for the release zip" VERBATIM)
    list(APPEND guides ${guide})
  endforeach()
  set(license ${PROJECT_BINARY_DIR}/release/LICENSE.txt)
  add_custom_command(OUTPUT ${license}
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/LICENSE -DOUT=${license}
            -P ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake VERBATIM)
  add_custom_target(vardelk_release_texts ALL DEPENDS ${guides} ${license})
  install(FILES ${guides} ${license} ${PROJECT_SOURCE_DIR}/docs/filter-window.png DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vardelk-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

if(NOT TARGET vardelk)
  return()
endif()

install(TARGETS vardelk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md LICENSE docs/cli.md docs/streams.md docs/search.md docs/speed.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The frei0r effect where hosts look for it: lib/frei0r-1 under the prefix
# (/usr/lib/frei0r-1 in the Debian package, which ffmpeg, MLT and GStreamer
# search without FREI0R_PATH), and Kdenlive's description of it beside
# Kdenlive's own effects.
if(TARGET vardelk_frei0r)
  install(TARGETS vardelk_frei0r LIBRARY DESTINATION lib/frei0r-1)
  install(FILES frei0r/frei0r_vardelk.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/kdenlive/effects)
  install(FILES docs/frei0r.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# The manual page, written by a program that reads the command line's own
# option definitions.
add_executable(vardelk_man_page docs/man/man_page.cpp docs/man/roff_text.cpp)
target_link_libraries(vardelk_man_page PRIVATE vardelk_cli_core vardelk_version vardelk_warnings)
set(manPage ${PROJECT_BINARY_DIR}/docs/man/vardelk.1)
add_custom_command(OUTPUT ${manPage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/docs/man
  COMMAND vardelk_man_page ${manPage} ${CMAKE_INSTALL_DOCDIR}
  DEPENDS vardelk_man_page
  COMMENT "Writing the manual page vardelk.1" VERBATIM)
add_custom_target(vardelk_man ALL DEPENDS ${manPage})
install(FILES ${manPage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package. Its dependencies are those dpkg-shlibdeps finds for the
# program; cmake/debian_tree.cmake gives the staged files the form Debian
# wants (compressed manual page and changelog, the copyright file in place of
# LICENSE) before they are packed.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The body of the description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Runs pictures (PNG) and video (Y4M) through a simulated MPEG-2 intra codec:\n"
  "4:2:0 macroblocks, frame or field DCT, quantisation with an intra matrix\n"
  "and scale, a bit-cost estimate, dequantisation and the inverse DCT. It\n"
  "reports the estimated coded size and the PSNR of the reconstruction, writes\n"
  "the reconstruction and comparison pictures, and sweeps every scale code to\n"
  "compare matrices by size against quality. The same codec comes as a frei0r\n"
  "video effect for ffmpeg, MLT (Kdenlive, Shotcut) and GStreamer.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian_tree.cmake)
# Only CPACK_* variables reach that script.
set(CPACK_VARDELK_DOCDIR ${CMAKE_INSTALL_DOCDIR})
set(CPACK_VARDELK_MANDIR ${CMAKE_INSTALL_MANDIR})
include(CPack)
