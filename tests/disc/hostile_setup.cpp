/*
 * A disc's SETUP.EXE that attacks the disc trial's host, for the trial's
 * tests. It reads HOSTILE.TXT beside itself: one line per Windows version,
 * "MAJOR.MINOR ATTACK [ARGUMENTS]", and carries out the line of the
 * version it is told, then shows a message box that says what it did (an
 * attack that the trial stops never gets there). Where Win32 would not let
 * it, it makes Linux system calls itself, as any program under Wine can.
 *
 *   links HOSTFILE HOSTPICTURE  links named as the driver's old result
 *             files, and others, to the host's files; a FIFO in their
 *             place; a record of its own written to its standard output
 *   deep N    N folders nested in C:\, some read-only, with odd names
 *   fill      writes files on C:\ until the disk refuses
 *   fork      forks without end
 *   memory    eight processes that each take 512 MiB
 *   hang      shows nothing and never ends
 *   well      does nothing but show its box
 */
#include <windows.h>
#include <stdint.h>
#include <stdio.h>
#include <string>

#define BOX_CAPTION "Hostile setup"
#define FILL_CHUNK (1 << 20)
#define FILL_LIMIT_MB 4096
#define MEMORY_CHILDREN 8
#define MEMORY_CHUNK (512u << 20)
#define PAGE 4096

/* --- Linux system calls, made directly ---------------------------------- */

#if defined(__x86_64__)
enum { SYS_CLOSE = 3, SYS_MMAP = 9, SYS_PAUSE = 34, SYS_FORK = 57, SYS_FCHMOD = 91,
       SYS_SYMLINK = 88, SYS_MKNOD = 133, SYS_OPENAT = 257, SYS_MKDIRAT = 258 };
#else
/* The old mmap of 32-bit Linux takes its six arguments in one block. */
enum { SYS_CLOSE = 6, SYS_MKNOD = 14, SYS_PAUSE = 29, SYS_SYMLINK = 83, SYS_FCHMOD = 94,
       SYS_OLD_MMAP = 90, SYS_FORK = 2, SYS_OPENAT = 295, SYS_MKDIRAT = 296 };
#endif
#define LINUX_AT_FDCWD  (-100)
#define LINUX_O_DIRECTORY 0200000
#define LINUX_S_IFIFO   0010000
#define LINUX_PROT_RW   3
#define LINUX_MAP_PRIVATE_ANONYMOUS 0x22

static intptr_t Linux(intptr_t number, intptr_t a = 0, intptr_t b = 0, intptr_t c = 0,
                      intptr_t d = 0, intptr_t e = 0, intptr_t f = 0)
{
    intptr_t result;
#if defined(__x86_64__)
    register intptr_t r10 __asm__("r10") = d;
    register intptr_t r8 __asm__("r8") = e;
    register intptr_t r9 __asm__("r9") = f;
    __asm__ volatile("syscall" : "=a"(result)
                     : "a"(number), "D"(a), "S"(b), "d"(c), "r"(r10), "r"(r8), "r"(r9)
                     : "rcx", "r11", "memory");
#else
    (void)f;
    __asm__ volatile("int $0x80" : "=a"(result)
                     : "a"(number), "b"(a), "c"(b), "d"(c), "S"(d), "D"(e) : "memory");
#endif
    return result;
}

/* Anonymous memory of the given size, straight from Linux. */
static char *LinuxMap(uintptr_t size)
{
#if defined(__x86_64__)
    return (char *)Linux(SYS_MMAP, 0, (intptr_t)size, LINUX_PROT_RW, LINUX_MAP_PRIVATE_ANONYMOUS,
                         -1, 0);
#else
    intptr_t block[6] = { 0, (intptr_t)size, LINUX_PROT_RW, LINUX_MAP_PRIVATE_ANONYMOUS, -1, 0 };
    return (char *)Linux(SYS_OLD_MMAP, (intptr_t)block);
#endif
}

/* A Windows path as the host names it, through Wine's own call. */
static std::string UnixPath(const char *windowsPath)
{
    typedef char *(CDECL *ToUnix)(LPCWSTR);
    ToUnix toUnix = (ToUnix)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                           "wine_get_unix_file_name");
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, windowsPath, -1, wide, MAX_PATH);
    char *unix = toUnix ? toUnix(wide) : NULL;
    std::string path = unix ? unix : "";
    if (unix)
        HeapFree(GetProcessHeap(), 0, unix);
    return path;
}

/* A process that does nothing any more, and never returns into Wine. */
static void Rest()
{
    for (;;)
        Linux(SYS_PAUSE);
}

/* --- The attacks -------------------------------------------------------- */

static std::string Links(const std::string &hostFile, const std::string &hostPicture)
{
    CreateDirectoryA("C:\\tarnell-trial", NULL);
    const char *names[] = { "C:\\tarnell-trial\\result.txt", "C:\\tarnell-trial\\shot.bmp",
                            "C:\\result.txt", "C:\\shot.bmp" };
    int made = 0;
    for (int i = 0; i < 4; i++)
    {
        DeleteFileA(names[i]);
        const std::string &target = i % 2 ? hostPicture : hostFile;
        made += Linux(SYS_SYMLINK, (intptr_t)target.c_str(),
                      (intptr_t)UnixPath(names[i]).c_str()) == 0;
    }
    std::string fifo = UnixPath("C:\\tarnell-trial\\record.fifo");
    made += Linux(SYS_MKNOD, (intptr_t)fifo.c_str(), LINUX_S_IFIFO | 0666, 0) == 0;

    /* A verdict of its own, where the driver's record once went. */
    const char forged[] = "appeared=box\ncaption=Forged\ntext=Unsupported Operating System\n"
                          "started=none\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), forged, sizeof(forged) - 1, &written, NULL);
    char report[96];
    wsprintfA(report, "made %d links and FIFOs; wrote %lu bytes to its output", made,
              (unsigned long)written);
    return report;
}

