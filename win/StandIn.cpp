// A stand-in for the map program's automation server, for tests: an out-of-process
// server of the map program's class id whose type library (built from StandIn.idl)
// lets Wine's marshaller carry calls across processes. It records every call with its
// arguments, one line each, in C:\standin-calls.log of its prefix, and raises the
// closing event (dispatch id 3) when the file C:\standin-close appears, then ends.
// It also counts the links clients make ("link N": the helper checks every new link
// once with GetTypeInfoCount, which it calls nowhere else) and the event sinks
// ("advise N" / "unadvise N" with the count of sinks then attached), so tests can
// tell how many links and sinks a client made.
//   standin /RegServer      register the class and the type library, then end
//   standin [-Embedding]    serve until the closing request
#include <initguid.h>
#include "StandIn.h"
#include "ComScope.h"
#include <olectl.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const wchar_t kLogPath[] = L"C:\\standin-calls.log";
const wchar_t kClosePath[] = L"C:\\standin-close";
const IID kNoIid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}; // what Invoke expects as its unused interface id

/// Appends one line to the call log (opened per line so that a killed server loses nothing).
void Log(const char* line)
{
    FILE* f = _wfopen(kLogPath, L"ab");
    if (!f)
        return;
    std::fprintf(f, "%s\r\n", line);
    std::fclose(f);
}

/// The bits of a double as 16 hexadecimal digits, so tests can compare exactly.
void Bits(char* out, size_t size, double value)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    std::snprintf(out, size, "%016llX", static_cast<unsigned long long>(bits));
}

ITypeInfo* g_mainInfo = nullptr; // type descriptions of the two dual interfaces, loaded once at start
ITypeInfo* g_viewInfo = nullptr;

/// IDispatch through the type library, for clients that call by name or dispatch id.
template <typename Base> class TDispatch : public Base {
public:
    explicit TDispatch(ITypeInfo** info) : m_info(info) {}
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (index != 0)
            return DISP_E_BADINDEX;
        (*m_info)->AddRef();
        *info = *m_info;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return DispGetIDsOfNames(*m_info, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override
    {
        return DispInvoke(this, *m_info, id, flags, params, result, exception, argError);
    }

protected:
    HRESULT Record(const char* line)
    {
        Log(line);
        return S_OK;
    }

private:
    ITypeInfo** m_info;
};

/// The object the 13th method returns.
class TView : public TDispatch<_StandInView> {
public:
    TView() : TDispatch(&g_viewInfo) {}
    virtual ~TView() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID__StandInView)) {
            *out = static_cast<_StandInView*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_refs); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG n = InterlockedDecrement(&m_refs);
        if (n == 0)
            delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE View01() override { return Record("view 1"); }
    HRESULT STDMETHODCALLTYPE View02() override { return Record("view 2"); }
    HRESULT STDMETHODCALLTYPE View03() override { return Record("view 3"); }
    HRESULT STDMETHODCALLTYPE View04() override { return Record("view 4"); }
    HRESULT STDMETHODCALLTYPE View05() override { return Record("view 5"); }
    HRESULT STDMETHODCALLTYPE View06() override { return Record("view 6"); }
    HRESULT STDMETHODCALLTYPE View07() override { return Record("view 7"); }
    HRESULT STDMETHODCALLTYPE View08() override { return Record("view 8"); }
    HRESULT STDMETHODCALLTYPE View09() override { return Record("view 9"); }
    HRESULT STDMETHODCALLTYPE View10() override { return Record("view 10"); }
    HRESULT STDMETHODCALLTYPE View11() override { return Record("view 11"); }
    HRESULT STDMETHODCALLTYPE View12() override { return Record("view 12"); }
    HRESULT STDMETHODCALLTYPE View13() override { return Record("view 13"); }
    HRESULT STDMETHODCALLTYPE View14() override { return Record("view 14"); }
    HRESULT STDMETHODCALLTYPE View15() override { return Record("view 15"); }
    HRESULT STDMETHODCALLTYPE View16() override { return Record("view 16"); }
    HRESULT STDMETHODCALLTYPE View17() override { return Record("view 17"); }
    HRESULT STDMETHODCALLTYPE View18() override { return Record("view 18"); }

private:
    LONG m_refs = 1;
};

