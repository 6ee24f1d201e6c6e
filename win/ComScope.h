// COM on the calling thread for the life of a program run, in a single-threaded
// apartment: calls and events arrive through the thread's message loop.
#pragma once
#include <objbase.h>

struct TComScope {
    HRESULT Hr;
    TComScope() : Hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~TComScope()
    {
        if (SUCCEEDED(Hr))
            CoUninitialize();
    }
    TComScope(const TComScope&) = delete;
    TComScope& operator=(const TComScope&) = delete;
};
