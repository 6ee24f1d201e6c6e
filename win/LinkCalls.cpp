#include "LinkCalls.h"
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace link {

namespace {

// The map program's automation class, its dual interface and its event interface.
const CLSID kClassId = {0x33CFA0BD, 0x2826, 0x11D4, {0x82, 0xE8, 0x00, 0xC0, 0xDF, 0x46, 0x4F, 0xC9}};
const IID kMainIid = {0x84C49058, 0x9EE9, 0x48B0, {0xBE, 0x81, 0x51, 0x6B, 0xC8, 0x6F, 0x63, 0x89}};
const IID kEventIid = {0x209E1020, 0x55A8, 0x48D5, {0x82, 0xE3, 0xA6, 0xF4, 0x87, 0xD2, 0xB3, 0xE7}};
const wchar_t kServerKey[] = L"CLSID\\{33CFA0BD-2826-11D4-82E8-00C0DF464FC9}\\LocalServer32";

// Table slots: three IUnknown and four IDispatch methods come first, so the Nth
// method of the interface itself sits in slot N + 6.
constexpr int kSlotViewObject = 13 + 6; // out: an object reference
constexpr int kSlotViewActivate = 18 + 6; // on the object the 13th method returned
constexpr int kSlotShowArea = 29 + 6;
constexpr int kSlotRedraw = 30 + 6;
constexpr DISPID kDispIdClosing = 3;
constexpr int kRundownTries = 20;      // 100 ms each
constexpr DWORD kStartWaitMs = 45000; // a map program started by hand may take this long to register

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
    case 0x800401FDUL: return "Object is not connected to server";
    case 0x80040200UL: return "No connection for this cookie";
    case 0x80040202UL: return "The event sink could not be connected";
    case 0x8007000EUL: return "Not enough memory";
    default: return nullptr;
    }
}

/// Runs the thread's messages for up to ms (a single-threaded apartment must keep pumping).
void Pump(DWORD ms)
{
    const DWORD start = GetTickCount();
    for (DWORD passed = 0; passed < ms; passed = GetTickCount() - start) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - passed, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

/// The main interface of unknown, checked once to reach a live server (a dispatch
/// method that every automation object answers).
HRESULT Live(IUnknown* unknown, IDispatch** main)
{
    TRef<IDispatch> m;
    HRESULT hr = unknown->QueryInterface(kMainIid, reinterpret_cast<void**>(m.Out()));
    UINT count = 0;
    if (SUCCEEDED(hr))
        hr = m.P->GetTypeInfoCount(&count);
    if (FAILED(hr))
        return hr;
    *main = m.P;
    m.P = nullptr;
    return S_OK;
}

HRESULT Running(IDispatch** main)
{
    TRef<IUnknown> running;
    HRESULT hr = GetActiveObject(kClassId, nullptr, running.Out());
    return FAILED(hr) ? hr : Live(running.P, main);
}

/// An instance through the class object: a running server's, else COM starts one.
HRESULT Create(IDispatch** main)
{
    TRef<IUnknown> created;
    HRESULT hr = CoCreateInstance(kClassId, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(created.Out()));
    return FAILED(hr) ? hr : Live(created.P, main);
}

/// Starts the registered server the way COM does ("<command> -Embedding").
HRESULT StartRegisteredServer()
{
    wchar_t command[MAX_PATH + 32] = L"";
    LONG size = sizeof command - 16 * sizeof(wchar_t);
    LONG rc = RegQueryValueW(HKEY_CLASSES_ROOT, kServerKey, command, &size);
    if (rc != ERROR_SUCCESS)
        return rc == ERROR_FILE_NOT_FOUND ? REGDB_E_CLASSNOTREG : HRESULT_FROM_WIN32(rc);
    wcscat(command, L" -Embedding");
    // The program gets no standard handles of this helper: it would hold the calling
    // program's pipes open for its whole life.
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process))
        return HRESULT_FROM_WIN32(GetLastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return S_OK;
}

} // namespace

std::string FailText(const char* what, HRESULT hr)
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
    char line[700];
    std::snprintf(line, sizeof line, "%s failed: 0x%08lX %s", what, static_cast<unsigned long>(hr), text);
    return line;
}

bool IsServerGone(HRESULT hr)
{
    switch (static_cast<unsigned long>(hr)) {
    case 0x800706BAUL: // RPC server unavailable: the process has ended
    case 0x800706BEUL: // the call failed on the way
    case 0x80010108UL: // RPC_E_DISCONNECTED
    case 0x800401FDUL: // CO_E_OBJNOTCONNECTED
        return true;
    default:
        return false;
    }
}

