// sha256.h -- SHA-256 of a byte buffer, for frame hashes that the native capture
// tool and other builds of the show compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Sha256 {
    std::uint32_t state[8];
    std::uint8_t block[64];
    std::size_t block_used = 0;
    std::uint64_t total_bytes = 0;
};

void sha256_start(Sha256& sha);
void sha256_add(Sha256& sha, const void* data, std::size_t size);
// The digest as 64 lower-case hex digits; the context is spent.
std::string sha256_finish_hex(Sha256& sha);

// The hash of a 320x240 surface: its pixels as the 32-bit words it stores, in
// memory order (little-endian bytes on every machine the show builds for).
std::string surface_hash_hex(const std::uint32_t* pixels, std::size_t count);
