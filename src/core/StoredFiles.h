// Reading the files the user keeps (settings, download list, target list) so that a file
// that exists but cannot be read is told apart from a file that is not there.
#pragma once
#include <string>

namespace sf {

enum class TStoredRead {
    Missing, ///< no such name (in any case-variant): the defaults apply
    Read,    ///< bytes hold the whole file
    Failed,  ///< something is there but could not be read; reason says why
};

/// Reads a stored file, its name matched ignoring case. Never blocks on a pipe or device.
TStoredRead ReadStoredFile(const std::string& path, std::string& bytes, std::string& reason);
/// The read of a load step: a file read or missing clears held and gives true (found tells
/// which); one that cannot be read sets held and gives false with "Cannot read <path>: <reason>".
bool LoadStoredFile(const std::string& path, std::string& bytes, bool& found, bool& held, std::string* error);
/// True when anything (file, folder, link, even a dangling one) has that name, case ignored.
bool PathPresent(const std::string& path);
/// "Cannot read <path>: <reason>".
std::string CannotReadText(const std::string& path, const std::string& reason);
/// The text for a held file that is not written: "Unable to write to <path>: it could not be
/// loaded at start, so it is kept as it is".
std::string HeldFileText(const std::string& path);

} // namespace sf
