# The CTest command of zepprepro_add_test(): runs the harness, then reports
# on its trace with the record files of the translation.
#
#   cmake [-DZEP_EMULATOR=<command>] -DZEP_HARNESS=<exe> -DZEP_REPORT=<zepreport>
#         -DZEP_DIR=<dir> -DZEP_TRACE=<trace> -DZEP_JUNIT=<file> -DZEP_HTML=<file>
#         -P zepprepro-run-test.cmake
#
# ZEP_EMULATOR runs a harness built for another machine (a list: the
# command and its arguments, the harness last).
#
# Fails when the harness or the report says that something failed, or when
# either could not do its work.
cmake_minimum_required(VERSION 3.20)

# A trace or coverage left by an earlier run must not be reported as this
# one's.
file(REMOVE "${ZEP_DIR}/${ZEP_TRACE}" "${ZEP_DIR}/${ZEP_TRACE}.cov" "${ZEP_JUNIT}" "${ZEP_HTML}")
# With coverage (ZEP_GCOV, ZEP_COVERAGE_ROOT, ZEP_COVERAGE_EXCLUDE and
# ZEP_COBERTURA given): the report also reads <trace>.cov and writes the
# Cobertura file.
set(coverage)
if(ZEP_GCOV)
  file(REMOVE "${ZEP_COBERTURA}")
  set(coverage --gcov "${ZEP_GCOV}" --coverage-root "${ZEP_COVERAGE_ROOT}"
    --coverage-exclude "${ZEP_COVERAGE_EXCLUDE}" --cobertura "${ZEP_COBERTURA}")
endif()
# With MC/DC (ZEP_LLVM_PROFDATA, ZEP_LLVM_COV): the harness writes its raw
# profile to <trace>.profraw.
set(run)
if(ZEP_LLVM_COV)
  file(REMOVE "${ZEP_DIR}/${ZEP_TRACE}.profraw")
  set(run "${CMAKE_COMMAND}" -E env "LLVM_PROFILE_FILE=${ZEP_DIR}/${ZEP_TRACE}.profraw")
  set(coverage --mcdc "${ZEP_HARNESS}" --llvm-profdata "${ZEP_LLVM_PROFDATA}" --llvm-cov "${ZEP_LLVM_COV}"
    --coverage-root "${ZEP_COVERAGE_ROOT}" --coverage-exclude "${ZEP_COVERAGE_EXCLUDE}")
endif()

execute_process(COMMAND ${run} ${ZEP_EMULATOR} "${ZEP_HARNESS}" WORKING_DIRECTORY "${ZEP_DIR}" RESULT_VARIABLE harness)
# Reported even after a crash: the trace keeps every event up to it.
execute_process(COMMAND "${ZEP_REPORT}" --junit "${ZEP_JUNIT}" --html "${ZEP_HTML}" ${coverage} "${ZEP_TRACE}" "${ZEP_DIR}"
  WORKING_DIRECTORY "${ZEP_DIR}" RESULT_VARIABLE report)
if(EXISTS "${ZEP_HTML}")
  message("HTML report: ${ZEP_HTML}")
endif()

if(NOT harness MATCHES "^[01]$")
  message(FATAL_ERROR "the harness did not finish: ${harness}")
elseif(NOT report MATCHES "^[01]$")
  message(FATAL_ERROR "zepreport could not report on ${ZEP_DIR}/${ZEP_TRACE}: ${report}")
elseif(harness OR report)
  message(FATAL_ERROR "some checks failed (HTML report: ${ZEP_HTML}, JUnit report: ${ZEP_JUNIT})")
endif()
