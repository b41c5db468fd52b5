# Coverage of the code under test for zepprepro_add_test(... COVERAGE),
# included by zepprepro-config.cmake.
#
# The harness and SOURCES are compiled with GCC's --coverage, their counters
# listed in the section zep_gcov_info, and the harness's calls at each test
# case wrapped by the run-time library's coverage object, which writes the
# counters per test case into <trace>.cov. zepreport reads that file with
# the gcov of the same toolchain, keeping the files under the project's
# source directory that are not in the build tree: the harness, the system
# headers and the run-time library are not code under test.

# The gcov of the compiler that builds the harness: arm-none-eabi-gcov for
# arm-none-eabi-g++, gcov-12 or gcov for the host's GCC 12.
function(_zepprepro_find_gcov out)
  get_filename_component(compiler "${CMAKE_CXX_COMPILER}" NAME)
  set(prefix)
  if(compiler MATCHES "^(.*-)(g\\+\\+|c\\+\\+)(-[0-9]+)?$")
    set(prefix "${CMAKE_MATCH_1}")
  endif()
  string(REGEX MATCH "^[0-9]+" major "${CMAKE_CXX_COMPILER_VERSION}")
  find_program(ZEPPREPRO_GCOV NAMES ${prefix}gcov-${major} ${prefix}gcov
    HINTS "${CMAKE_CXX_COMPILER}/.." DOC "gcov of the compiler that builds the harnesses")
  if(NOT ZEPPREPRO_GCOV)
    message(FATAL_ERROR "zepprepro_add_test: COVERAGE needs ${prefix}gcov beside ${CMAKE_CXX_COMPILER}")
  endif()
  set(${out} "${ZEPPREPRO_GCOV}" PARENT_SCOPE)
endfunction()

# Builds target name for coverage and sets out to the arguments that tell
# the test's script to read it.
function(_zepprepro_build_for_coverage name dir out)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR CMAKE_CXX_COMPILER_VERSION VERSION_LESS 12)
    message(FATAL_ERROR "zepprepro_add_test(${name}): COVERAGE needs GCC 12 or later as the C++ compiler")
  endif()
  _zepprepro_find_gcov(gcov)
  # Only the code under test gets counters: not the harness's own code
  # (generated into the build tree, or marked by #line as the script's), the
  # system's headers or the run-time library's. This keeps the snapshots
  # and gcov's work small.
  set(excluded)
  foreach(directory "${CMAKE_BINARY_DIR}" "${ZEPPREPRO_PREFIX}")
    string(REGEX REPLACE [=[([][+.*()^$?|{}])]=] [=[\\\1]=] directory "${directory}")
    list(APPEND excluded "^${directory}/")
  endforeach()
  list(APPEND excluded "^/usr/" [=[\.(otd|stb|dcl|otc|OTD|STB|DCL|OTC)$]=])
  list(JOIN excluded "\;" excluded)
  target_compile_options(${name} PRIVATE --coverage -fprofile-info-section=zep_gcov_info
    "-fprofile-exclude-files=${excluded}")
  # Only these calls of the harness reach the coverage object.
  target_link_options(${name} PRIVATE --coverage
    -Wl,--wrap=_zep_init,--wrap=_zep_add_source_file,--wrap=_zep_term,--wrap=_zep_exit_status
    -Wl,--wrap=_zep_enter_test_case,--wrap=_zep_exit_test_case)
  _zepprepro_add_to_project_report("")
  set_target_properties(zepprepro_report PROPERTIES ZEP_COVERAGE_OPTIONS
    "--gcov;${gcov};--coverage-root;${CMAKE_SOURCE_DIR};--coverage-exclude;${CMAKE_BINARY_DIR};--cobertura;${CMAKE_BINARY_DIR}/zepprepro-report.coverage.xml")
  set(${out}
    "-DZEP_GCOV=${gcov}"
    "-DZEP_COVERAGE_ROOT=${CMAKE_SOURCE_DIR}"
    "-DZEP_COVERAGE_EXCLUDE=${CMAKE_BINARY_DIR}"
    "-DZEP_COBERTURA=${dir}/${name}.coverage.xml"
    PARENT_SCOPE)
endfunction()

# The project's report: trace (when not empty) joins the runs that the
# target zepprepro_report puts together.
function(_zepprepro_add_to_project_report trace)
  if(NOT TARGET zepprepro_report)
    add_custom_target(zepprepro_report
      COMMAND "${ZEPREPORT_EXECUTABLE}" --project --html "${CMAKE_BINARY_DIR}/zepprepro-report.html"
        "$<TARGET_PROPERTY:zepprepro_report,ZEP_COVERAGE_OPTIONS>" "$<TARGET_PROPERTY:zepprepro_report,ZEP_TRACES>"
      COMMAND "${CMAKE_COMMAND}" -E echo "Project report: ${CMAKE_BINARY_DIR}/zepprepro-report.html"
      COMMAND_EXPAND_LISTS VERBATIM
      COMMENT "Reporting on every zepprepro test (run ctest first)")
  endif()
  if(trace)
    set_property(TARGET zepprepro_report APPEND PROPERTY ZEP_TRACES "${trace}")
  endif()
endfunction()

# COVERAGE MCDC: the harness and SOURCES are built for clang's source-based
# coverage with MC/DC; the raw profile of the whole run is <trace>.profraw, which zepreport
# reads with llvm-profdata and llvm-cov of the same clang. Only on the host:
# there is no profile run-time for a bare-metal board.
function(_zepprepro_build_for_mcdc name out)
  if(CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "zepprepro_add_test(${name}): COVERAGE MCDC is for the host only")
  endif()
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR CMAKE_CXX_COMPILER_VERSION VERSION_LESS 19)
    message(FATAL_ERROR "zepprepro_add_test(${name}): COVERAGE MCDC needs clang 19 or later as the C++ "
      "compiler (-DCMAKE_CXX_COMPILER=clang++-19); GCC has no condition coverage")
  endif()
  string(REGEX MATCH "^[0-9]+" major "${CMAKE_CXX_COMPILER_VERSION}")
  get_filename_component(bin "${CMAKE_CXX_COMPILER}" DIRECTORY)
  find_program(ZEPPREPRO_LLVM_PROFDATA NAMES llvm-profdata-${major} llvm-profdata
    HINTS "${bin}" "/usr/lib/llvm-${major}/bin")
  find_program(ZEPPREPRO_LLVM_COV NAMES llvm-cov-${major} llvm-cov HINTS "${bin}" "/usr/lib/llvm-${major}/bin")
  if(NOT ZEPPREPRO_LLVM_PROFDATA OR NOT ZEPPREPRO_LLVM_COV)
    message(FATAL_ERROR "zepprepro_add_test(${name}): COVERAGE MCDC needs llvm-profdata and llvm-cov "
      "(Debian: llvm-${major})")
  endif()
  # The harness too, for the inline functions of the project's headers that
  # it calls; zepreport leaves out its own code (in the build tree, or the
  # scripts' by #line).
  target_compile_options(${name} PRIVATE -fprofile-instr-generate -fcoverage-mapping -fcoverage-mcdc)
  target_link_options(${name} PRIVATE -fprofile-instr-generate)
  set(${out}
    "-DZEP_LLVM_PROFDATA=${ZEPPREPRO_LLVM_PROFDATA}"
    "-DZEP_LLVM_COV=${ZEPPREPRO_LLVM_COV}"
    "-DZEP_COVERAGE_ROOT=${CMAKE_SOURCE_DIR}"
    "-DZEP_COVERAGE_EXCLUDE=${CMAKE_BINARY_DIR}"
    PARENT_SCOPE)
endfunction()
