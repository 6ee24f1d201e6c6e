// Newness in the iem source layout: the JSON file beside the image carries the scan
// time, which plays the part the archive listing plays in the RIDGE layout.
#include "core/Files.h"
#include "core/SourceLayout.h"
#include "core/Text.h"
#include "cycle/Cycle.h"
#include "cycle/CycleText.h"
#include "net/IemMeta.h"

namespace sf {

TCycle::TNext TCycle::ProbeIem(TProbe& p)
{
    TRadarObj& w = *m_work;
    p.Kind = TNewnessKind::ImageMeta;
    if (w.ImageURL.empty()) {
        p.Answer.Kind = TLayoutAnswer::TKind::NotOffered;
        return TNext::Record;
    }
    p.Url = IemMetaURL(w.ImageURL);
    if (p.Url.empty()) {
        p.Untested = true; // an address outside the layout: fetched without a newness test
        return TNext::Record;
    }

    const std::string metaFile = m_s.ProgramDir + IemMetaFileName(w.RemoteName);
    w.LastAttempt = Now();
    m_svc.FetchFile(p.Url, metaFile, w);
    if (Cancelled())
        return TNext::Stop;
    if (!m_s.FetchResult) {
        DeleteIfExists(metaFile);
        p.Unavailable = true;
        return TNext::Record;
    }
    std::string text, reason;
    TDateTime imageTime = 0;
    const int32_t size = FileSizeOf(metaFile);
    bool ok = false;
    if (size < 0 || size > (int32_t)kMaxIemMetaBytes)
        reason = size < 0 ? "cannot be read" : "larger than " + std::to_string(kMaxIemMetaBytes) + " bytes";
    else if (!ReadFileBytes(metaFile, text))
        reason = "cannot be read";
    else
        ok = IemImageTime(text, imageTime, reason);
    DeleteIfExists(metaFile);
    if (!ok) {
        p.Detail = IemMetaFileName(w.RemoteName) + ": " + reason;
        return TNext::Record;
    }
    p.Answer = {TLayoutAnswer::TKind::Time, imageTime};
    return TNext::Record;
}

TCycle::TNext TCycle::ProductNotOffered()
{
    // Naming found no equivalent of the record's product in this layout.
    TRadarObj& w = *m_work;
    SetStatusUnlessError(m_layout->NoProductStatus(Trim(GetField(w.Product, 2, ',')), w.SiteID));
    ++w.AccessErrors;
    ShowRecordLine();
    w.NextAttempt = Now() + kOneMinute + m_jitter;
    CopyBack();
    return TNext::Record;
}

} // namespace sf
