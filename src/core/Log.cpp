#include "core/Log.h"
#include "core/Files.h"
#include "core/ListHandlers.h"
#include "core/Text.h"
#include <sys/resource.h>
#include <sstream>

namespace sf {

namespace {

TMemoryStatus TakeReading(TShared& s)
{
    if (!s.ReadMemory)
        s.ReadMemory = ReadSystemMemory;
    const TMemoryStatus m = s.ReadMemory();
    s.LastMemLoad = (int)m.Load;
    return m;
}

std::string K(uint64_t bytes)
{
    return std::to_string(KiloBytes(bytes));
}

uint64_t PageInUse(const TMemoryStatus& m)
{
    return m.TotalPageFile >= m.AvailPageFile ? m.TotalPageFile - m.AvailPageFile : 0;
}

// The value in kB of a "Name:   12345 kB" line of a /proc status text, scaled to bytes.
bool ProcValue(const std::string& text, const std::string& name, uint64_t& bytes)
{
    // Found by searching the text, not by reading it line by line: the cycle takes a
    // reading for every due record.
    const std::string key = name + ":";
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        if (at != 0 && text[at - 1] != '\n')
            continue;
        const size_t start = at + key.size();
        const size_t end = text.find('\n', start);
        std::string value = Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        value = value.substr(0, value.find(' '));
        long long kb = 0;
        if (!TryStrToInt(value, kb) || kb < 0)
            return false;
        bytes = (uint64_t)kb * 1024;
        return true;
    }
    return false;
}

// The user address space of this architecture, used when the process has no limit.
constexpr uint64_t ArchAddressSpace()
{
#if defined(__x86_64__)
    return 1ull << 47;
#elif defined(__aarch64__)
    return 1ull << 48;
#else
    return sizeof(void*) >= 8 ? (1ull << 47) : (1ull << 32);
#endif
}

} // namespace

uint64_t KiloBytes(uint64_t bytes)
{
    uint64_t q = bytes / 1024;
    const uint64_t r = bytes % 1024;
    if (r > 512 || (r == 512 && (q & 1)))
        ++q;
    return q;
}

TMemoryStatus ParseMemoryStatus(const std::string& meminfo, const std::string& selfStatus, uint64_t addressLimit)
{
    TMemoryStatus m;
    ProcValue(meminfo, "MemTotal", m.TotalPhys);
    if (!ProcValue(meminfo, "MemAvailable", m.AvailPhys))
        ProcValue(meminfo, "MemFree", m.AvailPhys);
    if (m.AvailPhys > m.TotalPhys)
        m.AvailPhys = m.TotalPhys;
    ProcValue(meminfo, "SwapTotal", m.TotalPageFile);
    ProcValue(meminfo, "SwapFree", m.AvailPageFile);
    if (m.AvailPageFile > m.TotalPageFile)
        m.AvailPageFile = m.TotalPageFile;
    m.Load = m.TotalPhys ? (uint32_t)((m.TotalPhys - m.AvailPhys) * 100 / m.TotalPhys) : 0;
    m.TotalVirtual = addressLimit;
    uint64_t used = 0;
    ProcValue(selfStatus, "VmSize", used);
    m.AvailVirtual = addressLimit > used ? addressLimit - used : 0;
    return m;
}

TMemoryStatus ReadSystemMemory()
{
    std::string meminfo, status;
    ReadFileBytes("/proc/meminfo", meminfo);
    ReadFileBytes("/proc/self/status", status);
    uint64_t limit = ArchAddressSpace();
    rlimit rl{};
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        limit = (uint64_t)rl.rlim_cur;
    return ParseMemoryStatus(meminfo, status, limit);
}

TMemoryReadingCache::TMemoryReadingCache(std::function<TMemoryStatus()> read, std::chrono::milliseconds interval, TNow now)
    : m_read(std::move(read)), m_interval(interval), m_now(std::move(now))
{
}

TMemoryStatus TMemoryReadingCache::operator()()
{
    const auto now = m_now();
    if (!m_have || now - m_takenAt >= m_interval || now < m_takenAt) {
        m_last = m_read();
        m_takenAt = now;
        m_have = true;
    }
    return m_last;
}

std::string MemoryStatusLongText(const TMemoryStatus& m)
{
    return "Mem load=" + std::to_string(m.Load) + ",Tot phys=" + K(m.TotalPhys) + "k" + ",Mem phys avail =" +
           K(m.AvailPhys) + "k" + ",tot page file=" + K(m.TotalPageFile) + "k" + ",Avail page file=" +
           K(m.AvailPageFile) + "k" + ",Total Virtual=" + K(m.TotalVirtual) + "k" + ",Avail Virtual=" +
           K(m.AvailVirtual) + "k" + ",(Page in use=" + K(PageInUse(m)) + "k)";
}

std::string MemoryStatusShortText(const TMemoryStatus& m)
{
    return "Mem load=" + std::to_string(m.Load) + ",Mem phys avail=" + K(m.AvailPhys) + "k" + ",Total Virtual=" +
           K(m.TotalVirtual) + "k" + ",Page in use=" + K(PageInUse(m)) + "k";
}

std::string MemoryStatusLong(TShared& s)
{
    return MemoryStatusLongText(TakeReading(s));
}

std::string MemoryStatusShort(TShared& s)
{
    return MemoryStatusShortText(TakeReading(s));
}

void ShowMemoryLabel(TShared& s, int load)
{
    const int remaining = 100 - load;
    if (load < 85) {
        s.HeapLbl.Color = clBlack;
        s.HeapLbl.SetCaption(std::to_string(remaining) + "% memory available");
    } else {
        s.HeapLbl.Color = clRed;
        s.HeapLbl.SetCaption("Warning, " + std::to_string(remaining) + "% memory remaining");
    }
}

std::string LogLineText(const std::string& msg, TDateTime localNow)
{
    const std::string text = Trim(msg);
    if (Pos(":", text) == 3)
        return text;
    return FormatDateTime("hh:nn:ss", localNow) + " " + text;
}

void AppendLog(TShared& s, const std::string& msg, TLogKind kind)
{
    // Views see every message, also when the file is off, so a service's journal has them.
    s.Hub.Changed(kind == TLogKind::Note ? "LogNote" : "Log", msg);
    if (!s.Logerrors1.Checked)
        return;
    const std::string fileName = DatedFileName("R", "ErrorLog", true, s.Clock);
    const TDateTime now = s.Clock.LocalNow();
    const std::string line = LogLineText(msg, now);
    if (!FileExists(s.ProgramDir + fileName)) {
        AppendLine(s.ProgramDir, fileName,
                   FormatDateTime("hh:nn:ss", now) + " " + kVersionText +
                       (s.IsClient() ? " client mode.  QuorUnderlayPath = " : " server mode.  QuorUnderlayPath = ") +
                       s.QuorUnderlayPath);
        AppendLine(s.ProgramDir, fileName, MemoryStatusLong(s));
        s.MemReportTime = s.Clock.LocalNow();
        // The first line already names the mode.
        if (line.find(" mode") != std::string::npos)
            return;
    }
    AppendLine(s.ProgramDir, fileName, line);
}

void Logerrors1Click(TShared& s)
{
    const std::string w = std::string(kVersionText) + (s.IsClient() ? " Client" : " Server") + " mode, errorlog ";
    if (s.Logerrors1.Checked)
        AppendLog(s, w + "off");
    s.Logerrors1.Checked = !s.Logerrors1.Checked;
    if (s.Logerrors1.Checked)
        AppendLog(s, w + "on");
    SaveSettingsForUser(s);
}

} // namespace sf
