# Build step of zepprepro_add_test(): translates the scripts of one test and
# writes a depfile naming every source file the translator read, included
# ones too, so that editing any of them translates again.
#
#   cmake -DZEP_ARGUMENTS=<translate-arguments.cmake> -P zepprepro-translate.cmake
#
# The arguments file sets ZEP_TRANSLATOR, ZEP_PREFIX, ZEP_DIR, ZEP_SOURCES,
# ZEP_HARNESS, ZEP_INSTRUMENTATION, ZEP_TRACE, ZEP_DEPFILE and ZEP_TARGET_DIR.
cmake_minimum_required(VERSION 3.20)
include("${ZEP_ARGUMENTS}")

set(log "${ZEP_DIR}/translate.log")
# Record files of an earlier translation would be taken for this one's by
# the report, and the workbench log is appended to.
file(GLOB stale "${ZEP_DIR}/*.tsf" "${ZEP_DIR}/*.ots")
file(REMOVE ${stale} "${log}")

set(ENV{PROBAXDIR} "${ZEP_PREFIX}")
# The harness includes lib/TP.h of the build's target package by its path.
set(ENV{KRNTGT} "${ZEP_TARGET_DIR}")
execute_process(
  COMMAND "${ZEP_TRANSLATOR}" ${ZEP_SOURCES} -G C++ -O "${ZEP_HARNESS}" -OTI "${ZEP_INSTRUMENTATION}"
          -TDF "${ZEP_TRACE}" -BENCH_LOG "${log}"
  WORKING_DIRECTORY "${ZEP_DIR}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  # A failed run may leave a partial harness behind, which would look up to
  # date to the next build.
  file(REMOVE "${ZEP_HARNESS}" "${ZEP_INSTRUMENTATION}" "${ZEP_DEPFILE}")
  # The messages as they stand, so that editors can follow their file:line.
  message("${output}")
  message(FATAL_ERROR "zepprepro failed (status ${status})")
endif()

# The translator names each record file it writes in the workbench log; the
# source path is the SO record of each .tsf file.
file(STRINGS "${log}" records REGEX "^TSF ")
set(read)
foreach(record IN LISTS records)
  string(REGEX REPLACE "^TSF " "" record "${record}")
  if(NOT IS_ABSOLUTE "${record}")
    set(record "${ZEP_DIR}/${record}")
  endif()
  file(STRINGS "${record}" so REGEX "^SO \"" LIMIT_COUNT 1)
  if(NOT so MATCHES "^SO \"(.*)\" [0-9a-f]+h ")
    message(FATAL_ERROR "${record}: no source path in the record file")
  endif()
  set(path "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "\\\\(.)" "\\1" path "${path}")
  cmake_path(NORMAL_PATH path)
  # Make and Ninja both read a depfile with blanks escaped.
  string(REPLACE " " "\\ " path "${path}")
  string(REPLACE "#" "\\#" path "${path}")
  list(APPEND read "${path}")
endforeach()
string(REPLACE " " "\\ " target "${ZEP_HARNESS}")
list(JOIN read " \\\n  " read)
file(WRITE "${ZEP_DEPFILE}" "${target}: \\\n  ${read}\n")
