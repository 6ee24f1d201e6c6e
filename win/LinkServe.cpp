#include "LinkServe.h"
#include "LinkCalls.h"
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

namespace link {

namespace {

constexpr DWORD kProbeMs = 250; // how often a live connection is checked: "gone" within a second

/// The probe's period: kProbeMs, else STORMFETCH_LINK_PROBE_MS (tests stretch it to make a
/// death that falls between two probes certain).
DWORD ProbePeriod()
{
    char text[16] = {};
    const DWORD n = GetEnvironmentVariableA("STORMFETCH_LINK_PROBE_MS", text, sizeof text);
    const unsigned long ms = n > 0 && n < sizeof text ? strtoul(text, nullptr, 10) : 0;
    return ms > 0 ? static_cast<DWORD>(ms) : kProbeMs;
}
constexpr size_t kMaxLine = 4096;

/// Lines read from standard input by a thread of their own; the single-threaded
/// apartment's thread waits on Ready together with its messages.
class TInput {
public:
    TInput() : m_ready(CreateEventW(nullptr, FALSE, FALSE, nullptr)) { InitializeCriticalSection(&m_lock); }
    ~TInput()
    {
        // The reader thread may still block in ReadFile; the process ends right after this.
        DeleteCriticalSection(&m_lock);
        CloseHandle(m_ready);
    }
    TInput(const TInput&) = delete;
    TInput& operator=(const TInput&) = delete;

    bool Start()
    {
        HANDLE thread = CreateThread(nullptr, 0, &TInput::Read, this, 0, nullptr);
        if (!thread)
            return false;
        CloseHandle(thread);
        return true;
    }
    HANDLE Ready() const { return m_ready; }
    /// The next line; false when none waits. ended is set once input has ended and every line was taken.
    bool Take(std::string& line, bool& ended)
    {
        EnterCriticalSection(&m_lock);
        const bool any = !m_lines.empty();
        if (any) {
            line = m_lines.front();
            m_lines.pop_front();
        }
        ended = !any && m_ended;
        LeaveCriticalSection(&m_lock);
        return any;
    }

private:
    static DWORD WINAPI Read(void* self)
    {
        static_cast<TInput*>(self)->ReadLines();
        return 0;
    }
    void ReadLines()
    {
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        std::string pending;
        char buffer[512];
        DWORD n = 0;
        while (ReadFile(in, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            pending.append(buffer, n);
            for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
                Push(pending.substr(0, end), false);
                pending.erase(0, end + 1);
            }
            if (pending.size() > kMaxLine) { // an endless line is answered as a bad request
                Push(pending.substr(0, kMaxLine), false);
                pending.clear();
            }
        }
        Push(pending, true);
    }
    void Push(std::string line, bool end)
    {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        EnterCriticalSection(&m_lock);
        if (!line.empty())
            m_lines.push_back(line);
        m_ended = m_ended || end;
        LeaveCriticalSection(&m_lock);
        SetEvent(m_ready);
    }

