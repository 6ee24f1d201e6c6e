// Whether this test binary runs under AddressSanitizer: checks that only make sense
// at full speed or with the real allocator (timings, resident memory) skip there.
#pragma once

namespace sf::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

} // namespace sf::test