static std::string Deep(int levels)
{
    std::string top = UnixPath("C:\\");
    intptr_t folder = Linux(SYS_OPENAT, LINUX_AT_FDCWD, (intptr_t)top.c_str(), LINUX_O_DIRECTORY);
    /* Names Windows would not make: a line break, bytes that are no
     * UTF-8, a backslash. */
    const char *names[] = { "deep", "line\nbreak", "\xff\xfe", "back\\slash" };
    int made = 0;
    for (int level = 0; level < levels && folder >= 0; level++)
    {
        const char *name = names[level % 4];
        if (Linux(SYS_MKDIRAT, folder, (intptr_t)name, 0755) != 0)
            break;
        intptr_t inner = Linux(SYS_OPENAT, folder, (intptr_t)name, LINUX_O_DIRECTORY);
        /* Every tenth folder, with a sibling beside the way down, made
         * read-only once the way on is made. */
        if (level % 10 == 9)
        {
            Linux(SYS_MKDIRAT, folder, (intptr_t)"sibling", 0755);
            Linux(SYS_FCHMOD, folder, 0555);
        }
        Linux(SYS_CLOSE, folder);
        folder = inner;
        made++;
    }
    if (folder >= 0)
        Linux(SYS_CLOSE, folder);
    char report[64];
    wsprintfA(report, "nested %d folders", made);
    return report;
}

static std::string Fill()
{
    static char chunk[FILL_CHUNK];
    memset(chunk, 'x', sizeof(chunk));
    int megabytes = 0;
    for (int file = 0; megabytes < FILL_LIMIT_MB; file++)
    {
        char name[MAX_PATH];
        wsprintfA(name, "C:\\fill%03d.bin", file);
        HANDLE out = CreateFileA(name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (out == INVALID_HANDLE_VALUE)
            break;
        DWORD written = 0;
        bool full = false;
        for (int i = 0; i < 256 && !full; i++)
        {
            full = !WriteFile(out, chunk, sizeof(chunk), &written, NULL) || written != sizeof(chunk);
            megabytes += !full;
        }
        CloseHandle(out);
        if (full)
            break;
    }
    char report[64];
    wsprintfA(report, "wrote %d MiB", megabytes);
    return report;
}

static void Fork()
{
    for (;;)
        if (Linux(SYS_FORK) < 0)
            Linux(SYS_PAUSE);
}

static void TakeMemory()
{
    char *memory = LinuxMap(MEMORY_CHUNK);
    if ((uintptr_t)memory < (uintptr_t)-4096)
        for (size_t at = 0; at < MEMORY_CHUNK; at += PAGE)
            memory[at] = 1;
    Rest();
}

static void Memory()
{
    for (int i = 0; i < MEMORY_CHILDREN; i++)
        if (Linux(SYS_FORK) == 0)
            TakeMemory();
    TakeMemory();
}

/* --- What to do ----------------------------------------------------------- */

/* The line of HOSTILE.TXT for the version the program is told. */
static std::string Orders()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    while (length > 0 && path[length - 1] != '\\')
        length--;
    lstrcpyA(path + length, "HOSTILE.TXT");

    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    char key[32];
    wsprintfA(key, "%lu.%lu ", version.dwMajorVersion, version.dwMinorVersion);

    FILE *in = fopen(path, "r");
    char line[1024];
    std::string found;
    while (in && fgets(line, sizeof(line), in))
        if (strncmp(line, key, lstrlenA(key)) == 0)
        {
            found = line + lstrlenA(key);
            break;
        }
    if (in)
        fclose(in);
    while (!found.empty() && (found.back() == '\n' || found.back() == '\r'))
        found.pop_back();
    return found;
}

static std::string Word(const std::string &line, int index)
{
    size_t start = 0;
    for (int i = 0; i < index && start != std::string::npos; i++)
        start = line.find(' ', start) == std::string::npos ? std::string::npos
                                                            : line.find(' ', start) + 1;
    if (start == std::string::npos)
        return "";
    return line.substr(start, line.find(' ', start) - start);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)showCommand;

    std::string orders = Orders(), attack = Word(orders, 0), report;
    if (attack == "links")
        report = Links(Word(orders, 1), Word(orders, 2));
    else if (attack == "deep")
        report = Deep(atoi(Word(orders, 1).c_str()));
    else if (attack == "fill")
        report = Fill();
    else if (attack == "fork")
        Fork();
    else if (attack == "memory")
        Memory();
    else if (attack == "hang")
        Rest();
    else
        report = attack == "well" ? "well" : "no orders for this version";
    MessageBoxA(NULL, report.c_str(), BOX_CAPTION, MB_OK);
    return 0;
}
