#include "releasesigning.h"

#include <sodium.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vendorsign {
namespace fs = std::filesystem;

namespace {
void initSodium() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium cannot be initialised");
}

const unsigned char* bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
}  // namespace

bool isDescriptionName(std::string_view name) {
  return name == kFileList || name == kManifest || name == kSignature;
}

std::string base64(std::string_view data) {
  const int variant = sodium_base64_VARIANT_ORIGINAL;
  std::string out(sodium_base64_ENCODED_LEN(data.size(), variant), '\0');
  sodium_bin2base64(out.data(), out.size(), bytes(data), data.size(), variant);
  out.resize(out.size() - 1);  // the closing NUL
  return out;
}

std::optional<std::string> fromBase64(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
  std::string out(text.size(), '\0');
  size_t length = 0;
  const char* end = nullptr;
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(out.data()), out.size(), text.data(),
                        text.size(), nullptr, &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      end != text.data() + text.size())
    return std::nullopt;
  out.resize(length);
  return out;
}

std::string sha256Hex(std::string_view data) {
  initSodium();
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, bytes(data), data.size());
  char hex[2 * crypto_hash_sha256_BYTES + 1];
  sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
  return hex;
}

bool isVersionText(std::string_view version) {
  int pieces = 1, digits = 0;
  for (const char c : version) {
    if (c == '.') {
      if (digits == 0) return false;
      ++pieces;
      digits = 0;
    } else if (c >= '0' && c <= '9' && digits < 4) {
      ++digits;
    } else {
      return false;
    }
  }
  return pieces == 3 && digits > 0;
}

std::string manifestVersionLine(std::string_view version) {
  return "VERSION " + std::string(version) + "\n";
}

std::string manifestName(std::string_view name) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : name) {
    if (c > 0x20 && c < 0x7F && c != '%') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

std::string manifestLine(std::string_view name, std::string_view body) {
  return manifestName(name) + " " + std::to_string(body.size()) + " " + sha256Hex(body) + "\n";
}

KeyPair makeKeyPair() {
  initSodium();
  KeyPair pair{std::string(crypto_sign_SECRETKEYBYTES, '\0'),
               std::string(crypto_sign_PUBLICKEYBYTES, '\0')};
  crypto_sign_keypair(reinterpret_cast<unsigned char*>(pair.publicKey.data()),
                      reinterpret_cast<unsigned char*>(pair.secretKey.data()));
  return pair;
}

std::string publicKeyOf(const std::string& secretKey) {
  initSodium();
  std::string pk(crypto_sign_PUBLICKEYBYTES, '\0');
  crypto_sign_ed25519_sk_to_pk(reinterpret_cast<unsigned char*>(pk.data()), bytes(secretKey));
  return pk;
}

std::string readSecretKeyFile(const fs::path& path, std::string& error) {
  const auto text = readFile(path);
  if (!text) {
    error = "cannot read " + path.string();
    return {};
  }
  auto key = fromBase64(*text);
  if (!key || key->size() != crypto_sign_SECRETKEYBYTES) {
    error = path.string() + " holds no secret key (base64 of 64 bytes)";
    return {};
  }
  return *key;
}

std::string signatureFile(std::string_view manifest, const std::string& secretKey) {
  initSodium();
  unsigned char signature[crypto_sign_BYTES];
  crypto_sign_detached(signature, nullptr, bytes(manifest), manifest.size(), bytes(secretKey));
  return base64(std::string_view(reinterpret_cast<const char*>(signature), sizeof signature)) +
         "\n";
}

std::vector<std::string> releaseNames(const fs::path& folder) {
  std::vector<std::string> names;
  if (const auto list = readFile(folder / kFileList)) {
    size_t start = 0;
    while (true) {
      const size_t end = list->find("\r\n", start);
      names.push_back(list->substr(start, end - start));
      if (end == std::string::npos) break;
      start = end + 2;
    }
    return names;
  }
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    std::error_code typeEc;
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file(typeEc) && !isDescriptionName(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string joinFileList(const std::vector<std::string>& names) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += "\r\n";
    out += names[i];
  }
  return out;
}

std::optional<std::string> readFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vendorsign
