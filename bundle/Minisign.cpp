#include "Minisign.h"

#include "BundleTexts.h"
#include "Digest.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::string_view CommentPrefix = "untrusted comment: ";
constexpr std::string_view TrustedCommentPrefix = "trusted comment: ";
constexpr std::string_view SignatureComment = "signature of an update manifest from corvane-tool";
constexpr std::string_view AlgorithmEd25519 = "Ed";
constexpr std::string_view AlgorithmPrehashed = "ED";
constexpr std::string_view KdfNone{"\0\0", 2};
constexpr std::string_view KdfScrypt = "Sc";
constexpr std::string_view ChecksumBlake2b = "B2";

constexpr std::size_t AlgorithmBytes = 2;
constexpr std::size_t KdfSaltBytes = 32;
constexpr std::size_t KdfLimitBytes = 8;
constexpr std::size_t KeyChecksumBytes = crypto_generichash_BYTES;
constexpr std::size_t PublicKeyBytes = AlgorithmBytes + sizeof(TKeyId) + crypto_sign_PUBLICKEYBYTES;
constexpr std::size_t SecretKeyBytes = 3 * AlgorithmBytes + KdfSaltBytes + 2 * KdfLimitBytes + sizeof(TKeyId) +
                                       crypto_sign_SECRETKEYBYTES + KeyChecksumBytes;
constexpr std::size_t SignatureBytes = AlgorithmBytes + sizeof(TKeyId) + crypto_sign_BYTES;

using Bytes = std::vector<std::uint8_t>;

// The file's lines without their line ends; empty lines at the end dropped.
std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

bool Decode(std::string_view line, std::size_t expected, Bytes& bytes, std::string& problem)
{
    bytes.assign(line.size(), 0);
    std::size_t length = 0;
    const char* end = nullptr;
    // An empty line decodes to nothing; the decoder must not see its empty buffer.
    if (!line.empty() && (sodium_base642bin(bytes.data(), bytes.size(), line.data(), line.size(), nullptr, &length,
                                            &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
                          end != line.data() + line.size())) {
        problem = bundletext::NotBase64;
        return false;
    }
    bytes.resize(length);
    if (length != expected) {
        problem = FillText(bundletext::WrongLength, {std::to_string(length), std::to_string(expected)});
        return false;
    }
    return true;
}

std::string Encode(const Bytes& bytes)
{
    std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes.data(), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    text.pop_back();
    return text;
}

// Reads the comment line and the base64 line after it, and no more than extraLines lines.
bool CommentAndData(std::string_view text, std::size_t expected, std::size_t extraLines, std::string& comment,
                    Bytes& bytes, std::vector<std::string_view>& lines, std::string& problem)
{
    lines = Lines(text);
    if (lines.empty() || !lines[0].starts_with(CommentPrefix)) {
        problem = bundletext::NoCommentLine;
        return false;
    }
    comment = lines[0].substr(CommentPrefix.size());
    if (lines.size() < 2) {
        problem = FillText(bundletext::WrongLength, {"0", std::to_string(expected)});
        return false;
    }
    if (!Decode(lines[1], expected, bytes, problem))
        return false;
    if (lines.size() > 2 + extraLines) {
        problem = bundletext::ExtraLines;
        return false;
    }
    return true;
}

std::string_view Part(const Bytes& bytes, std::size_t& at, std::size_t size)
{
    const std::string_view part(reinterpret_cast<const char*>(bytes.data()) + at, size);
    at += size;
    return part;
}

template <std::size_t N>
void Take(const Bytes& bytes, std::size_t& at, std::array<std::uint8_t, N>& into)
{
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), N, into.begin());
    at += N;
}

const unsigned char* Data(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

}  // namespace

std::string KeyIdText(const TKeyId& id)
{
    std::uint64_t number = 0;
    for (auto byte = id.rbegin(); byte != id.rend(); ++byte)
        number = number << 8 | *byte;
    char text[sizeof number * 2 + 1];
    std::snprintf(text, sizeof text, "%" PRIX64, number);
    return text;
}

TMinisignSecretKey::~TMinisignSecretKey() { sodium_memzero(Key.data(), Key.size()); }

bool ParsePublicKey(std::string_view text, TMinisignPublicKey& key, std::string& problem)
{
    Bytes bytes;
    std::vector<std::string_view> lines;
    if (!CommentAndData(text, PublicKeyBytes, 0, key.Comment, bytes, lines, problem))
        return false;
    std::size_t at = 0;
    if (Part(bytes, at, AlgorithmBytes) != AlgorithmEd25519) {
        problem = bundletext::WrongAlgorithm;
        return false;
    }
    Take(bytes, at, key.Id);
    Take(bytes, at, key.Key);
    return true;
}

