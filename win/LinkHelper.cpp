// stormfetch-link: the map program's automation calls, made from inside its Wine
// prefix. One verb per run, one fresh connection per run:
//   connect                       attach to the running map program, else start it
//   redraw                        redraw the map (30th method)
//   zoom LEFT TOP RIGHT BOTTOM    13th method, the returned object's 18th, then the 29th
//   watch                         wait for the closing event (exit 0) or the server's end (exit 1)
// Exit status 0 is success; every failure prints one line with the HRESULT and its
// text on standard error. Only connect may start the map program.
#include "ComScope.h"
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The map program's automation class, its dual interface and its event interface.
const CLSID kClassId = {0x33CFA0BD, 0x2826, 0x11D4, {0x82, 0xE8, 0x00, 0xC0, 0xDF, 0x46, 0x4F, 0xC9}};
const IID kMainIid = {0x84C49058, 0x9EE9, 0x48B0, {0xBE, 0x81, 0x51, 0x6B, 0xC8, 0x6F, 0x63, 0x89}};
const IID kEventIid = {0x209E1020, 0x55A8, 0x48D5, {0x82, 0xE3, 0xA6, 0xF4, 0x87, 0xD2, 0xB3, 0xE7}};

// Table slots: three IUnknown and four IDispatch methods come first, so the Nth
// method of the interface itself sits in slot N + 6.
constexpr int kSlotViewObject = 13 + 6; // out: an object reference
constexpr int kSlotViewActivate = 18 + 6; // on the object the 13th method returned
constexpr int kSlotShowArea = 29 + 6;
constexpr int kSlotRedraw = 30 + 6;
constexpr DISPID kDispIdClosing = 3;
constexpr DWORD kWatchProbeMs = 3000; // how often watch checks that the server is still there

using TNoArgs = HRESULT(STDMETHODCALLTYPE*)(void* self);
using TObjectOut = HRESULT(STDMETHODCALLTYPE*)(void* self, IUnknown** object);
using TShowArea = HRESULT(STDMETHODCALLTYPE*)(void* self, double* left, double* top, double* right,
                                              double* bottom, VARIANT_BOOL* flag, short* result);

/// The function in table slot `slot` of a COM object.
template <typename F> F Slot(void* object, int slot)
{
    void** table = *static_cast<void***>(object);
    return reinterpret_cast<F>(table[slot]);
}

/// Releases a COM pointer when it goes out of scope.
template <typename T> struct TRef {
    T* P = nullptr;
    TRef() = default;
    TRef(const TRef&) = delete;
    TRef& operator=(const TRef&) = delete;
    ~TRef()
    {
        if (P)
            P->Release();
    }
    T** Out() { return &P; }
};

/// Texts of the statuses this program meets most; Wine's message table lacks several.
const char* KnownText(HRESULT hr)
{
    switch (static_cast<unsigned long>(hr)) {
    case 0x80040154UL: return "Class not registered";
    case 0x800401E3UL: return "Operation unavailable (no running instance is registered)";
    case 0x800706BAUL: return "The RPC server is unavailable";
    case 0x800706BEUL: return "The remote procedure call failed";
    case 0x80080005UL: return "Server execution failed";
    case 0x80004002UL: return "No such interface supported";
    case 0x80004003UL: return "Invalid pointer";
    case 0x80004005UL: return "Unspecified error";
    case 0x80010108UL: return "The object invoked has disconnected from its clients";
    case 0x80040200UL: return "No connection for this cookie";
    case 0x80040202UL: return "The event sink could not be connected";
    default: return nullptr;
    }
}

/// Prints "stormfetch-link: <what> failed: 0x........ <text>" and returns exit status 1.
int Fail(const char* what, HRESULT hr)
{
    char text[512] = "";
    DWORD n = 0;
    if (const char* known = KnownText(hr))
        n = static_cast<DWORD>(std::snprintf(text, sizeof text, "%s", known));
    else
        n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(hr), 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.'))
        text[--n] = '\0';
    if (n == 0)
        std::snprintf(text, sizeof text, "unknown error");
    std::fprintf(stderr, "stormfetch-link: %s failed: 0x%08lX %s\n", what, static_cast<unsigned long>(hr), text);
    return 1;
}

int Usage()
{
    std::fprintf(stderr, "usage: stormfetch-link connect | redraw | zoom LEFT TOP RIGHT BOTTOM | watch\n");
    return 2;
}

/// The running instance's dual interface; never starts the map program.
HRESULT AttachRunning(IDispatch** main)
{
    TRef<IUnknown> running;
    HRESULT hr = GetActiveObject(kClassId, nullptr, running.Out());
    if (FAILED(hr))
        return hr;
    return running.P->QueryInterface(kMainIid, reinterpret_cast<void**>(main));
}

