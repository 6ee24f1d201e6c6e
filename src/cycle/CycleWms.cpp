// Newness and fetching in the map-service layout: the layer's capabilities give the
// newest image time and the layer's box; the map is then asked for exactly that time and
// box, and the world file is written from the box asked for (the service sends none).
#include "core/Files.h"
#include "core/Pump.h"
#include "core/Text.h"
#include "core/layouts/WmsNames.h"
#include "cycle/Cycle.h"
#include "cycle/CycleText.h"
#include "net/WmsCapabilities.h"

namespace sf {

TCycle::TNext TCycle::ProbeWms(TProbe& p)
{
    TRadarObj& w = *m_work;
    p.Kind = TNewnessKind::Capabilities;
    if (w.ImageURL.empty()) {
        p.Answer.Kind = TLayoutAnswer::TKind::NotOffered;
        return TNext::Record;
    }
    const std::string layer = WmsLayerOf(w.ImageURL);
    const std::string capsName = w.RemoteName + ".xml";
    const std::string capsFile = m_s.ProgramDir + capsName;
    p.Url = WmsCapabilitiesURL(w.ImageURL);
    w.LastAttempt = Now();
    m_svc.FetchFile(p.Url, capsFile, w);
    if (Cancelled())
        return TNext::Stop;
    if (!m_s.FetchResult) {
        DeleteIfExists(capsFile);
        p.Unavailable = true;
        return TNext::Record;
    }
    std::string text, reason;
    const int32_t size = FileSizeOf(capsFile);
    bool ok = false;
    if (size < 0 || size > (int32_t)kMaxCapabilitiesBytes)
        reason = size < 0 ? "cannot be read" : "larger than " + std::to_string(kMaxCapabilitiesBytes) + " bytes";
    else if (!ReadFileBytes(capsFile, text))
        reason = "cannot be read";
    else
        ok = ParseWmsCapabilities(text, layer, p.Caps, reason);
    DeleteIfExists(capsFile);
    if (!ok) {
        p.Detail = capsName + ": " + reason;
        return TNext::Record;
    }
    p.Answer = {TLayoutAnswer::TKind::Time, p.Caps.ImageTime};
    return TNext::Record;
}

TCycle::TNext TCycle::WmsFetch(const TWmsCapabilities& caps)
{
    TRadarObj& w = *m_work;
    const bool mosaic = IsMosaicRecord(w);
    // The box and size asked for decide the geo-reference: the world file beside the
    // image says exactly that box, corner to corner.
    const TGeoBox box = mosaic ? WmsCompositeBox(caps.Box) : WmsSiteBox(caps.Box);
    int width = 0, height = 0;
    WmsImageSize(box, mosaic, width, height);
    const std::string worldPath = m_workDir + m_worldName;
    if (!SaveFileAtomic(worldPath, WmsWorldFile(box, width, height))) {
        WorldNotDownloaded();
        return TNext::Record;
    }
    w.ReadWorldFile(worldPath);
    if (w.Bounds.empty()) {
        WorldUnusable();
        return TNext::Record;
    }
    if (!mosaic && m_s.LegendChk.Checked && !w.LegendName.empty()) {
        // The legend is optional: its outcome does not change the record's status.
        const std::string status = w.Status;
        m_svc.FetchFile(WmsLegendURL(w.ImageURL), m_s.ProgramDir + w.LegendName, w);
        w.Status = status;
        if (!m_s.FetchResult)
            DeleteIfExists(m_s.ProgramDir + w.LegendName);
        Pump();
        if (Cancelled())
            return TNext::Stop;
    }
    m_svc.FetchFile(WmsGetMapURL(w.ImageURL, box, width, height, caps.Time), m_workDir + m_imageName, w);
    Pump();
    if (Cancelled())
        return TNext::Stop;
    if (!m_s.FetchResult) {
        ImageNotDownloaded();
        return TNext::Record;
    }
    ++m_downloaded;
    return Processing();
}

} // namespace sf
