// Keys and signatures in minisign's file formats, with libsodium's Ed25519.
//
// Each file is text: an "untrusted comment: " line, then a base64 line.
//   public key   "Ed", key ID (8 bytes), Ed25519 public key (32)
//   secret key   "Ed", KDF "\0\0" (not encrypted) or "Sc", "B2", KDF salt (32),
//                KDF limits (2 x 8), key ID (8), Ed25519 secret key (64),
//                BLAKE2b-256 checksum (32) of "Ed", the key ID and the key
//   signature    "ED" (the message's BLAKE2b-512 is signed) or "Ed" (the
//                message itself, the older form), key ID (8), signature (64);
//                then a "trusted comment: " line and the base64 signature (64)
//                of the first signature followed by the trusted comment.
// The key ID is shown as minisign shows it: the 8 bytes read as a
// little-endian number, in upper-case hexadecimal without leading zeros.
#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using TKeyId = std::array<std::uint8_t, 8>;

std::string KeyIdText(const TKeyId& id);

struct TMinisignPublicKey {
    TKeyId Id{};
    std::array<std::uint8_t, crypto_sign_PUBLICKEYBYTES> Key{};
    // The text after "untrusted comment: ".
    std::string Comment;
};

// Wiped when it goes.
struct TMinisignSecretKey {
    TMinisignSecretKey() = default;
    ~TMinisignSecretKey();
    TMinisignSecretKey(const TMinisignSecretKey&) = delete;
    TMinisignSecretKey& operator=(const TMinisignSecretKey&) = delete;

    TKeyId Id{};
    std::array<std::uint8_t, crypto_sign_SECRETKEYBYTES> Key{};
};

struct TMinisignSignature {
    bool Prehashed = true;
    TKeyId Id{};
    std::array<std::uint8_t, crypto_sign_BYTES> Signature{};
    std::string TrustedComment;
    std::array<std::uint8_t, crypto_sign_BYTES> GlobalSignature{};
};

// Each is false, with the reason, when text is not such a file.
bool ParsePublicKey(std::string_view text, TMinisignPublicKey& key, std::string& problem);
bool ParseSecretKey(std::string_view text, TMinisignSecretKey& key, std::string& problem);
bool ParseSignature(std::string_view text, TMinisignSignature& signature, std::string& problem);

// The signature file of message, prehashed; the trusted comment is one line.
std::string SignMessage(std::string_view message, const TMinisignSecretKey& key, std::string_view trustedComment);

enum class TSignatureCheck { Valid, OtherKey, BadSignature, BadTrustedComment };
TSignatureCheck VerifyMessage(std::string_view message, const TMinisignSignature& signature,
                              const TMinisignPublicKey& key);
