#include "core/DownloadList.h"

namespace sf {

int DownloadList::IndexOf(const std::string& key) const
{
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].Key == key)
            return (int)i;
    return -1;
}

int DownloadList::IndexOfId(uint64_t id) const
{
    if (id == 0)
        return -1;
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].Record->Id() == id)
            return (int)i;
    return -1;
}

TRadarObj* DownloadList::Add(const std::string& key, TRadarObj record)
{
    if (IndexOf(key) >= 0)
        return nullptr;
    record.m_id = ++m_lastId;
    m_entries.push_back({key, std::make_unique<TRadarObj>(std::move(record))});
    return m_entries.back().Record.get();
}

void DownloadList::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    m_entries.erase(m_entries.begin() + index);
}

} // namespace sf
