// The hashes of bundles, from libsodium: SHA-256 of files and of the manifest's
// entries, BLAKE2b-512 of what a minisign signature signs.
#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// libsodium set up once for the process; false when it cannot be (no random source).
bool SodiumReady();

class TSha256 {
public:
    TSha256();
    void Update(const void* data, std::size_t size);
    // Lower-case hexadecimal, 64 digits; the hash is finished.
    std::string HexDigest();

private:
    crypto_hash_sha256_state State;
};

std::string Sha256Hex(std::string_view data);

using TBlake2b512 = std::array<std::uint8_t, crypto_generichash_BYTES_MAX>;
TBlake2b512 Blake2b512(std::string_view data);

// Bytes as lower-case hexadecimal.
std::string HexText(const std::uint8_t* bytes, std::size_t size);
