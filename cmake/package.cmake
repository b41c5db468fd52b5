# The Debian package: `cpack -G DEB` in the build directory (or the build's
# `package` target) makes zepprepro_<version>_<architecture>.deb. It holds
# the installation in /opt/zepprepro, as `cmake --install` lays it out, and
# what makes that part of the system: the commands in /usr/bin, which set
# PROBAXDIR, the manual pages, a CMake package file in /usr/lib/cmake that
# finds the installation, the copyright and the changelog.
#
# Two install components besides the installation itself ("Unspecified"):
# "manual" (the manual pages under the prefix, left out of the package,
# which has them in /usr) and "system" (the files in /usr, installed only
# into the package).
set(ZEP_PACKAGE_PREFIX /opt/zepprepro)
set(ZEP_PACKAGE_MAINTAINER "The zepprepro developers <zepprepro@example.org>"
  CACHE STRING "Maintainer named by the Debian package")

# Every page in man/ (zepprepro.1, zepreport.1, zepls.1, zepinstr.1, those
# of programs added later, and zepprepro-language.7) is installed and
# packaged in its section, with the project's version in its title line.
file(GLOB ZEP_MANUAL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/man/*.1 ${CMAKE_SOURCE_DIR}/man/*.7)
set(ZEP_MANUAL_PAGES)
set(ZEP_MANUAL_PAGES_7)
foreach(source ${ZEP_MANUAL_SOURCES})
  get_filename_component(name ${source} NAME)
  configure_file(${source} ${CMAKE_CURRENT_BINARY_DIR}/man/${name} @ONLY)
  if(name MATCHES "[.]7$")
    list(APPEND ZEP_MANUAL_PAGES_7 ${CMAKE_CURRENT_BINARY_DIR}/man/${name})
  else()
    list(APPEND ZEP_MANUAL_PAGES ${CMAKE_CURRENT_BINARY_DIR}/man/${name})
  endif()
endforeach()
install(FILES ${ZEP_MANUAL_PAGES} DESTINATION share/man/man1 COMPONENT manual)
install(FILES ${ZEP_MANUAL_PAGES_7} DESTINATION share/man/man7 COMPONENT manual)

find_program(ZEP_GZIP gzip)
if(NOT ZEP_GZIP)
  message(STATUS "gzip not found: no Debian package")
  return()
endif()

set(debian ${CMAKE_CURRENT_BINARY_DIR}/debian)
set(ZEP_PACKAGE_GZIPPED)
# zep_package_gzip(SOURCE NAME): NAME.gz in the build's debian/, compressed
# as Debian wants it (best, without the file's name and time).
function(zep_package_gzip source name)
  add_custom_command(OUTPUT ${debian}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${debian}/${name}
    COMMAND ${ZEP_GZIP} -9nf ${debian}/${name}
    DEPENDS ${source} VERBATIM)
  set(ZEP_PACKAGE_GZIPPED ${ZEP_PACKAGE_GZIPPED} ${debian}/${name}.gz PARENT_SCOPE)
endfunction()

set(pages)
set(pages_7)
foreach(page ${ZEP_MANUAL_PAGES} ${ZEP_MANUAL_PAGES_7})
  get_filename_component(name ${page} NAME)
  zep_package_gzip(${page} ${name})
  if(name MATCHES "[.]7$")
    list(APPEND pages_7 ${debian}/${name}.gz)
  else()
    list(APPEND pages ${debian}/${name}.gz)
  endif()
endforeach()
configure_file(debian/changelog.in ${debian}/changelog.in @ONLY)
zep_package_gzip(${debian}/changelog.in changelog)
add_custom_target(package-files ALL DEPENDS ${ZEP_PACKAGE_GZIPPED})

foreach(ZEP_COMMAND zepprepro zepreport zepls zepinstr)
  configure_file(debian/command.in ${debian}/bin/${ZEP_COMMAND} @ONLY)
  install(PROGRAMS ${debian}/bin/${ZEP_COMMAND} DESTINATION /usr/bin COMPONENT system EXCLUDE_FROM_ALL)
endforeach()
foreach(ZEP_FORWARDED zepprepro-config.cmake zepprepro-config-version.cmake)
  configure_file(debian/forward-config.cmake.in ${debian}/cmake/${ZEP_FORWARDED} @ONLY)
  install(FILES ${debian}/cmake/${ZEP_FORWARDED} DESTINATION /usr/lib/cmake/zepprepro COMPONENT system EXCLUDE_FROM_ALL)
endforeach()
install(FILES ${pages} DESTINATION /usr/share/man/man1 COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${pages_7} DESTINATION /usr/share/man/man7 COMPONENT system EXCLUDE_FROM_ALL)
install(FILES debian/copyright ${debian}/changelog.gz DESTINATION /usr/share/doc/zepprepro
  COMPONENT system EXCLUDE_FROM_ALL)
install(FILES debian/lintian-overrides DESTINATION /usr/share/lintian/overrides RENAME zepprepro
  COMPONENT system EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zepprepro)
set(CPACK_PACKAGE_VENDOR "The zepprepro developers")
set(CPACK_PACKAGE_CONTACT "${ZEP_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "translator of object-testing scripts into C++ test harnesses")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "zepprepro translates OTD test scripts (test classes, suites, cases,"
  "procedures, checks, stubs, error handling) and OTC contract scripts into"
  "a C++ test harness, an instrumentation file and record files."
  "The package also holds zepreport, which reports on a test run as text,"
  "JUnit XML or an HTML page, zepls, a language server that shows the"
  "translator's messages in the editor, zepinstr, which weaves contracts and"
  "method checks into copies of the code under test, the target packages that harnesses"
  "are built with, and a CMake package whose zepprepro_add_test() translates,"
  "builds and runs a script.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The CMake package builds harnesses with them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cmake (>= 3.25), g++")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# The files in /usr are installed with DESTDIR, into the package only.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${ZEP_PACKAGE_PREFIX})
set(CPACK_PACKAGING_INSTALL_PREFIX ${ZEP_PACKAGE_PREFIX})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified system)
include(CPack)
