// A read-only view of Wine's registry files. user.reg holds HKEY_CURRENT_USER,
// system.reg HKEY_LOCAL_MACHINE; HKEY_CLASSES_ROOT is HKCU\Software\Classes laid
// over HKLM\Software\Classes. Key and value names compare ignoring case.
#pragma once
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace sf {

/// Value types as the registry numbers them.
enum : uint32_t { kRegNone = 0, kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7 };

struct TRegValue {
    uint32_t Type = kRegNone;
    std::string Text;          ///< UTF-8 text of string values (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ)
    std::vector<uint8_t> Data; ///< raw bytes of dword and hex values
    bool IsString() const { return Type == kRegSz || Type == kRegExpandSz; }
};

struct TRegKey {
    std::string Name; ///< path as written in the file (escapes decoded)
    std::map<std::string, TRegValue> Values; ///< by lower-case name; "" is the default value
};

/// The keys of one registry file, by lower-case path without leading or trailing "\".
class TRegHive {
public:
    const TRegKey* FindKey(const std::string& path) const;
    /// A key exists when it is written or any key below it is (parents are not always written).
    bool HasKey(const std::string& path) const;
    TRegKey& AddKey(const std::string& path);
    size_t KeyCount() const { return m_keys.size(); }
    /// Path as the hive indexes it: "\" at both ends dropped, ASCII lower case.
    static std::string Normalise(const std::string& path);

private:
    std::unordered_map<std::string, TRegKey> m_keys;
    std::unordered_map<std::string, bool> m_parents; ///< paths of keys that have keys below them
};

/// Parses the text of a Wine registry file (header "WINE REGISTRY Version 2").
/// Malformed lines and values are skipped (counted in *skipped); false with a message
/// only when the header is missing.
bool ParseWineRegistry(const std::string& text, TRegHive& hive, std::string* error = nullptr, int* skipped = nullptr);
/// Decodes one escaped registry string starting after its opening quote at text[pos];
/// pos ends after the closing quote. False when the closing quote is missing.
bool ParseRegString(const std::string& text, size_t& pos, char close, std::string& out);

enum class TRegRoot { CurrentUser, LocalMachine, ClassesRoot };

/// The registry of one Wine prefix; the files are read again only when they change.
class TWineRegistry {
public:
    explicit TWineRegistry(std::string prefix = {});
    /// Reads user.reg and system.reg when their size or time changed (missing files are empty hives).
    void Refresh();
    bool KeyExists(TRegRoot root, const std::string& path) const;
    /// A string value of a key ("" names the default value); empty optional when the key,
    /// the value or its string type is missing.
    std::optional<std::string> ReadString(TRegRoot root, const std::string& path, const std::string& name) const;
    const std::string& Prefix() const { return m_prefix; }
    /// Parses hives from text (tests and callers without files).
    void SetHives(const std::string& userText, const std::string& systemText);

private:
    struct TStamp {
        long long Size = -1;
        long long Time = 0;
        bool operator==(const TStamp&) const = default;
    };
    const TRegKey* Find(TRegRoot root, const std::string& path) const;
    const TRegHive* HiveOf(TRegRoot root, const std::string& path, std::string& relative) const;
    static void LoadHive(const std::string& path, TRegHive& hive, TStamp& stamp);
    std::string m_prefix;
    TRegHive m_user, m_system;
    TStamp m_userStamp, m_systemStamp;
};

} // namespace sf
