# Installation and the Debian package.
#
#   cmake --install <build> --prefix /usr/local
#       programs in bin/, manual pages in share/man/man1 and man5, the example
#       configuration and the documents in share/doc/ravlog/
#   cmake --build <build> --target package      (or: cd <build> && cpack -G DEB)
#       a .deb of the same tree under /usr, its dependencies found by
#       dpkg-shlibdeps
include(GNUInstallDirs)

install(TARGETS ravlog pondrel brimsel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages are kept as roff sources; installed trees get them gzip'ed,
# as man reads them and Debian wants them, when gzip is at hand.
set(RAVLOG_MAN_PAGES
  ${PROJECT_SOURCE_DIR}/man/ravlog.1
  ${PROJECT_SOURCE_DIR}/man/pondrel.1
  ${PROJECT_SOURCE_DIR}/man/brimsel.1
  ${PROJECT_SOURCE_DIR}/man/ravlog.ctl.5)
find_program(RAVLOG_GZIP gzip)
set(ravlog_installed_man_pages)
foreach(page ${RAVLOG_MAN_PAGES})
  get_filename_component(name ${page} NAME)
  if(RAVLOG_GZIP)
    set(compressed ${PROJECT_BINARY_DIR}/man/${name}.gz)
    # -n leaves the name and time stamp out, so the package is reproducible.
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${RAVLOG_GZIP} -9n -c ${page} > ${compressed}
      DEPENDS ${page}
      COMMENT "Compressing manual page ${name}")
    list(APPEND ravlog_installed_man_pages ${compressed})
  else()
    list(APPEND ravlog_installed_man_pages ${page})
  endif()
endforeach()
add_custom_target(man_pages ALL DEPENDS ${ravlog_installed_man_pages})
foreach(page ${ravlog_installed_man_pages})
  string(REGEX MATCH "\\.([0-9])(\\.gz)?$" ignored ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${CMAKE_MATCH_1})
endforeach()

# CMAKE_INSTALL_DOCDIR would be share/doc/ravlog from the project name;
# spelled out so that a renamed project keeps the documented place.
set(RAVLOG_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ravlog)
file(GLOB ravlog_docs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
# The documents lie side by side there, the README among them.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/README.md
  COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/README.md
    -DOUT=${PROJECT_BINARY_DIR}/doc/README.md -P ${PROJECT_SOURCE_DIR}/cmake/installed_readme.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/cmake/installed_readme.cmake
  COMMENT "The README as installed")
add_custom_target(installed_readme ALL DEPENDS ${PROJECT_BINARY_DIR}/doc/README.md)
install(FILES ${PROJECT_SOURCE_DIR}/examples/ravlog.ctl ${ravlog_docs}
  ${PROJECT_BINARY_DIR}/doc/README.md ${PROJECT_SOURCE_DIR}/docs/html-report.png
  ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
  DESTINATION ${RAVLOG_DOCDIR})
# Debian wants the package's changelog compressed under the name of a
# packaged release (changelog.Debian.gz); -n keeps the package reproducible.
if(RAVLOG_GZIP)
  set(ravlog_changelog ${PROJECT_BINARY_DIR}/doc/changelog.Debian.gz)
  add_custom_command(OUTPUT ${ravlog_changelog}
    COMMAND ${RAVLOG_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/cmake/debian/changelog > ${ravlog_changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
    COMMENT "Compressing the changelog")
  add_custom_target(changelog ALL DEPENDS ${ravlog_changelog})
  install(FILES ${ravlog_changelog} DESTINATION ${RAVLOG_DOCDIR})
else()
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/changelog DESTINATION ${RAVLOG_DOCDIR}
    RENAME changelog.Debian)
endif()

# The Debian package.
set(RAVLOG_MAINTAINER "Ravlog developers <ravlog@example.org>"
  CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ravlog)
set(CPACK_PACKAGE_VENDOR "Ravlog developers")
set(CPACK_PACKAGE_CONTACT "${RAVLOG_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "session statistics from FidoNet mailer histories")
# The extended description; CPack puts the summary line before it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Reads the binary session histories that FidoNet mailers keep (T-Mail,
BinkD, Argus, The Brake!, Bink/+, FhMail, DVMmail, KittenMail,
BinkleyTerm-XE, FrontDoor, InternetRex, BasicMail) and writes plain-text
reports drawn with box characters.

ravlog writes a day's sessions statistic, links statistic and sessions
history with per-address and per-line busy charts, and can cut old
records out of the histories. pondrel writes a links statistic over a
period of days, in UTF-8 or ASCII. brimsel dumps every record of every
configured history.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${RAVLOG_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)

if(RAVLOG_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/packaging ${PROJECT_BINARY_DIR}/tests/packaging)
endif()
