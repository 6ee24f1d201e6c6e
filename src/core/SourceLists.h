// The radar source and product selectors: built-in lines, replaced by
// Radars.txt and Products.txt beside the program when those exist.
#pragma once
#include "core/Shared.h"
#include <string>
#include <vector>

namespace sf {

/// The 150 built-in source lines ("state,place,site" and the two "!!" mosaic lines).
const std::vector<std::string>& BuiltInRadars();
/// The 6 built-in product lines ("code, description").
const std::vector<std::string>& BuiltInProducts();
/// Sorts selector items alphabetically ignoring case (equal ones keep their order).
void SortItems(std::vector<std::string>& items);
/// Fills ProductCmb.Items and RadarCmb.Items (products first) from the files or the built-in lists;
/// false with a message when an existing file cannot be read (the lists read before it stay).
bool LoadSourceLists(TShared& s, std::string* error = nullptr);

} // namespace sf
