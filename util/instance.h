/*
 * The module instance handle of the running program.
 *
 * The program stores it at start-up before anything else; the library
 * never writes it. Resource loads of the launcher and the sound cues read
 * it from here.
 */
#ifndef UTIL_INSTANCE_H
#define UTIL_INSTANCE_H

#include <windows.h>

extern HINSTANCE ModuleInstance;

#endif
