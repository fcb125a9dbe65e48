/* The test helpers' own tests: the list-box reader, which the folder
 * chooser's tests use across threads. */
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "testwin.h"

/* A list box on a thread of its own that refills it without pause, with
 * short or long entries in an order of no pattern (a strict alternation
 * falls into step with the reader), and takes sent messages only between
 * two refills, as the chooser's thread does. */
#define REFILL_ENTRIES 8
#define LONG_ENTRY_LENGTH 200

static std::string RefillEntry(int index, bool longForm)
{
    std::string entry = std::to_string(index);
    return longForm ? entry + std::string(LONG_ENTRY_LENGTH, 'w') : entry;
}

struct RefilledList
{
    HWND list;
    HANDLE ready, stop;
};

static DWORD WINAPI RefillList(LPVOID context)
{
    RefilledList *refilled = (RefilledList *)context;
    refilled->list = CreateWindowExA(0, "LISTBOX", "", WS_POPUP, 0, 0, 100, 100, NULL, NULL,
                                     GetModuleHandleA(NULL), NULL);
    SetEvent(refilled->ready);
    unsigned int draw = 1;
    while (WaitForSingleObject(refilled->stop, 0) == WAIT_TIMEOUT)
    {
        draw = draw * 1103515245u + 12345u;
        bool longForm = (draw >> 16) & 1;
        SendMessageA(refilled->list, LB_RESETCONTENT, 0, 0);
        for (int i = 0; i < REFILL_ENTRIES; i++)
            SendMessageA(refilled->list, LB_ADDSTRING, 0, (LPARAM)RefillEntry(i, longForm).c_str());
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
    DestroyWindow(refilled->list);
    return 0;
}

/* The test helpers read the chooser's lists from this thread while the
 * chooser's thread refills them. Each read must be one whole state of the
 * list and must not write past its buffers when an entry grows between
 * asking for its length and copying it. */
TEST(ListBoxReading, AListRefilledByAnotherThreadIsReadWhole)
{
    RefilledList refilled = { NULL, CreateEventA(NULL, TRUE, FALSE, NULL), CreateEventA(NULL, TRUE, FALSE, NULL) };
    HANDLE thread = CreateThread(NULL, 0, RefillList, &refilled, 0, NULL);
    ASSERT_EQ(WaitForSingleObject(refilled.ready, TestTimeout()), (DWORD)WAIT_OBJECT_0);

    int torn = 0, shortReads = 0, longReads = 0;
    for (int round = 0; round < 200; round++)
    {
        std::vector<std::string> lines = ListBoxLines(refilled.list);
        bool longForm = !lines.empty() && lines[0].size() > LONG_ENTRY_LENGTH;
        (longForm ? longReads : shortReads)++;
        bool whole = lines.size() == REFILL_ENTRIES;
        for (size_t i = 0; whole && i < lines.size(); i++)
            whole = lines[i] == RefillEntry((int)i, longForm);
        torn += !whole;

        int index = round % REFILL_ENTRIES;
        std::string entry = ListBoxText(refilled.list, index);
        torn += entry != RefillEntry(index, false) && entry != RefillEntry(index, true);
    }
    SetEvent(refilled.stop);
    WaitForSingleObject(thread, TestTimeout());
    CloseHandle(thread);
    CloseHandle(refilled.ready);
    CloseHandle(refilled.stop);

    EXPECT_EQ(torn, 0) << "reads that mixed two fillings";
    EXPECT_GT(shortReads, 0);
    EXPECT_GT(longReads, 0);
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; i++)
        EXPECT_TRUE(HeapValidate(heaps[i], 0, NULL)) << "heap " << i << " damaged";
}
