// The map program's automation calls shared by the helper's one-shot verbs and its
// resident mode: attaching (with recovery from a killed server), the redraw, the
// zoom's three calls, the event sink, and the texts of failures.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>
#include <string>

namespace link {

/// Releases a COM pointer when it goes out of scope.
template <typename T> struct TRef {
    T* P = nullptr;
    TRef() = default;
    TRef(const TRef&) = delete;
    TRef& operator=(const TRef&) = delete;
    ~TRef() { Reset(); }
    T** Out()
    {
        Reset();
        return &P;
    }
    void Reset()
    {
        if (P)
            P->Release();
        P = nullptr;
    }
};

/// "<what> failed: 0x........ <text>" for a failed call.
std::string FailText(const char* what, HRESULT hr);
/// True for the statuses of a server that has gone (its process ended or was killed).
bool IsServerGone(HRESULT hr);

/// A cheap call that crosses to the server (a name look-up that changes nothing);
/// fails once the server has gone.
HRESULT Probe(IDispatch* main);
/// The main interface of a live instance. With mayStart, a registered instance that is
/// dead (Wine keeps the registrations of a killed server) or none at all makes it
/// start the map program; without it only a running instance is taken. On failure
/// `what` names the step.
HRESULT Attach(bool mayStart, IDispatch** main, const char** what);
/// The 30th method.
HRESULT Redraw(IDispatch* main, const char** what);
/// The 13th method, the returned object's 18th, then the 29th with the bounds. With
/// spent, the returned object is handed over instead of released here, so a caller
/// can answer before its release makes one more round trip to the map program.
HRESULT Zoom(IDispatch* main, double left, double top, double right, double bottom, const char** what,
             IUnknown** spent = nullptr);
/// A whole argument as a double; false for anything else (no partial numbers).
bool ParseDouble(const char* text, double& value);

/// The event sink: accepts every event, remembers the closing one.
class TSink : public IDispatch {
public:
    bool Closing = false;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    // Lives as long as the helper's run, which outlives every connection.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;

private:
    ULONG m_refs = 1;
};

/// The sink attached to the event interface of a connection; Detach undoes it.
struct TAdvice {
    TRef<IConnectionPoint> Point;
    DWORD Cookie = 0;
    /// Attaches sink; on failure `what` names the step.
    HRESULT Advise(IDispatch* main, IDispatch* sink, const char** what);
    /// Unadvise when attached (its status is of no use to a link that ends), then forget the point.
    void Detach();
    /// Forgets the point without a call (the server is gone or is closing).
    void Forget();
};

} // namespace link
