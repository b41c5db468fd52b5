# find_package(zepprepro) for an installed zepprepro.
#
# Gives:
#   zepprepro::tp            the run-time library (libzeptp.a) of the target
#                            package with the include directory of lib/TP.h
#   zepprepro::zepprepro     the translator, zepprepro::zepreport the report
#   zepprepro::zepls         the language server (ZEPLS_EXECUTABLE)
#   ZEPINSTR_EXECUTABLE      the instrumentor
#   ZEPPREPRO_PREFIX         the installation (what PROBAXDIR must name)
#   ZEPPREPRO_EXECUTABLE, ZEPREPORT_EXECUTABLE, ZEPPREPRO_TARGET_DIR
#   zepprepro_add_test()     see below
#
# The target package is ZEPPREPRO_TARGET under the prefix's target/
# directory: host unless a toolchain file of the package chose another
# (cortex-m3.cmake beside this file), which also sets the options of the
# board (ZEPPREPRO_TARGET_COMPILE_OPTIONS, ZEPPREPRO_TARGET_LINK_OPTIONS).
#
# Every path is found from this file's own place, lib/cmake/zepprepro under
# the prefix, so that an installation can be moved.

cmake_policy(PUSH)
# Functions keep the policies in force where they are defined; DEPFILE
# needs CMP0116 and the generators of 3.20.
cmake_policy(VERSION 3.20...3.25)

