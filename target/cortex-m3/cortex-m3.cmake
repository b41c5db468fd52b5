# Toolchain file of a cross build for the Cortex-M3 board mps2-an385, whose
# tests run under QEMU:
#
#   cmake -S <project> -B <build> -DCMAKE_PREFIX_PATH=<prefix> \
#         -DCMAKE_TOOLCHAIN_FILE=<prefix>/lib/cmake/zepprepro/cortex-m3.cmake
#
# find_package(zepprepro) then gives zepprepro_add_test() with the
# cortex-m3 target package: the harness is linked for the board and run by
# the emulator, with a time-out (ZEPPREPRO_TEST_TIMEOUT seconds, default 60).
# Needs gcc-arm-none-eabi, libnewlib-arm-none-eabi,
# libstdc++-arm-none-eabi-newlib and qemu-system-arm.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
# A program cannot be linked before the board's start-up code is known.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(ZEPPREPRO_TARGET cortex-m3)
get_filename_component(_zep_board "${CMAKE_CURRENT_LIST_DIR}/../../../target/cortex-m3/lib" ABSOLUTE)
set(CMAKE_C_FLAGS_INIT "-mcpu=cortex-m3 -mthumb -ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-mcpu=cortex-m3 -mthumb")
# Given to every harness and its SOURCES through zepprepro::tp as well, so
# that a CMAKE_CXX_FLAGS of the command line, which replaces the flags
# above, cannot build a harness for another processor. newlib with
# semihosting: the harness's files are the host's.
set(ZEPPREPRO_TARGET_COMPILE_OPTIONS -mcpu=cortex-m3 -mthumb)
set(ZEPPREPRO_TARGET_LINK_OPTIONS -mcpu=cortex-m3 -mthumb -specs=rdimon.specs "-T${_zep_board}/board.ld"
  -Wl,--gc-sections)
set(CMAKE_CROSSCOMPILING_EMULATOR
  qemu-system-arm -M mps2-an385 -nographic -semihosting-config enable=on,target=native -kernel)
