// The daily error log and the memory status texts.
#pragma once
#include "core/Shared.h"
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace sf {

/// What a log message is to a console: an error, or a note on the program's state (start,
/// mode, shutdown, the hourly memory report), which a service's journal keeps apart.
enum class TLogKind { Error, Note };

/// Writes msg to today's R<yyyymmdd>ErrorLog.txt when "Log errors" is checked; never fails visibly.
/// Views see it as the pseudo-control "Log" (an error) or "LogNote" (a note).
void AppendLog(TShared& s, const std::string& msg, TLogKind kind = TLogKind::Error);
/// "Mem load=..,Tot phys=..k,Mem phys avail =..k,..." from a new reading (stored as the latest).
std::string MemoryStatusLong(TShared& s);
/// "Mem load=..,Mem phys avail=..k,Total Virtual=..k,Page in use=..k" from a new reading.
std::string MemoryStatusShort(TShared& s);
/// The machine's memory status from /proc/meminfo and this process's limits.
TMemoryStatus ReadSystemMemory();
/// A memory reader that reads again only when its last reading is older than the
/// interval. The cycle takes a reading for every due record, and the two /proc files
/// cost about 30 us, as much as a record's whole listing fetch on a LAN; the machine's
/// memory does not change meaningfully within a cycle. Its age is measured on the
/// steady clock, not the program's clock: it is about the machine, not the schedule.
class TMemoryReadingCache {
public:
    using TNow = std::function<std::chrono::steady_clock::time_point()>;
    explicit TMemoryReadingCache(std::function<TMemoryStatus()> read = ReadSystemMemory,
        std::chrono::milliseconds interval = std::chrono::milliseconds(500), TNow now = std::chrono::steady_clock::now);
    TMemoryStatus operator()();

private:
    std::function<TMemoryStatus()> m_read;
    std::chrono::milliseconds m_interval;
    TNow m_now;
    std::chrono::steady_clock::time_point m_takenAt;
    TMemoryStatus m_last;
    bool m_have = false;
};
/// Kilobytes of a byte count, rounded to the nearest, halves to the even neighbour.
uint64_t KiloBytes(uint64_t bytes);
/// A reading from the texts of /proc/meminfo and /proc/self/status and the address-space limit.
TMemoryStatus ParseMemoryStatus(const std::string& meminfo, const std::string& selfStatus, uint64_t addressLimit);
/// The two status texts of one reading.
std::string MemoryStatusLongText(const TMemoryStatus& m);
std::string MemoryStatusShortText(const TMemoryStatus& m);
/// HeapLbl: "<100-load>% memory available" in black below 85, else "Warning, ..% memory remaining" in red.
void ShowMemoryLabel(TShared& s, int load);
/// The log line of a message: trimmed, with "hh:nn:ss " in front unless its first ":" is the 3rd character.
std::string LogLineText(const std::string& msg, TDateTime localNow);
/// The "Log errors" menu item: logs the off/on lines around the flip, then saves the settings.
void Logerrors1Click(TShared& s);

} // namespace sf
