/* Runs the folder chooser's dialog once and writes what came of it to a
 * file, a line each: the result, the caller's buffer and the library's
 * path buffer. Arguments: the start path, the output file and, optionally,
 * a name: the program then sets the event <name>Ready and waits for
 * <name>Go, so that a driver can change its surroundings before the
 * dialog opens. */
#include <windows.h>
#include <stdio.h>
#include "util/folders.h"
#include "util/osinfo.h"

int main(int argc, char **argv)
{
    char path[FOLDER_PATH_SIZE];

    if (argc < 3)
        return 2;
    if (argc > 3)
    {
        char name[MAX_PATH];
        wsprintfA(name, "%.200sReady", argv[3]);
        HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
        wsprintfA(name, "%.200sGo", argv[3]);
        HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, name);
        if (!ready || !go)
            return 3;
        SetEvent(ready);
        if (WaitForSingleObject(go, INFINITE) != WAIT_OBJECT_0)
            return 3;
        CloseHandle(ready);
        CloseHandle(go);
    }
    lstrcpynA(path, argv[1], sizeof(path));
    int result = ChooseFolder(GetModuleHandleA(NULL), NULL, OS_TYPE_WINNT3, path, "Probe");

    FILE *out = fopen(argv[2], "wb");
    if (!out)
        return 4;
    fprintf(out, "%d\n%s\n%s\n", result, path, FolderPathBuffer);
    fclose(out);
    return 0;
}
