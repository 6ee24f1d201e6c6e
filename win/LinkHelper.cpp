// stormfetch-link: the map program's automation calls, made from inside its Wine
// prefix. One verb per run; every verb but serve makes one fresh connection:
//   connect                       attach to the running map program, else start it
//   redraw                        redraw the map (30th method)
//   zoom LEFT TOP RIGHT BOTTOM    13th method, the returned object's 18th, then the 29th
//   watch                         wait for the closing event (exit 0) or the server's end (exit 1)
//   serve                         the resident mode: requests on standard input (LinkServe.h)
// Exit status 0 is success; every failure prints one line with the HRESULT and its
// text on standard error; a usage error exits with 2, a crash with 3. Only connect
// may start the map program.
#include "ComScope.h"
#include "LinkCalls.h"
#include "LinkServe.h"
#include <cstdio>
#include <string>

using namespace link;

namespace {

constexpr DWORD kWatchProbeMs = 3000; // how often watch checks that the server is still there

/// Prints "stormfetch-link: <text>" on standard error and returns exit status 1.
int Fail(const char* what, HRESULT hr)
{
    std::fprintf(stderr, "stormfetch-link: %s\n", FailText(what, hr).c_str());
    return 1;
}

int Usage()
{
    std::fprintf(stderr, "usage: stormfetch-link connect | redraw | zoom LEFT TOP RIGHT BOTTOM | watch | serve\n");
    return 2;
}

int Connect()
{
    TRef<IDispatch> main;
    const char* what = "connect";
    HRESULT hr = Attach(true, main.Out(), &what);
    return FAILED(hr) ? Fail(what, hr) : 0;
}

int Redraw()
{
    TRef<IDispatch> main;
    const char* what = "redraw";
    HRESULT hr = Attach(false, main.Out(), &what);
    if (FAILED(hr))
        return Fail("redraw (attach to the running map program)", hr);
    hr = link::Redraw(main.P, &what);
    return FAILED(hr) ? Fail(what, hr) : 0;
}

int Zoom(double left, double top, double right, double bottom)
{
    TRef<IDispatch> main;
    const char* what = "zoom";
    HRESULT hr = Attach(false, main.Out(), &what);
    if (FAILED(hr))
        return Fail("zoom (attach to the running map program)", hr);
    hr = link::Zoom(main.P, left, top, right, bottom, &what);
    return FAILED(hr) ? Fail(what, hr) : 0;
}

int Watch()
{
    TRef<IDispatch> main;
    const char* what = "watch";
    HRESULT hr = Attach(false, main.Out(), &what);
    if (FAILED(hr))
        return Fail("watch (attach to the running map program)", hr);
    TSink sink;
    TAdvice advice;
    hr = advice.Advise(main.P, &sink, &what);
    if (FAILED(hr))
        return Fail((std::string("watch (") + what + ")").c_str(), hr);

    DWORD lastProbe = GetTickCount();
    for (;;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kWatchProbeMs, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (sink.Closing) {
            // No Unadvise: the closing server drops its sinks, and the link ends with this process.
            advice.Forget();
            std::printf("closing\n");
            return 0;
        }
        if (GetTickCount() - lastProbe >= kWatchProbeMs) {
            lastProbe = GetTickCount();
            hr = Probe(main.P);
            if (FAILED(hr)) {
                advice.Forget();
                return Fail("watch (the map program went away without its closing event)", hr);
            }
        }
    }
}

/// A crash says so and ends the process at once: Wine would otherwise start its
/// debugger, and the helper would hang instead of ending.
LONG WINAPI Crashed(EXCEPTION_POINTERS* info)
{
    std::fprintf(stderr, "stormfetch-link: ended by exception 0x%08lX\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int main(int argc, char** argv)
{
    SetUnhandledExceptionFilter(Crashed);
    if (argc < 2)
        return Usage();
    const std::string verb = argv[1];
    double bounds[4] = {};
    if (verb == "zoom") {
        if (argc != 6)
            return Usage();
        for (int i = 0; i < 4; ++i)
            if (!ParseDouble(argv[i + 2], bounds[i]))
                return Usage();
    } else if ((verb != "connect" && verb != "redraw" && verb != "watch" && verb != "serve") || argc != 2) {
        return Usage();
    }
    TComScope com;
    if (FAILED(com.Hr))
        return Fail("COM start-up", com.Hr);
    if (verb == "connect")
        return Connect();
    if (verb == "redraw")
        return Redraw();
    if (verb == "zoom")
        return Zoom(bounds[0], bounds[1], bounds[2], bounds[3]);
    if (verb == "serve") {
        // Ends without COM's shutdown: after a link to a server that was killed, Wine 8.0
        // crashes in it. Every answer has been written already.
        const int status = Serve();
        std::fflush(stdout);
        std::fflush(stderr);
        ExitProcess(static_cast<UINT>(status));
    }
    return Watch();
}