/// The automation object: the dual interface and the event connection point.
class TMainObject : public TDispatch<_clsUIV>, public IConnectionPointContainer, public IConnectionPoint {
public:
    TMainObject() : TDispatch(&g_mainInfo) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID__clsUIV))
            *out = static_cast<_clsUIV*>(this);
        else if (IsEqualIID(riid, IID_IConnectionPointContainer))
            *out = static_cast<IConnectionPointContainer*>(this);
        else if (IsEqualIID(riid, IID_IConnectionPoint))
            *out = static_cast<IConnectionPoint*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    // The object lives as long as the server; counts are kept only for correctness.
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_refs); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&m_refs); }

    HRESULT STDMETHODCALLTYPE Method01() override { return Record("method 1"); }
    HRESULT STDMETHODCALLTYPE Method02() override { return Record("method 2"); }
    HRESULT STDMETHODCALLTYPE Method03() override { return Record("method 3"); }
    HRESULT STDMETHODCALLTYPE Method04() override { return Record("method 4"); }
    HRESULT STDMETHODCALLTYPE Method05() override { return Record("method 5"); }
    HRESULT STDMETHODCALLTYPE Method06() override { return Record("method 6"); }
    HRESULT STDMETHODCALLTYPE Method07() override { return Record("method 7"); }
    HRESULT STDMETHODCALLTYPE Method08() override { return Record("method 8"); }
    HRESULT STDMETHODCALLTYPE Method09() override { return Record("method 9"); }
    HRESULT STDMETHODCALLTYPE Method10() override { return Record("method 10"); }
    HRESULT STDMETHODCALLTYPE Method11() override { return Record("method 11"); }
    HRESULT STDMETHODCALLTYPE Method12() override { return Record("method 12"); }
    HRESULT STDMETHODCALLTYPE Method14() override { return Record("method 14"); }
    HRESULT STDMETHODCALLTYPE Method15() override { return Record("method 15"); }
    HRESULT STDMETHODCALLTYPE Method16() override { return Record("method 16"); }
    HRESULT STDMETHODCALLTYPE Method17() override { return Record("method 17"); }
    HRESULT STDMETHODCALLTYPE Method18() override { return Record("method 18"); }
    HRESULT STDMETHODCALLTYPE Method19() override { return Record("method 19"); }
    HRESULT STDMETHODCALLTYPE Method20() override { return Record("method 20"); }
    HRESULT STDMETHODCALLTYPE Method21() override { return Record("method 21"); }
    HRESULT STDMETHODCALLTYPE Method22() override { return Record("method 22"); }
    HRESULT STDMETHODCALLTYPE Method23() override { return Record("method 23"); }
    HRESULT STDMETHODCALLTYPE Method24() override { return Record("method 24"); }
    HRESULT STDMETHODCALLTYPE Method25() override { return Record("method 25"); }
    HRESULT STDMETHODCALLTYPE Method26() override { return Record("method 26"); }
    HRESULT STDMETHODCALLTYPE Method27() override { return Record("method 27"); }
    HRESULT STDMETHODCALLTYPE Method28() override { return Record("method 28"); }
    HRESULT STDMETHODCALLTYPE Method30() override { return Record("method 30"); }
    HRESULT STDMETHODCALLTYPE Method13(_StandInView** view) override
    {
        Log("method 13");
        *view = new TView();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Method29(double* left, double* top, double* right, double* bottom, VARIANT_BOOL* flag,
                                       short* result) override
    {
        char l[20], t[20], r[20], b[20], line[160];
        Bits(l, sizeof l, *left);
        Bits(t, sizeof t, *top);
        Bits(r, sizeof r, *right);
        Bits(b, sizeof b, *bottom);
        std::snprintf(line, sizeof line, "method 29 %s %s %s %s %d %d", l, t, r, b, static_cast<int>(*flag),
                      static_cast<int>(*result));
        Log(line);
        *result = 1;
        return S_OK;
    }

    // IConnectionPointContainer: one point, the event interface.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override
    {
        if (!IsEqualIID(riid, DIID___clsUIV)) {
            *out = nullptr;
            return CONNECT_E_NOCONNECTION;
        }
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }

    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        *iid = DIID___clsUIV;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override
    {
        *out = static_cast<IConnectionPointContainer*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        IDispatch* events = nullptr;
        // The event interface first, as a client of the real program expects; plain IDispatch otherwise.
        if (FAILED(sink->QueryInterface(DIID___clsUIV, reinterpret_cast<void**>(&events))) &&
            FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&events))))
            return CONNECT_E_CANNOTCONNECT;
        m_sinks.push_back(events);
        *cookie = static_cast<DWORD>(m_sinks.size());
        LogCount("advise", LiveSinks());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        if (cookie == 0 || cookie > m_sinks.size() || !m_sinks[cookie - 1])
            return CONNECT_E_NOCONNECTION;
        m_sinks[cookie - 1]->Release();
        m_sinks[cookie - 1] = nullptr;
        LogCount("unadvise", LiveSinks());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        LogCount("link", ++m_links);
        return TDispatch::GetTypeInfoCount(count);
    }

    /// Raises the closing event on every connected sink.
    void RaiseClosing()
    {
        for (IDispatch*& sink : m_sinks) {
            if (!sink)
                continue;
            DISPPARAMS none = {nullptr, nullptr, 0, 0};
            HRESULT hr = sink->Invoke(3, kNoIid, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
            char line[64];
            std::snprintf(line, sizeof line, "event 3 0x%08lX", static_cast<unsigned long>(hr));
            Log(line);
            sink->Release();
            sink = nullptr;
        }
    }

private:
    static void LogCount(const char* what, size_t count)
    {
        char line[64];
        std::snprintf(line, sizeof line, "%s %u", what, static_cast<unsigned>(count));
        Log(line);
    }
    size_t LiveSinks() const
    {
        size_t n = 0;
        for (IDispatch* sink : m_sinks)
            n += sink != nullptr;
        return n;
    }

    LONG m_refs = 1;
    size_t m_links = 0;
    std::vector<IDispatch*> m_sinks;
};

