#pragma once

// Whether this test program is built with AddressSanitizer, whose allocator
// stands in for the C library's: memory figures and the C library's own
// accounts (mallinfo2) mean something else there.
namespace test_support {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizedBuild = true;
#elif defined(__has_feature)
#  if __has_feature(address_sanitizer)
inline constexpr bool kSanitizedBuild = true;
#  else
inline constexpr bool kSanitizedBuild = false;
#  endif
#else
inline constexpr bool kSanitizedBuild = false;
#endif

}  // namespace test_support