get_filename_component(ZEPPREPRO_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
set(ZEPPREPRO_EXECUTABLE "${ZEPPREPRO_PREFIX}/bin/zepprepro")
set(ZEPREPORT_EXECUTABLE "${ZEPPREPRO_PREFIX}/bin/zepreport")
set(ZEPLS_EXECUTABLE "${ZEPPREPRO_PREFIX}/bin/zepls")
set(ZEPINSTR_EXECUTABLE "${ZEPPREPRO_PREFIX}/bin/zepinstr")
if(NOT ZEPPREPRO_TARGET)
  set(ZEPPREPRO_TARGET host)
endif()
set(ZEPPREPRO_TARGET_DIR "${ZEPPREPRO_PREFIX}/target/${ZEPPREPRO_TARGET}")
set(_zepprepro_package_dir "${CMAKE_CURRENT_LIST_DIR}")

set(_zepprepro_missing)
foreach(file "${ZEPPREPRO_EXECUTABLE}" "${ZEPREPORT_EXECUTABLE}" "${ZEPLS_EXECUTABLE}" "${ZEPINSTR_EXECUTABLE}"
    "${ZEPPREPRO_TARGET_DIR}/lib/TP.h" "${ZEPPREPRO_TARGET_DIR}/lib/libzeptp.a"
    "${ZEPPREPRO_PREFIX}/lib/locale")
  if(NOT EXISTS "${file}")
    list(APPEND _zepprepro_missing "${file}")
  endif()
endforeach()
if(_zepprepro_missing)
  list(JOIN _zepprepro_missing "\n  " _zepprepro_missing)
  set(zepprepro_FOUND FALSE)
  set(zepprepro_NOT_FOUND_MESSAGE
    "the installation in ${ZEPPREPRO_PREFIX} is incomplete; missing:\n  ${_zepprepro_missing}")
  unset(_zepprepro_missing)
  cmake_policy(POP)
  return()
endif()

# The harness is C++ and links the library, so C++ must be enabled by now.
get_property(_zepprepro_languages GLOBAL PROPERTY ENABLED_LANGUAGES)
if(NOT "CXX" IN_LIST _zepprepro_languages)
  set(zepprepro_FOUND FALSE)
  set(zepprepro_NOT_FOUND_MESSAGE "enable the CXX language before find_package(zepprepro)")
  cmake_policy(POP)
  return()
endif()

if(NOT TARGET zepprepro::tp)
  add_library(zepprepro::tp STATIC IMPORTED)
  set_target_properties(zepprepro::tp PROPERTIES
    IMPORTED_LOCATION "${ZEPPREPRO_TARGET_DIR}/lib/libzeptp.a"
    IMPORTED_LINK_INTERFACE_LANGUAGES CXX
    # The harness includes "lib/TP.h".
    INTERFACE_INCLUDE_DIRECTORIES "${ZEPPREPRO_TARGET_DIR}"
    INTERFACE_COMPILE_FEATURES cxx_std_17
    # What the toolchain file of a board sets for its harnesses.
    INTERFACE_COMPILE_OPTIONS "${ZEPPREPRO_TARGET_COMPILE_OPTIONS}"
    INTERFACE_LINK_OPTIONS "${ZEPPREPRO_TARGET_LINK_OPTIONS}")
endif()
if(NOT TARGET zepprepro::zepprepro)
  add_executable(zepprepro::zepprepro IMPORTED)
  set_target_properties(zepprepro::zepprepro PROPERTIES IMPORTED_LOCATION "${ZEPPREPRO_EXECUTABLE}")
endif()
if(NOT TARGET zepprepro::zepreport)
  add_executable(zepprepro::zepreport IMPORTED)
  set_target_properties(zepprepro::zepreport PROPERTIES IMPORTED_LOCATION "${ZEPREPORT_EXECUTABLE}")
endif()
if(NOT TARGET zepprepro::zepls)
  add_executable(zepprepro::zepls IMPORTED)
  set_target_properties(zepprepro::zepls PROPERTIES IMPORTED_LOCATION "${ZEPLS_EXECUTABLE}")
endif()

# zepprepro_add_test(NAME <name> SCRIPT <file.otd>
#                    [SCRIPTS <file> ...] [SOURCES <file.cpp> ...]
#                    [INCLUDE_DIRECTORIES <dir> ...] [COVERAGE [MCDC]])
#
# Translates SCRIPT at build time, builds the harness as the executable
# <name> from it and SOURCES, and registers the CTest test <name>, which runs
# the harness and then zepreport on its trace and record files. The test
# fails when a check fails or the report cannot be made; the report is in
# the test's output, and <name>.junit.xml and the page <name>.html, which
# the output names, are written beside the trace.
#
# SCRIPTS: contract scripts (.otc) are translated with SCRIPT; OTD scripts
# (.otd, .stb, .dcl) are only ever read through SCRIPT's INCLUDE lines, so
# naming them here is optional: every file the translator read is noted in
# a depfile after each translation and is a dependency from then on.
#
# The harness includes the script's C++ headers relative to the directory
# of SCRIPT, which is an include directory of <name> together with
# INCLUDE_DIRECTORIES. The translation, trace and reports are in
# <binary dir>/<name>.zep/, the test's working directory.
#
# The harness and the C++ SOURCES are compiled from copies that zepinstr
# writes into <binary dir>/<name>.zep/instr/, mirroring the project's
# folders: the contracts of the OTC scripts, the CHECK METHOD counters and
# the conditions of stubs are woven into them (a copy with nothing woven
# only includes its original). They are written again only when a source,
# a project header they include or the instrumentation file changed.
# Precompiled headers and unity builds are off for <name>: both would
# compile the originals instead of the copies.
# COVERAGE, or ZEPPREPRO_COVERAGE set for the whole project: the harness and
# SOURCES are built for coverage with GCC (zepprepro-coverage.cmake), and
# the test also writes <name>.coverage.xml (Cobertura) beside the JUnit file.
# COVERAGE MCDC, on the host with clang 19 as the compiler, builds them for
# clang's source-based coverage with MC/DC instead (over the whole run).
#
# The target zepprepro_report (not built by default) writes the project's
# page zepprepro-report.html in the top build directory after ctest: every
# test of zepprepro_add_test with its verdict, and their coverage merged
# (also as zepprepro-report.coverage.xml when any was built for coverage).
function(zepprepro_add_test)
  cmake_parse_arguments(PARSE_ARGV 0 ZEP "COVERAGE;MCDC" "NAME;SCRIPT" "SCRIPTS;SOURCES;INCLUDE_DIRECTORIES")
  if(ZEP_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zepprepro_add_test: unknown arguments: ${ZEP_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ZEP_NAME OR NOT ZEP_SCRIPT)
    message(FATAL_ERROR "zepprepro_add_test: NAME and SCRIPT are required")
  endif()
  if(NOT ZEP_SCRIPT MATCHES "\\.([oO][tT][dD]|[sS][tT][bB]|[dD][cC][lL])$")
    message(FATAL_ERROR "zepprepro_add_test(${ZEP_NAME}): SCRIPT must be an OTD script (.otd, .stb or .dcl): ${ZEP_SCRIPT}")
  endif()

  get_filename_component(script "${ZEP_SCRIPT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(script_dir "${script}" DIRECTORY)
  get_filename_component(script_name "${script}" NAME)
  set(sources "${script}")
  set(depends "${script}")
  foreach(file IN LISTS ZEP_SCRIPTS)
    get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    if(file MATCHES "\\.[oO][tT][cC]$")
      list(APPEND sources "${file}")
    elseif(NOT file MATCHES "\\.([oO][tT][dD]|[sS][tT][bB]|[dD][cC][lL])$")
      message(FATAL_ERROR "zepprepro_add_test(${ZEP_NAME}): not a script: ${file}")
    endif()
    list(APPEND depends "${file}")
  endforeach()

  set(dir "${CMAKE_CURRENT_BINARY_DIR}/${ZEP_NAME}.zep")
  set(harness "${dir}/${ZEP_NAME}.cc")
  set(instrumentation "${dir}/${ZEP_NAME}.oti")
  set(depfile "${dir}/${ZEP_NAME}.d")
  set(arguments "${dir}/translate-arguments.cmake")
  file(MAKE_DIRECTORY "${dir}")

  # The arguments go through a file because paths may hold spaces and
  # semicolons; it is rewritten only when they change, so that configuring
  # again does not translate again.
  string(CONFIGURE [[
set(ZEP_TRANSLATOR [==[@ZEPPREPRO_EXECUTABLE@]==])
set(ZEP_PREFIX [==[@ZEPPREPRO_PREFIX@]==])
set(ZEP_DIR [==[@dir@]==])
set(ZEP_SOURCES [==[@sources@]==])
set(ZEP_HARNESS [==[@harness@]==])
set(ZEP_INSTRUMENTATION [==[@instrumentation@]==])
set(ZEP_TRACE [==[@ZEP_NAME@.tdf]==])
set(ZEP_DEPFILE [==[@depfile@]==])
set(ZEP_TARGET_DIR [==[@ZEPPREPRO_TARGET_DIR@]==])
]] content @ONLY)
  file(CONFIGURE OUTPUT "${arguments}" CONTENT "${content}")

  # The record files of the first source are known in advance (file 01);
  # those of included and contract files are numbered in reading order.
  add_custom_command(
    OUTPUT "${harness}" "${instrumentation}" "${dir}/${script_name}01.tsf" "${dir}/${script_name}01.ots"
    COMMAND "${CMAKE_COMMAND}" -DZEP_ARGUMENTS=${arguments} -P "${_zepprepro_package_dir}/zepprepro-translate.cmake"
    DEPENDS ${depends} "${arguments}" "${ZEPPREPRO_EXECUTABLE}" "${_zepprepro_package_dir}/zepprepro-translate.cmake"
    DEPFILE "${depfile}"
    WORKING_DIRECTORY "${dir}"
    COMMENT "Translating ${script_name} for ${ZEP_NAME}"
    VERBATIM)

  _zepprepro_instrument()
  add_executable(${ZEP_NAME} ${compiled})
  target_link_libraries(${ZEP_NAME} PRIVATE zepprepro::tp)
  target_include_directories(${ZEP_NAME} PRIVATE ${mirrored_includes} "${script_dir}" ${ZEP_INCLUDE_DIRECTORIES})
  set_target_properties(${ZEP_NAME} PROPERTIES UNITY_BUILD OFF DISABLE_PRECOMPILE_HEADERS ON)
  # The harness marks its places for other target packages with pragmas
  # this compiler does not know.
  set_property(SOURCE "${harness_copy}" APPEND PROPERTY COMPILE_OPTIONS
    $<$<CXX_COMPILER_ID:GNU,Clang,AppleClang>:-Wno-unknown-pragmas>)

  set(coverage_arguments)
  if(ZEP_MCDC AND NOT ZEP_COVERAGE)
    message(FATAL_ERROR "zepprepro_add_test(${ZEP_NAME}): MCDC goes with COVERAGE: COVERAGE MCDC")
  elseif(ZEP_MCDC)
    _zepprepro_build_for_mcdc(${ZEP_NAME} coverage_arguments)
  elseif(ZEP_COVERAGE OR ZEPPREPRO_COVERAGE)
    _zepprepro_build_for_coverage(${ZEP_NAME} "${dir}" coverage_arguments)
  endif()
  _zepprepro_add_to_project_report("${dir}/${ZEP_NAME}.tdf")

  add_test(NAME ${ZEP_NAME}
    COMMAND "${CMAKE_COMMAND}"
      "-DZEP_EMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
      "-DZEP_HARNESS=$<TARGET_FILE:${ZEP_NAME}>"
      "-DZEP_REPORT=${ZEPREPORT_EXECUTABLE}"
      "-DZEP_DIR=${dir}"
      "-DZEP_TRACE=${ZEP_NAME}.tdf"
      "-DZEP_JUNIT=${dir}/${ZEP_NAME}.junit.xml"
      "-DZEP_HTML=${dir}/${ZEP_NAME}.html"
      ${coverage_arguments}
      -P "${_zepprepro_package_dir}/zepprepro-run-test.cmake"
    WORKING_DIRECTORY "${dir}")
  set_tests_properties(${ZEP_NAME} PROPERTIES LABELS zepprepro)
  # A board that hangs would otherwise hold the test for CTest's default
  # of 25 minutes.
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    if(NOT ZEPPREPRO_TEST_TIMEOUT)
      set(ZEPPREPRO_TEST_TIMEOUT 60)
    endif()
    set_tests_properties(${ZEP_NAME} PROPERTIES TIMEOUT ${ZEPPREPRO_TEST_TIMEOUT})
  endif()
endfunction()

# Where zepinstr writes the copy of a project file (as it computes it).
function(_zepprepro_mirror out file result)
  get_filename_component(root "${CMAKE_SOURCE_DIR}" REALPATH)
  get_filename_component(file "${file}" REALPATH)
  cmake_path(IS_PREFIX root "${file}" NORMALIZE inside)
  if(inside)
    cmake_path(RELATIVE_PATH file BASE_DIRECTORY "${root}" OUTPUT_VARIABLE relative)
    set(${result} "${out}/${relative}" PARENT_SCOPE)
  else()
    set(${result} "${out}/_outside${file}" PARENT_SCOPE)
  endif()
endfunction()

# Part of zepprepro_add_test(): the instrumenting build step. Sets, in the
# caller, compiled (the harness's and the sources' copies and the sources
# that are not C++) and mirrored_includes (the copies' include folders).
macro(_zepprepro_instrument)
  set(instr "${dir}/instr")
  set(harness_copy "${instr}/_harness/${ZEP_NAME}.cc")
  # The stamp among the sources puts the step into the target's build.
  set(compiled "${harness_copy}" "${instr}/stamp")
  set(copies "${harness_copy}")
  set(instr_sources)
  foreach(source IN LISTS ZEP_SOURCES)
    get_filename_component(source "${source}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    get_filename_component(source "${source}" REALPATH)
    if(source MATCHES "\\.(cpp|cc|cxx|c\\+\\+|C)$")
      _zepprepro_mirror("${instr}" "${source}" copy)
      list(APPEND compiled "${copy}")
      list(APPEND copies "${copy}")
      list(APPEND instr_sources "${source}")
    else()
      list(APPEND compiled "${source}")
    endif()
  endforeach()
  set(mirrored_includes)
  foreach(include IN LISTS script_dir ZEP_INCLUDE_DIRECTORIES)
    get_filename_component(include "${include}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    _zepprepro_mirror("${instr}" "${include}" copy)
    list(APPEND mirrored_includes "${copy}")
  endforeach()
  get_filename_component(root "${CMAKE_SOURCE_DIR}" REALPATH)
  set(excluded)
  if(NOT CMAKE_BINARY_DIR STREQUAL CMAKE_SOURCE_DIR)
    set(excluded --exclude "${CMAKE_BINARY_DIR}")
  endif()
  set(standard "$<TARGET_PROPERTY:${ZEP_NAME},CXX_STANDARD>")
  set(includes "$<TARGET_PROPERTY:${ZEP_NAME},INCLUDE_DIRECTORIES>")
  set(definitions "$<TARGET_PROPERTY:${ZEP_NAME},COMPILE_DEFINITIONS>")
  add_custom_command(
    OUTPUT "${instr}/stamp"
    BYPRODUCTS ${copies}
    COMMAND "${ZEPINSTR_EXECUTABLE}" --oti "${instrumentation}" --root "${root}" --out "${instr}"
      ${excluded} --harness "${harness}" --harness-copy "${harness_copy}"
      --depfile "${instr}/stamp.d" --stamp "${instr}/stamp" ${instr_sources}
      -- "-std=c++$<IF:$<BOOL:${standard}>,${standard},17>"
      "$<$<BOOL:${includes}>:-I$<JOIN:${includes},;-I>>"
      "$<$<BOOL:${definitions}>:-D$<JOIN:${definitions},;-D>>"
    DEPENDS "${harness}" "${instrumentation}" ${instr_sources} "${ZEPINSTR_EXECUTABLE}"
    DEPFILE "${instr}/stamp.d"
    COMMENT "Instrumenting ${ZEP_NAME}"
    COMMAND_EXPAND_LISTS
    VERBATIM)
endmacro()
include("${CMAKE_CURRENT_LIST_DIR}/zepprepro-coverage.cmake")

cmake_policy(POP)
