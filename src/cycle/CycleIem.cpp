// Newness in the iem source layout: the JSON file beside the image carries the scan
// time, which plays the part the archive listing plays in the RIDGE layout.
#include "core/Files.h"
#include "core/SourceLayout.h"
#include "core/Text.h"
#include "cycle/Cycle.h"
#include "cycle/CycleText.h"
#include "net/IemMeta.h"

namespace sf {

namespace {
// A stopped source is asked again now and then, in case the service takes it up again;
// under the scheduler's 15-minute ceiling so that the time stands as set.
constexpr TDateTime kStoppedRetry = 10 * kOneMinute;
} // namespace

TCycle::TNext TCycle::IemNewness()
{
    TRadarObj& w = *m_work;
    const bool mosaic = StartsWith(w.Radar, "!!");
    if (w.ImageURL.empty())
        return ProductNotOffered();
    const std::string url = IemMetaURL(w.ImageURL);
    if (url.empty())
        return FetchImages(); // an address outside the layout: fetched without a newness test

    const std::string metaFile = m_s.ProgramDir + IemMetaFileName(w.RemoteName);
    w.LastAttempt = Now();
    m_svc.FetchFile(url, metaFile, w);
    if (Cancelled())
        return TNext::Stop;
    if (!m_s.FetchResult) {
        DeleteIfExists(metaFile);
        ListingUnavailable(mosaic);
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
        NoListingDate(false, IemMetaFileName(w.RemoteName) + ": " + reason);
        return TNext::Record;
    }
    if (imageTime <= Now() - kStoppedSourceDays) {
        // The service keeps the last files of a product it no longer makes: waiting
        // for a newer one would wait for ever, so the record says the source stopped.
        SetStatusUnlessError(StoppedSourceStatus(w.RemoteName, imageTime));
        ShowRecordLine();
        w.NextAttempt = Now() + kStoppedRetry + m_jitter;
        CopyBack();
        return TNext::Record;
    }
    // The image time is the newness key as the service gives it, also when it lies a few
    // minutes ahead of the clock (the composite is stamped with its nominal frame time):
    // the scheduler leaves such a time alone (LayoutSourceLead).
    bool isNew = false;
    NewnessVerdict(imageTime, m_layout->NewImageMinutes(mosaic) * kOneMinute, isNew);
    if (!isNew)
        return TNext::Record;
    return FetchImages();
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
