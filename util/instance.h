/*
 * The module instance handle of the running program.
 *
 * Start-up stores it before anything else; resource loads of the launcher
 * and the library's own resource users read it from here.
 */
#ifndef UTIL_INSTANCE_H
#define UTIL_INSTANCE_H

#include <windows.h>

extern HINSTANCE ModuleInstance;

#endif
