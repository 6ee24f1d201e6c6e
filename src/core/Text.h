// Text helpers and delimited-field access used by every stored line format.
#pragma once
#include <string>
#include <vector>

namespace sf {

/// Field N (from 1) of text split at delimiter, with the stored formats' edge rules:
/// text shorter than 2 chars -> ""; no delimiter -> whole text; N > count -> ""; N <= 0 -> field 1.
std::string GetField(const std::string& text, int n, char delimiter);
/// Number of delimiters + 1, or 0 when the text holds none.
int FieldCount(const std::string& text, char delimiter);
/// The text with every TAB, CR and LF replaced by a blank, so that it stays one field
/// of a stored TAB-separated line (texts from servers and file names may hold them).
std::string CleanFieldText(const std::string& s);
/// Removes leading and trailing blanks and control characters (Delphi Trim).
std::string Trim(const std::string& s);
/// ASCII upper/lower case (the system's names are ASCII).
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
/// Case-insensitive (ASCII) equality and ordering.
bool SameText(const std::string& a, const std::string& b);
int CompareText(const std::string& a, const std::string& b);
bool StartsWith(const std::string& s, const std::string& prefix);
/// StartsWith ignoring (ASCII) case.
bool StartsText(const std::string& s, const std::string& prefix);
bool EndsWith(const std::string& s, const std::string& suffix);
/// 1-based position of sub in s, 0 when absent (Delphi Pos).
int Pos(const std::string& sub, const std::string& s);
/// Decimal text of an integer / strict integer parse ("0x" hex allowed when hex is true).
bool TryStrToInt(const std::string& s, long long& out, bool hex = false);
/// Value of one hexadecimal digit (either case), -1 for any other character.
int HexDigitValue(char c);
/// Splits text into lines at LF, dropping a CR before each LF; a final empty line is not returned.
std::vector<std::string> SplitLines(const std::string& text);

} // namespace sf
