// The numbered image series beside an underlay: B (newest), B1 ... B9, each with its
// ".sat" bounds file, shifted one place before a new underlay is written, and the
// removal of stale series images. Names match ignoring case.
#pragma once
#include "core/Shared.h"
#include "imaging/ShiftJournal.h"
#include <cstdint>
#include <string>

namespace sf {

/// Shifts the BMP series of underlay x (folder + name); returns x's size on entry, -1 when
/// absent. Shifts only from 10000 bytes on. Logs " Rename Sat images error" on failure.
/// The series carries x's own extension (BMP data may be written under another name).
/// newImage, when given, is a file that already holds the image about to become x (a raw
/// image delivered under the underlay's name): it is never taken as a series member.
/// The shift is recorded (ShiftJournal.h) and finished first when an earlier one was cut
/// short; once the new underlay is written, SettleShift drops the record. step sees every
/// record write and rename.
int32_t AccumulateBmp(TShared& s, const std::string& x, const std::string& newImage = {},
                      const TShiftStep& step = {});
/// The same for GIF underlays (a ".bmp" name works on the ".gif" of its stem); threshold 250 bytes.
int32_t AccumulateGif(TShared& s, const std::string& x, const std::string& newImage = {},
                      const TShiftStep& step = {});
/// Deletes the BMP images of x's series (x included) last written more than an hour ago.
void DeleteStaleImages(TShared& s, const std::string& x);

/// The series mask of a stem after the blank rules: blank as third character drops the
/// first three, other blanks become "_"; e.g. "LOT_N0R_0" + "?.bmp".
std::string SeriesPattern(const std::string& stem, const std::string& extension);
/// Adds the listing of folder with mask to list, kept sorted by stamp then path, without duplicates.
int AddSortedListing(const std::string& folder, const std::string& mask, std::vector<std::string>& list);

} // namespace sf
