// The download list: records keyed by radar line + TAB + stored product line,
// in the order they were added; no two equal keys (exact comparison).
#pragma once
#include "core/RadarObj.h"
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sf {

class DownloadList {
public:
    int Count() const { return (int)m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }
    /// Index of the key, -1 when absent (exact, case-sensitive).
    int IndexOf(const std::string& key) const;
    /// Index of the record with that identity (TRadarObj::Id), -1 when it is not listed.
    int IndexOfId(uint64_t id) const;
    /// Appends with a fresh identity; returns nullptr (and keeps the list) when the key exists.
    TRadarObj* Add(const std::string& key, TRadarObj record);
    void Delete(int index);
    void Clear() { m_entries.clear(); }
    TRadarObj& operator[](int i) { return *m_entries[i].Record; }
    const TRadarObj& operator[](int i) const { return *m_entries[i].Record; }
    const std::string& Key(int i) const { return m_entries[i].Key; }

private:
    struct TEntry {
        std::string Key;
        std::unique_ptr<TRadarObj> Record; // stable address while the list changes
    };
    std::vector<TEntry> m_entries;
    uint64_t m_lastId = 0; ///< identities only grow, so a deleted record's is never seen again
};

} // namespace sf
