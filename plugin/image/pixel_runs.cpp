#include "plugin/image/pixel_runs.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define PATTIX_X86_STORES 1
#endif

// The address sanitizer does not see the stores of inline assembly: its builds take the
// portable paths, so that every write is checked.
#if defined(__SANITIZE_ADDRESS__)
#define PATTIX_SANITIZED_BUILD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PATTIX_SANITIZED_BUILD 1
#endif
#endif
#ifndef PATTIX_SANITIZED_BUILD
#define PATTIX_SANITIZED_BUILD 0
#endif

namespace pattix::detail {
namespace {

// Pixel stores start at multiples of 8 bytes from the run's start, so an 8-byte pattern of one
// 8-byte pixel or two 4-byte pixels stays in phase; a 4-byte pixel may be left at the end.
void fillTail(char* out, char* end, std::uint64_t pattern) noexcept {
    for (; end - out >= 8; out += 8) std::memcpy(out, &pattern, 8);
    if (end > out) std::memcpy(out, &pattern, static_cast<std::size_t>(end - out));
}

#if PATTIX_X86_STORES
// glibc's memset writes 32 or 64 bytes per store on these processors, and streams past the cache
// when the buffer is larger than it; the compiler's own code for a pixel loop writes 16 bytes per
// store at most, all through the cache.
[[gnu::target("avx2")]] void fillAvx2(char* out, std::size_t bytes, std::uint64_t pattern,
                                      bool streaming) noexcept {
    const __m256i block = _mm256_set1_epi64x(static_cast<long long>(pattern));
    char* const end = out + bytes;
    if (streaming && bytes >= 256) {
        // Streaming stores need 32-byte alignment: the head goes through the cache. If it ends
        // inside the 8-byte pattern (a 4-byte step), the rest continues from its second half.
        std::uint64_t phased = pattern;
        const auto misalignment = reinterpret_cast<std::uintptr_t>(out) & 31u;
        if (misalignment != 0) {
            char* const aligned = out + (32 - misalignment);
            fillTail(out, aligned, pattern);
            if (((aligned - out) & 7) != 0) phased = (pattern >> 32) | (pattern << 32);
            out = aligned;
        }
        const __m256i streamed = _mm256_set1_epi64x(static_cast<long long>(phased));
        for (; end - out >= 128; out += 128) {
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out), streamed);
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 32), streamed);
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 64), streamed);
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 96), streamed);
        }
        fillTail(out, end, phased);
        return;
    }
    for (; end - out >= 128; out += 128) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), block);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), block);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64), block);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 96), block);
    }
    for (; end - out >= 32; out += 32) _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), block);
    fillTail(out, end, pattern);
}

[[gnu::target("avx2")]] void copyAvx2(char* out, const char* in, std::size_t bytes,
                                      bool streaming) noexcept {
    char* const end = out + bytes;
    if (streaming && bytes >= 256) {
        const auto misalignment = reinterpret_cast<std::uintptr_t>(out) & 31u;
        if (misalignment != 0) {
            const std::size_t head = 32 - misalignment;
            std::memcpy(out, in, head);
            out += head;
            in += head;
        }
        for (; end - out >= 128; out += 128, in += 128) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32));
            const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 64));
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 96));
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out), a);
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 32), b);
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 64), c);
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 96), d);
        }
    } else {
        for (; end - out >= 128; out += 128, in += 128) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32));
            const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 64));
            const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 96));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), a);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), b);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64), c);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 96), d);
        }
    }
    std::memcpy(out, in, static_cast<std::size_t>(end - out));
}

bool hasAvx2() noexcept {
    static const bool answer = __builtin_cpu_supports("avx2");
    return answer;
}
#endif

}  // namespace

void fillPattern(void* out, std::size_t bytes, std::uint64_t pattern, bool streaming) noexcept {
    char* const first = static_cast<char*>(out);
#if PATTIX_X86_STORES
    if (hasAvx2()) {
        fillAvx2(first, bytes, pattern, streaming);
        return;
    }
#endif
    (void)streaming;
    fillTail(first, first + bytes, pattern);
}

void copyBytes(void* out, const void* in, std::size_t bytes, bool streaming) noexcept {
#if PATTIX_X86_STORES
    if (hasAvx2()) {
        copyAvx2(static_cast<char*>(out), static_cast<const char*>(in), bytes, streaming);
        return;
    }
#endif
    (void)streaming;
    std::memcpy(out, in, bytes);
}

namespace {
std::atomic<std::size_t> g_RepeatWorthBytes{kRepeatWorthBytes};
}  // namespace

std::size_t repeatWorthBytes() noexcept {
    return g_RepeatWorthBytes.load(std::memory_order_relaxed);
}

void repeatRow(void* first, std::size_t rowBytes, std::size_t copies) noexcept {
    char* const row = static_cast<char*>(first);
#if PATTIX_X86_STORES && !PATTIX_SANITIZED_BUILD
    // One string copy of the rows onto themselves, one row further on. `rep movsb` is defined
    // as a move of one byte at a time in address order, so each row is read after it was
    // written; the processors' fast string mode keeps that meaning for overlapping moves.
    void* to = row + rowBytes;
    const void* from = row;
    std::size_t count = rowBytes * copies;
    asm volatile("rep movsb" : "+D"(to), "+S"(from), "+c"(count) : : "memory");
#else
    // Doubling: each copy takes every row written so far, never overlapping itself.
    std::size_t done = 1;
    const std::size_t rows = copies + 1;
    while (done < rows) {
        const std::size_t now = std::min(done, rows - done);
        std::memcpy(row + done * rowBytes, row, now * rowBytes);
        done += now;
    }
#endif
}

void finishStreaming() noexcept {
#if PATTIX_X86_STORES
    _mm_sfence();
#endif
}

}  // namespace pattix::detail

namespace pattix {
void setRepeatThresholdForTesting(std::size_t bytes) noexcept {
    detail::g_RepeatWorthBytes.store(bytes, std::memory_order_relaxed);
}
}  // namespace pattix
