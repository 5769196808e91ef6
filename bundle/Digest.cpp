#include "Digest.h"

bool SodiumReady()
{
    // sodium_init() may be called any number of times, from any thread.
    static const bool ready = sodium_init() >= 0;
    return ready;
}

TSha256::TSha256()
{
    SodiumReady();
    crypto_hash_sha256_init(&State);
}

void TSha256::Update(const void* data, std::size_t size)
{
    crypto_hash_sha256_update(&State, static_cast<const unsigned char*>(data), size);
}

std::string TSha256::HexDigest()
{
    std::array<std::uint8_t, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256_final(&State, digest.data());
    return HexText(digest.data(), digest.size());
}

std::string Sha256Hex(std::string_view data)
{
    TSha256 hash;
    hash.Update(data.data(), data.size());
    return hash.HexDigest();
}

TBlake2b512 Blake2b512(std::string_view data)
{
    SodiumReady();
    TBlake2b512 digest{};
    crypto_generichash(digest.data(), digest.size(), reinterpret_cast<const unsigned char*>(data.data()), data.size(),
                       nullptr, 0);
    return digest;
}

std::string HexText(const std::uint8_t* bytes, std::size_t size)
{
    std::string text(size * 2 + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), bytes, size);
    text.pop_back();
    return text;
}
