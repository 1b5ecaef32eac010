#pragma once
// MEVRANT_SANITIZED is defined in builds with AddressSanitizer or ThreadSanitizer: they reserve huge
// address space and keep freed memory in quarantine, so limits and resident-memory figures mean nothing.

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MEVRANT_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define MEVRANT_SANITIZED 1
#endif
#endif