bool ParseSecretKey(std::string_view text, TMinisignSecretKey& key, std::string& problem)
{
    SodiumReady();
    std::string comment;
    Bytes bytes;
    std::vector<std::string_view> lines;
    if (!CommentAndData(text, SecretKeyBytes, 0, comment, bytes, lines, problem))
        return false;
    std::size_t at = 0;
    const std::string_view algorithm = Part(bytes, at, AlgorithmBytes);
    const std::string_view kdf = Part(bytes, at, AlgorithmBytes);
    const std::string_view checksumAlgorithm = Part(bytes, at, AlgorithmBytes);
    const bool result = [&] {
        if (kdf == KdfScrypt) {
            problem = bundletext::EncryptedKey;
            return false;
        }
        if (algorithm != AlgorithmEd25519 || kdf != KdfNone || checksumAlgorithm != ChecksumBlake2b) {
            problem = bundletext::WrongAlgorithm;
            return false;
        }
        at += KdfSaltBytes + 2 * KdfLimitBytes;
        Take(bytes, at, key.Id);
        Take(bytes, at, key.Key);
        const std::string_view checksum = Part(bytes, at, KeyChecksumBytes);
        // An unencrypted key may leave its checksum empty; the public half of
        // the secret key is then what shows a damaged key.
        std::array<std::uint8_t, KeyChecksumBytes> expected{};
        crypto_generichash_state state;
        crypto_generichash_init(&state, nullptr, 0, expected.size());
        crypto_generichash_update(&state, Data(algorithm), algorithm.size());
        crypto_generichash_update(&state, key.Id.data(), key.Id.size());
        crypto_generichash_update(&state, key.Key.data(), key.Key.size());
        crypto_generichash_final(&state, expected.data(), expected.size());
        const bool noChecksum = std::all_of(checksum.begin(), checksum.end(), [](char c) { return c == '\0'; });
        std::array<std::uint8_t, crypto_sign_SEEDBYTES> seed{};
        std::array<std::uint8_t, crypto_sign_PUBLICKEYBYTES> publicKey{};
        std::array<std::uint8_t, crypto_sign_SECRETKEYBYTES> secretKey{};
        crypto_sign_ed25519_sk_to_seed(seed.data(), key.Key.data());
        crypto_sign_seed_keypair(publicKey.data(), secretKey.data(), seed.data());
        const bool consistent = sodium_memcmp(secretKey.data(), key.Key.data(), secretKey.size()) == 0;
        sodium_memzero(seed.data(), seed.size());
        sodium_memzero(secretKey.data(), secretKey.size());
        if (!consistent || (!noChecksum && std::memcmp(checksum.data(), expected.data(), expected.size()) != 0)) {
            problem = bundletext::KeyChecksum;
            return false;
        }
        return true;
    }();
    sodium_memzero(bytes.data(), bytes.size());
    return result;
}

bool ParseSignature(std::string_view text, TMinisignSignature& signature, std::string& problem)
{
    std::string comment;
    Bytes bytes;
    std::vector<std::string_view> lines;
    if (!CommentAndData(text, SignatureBytes, 2, comment, bytes, lines, problem))
        return false;
    std::size_t at = 0;
    const std::string_view algorithm = Part(bytes, at, AlgorithmBytes);
    if (algorithm != AlgorithmPrehashed && algorithm != AlgorithmEd25519) {
        problem = bundletext::WrongAlgorithm;
        return false;
    }
    signature.Prehashed = algorithm == AlgorithmPrehashed;
    Take(bytes, at, signature.Id);
    Take(bytes, at, signature.Signature);
    if (lines.size() < 4 || !lines[2].starts_with(TrustedCommentPrefix)) {
        problem = bundletext::NoTrustedCommentLine;
        return false;
    }
    signature.TrustedComment = lines[2].substr(TrustedCommentPrefix.size());
    Bytes global;
    if (!Decode(lines[3], crypto_sign_BYTES, global, problem))
        return false;
    std::copy(global.begin(), global.end(), signature.GlobalSignature.begin());
    return true;
}

std::string SignMessage(std::string_view message, const TMinisignSecretKey& key, std::string_view trustedComment)
{
    const TBlake2b512 hash = Blake2b512(message);
    Bytes first(AlgorithmPrehashed.begin(), AlgorithmPrehashed.end());
    first.insert(first.end(), key.Id.begin(), key.Id.end());
    std::array<std::uint8_t, crypto_sign_BYTES> signature{};
    crypto_sign_detached(signature.data(), nullptr, hash.data(), hash.size(), key.Key.data());
    first.insert(first.end(), signature.begin(), signature.end());

    Bytes signedComment(signature.begin(), signature.end());
    signedComment.insert(signedComment.end(), trustedComment.begin(), trustedComment.end());
    Bytes global(crypto_sign_BYTES);
    crypto_sign_detached(global.data(), nullptr, signedComment.data(), signedComment.size(), key.Key.data());

    return std::string(CommentPrefix) + std::string(SignatureComment) + '\n' + Encode(first) + '\n' +
           std::string(TrustedCommentPrefix) + std::string(trustedComment) + '\n' + Encode(global) + '\n';
}

TSignatureCheck VerifyMessage(std::string_view message, const TMinisignSignature& signature,
                              const TMinisignPublicKey& key)
{
    SodiumReady();
    if (signature.Id != key.Id)
        return TSignatureCheck::OtherKey;
    const bool valid = [&] {
        if (!signature.Prehashed)
            return crypto_sign_verify_detached(signature.Signature.data(), Data(message), message.size(),
                                               key.Key.data()) == 0;
        const TBlake2b512 hash = Blake2b512(message);
        return crypto_sign_verify_detached(signature.Signature.data(), hash.data(), hash.size(), key.Key.data()) == 0;
    }();
    if (!valid)
        return TSignatureCheck::BadSignature;
    Bytes signedComment(signature.Signature.begin(), signature.Signature.end());
    signedComment.insert(signedComment.end(), signature.TrustedComment.begin(), signature.TrustedComment.end());
    if (crypto_sign_verify_detached(signature.GlobalSignature.data(), signedComment.data(), signedComment.size(),
                                    key.Key.data()) != 0)
        return TSignatureCheck::BadTrustedComment;
    return TSignatureCheck::Valid;
}