int Connect()
{
    TRef<IDispatch> main;
    HRESULT hr = AttachRunning(main.Out());
    if (FAILED(hr)) {
        // Nothing running (or not reachable): create an instance, which starts the program.
        TRef<IUnknown> created;
        hr = CoCreateInstance(kClassId, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(created.Out()));
        if (FAILED(hr))
            return Fail("connect (create the map program's automation object)", hr);
        hr = created.P->QueryInterface(kMainIid, reinterpret_cast<void**>(main.Out()));
        if (FAILED(hr))
            return Fail("connect (obtain the automation interface)", hr);
    }
    return 0;
}

int Redraw()
{
    TRef<IDispatch> main;
    HRESULT hr = AttachRunning(main.Out());
    if (FAILED(hr))
        return Fail("redraw (attach to the running map program)", hr);
    hr = Slot<TNoArgs>(main.P, kSlotRedraw)(main.P);
    if (FAILED(hr))
        return Fail("redraw (30th method)", hr);
    return 0;
}

/// A whole argument as a double; false for anything else (no partial numbers).
bool ParseDouble(const char* text, double& value)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    // ERANGE also flags subnormal results, which are exact bounds: only overflow is refused.
    return end && *end == '\0' && !(errno == ERANGE && (value == HUGE_VAL || value == -HUGE_VAL));
}

int Zoom(int argc, char** argv)
{
    double left = 0, top = 0, right = 0, bottom = 0;
    if (argc != 6 || !ParseDouble(argv[2], left) || !ParseDouble(argv[3], top) || !ParseDouble(argv[4], right) ||
        !ParseDouble(argv[5], bottom))
        return Usage();
    TRef<IDispatch> main;
    HRESULT hr = AttachRunning(main.Out());
    if (FAILED(hr))
        return Fail("zoom (attach to the running map program)", hr);
    TRef<IUnknown> view;
    hr = Slot<TObjectOut>(main.P, kSlotViewObject)(main.P, view.Out());
    if (FAILED(hr))
        return Fail("zoom (13th method)", hr);
    if (!view.P)
        return Fail("zoom (13th method returned no object)", E_POINTER);
    // The object's interface id is not known: its slot 24 is called on the pointer as returned.
    hr = Slot<TNoArgs>(view.P, kSlotViewActivate)(view.P);
    if (FAILED(hr))
        return Fail("zoom (18th method of the returned object)", hr);
    VARIANT_BOOL flag = VARIANT_FALSE;
    short ignored = 0;
    hr = Slot<TShowArea>(main.P, kSlotShowArea)(main.P, &left, &top, &right, &bottom, &flag, &ignored);
    if (FAILED(hr))
        return Fail("zoom (29th method)", hr);
    return 0;
}

/// The event sink: accepts every event, remembers the closing one.
class TSink : public IDispatch {
public:
    bool Closing = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kEventIid)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the stack of Watch, which outlives the connection.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        if (id == kDispIdClosing) {
            Closing = true;
            PostQuitMessage(0);
        }
        return S_OK;
    }

private:
    ULONG m_refs = 1;
};

int Watch()
{
    TRef<IDispatch> main;
    HRESULT hr = AttachRunning(main.Out());
    if (FAILED(hr))
        return Fail("watch (attach to the running map program)", hr);
    TRef<IConnectionPointContainer> container;
    hr = main.P->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Out()));
    if (FAILED(hr))
        return Fail("watch (obtain the connection points)", hr);
    TRef<IConnectionPoint> point;
    hr = container.P->FindConnectionPoint(kEventIid, point.Out());
    if (FAILED(hr))
        return Fail("watch (find the event interface)", hr);
    TSink sink;
    DWORD cookie = 0;
    hr = point.P->Advise(&sink, &cookie);
    if (FAILED(hr))
        return Fail("watch (connect the event sink)", hr);

    DWORD lastProbe = GetTickCount();
    for (;;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kWatchProbeMs, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (sink.Closing) {
            // No Unadvise: the closing server may be gone already, and the link ends with this process.
            std::printf("closing\n");
            return 0;
        }
        if (GetTickCount() - lastProbe >= kWatchProbeMs) {
            lastProbe = GetTickCount();
            // A cheap call that crosses to the server: it fails once the server has gone.
            UINT count = 0;
            hr = main.P->GetTypeInfoCount(&count);
            if (FAILED(hr))
                return Fail("watch (the map program went away without its closing event)", hr);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string verb = argv[1];
    if (verb != "connect" && verb != "redraw" && verb != "zoom" && verb != "watch")
        return Usage();
    if ((verb == "zoom") != (argc != 2))
        return Usage();
    TComScope com;
    if (FAILED(com.Hr))
        return Fail("COM start-up", com.Hr);
    if (verb == "connect")
        return Connect();
    if (verb == "redraw")
        return Redraw();
    if (verb == "zoom")
        return Zoom(argc, argv);
    return Watch();
}
