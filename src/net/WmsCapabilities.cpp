#include "net/WmsCapabilities.h"
#include "core/Text.h"
#include "net/IemMeta.h"
#include <QByteArray>
#include <QXmlStreamReader>
#include <cmath>
#include <vector>

namespace sf {

namespace {

constexpr int kMaxDepth = 64;

// What one Layer element says, with what it inherits from the layers around it (a
// child layer inherits the time dimension and the geographic box of its parent).
struct TLayerFacts {
    std::string Name;
    bool HasTime = false;
    std::string TimeDefault;
    bool HasBox = false;
    TGeoBox Box;
    int Depth = 0; ///< element depth of the Layer element
};

bool Number(const QString& text, double& out)
{
    bool ok = false;
    out = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(out);
}

bool SameLayerName(const std::string& listed, const std::string& wanted)
{
    // A workspace-wide document names layers "<workspace>:<layer>".
    if (listed == wanted)
        return true;
    const size_t colon = listed.rfind(':');
    return colon != std::string::npos && listed.substr(colon + 1) == wanted;
}

std::string Clip(const std::string& text)
{
    return text.size() > 60 ? text.substr(0, 60) + "..." : text;
}

} // namespace

bool ParseWmsTime(const std::string& t, TDateTime& out)
{
    if (t.size() < 20 || t.size() > 40)
        return false;
    size_t at = 19;
    double fraction = 0;
    if (t[at] == '.') {
        size_t digits = 0;
        double scale = 0.1;
        for (++at; at < t.size() && t[at] >= '0' && t[at] <= '9'; ++at, ++digits, scale /= 10)
            fraction += (t[at] - '0') * scale;
        if (digits == 0 || digits > 9)
            return false;
    }
    const std::string zone = t.substr(at);
    if (zone != "Z" && zone != "+00:00")
        return false;
    TDateTime whole = 0;
    if (!ParseIemTime(t.substr(0, 19) + "Z", whole))
        return false;
    // Kept to the millisecond, as the program's times are.
    out = whole + std::floor(fraction * 1000 + 1e-9) / 1000 * kOneSecond;
    return true;
}

bool ParseWmsCapabilities(const std::string& text, const std::string& layer, TWmsCapabilities& out,
                          std::string& reason)
{
    if (text.size() > kMaxCapabilitiesBytes) {
        reason = "larger than " + std::to_string(kMaxCapabilitiesBytes) + " bytes";
        return false;
    }
    QXmlStreamReader xml(QByteArray(text.data(), (qsizetype)text.size()));
    std::vector<TLayerFacts> open;
    std::vector<TLayerFacts> done;
    std::string boxElement; // inside EX_GeographicBoundingBox: the edge being read
    int depth = 0;
    bool inBox = false, rootSeen = false, exception = false;
    std::string exceptionText;
    TGeoBox box;
    int edges = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > kMaxDepth) {
                reason = "nested deeper than " + std::to_string(kMaxDepth) + " elements";
                return false;
            }
            const QString name = xml.name().toString();
            if (!rootSeen) {
                rootSeen = true;
                exception = name == QLatin1String("ServiceExceptionReport") || name == QLatin1String("ExceptionReport");
            }
            if (exception && (name == QLatin1String("ServiceException") || name == QLatin1String("ExceptionText"))) {
                exceptionText = Trim(xml.readElementText(QXmlStreamReader::IncludeChildElements).toStdString());
                --depth;
                continue;
            }
            if (name == QLatin1String("Layer")) {
                TLayerFacts facts = open.empty() ? TLayerFacts{} : open.back();
                facts.Name.clear();
                facts.Depth = depth;
                open.push_back(facts);
            } else if (open.empty()) {
                continue;
            } else if (name == QLatin1String("Name") && depth == open.back().Depth + 1) {
                open.back().Name = Trim(xml.readElementText().toStdString());
                --depth;
            } else if (name == QLatin1String("Dimension") || name == QLatin1String("Extent")) {
                if (LowerCase(xml.attributes().value(QLatin1String("name")).toString().toStdString()) == "time") {
                    open.back().HasTime = true;
                    open.back().TimeDefault = Trim(xml.attributes().value(QLatin1String("default")).toString().toStdString());
                }
            } else if (name == QLatin1String("EX_GeographicBoundingBox")) {
                inBox = true;
                edges = 0;
                box = TGeoBox{};
            } else if (inBox) {
                double v = 0;
                const QString edge = name;
                const bool ok = Number(xml.readElementText(), v);
                --depth;
                if (!ok)
                    continue;
                if (edge == QLatin1String("westBoundLongitude"))
                    box.West = v, edges |= 1;
                else if (edge == QLatin1String("eastBoundLongitude"))
                    box.East = v, edges |= 2;
                else if (edge == QLatin1String("southBoundLatitude"))
                    box.South = v, edges |= 4;
                else if (edge == QLatin1String("northBoundLatitude"))
                    box.North = v, edges |= 8;
            } else if (name == QLatin1String("LatLonBoundingBox")) {
                // The 1.1.1 form: attributes minx, miny, maxx, maxy in longitude, latitude.
                const QXmlStreamAttributes a = xml.attributes();
                TGeoBox b;
                if (Number(a.value(QLatin1String("minx")).toString(), b.West)
                    && Number(a.value(QLatin1String("miny")).toString(), b.South)
                    && Number(a.value(QLatin1String("maxx")).toString(), b.East)
                    && Number(a.value(QLatin1String("maxy")).toString(), b.North) && b.Valid()) {
                    open.back().Box = b;
                    open.back().HasBox = true;
                }
            }
        } else if (token == QXmlStreamReader::EndElement) {
            const QString name = xml.name().toString();
            if (name == QLatin1String("EX_GeographicBoundingBox") && inBox) {
                inBox = false;
                if (edges == 15 && box.Valid() && !open.empty()) {
                    open.back().Box = box;
                    open.back().HasBox = true;
                }
            } else if (name == QLatin1String("Layer") && !open.empty()) {
                done.push_back(open.back());
                open.pop_back();
            }
            --depth;
        }
    }
    if (xml.hasError()) {
        reason = "not well-formed XML at line " + std::to_string(xml.lineNumber()) + ": "
            + Clip(xml.errorString().toStdString());
        return false;
    }
    if (exception) {
        reason = "service exception" + (exceptionText.empty() ? std::string() : ": " + Clip(exceptionText));
        return false;
    }
    const TLayerFacts* found = nullptr;
    for (const TLayerFacts& f : done)
        if (!f.Name.empty() && SameLayerName(f.Name, layer)) {
            found = &f;
            break;
        }
    if (!found) {
        // A document of one layer may name it differently: take the only one with a time.
        const TLayerFacts* only = nullptr;
        int timed = 0;
        for (const TLayerFacts& f : done)
            if (!f.Name.empty() && f.HasTime) {
                only = &f;
                ++timed;
            }
        if (timed == 1)
            found = only;
    }
    if (!found) {
        reason = "no layer " + Clip(layer) + " in the capabilities";
        return false;
    }
    if (!found->HasTime) {
        reason = "layer " + Clip(found->Name) + " has no time dimension";
        return false;
    }
    if (found->TimeDefault.empty()) {
        reason = "time dimension of layer " + Clip(found->Name) + " has no default";
        return false;
    }
    if (!ParseWmsTime(found->TimeDefault, out.ImageTime)) {
        reason = "time default \"" + Clip(found->TimeDefault) + "\" is not an ISO 8601 UTC time";
        return false;
    }
    if (!found->HasBox) {
        reason = "layer " + Clip(found->Name) + " has no geographic bounding box";
        return false;
    }
    out.Time = found->TimeDefault;
    out.Box = found->Box;
    return true;
}

} // namespace sf
