/* Start-up of the mps2-an385 board (Cortex-M3) for a harness: the vector
   table, whose reset entry is newlib's _start (with semihosting, newlib
   sets up the stack, the heap, the standard files and the arguments of
   main), a guard below the stack, and the end of a run by a fault.

   A fault of the harness or the application ends the run with a FAULT
   line in the trace and exit status 3 instead of leaving the processor
   locked up, so that a test never waits for a board that stopped. */
#include <errno.h>
#include <signal.h>
#include <stddef.h>
#include <stdint.h>
#include <unistd.h>

#include "lib/TP.h"

#define REGISTER(address) (*(volatile uint32_t *)(address))
#define SCB_CFSR REGISTER(0xE000ED28)
#define SCB_MMFAR REGISTER(0xE000ED34)
#define MPU_CTRL REGISTER(0xE000ED94)
#define MPU_RNR REGISTER(0xE000ED98)
#define MPU_RBAR REGISTER(0xE000ED9C)
#define MPU_RASR REGISTER(0xE000EDA0)

enum {
    faultStatus = 3,
    /* Large enough that a function with a big frame cannot step over it. */
    guardSize = 1024,
    cfsrStackingError = 1u << 4,
    cfsrAddressValid = 1u << 7,
    mpuEnable = 1u << 0,
    mpuDefaultMap = 1u << 2,
    regionNoExecute = 1u << 28,
};

extern char __stack[];
extern char _zep_stack_size[];
void _start(void);
void _zep_fault_entry(void);
void _zep_board_fault(void);

/* The stack of the fault handler: the harness's own may be what ran out. */
char _zep_fault_stack[4096] __attribute__((aligned(8)));
static uintptr_t guardBase;

/* Every exception but reset is a fault here: the harness enables no
   interrupt, and an unknown exception must end the run as surely. */
__attribute__((section(".zep_vectors"), used)) void (*const _zep_vectors[16])(void) = {
    (void (*)(void))__stack, _start, _zep_fault_entry, _zep_fault_entry,
    _zep_fault_entry, _zep_fault_entry, _zep_fault_entry, 0,
    0, 0, 0, _zep_fault_entry,
    _zep_fault_entry, 0, _zep_fault_entry, _zep_fault_entry,
};

static void stop(const char *kind)
{
    _zep_end_by_fault(kind);
    _exit(faultStatus);
}

__attribute__((naked)) void _zep_fault_entry(void)
{
    __asm volatile("ldr r0, =_zep_fault_stack + 4096\n"
                   "mov sp, r0\n"
                   "b _zep_board_fault\n");
}

/* Memory faults are not enabled on their own, so every fault arrives here
   as a HardFault, which runs with the memory protection off. */
void _zep_board_fault(void)
{
    uint32_t status = SCB_CFSR;
    int inGuard = (status & cfsrAddressValid) && SCB_MMFAR - guardBase < guardSize;
    stop((status & cfsrStackingError) || inGuard ? "STACK" : "HARDFAULT");
}

static void onAbort(int signal)
{
    (void)signal;
    stop("ABORT");
}

/* Run before the constructors of the harness: the stack is still nearly
   empty, so its top is known, and the guard goes _zep_stack_size below. */
__attribute__((constructor(101))) static void startBoard(void)
{
    uintptr_t top;
    __asm volatile("mov %0, sp" : "=r"(top));
    guardBase = (top - (uintptr_t)_zep_stack_size - guardSize) & ~(uintptr_t)(guardSize - 1);
    MPU_RNR = 0;
    MPU_RBAR = guardBase;
    /* No access at all; the size field is log2(size) - 1. */
    MPU_RASR = regionNoExecute | (9u << 1) | mpuEnable;
    MPU_CTRL = mpuDefaultMap | mpuEnable;
    __asm volatile("dsb\n\tisb" ::: "memory");
    signal(SIGABRT, onAbort);
}

/* libstdc++ refers to it (std::random_device); the board has no source of
   entropy. */
int getentropy(void *buffer, size_t length)
{
    (void)buffer;
    (void)length;
    errno = ENOSYS;
    return -1;
}
