// A fresh folder under the system's temporary folder, removed with its contents.
#pragma once
#include <string>

namespace sf::test {

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    /// The folder, ending in "/".
    const std::string& Path() const { return m_path; }
    /// Writes bytes to Path() + relative (folders created); returns the full path.
    std::string Write(const std::string& relative, const std::string& bytes) const;
    /// Reads Path() + relative; empty when missing.
    std::string Read(const std::string& relative) const;

private:
    std::string m_path;
};

} // namespace sf::test