class TFactory : public IClassFactory {
public:
    explicit TFactory(TMainObject* object) : m_object(object) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override
    {
        if (outer) {
            *out = nullptr;
            return CLASS_E_NOAGGREGATION;
        }
        Log("create");
        return m_object->QueryInterface(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    TMainObject* m_object;
};

/// This program's own path, for the class registration and the type library.
std::wstring SelfPath()
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

int Fail(const char* what, HRESULT hr)
{
    std::fprintf(stderr, "standin: %s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
    return 1;
}

int Register()
{
    const std::wstring self = SelfPath();
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(self.c_str(), REGKIND_REGISTER, &lib);
    if (FAILED(hr))
        return Fail("type library registration", hr);
    lib->Release();
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{33CFA0BD-2826-11D4-82E8-00C0DF464FC9}\\LocalServer32", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return Fail("class registration", HRESULT_FROM_WIN32(rc));
    rc = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(self.c_str()),
                        static_cast<DWORD>((self.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return Fail("class registration", HRESULT_FROM_WIN32(rc));
    return 0;
}

int Serve()
{
    const std::wstring self = SelfPath();
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(self.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr))
        return Fail("type library", hr);
    if (FAILED(hr = lib->GetTypeInfoOfGuid(IID__clsUIV, &g_mainInfo)) ||
        FAILED(hr = lib->GetTypeInfoOfGuid(IID__StandInView, &g_viewInfo)))
        return Fail("type descriptions", hr);

    TMainObject object;
    TFactory factory(&object);
    DWORD classCookie = 0, activeCookie = 0;
    hr = CoRegisterClassObject(CLSID_clsUIV, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &classCookie);
    if (FAILED(hr))
        return Fail("class object registration", hr);
    hr = RegisterActiveObject(static_cast<_clsUIV*>(&object), CLSID_clsUIV, ACTIVEOBJECT_STRONG, &activeCookie);
    if (FAILED(hr))
        return Fail("running object registration", hr);
    Log("ready");

    for (;;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetFileAttributesW(kClosePath) != INVALID_FILE_ATTRIBUTES) {
            DeleteFileW(kClosePath);
            object.RaiseClosing();
            break;
        }
    }
    RevokeActiveObject(activeCookie, nullptr);
    CoRevokeClassObject(classCookie);
    Log("closed");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    TComScope com;
    if (FAILED(com.Hr))
        return Fail("COM start-up", com.Hr);
    if (argc > 1 && (_stricmp(argv[1], "/RegServer") == 0 || _stricmp(argv[1], "-RegServer") == 0))
        return Register();
    return Serve();
}
