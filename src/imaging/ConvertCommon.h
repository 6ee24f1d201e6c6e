// Helpers shared by the site and mosaic conversions (not part of the public interface).
#pragma once
#include "core/RadarObj.h"
#include "core/Shared.h"
#include <stdexcept>
#include <string>

namespace sf::convert {

/// Local time "hh:nn:ss".
std::string Now(const TShared& s);
/// Pumps the event loop; true when the cancel flag is set afterwards.
bool PumpCancelled(TShared& s);
/// "Processed and transferred raw files in " / "Processed files in " + s.mmm + " sec at " + time.
std::string ElapsedText(const TShared& s, double startLocal);
/// The report of a failure in a phase; returns false.
bool ReportFailure(TShared& s, TRadarObj& r, const std::string& raw, const std::string& what, const std::string& phase);
/// The part of a file name up to (not including) its first "."; the whole name without one.
std::string BeforeFirstDot(const std::string& name);
/// Delphi ChangeFileExt on a file name.
std::string ChangeExt(const std::string& name, const std::string& ext);
/// The raw image and world file must exist and the image must hold 250 bytes or more;
/// otherwise reports on FileLbl, the record and the log (a too-small image is deleted) and returns false.
bool RawFilesUsable(TShared& s, TRadarObj& r, const std::string& raw, const std::string& world);
/// "Transferred <n> <underlay> at …" or "Saved 1 <underlay> at …" on FileLbl and the status
/// bar, then a pump; true when the cancel flag is set afterwards.
bool ReportDeliveryCancelled(TShared& s, size_t targets, const std::string& underlay);
/// Raised for a failure inside a phase; its text is the failure's own text.
struct TFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace sf::convert
