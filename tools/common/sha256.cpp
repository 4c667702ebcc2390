// sha256.cpp -- a plain SHA-256 (FIPS 180-4), small enough to build everywhere
// the show does, so no crypto library is needed for frame hashes.
#include "sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define VELMORA_SHA_EXTENSIONS 1
#endif

namespace {

constexpr std::uint32_t round_constants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void compress(std::uint32_t state[8], const std::uint8_t block[64])
{
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t(block[4 * i]) << 24 | std::uint32_t(block[4 * i + 1]) << 16 |
               std::uint32_t(block[4 * i + 2]) << 8 | std::uint32_t(block[4 * i + 3]);
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                                 round_constants[i] + w[i];
        const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

#ifdef VELMORA_SHA_EXTENSIONS
// The same compression with the processor's SHA instructions, about seven times
// faster: whole-run frame logs hash gigabytes. State words are kept as ABEF and
// CDGH; each step of the loop runs four rounds and extends the message schedule.
__attribute__((target("sha,sse4.1"))) void compress_with_sha_extensions(std::uint32_t state[8],
                                                                       const std::uint8_t* data, std::size_t blocks)
{
    const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abef_start = abef, cdgh_start = cdgh;
        __m128i w[4];
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            __m128i& current = w[g % 4];
            if (g < 4)
                current = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), byte_swap);
            __m128i k = _mm_add_epi32(current, _mm_loadu_si128(reinterpret_cast<const __m128i*>(round_constants + 4 * g)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            if (g >= 3 && g <= 14) {
                __m128i& next = w[(g + 1) % 4];
                next = _mm_sha256msg2_epu32(_mm_add_epi32(next, _mm_alignr_epi8(current, w[(g + 3) % 4], 4)), current);
            }
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(k, 0x0E));
            if (g >= 1 && g <= 12) w[(g + 3) % 4] = _mm_sha256msg1_epu32(w[(g + 3) % 4], current);
        }
        abef = _mm_add_epi32(abef, abef_start);
        cdgh = _mm_add_epi32(cdgh, cdgh_start);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

bool has_sha_extensions()
{
    static const bool present = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d) || (c & bit_SSE4_1) == 0) return false;
        if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
        return (b & (1u << 29)) != 0;  // SHA
    }();
    return present;
}
#endif

void compress_blocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks)
{
#ifdef VELMORA_SHA_EXTENSIONS
    if (has_sha_extensions()) return compress_with_sha_extensions(state, data, blocks);
#endif
    for (; blocks > 0; --blocks, data += 64) compress(state, data);
}

}  // namespace

void sha256_start(Sha256& sha)
{
    static constexpr std::uint32_t initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(sha.state, initial, sizeof initial);
    sha.block_used = 0;
    sha.total_bytes = 0;
}

void sha256_add(Sha256& sha, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    sha.total_bytes += size;
    while (size > 0) {
        if (sha.block_used == 0 && size >= sizeof sha.block) {  // whole blocks straight from the input
            const std::size_t blocks = size / sizeof sha.block;
            compress_blocks(sha.state, bytes, blocks);
            bytes += blocks * sizeof sha.block;
            size -= blocks * sizeof sha.block;
            continue;
        }
        const std::size_t take = std::min(size, sizeof sha.block - sha.block_used);
        std::memcpy(sha.block + sha.block_used, bytes, take);
        sha.block_used += take;
        bytes += take;
        size -= take;
        if (sha.block_used == sizeof sha.block) {
            compress_blocks(sha.state, sha.block, 1);
            sha.block_used = 0;
        }
    }
}

std::string sha256_finish_hex(Sha256& sha)
{
    const std::uint64_t bits = sha.total_bytes * 8;
    const std::uint8_t pad_start = 0x80, zero = 0;
    sha256_add(sha, &pad_start, 1);
    while (sha.block_used != 56) sha256_add(sha, &zero, 1);
    std::uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    sha256_add(sha, length, sizeof length);
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint32_t word : sha.state)
        for (int shift = 28; shift >= 0; shift -= 4) hex += digits[(word >> shift) & 15];
    return hex;
}

std::string surface_hash_hex(const std::uint32_t* pixels, std::size_t count)
{
    Sha256 sha;
    sha256_start(sha);
    sha256_add(sha, pixels, count * sizeof *pixels);
    return sha256_finish_hex(sha);
}