HRESULT Probe(IDispatch* main)
{
    // Any answer but a transport failure means the server is there; an unknown name is the usual one.
    wchar_t name[] = L"StormfetchProbe";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    HRESULT hr = main->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return IsServerGone(hr) ? hr : S_OK;
}

HRESULT Attach(bool mayStart, IDispatch** main, const char** what)
{
    *main = nullptr;
    HRESULT hr = Running(main);
    // A killed server's running-object entry is dropped when Wine notices the process's
    // end, moments later; until then it hides the entry of an instance started since.
    for (int i = 0; i < kRundownTries && IsServerGone(hr); ++i) {
        Pump(100);
        hr = Running(main);
    }
    if (SUCCEEDED(hr))
        return hr;
    // Wine keeps a killed server's running-object entry: a dead entry is no answer, and
    // a server registered after it is reached through its class object instead.
    if (!mayStart && !IsServerGone(hr)) {
        *what = "attach to the running map program";
        return hr;
    }
    hr = Create(main);
    if (SUCCEEDED(hr) || !mayStart || !IsServerGone(hr)) {
        *what = mayStart ? "connect (create the map program's automation object)" : "attach to the running map program";
        return hr;
    }
    // Wine (8.0) also keeps the killed server's class registration, ahead of any later
    // one, and COM then neither reaches nor starts the program. Start it as COM would;
    // its running-object entry (Wine drops a dead process's entries there) or, once
    // the dead one is gone, its class object then answers.
    HRESULT started = StartRegisteredServer();
    if (FAILED(started)) {
        *what = "connect (start the map program registered for the class)";
        return started;
    }
    const DWORD begin = GetTickCount();
    while (GetTickCount() - begin < kStartWaitMs) {
        Pump(100);
        hr = Running(main);
        if (SUCCEEDED(hr))
            return hr;
        hr = Create(main);
        if (SUCCEEDED(hr))
            return hr;
    }
    *what = "connect (the restarted map program did not register)";
    return hr;
}

HRESULT Redraw(IDispatch* main, const char** what)
{
    HRESULT hr = Slot<TNoArgs>(main, kSlotRedraw)(main);
    *what = "redraw (30th method)";
    return hr;
}

HRESULT Zoom(IDispatch* main, double left, double top, double right, double bottom, const char** what,
             IUnknown** spent)
{
    TRef<IUnknown> view;
    HRESULT hr = Slot<TObjectOut>(main, kSlotViewObject)(main, view.Out());
    *what = "zoom (13th method)";
    if (FAILED(hr))
        return hr;
    if (!view.P) {
        *what = "zoom (13th method returned no object)";
        return E_POINTER;
    }
    // The object's interface id is not known: its slot 24 is called on the pointer as returned.
    hr = Slot<TNoArgs>(view.P, kSlotViewActivate)(view.P);
    *what = "zoom (18th method of the returned object)";
    if (FAILED(hr))
        return hr;
    VARIANT_BOOL flag = VARIANT_FALSE;
    short ignored = 0;
    hr = Slot<TShowArea>(main, kSlotShowArea)(main, &left, &top, &right, &bottom, &flag, &ignored);
    *what = "zoom (29th method)";
    if (spent) {
        *spent = view.P;
        view.P = nullptr;
    }
    return hr;
}

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

HRESULT STDMETHODCALLTYPE TSink::QueryInterface(REFIID riid, void** out)
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

HRESULT STDMETHODCALLTYPE TSink::GetTypeInfoCount(UINT* count)
{
    if (count)
        *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    if (id == kDispIdClosing)
        Closing = true;
    return S_OK;
}

HRESULT TAdvice::Advise(IDispatch* main, IDispatch* sink, const char** what)
{
    Forget();
    TRef<IConnectionPointContainer> container;
    HRESULT hr = main->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Out()));
    *what = "obtain the connection points";
    if (FAILED(hr))
        return hr;
    hr = container.P->FindConnectionPoint(kEventIid, Point.Out());
    *what = "find the event interface";
    if (FAILED(hr))
        return hr;
    hr = Point.P->Advise(sink, &Cookie);
    *what = "connect the event sink";
    if (FAILED(hr))
        Forget();
    return hr;
}

void TAdvice::Detach()
{
    if (Point.P && Cookie)
        Point.P->Unadvise(Cookie);
    Forget();
}

void TAdvice::Forget()
{
    Point.Reset();
    Cookie = 0;
}

} // namespace link