    HANDLE m_ready;
    CRITICAL_SECTION m_lock;
    std::deque<std::string> m_lines;
    bool m_ended = false;
};

/// One line on standard output, written at once (no buffering between the answers).
void Say(const std::string& text)
{
    const std::string line = text + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    size_t start = line.find_first_not_of(" \t");
    while (start != std::string::npos) {
        size_t end = line.find_first_of(" \t", start);
        words.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? end : line.find_first_not_of(" \t", end);
    }
    return words;
}

class TServer {
public:
    int Run()
    {
        if (!m_input.Start()) {
            Say("error " + FailText("serve (read standard input)", HRESULT_FROM_WIN32(GetLastError())));
            return 1;
        }
        HANDLE ready = m_input.Ready();
        for (;;) {
            DWORD wait = INFINITE;
            if (m_main.P) {
                const DWORD since = GetTickCount() - m_lastProbe;
                wait = since >= m_probeMs ? 0 : m_probeMs - since;
            }
            MsgWaitForMultipleObjects(1, &ready, FALSE, wait, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (!Watch())
                return 0;
            std::string line;
            bool ended = false;
            while (m_input.Take(line, ended)) {
                if (!Handle(line) || !Watch())
                    return 0;
            }
            if (ended) {
                End(); // the calling program has gone: leave no sink behind
                return 0;
            }
        }
    }

private:
    /// Answers one request; false after quit and after the link was lost.
    bool Handle(const std::string& line)
    {
        const std::vector<std::string> w = Words(line);
        const std::string verb = w.empty() ? std::string() : w[0];
        if ((verb == "connect" || verb == "attach" || verb == "redraw" || verb == "quit") && w.size() == 1) {
            if (verb == "quit") {
                End();
                Say("ok");
                return false;
            }
            if (verb == "redraw")
                return Call([](IDispatch* main, const char** what) { return Redraw(main, what); }, "redraw");
            Connect(verb == "connect");
            return true;
        }
        double b[4] = {};
        if (verb == "zoom" && w.size() == 5 && ParseDouble(w[1].c_str(), b[0]) && ParseDouble(w[2].c_str(), b[1]) &&
            ParseDouble(w[3].c_str(), b[2]) && ParseDouble(w[4].c_str(), b[3])) {
            return Call(
                [this, &b](IDispatch* main, const char** what) {
                    return Zoom(main, b[0], b[1], b[2], b[3], what, m_spent.Out());
                },
                "zoom");
        }
        Say("error usage: connect | attach | redraw | zoom LEFT TOP RIGHT BOTTOM | quit");
        return true;
    }

    void Connect(bool mayStart)
    {
        if (m_main.P) {
            if (SUCCEEDED(Probe(m_main.P))) {
                Say("ok");
                return;
            }
            Drop(); // dead behind the link: make a new one
        }
        const char* what = "connect";
        HRESULT hr = Attach(mayStart, m_main.Out(), &what);
        if (SUCCEEDED(hr)) {
            m_sink.Closing = false;
            hr = m_advice.Advise(m_main.P, &m_sink, &what);
            if (FAILED(hr))
                m_main.Reset();
        }
        if (FAILED(hr)) {
            Say("error " + FailText(what, hr));
            return;
        }
        m_lastProbe = GetTickCount();
        Say("ok");
    }

    /// Makes a call on the link; false when it found the server gone.
    template <typename F> bool Call(F call, const char* name)
    {
        if (!m_main.P) {
            Say(std::string("error ") + name + " failed: not connected (connect first)");
            return true;
        }
        const char* what = name;
        HRESULT hr = call(m_main.P, &what);
        if (SUCCEEDED(hr)) {
            Say("ok");
            m_spent.Reset(); // after the answer: the release is one more round trip
            return true;
        }
        const bool gone = IsServerGone(hr);
        // "gone" before the answer: the caller knows, when the answer comes, that the
        // link it asked through has ended and that a new one may reach a new instance.
        if (gone)
            Say("gone " + FailText(what, hr));
        Say("error " + FailText(what, hr));
        m_spent.Reset();
        if (!gone)
            return true;
        Drop();
        return false;
    }

    /// The closing event, else (when a probe is due) a server that went away: false
    /// when the link was lost.
    bool Watch()
    {
        if (!m_main.P)
            return true;
        if (m_sink.Closing) {
            Say("closed");
            Drop(); // no Unadvise: the closing program drops its sinks itself
            return false;
        }
        if (GetTickCount() - m_lastProbe < m_probeMs)
            return true;
        m_lastProbe = GetTickCount();
        HRESULT hr = Probe(m_main.P);
        if (SUCCEEDED(hr))
            return true;
        Drop();
        Say("gone " + FailText("the map program went away without its closing event; probe", hr));
        return false;
    }

    void Drop()
    {
        m_advice.Forget();
        m_main.Reset();
        m_sink.Closing = false;
    }

    /// The orderly end: the sink is taken back from a live server.
    void End()
    {
        if (m_main.P && SUCCEEDED(Probe(m_main.P)))
            m_advice.Detach();
        Drop();
    }

    TInput m_input;
    TRef<IDispatch> m_main;
    TRef<IUnknown> m_spent; ///< the object a zoom obtained, released once the zoom is answered
    TSink m_sink;
    TAdvice m_advice;
    DWORD m_lastProbe = 0;
    const DWORD m_probeMs = ProbePeriod();
};

} // namespace

int Serve()
{
    TServer server;
    return server.Run();
}

} // namespace link
