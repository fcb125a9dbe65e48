/* The checksums' choice of path for long blocks, made once per process.
 * Carry-less multiply needs the processor to have it, with SSE2 and SSSE3
 * (CPUID, which a 386 and early 486s lack: their EFLAGS ID bit cannot be
 * changed), and a system that saves the XMM registers across task
 * switches, which Windows 95 and NT before 2000 do not: such a system
 * does not report SSE, or, as Windows 95, has no IsProcessorFeaturePresent
 * at all, which is why it is looked up at run time and not imported. */
#include <windows.h>
#include <cpuid.h>
#include <x86intrin.h>
#include "util/checksum.h"

#define EFLAGS_ID            0x00200000  /* changeable where CPUID exists */
#define CPUID_HIGHEST_LEAF   0
#define CPUID_FEATURES_LEAF  1
#define ECX_PCLMULQDQ        (1u << 1)
#define ECX_SSSE3            (1u << 9)
#define EDX_SSE2             (1u << 26)
#define KERNEL_MODULE        "KERNEL32.DLL"
#define FEATURE_QUERY_NAME   "IsProcessorFeaturePresent"

volatile LONG CrcPath = 0;

/* IsProcessorFeaturePresent where the system has it; no where it has not. */
static BOOL WINAPI AskSystemForFeature(DWORD feature)
{
    HMODULE kernel = GetModuleHandleA(KERNEL_MODULE);
    FARPROC query = kernel ? GetProcAddress(kernel, FEATURE_QUERY_NAME) : NULL;
    /* Cast through the generic function type: the two differ by design. */
    return query && ((PROCESSOR_FEATURE_ROUTINE)(void (*)(void))query)(feature);
}

PROCESSOR_FEATURE_ROUTINE ProcessorFeatureRoutine = AskSystemForFeature;

/* Whether the EFLAGS ID bit can be flipped: the test for CPUID, the same
 * in 32-bit and 64-bit code. */
static BOOL ProcessorHasCpuid(void)
{
    ULONG_PTR flags = (ULONG_PTR)__readeflags();
    __writeeflags(flags ^ EFLAGS_ID);
    ULONG_PTR changed = (ULONG_PTR)__readeflags();
    __writeeflags(flags);
    return ((changed ^ flags) & EFLAGS_ID) != 0;
}

static BOOL ProcessorCanFold(void)
{
    unsigned int highest, eax, ebx, ecx, edx;

    if (!ProcessorHasCpuid())
        return FALSE;
    __cpuid(CPUID_HIGHEST_LEAF, highest, ebx, ecx, edx);
    if (highest < CPUID_FEATURES_LEAF)
        return FALSE;
    __cpuid(CPUID_FEATURES_LEAF, eax, ebx, ecx, edx);
    return (ecx & ECX_PCLMULQDQ) && (ecx & ECX_SSSE3) && (edx & EDX_SSE2);
}

LONG ChooseCrcPath(void)
{
    /* A system that reports SSE saves the XMM registers, whatever later
     * extension uses them. */
    if (ProcessorCanFold() && ProcessorFeatureRoutine(PF_XMMI_INSTRUCTIONS_AVAILABLE))
        return CRC_PATH_FOLDING;
    return CRC_PATH_TABLES;
}
