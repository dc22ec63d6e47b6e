#pragma once
// Whether this build runs under AddressSanitizer: its allocator keeps freed memory in a
// quarantine and its shadow memory counts as resident, so resident-size figures mean
// nothing there.
namespace lumivane::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

} // namespace lumivane::test
