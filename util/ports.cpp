/* Port names and the spooler's port list. */
#include "ports.h"

#include <stdlib.h>
#include <string.h>

/* The spooler's names carry a colon (LPT1:); only the first four
 * characters are compared, case and all. */
#define SPOOLER_NAME_LENGTH 4
#define PORT_INFO_LEVEL     1

static const char *const DisplayNames[PORT_COUNT] =
    { "Lpt1", "Lpt2", "Lpt3", "Com1", "Com2", "Com3", "Com4" };
static const char *const SpoolerNames[PORT_COUNT] =
    { "LPT1", "LPT2", "LPT3", "COM1", "COM2", "COM3", "COM4" };
static const char InvalidPortName[] = "Inv";

char PortNameBuffer[PORT_NAME_BUFFER_SIZE];
ENUM_PORTS_ROUTINE EnumPortsRoutine = EnumPortsA;

LPSTR PortCodeToName(BYTE code)
{
    if (code >= PORT_LPT1 && code <= PORT_COUNT)
        lstrcpyA(PortNameBuffer, DisplayNames[code - 1]);
    else
        lstrcpyA(PortNameBuffer, InvalidPortName);
    return PortNameBuffer;
}

BYTE PortNameToCode(LPCSTR name)
{
    for (BYTE code = PORT_LPT1; code <= PORT_COUNT; code++)
        if (lstrcmpiA(name, DisplayNames[code - 1]) == 0)
            return code;
    return PORT_NONE;
}

BOOL GetPresentPorts(BYTE *portPresence)
{
    DWORD needed = 0, returned = 0;
    BOOL result;
    BYTE *list;
    const PORT_INFO_1A *ports;

    result = EnumPortsRoutine(NULL, PORT_INFO_LEVEL, NULL, 0, &needed, &returned);
    if (!result && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return 0;

    list = (BYTE *)malloc(needed);
    if (!list)
        return 0;
    result = EnumPortsRoutine(NULL, PORT_INFO_LEVEL, list, needed, &needed, &returned);
    if (!result)
    {
        free(list);
        return 0;
    }

    ports = (const PORT_INFO_1A *)list;
    for (DWORD i = 0; i < returned; i++)
    {
        if (!ports[i].pName)
            continue;
        for (int code = PORT_LPT1; code <= PORT_COUNT; code++)
            if (strncmp(ports[i].pName, SpoolerNames[code - 1], SPOOLER_NAME_LENGTH) == 0)
                portPresence[code - 1] = (BYTE)code;
    }
    free(list);
    return result;
}
