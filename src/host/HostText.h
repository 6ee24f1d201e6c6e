// Text conversions for what the Windows host programs store: their ini files are
// Windows-1252, the registry keeps UTF-16 code units, and their paths split at "\".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sf {

/// Appends the UTF-8 form of one code point (invalid ones become U+FFFD).
void AppendUtf8(std::string& out, uint32_t codePoint);
/// Windows-1252 bytes to UTF-8; the five unassigned bytes map to the C1 controls of the same value.
std::string Windows1252ToUtf8(const std::string& bytes);
/// UTF-16 code units to UTF-8; surrogate pairs are joined, lone surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::vector<uint16_t>& units);
/// UTF-16LE bytes (an odd last byte ignored) to UTF-8, stopping at the first NUL unit.
std::string Utf16LeBytesToUtf8(const std::vector<uint8_t>& bytes);
/// File name part of a Windows path: the text after its last "\" (all of it without one).
std::string WinFileName(const std::string& path);
/// Folder part of a Windows path, up to and including its last "\" (empty without one).
std::string WinFolderPart(const std::string& path);

} // namespace sf
