/* A watch on COM's task allocator (an IMallocSpy, registered with
 * CoRegisterMallocSpy), which the shell uses for item lists: it keeps the
 * blocks still allocated, so that a test can tell one was freed. */
#ifndef TESTS_ALLOCWATCH_H
#define TESTS_ALLOCWATCH_H

#include <windows.h>
#include <objbase.h>
#include <string.h>
#include <map>

/* Watches COM's task allocator, which the shell uses for item lists, and
 * keeps the blocks still allocated. */
class AllocatorWatch : public IMallocSpy
{
public:
    AllocatorWatch() { InitializeCriticalSection(&lock); }
    ~AllocatorWatch() { DeleteCriticalSection(&lock); }

    /* Whether a block still allocated holds exactly these bytes. */
    bool Holds(const void *bytes, SIZE_T size)
    {
        EnterCriticalSection(&lock);
        bool held = false;
        for (const auto &block : blocks)
            if (block.second == size && memcmp(block.first, bytes, size) == 0)
                held = true;
        LeaveCriticalSection(&lock);
        return held;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void **object) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy))
        {
            *object = this;
            return S_OK;
        }
        *object = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T size) override
    {
        EnterCriticalSection(&lock);
        pending = size;
        return size;
    }
    STDMETHODIMP_(void *) PostAlloc(void *block) override
    {
        if (block)
            blocks[block] = pending;
        LeaveCriticalSection(&lock);
        return block;
    }
    STDMETHODIMP_(void *) PreFree(void *block, BOOL) override
    {
        EnterCriticalSection(&lock);
        blocks.erase(block);
        LeaveCriticalSection(&lock);
        return block;
    }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void *block, SIZE_T size, void **newBlock, BOOL) override
    {
        EnterCriticalSection(&lock);
        blocks.erase(block);
        pending = size;
        *newBlock = block;
        return size;
    }
    STDMETHODIMP_(void *) PostRealloc(void *block, BOOL) override
    {
        if (block)
            blocks[block] = pending;
        LeaveCriticalSection(&lock);
        return block;
    }
    STDMETHODIMP_(void *) PreGetSize(void *block, BOOL) override { return block; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T size, BOOL) override { return size; }
    STDMETHODIMP_(void *) PreDidAlloc(void *block, BOOL) override { return block; }
    STDMETHODIMP_(int) PostDidAlloc(void *, BOOL, int result) override { return result; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

private:
    CRITICAL_SECTION lock;
    std::map<void *, SIZE_T> blocks;
    SIZE_T pending = 0;
};

#endif
