// Runs a check as an ordinary user. Root writes into any folder and may signal any
// process, which hides the rules for unwritable folders and other users' processes;
// under root the check runs in a forked child that has dropped to the user "nobody".
#pragma once
#include <functional>
#include <string>

namespace sf::test {

/// Runs body as a user without privileges (in place when this process has none, else in
/// a child as "nobody"); body returns "" when its check holds, else what failed. Returns
/// that text, or why the child could not run or report.
std::string RunUnprivileged(const std::function<std::string()>& body);
/// Lets the user the unprivileged child runs as reach and write folder (and read its parents).
void OpenToUnprivileged(const std::string& folder);

} // namespace sf::test
