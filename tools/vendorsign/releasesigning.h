#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Signing a release on the vendor's side: the manifest of a release folder and its Ed25519
// signature, as the vendor tool writes them and the simulator serves them.
//
// The manifest names the release's version in its first line, then has one line per listed
// name, in the order of the file list, each line ended by LF:
//   VERSION V
//   NAME SIZE SHA256
// V is the version the vendor server announces for the release: three numbers of up to four
// digits joined by "." ("1.3.7" or "1.03.0007"). Signed with the files, it keeps an older
// release from being offered again as a newer one.
// NAME is the name as the file list carries it (Windows-1252 bytes) with every byte that is not
// a printable ASCII character, and every blank and "%", written as "%" and two upper-case hex
// digits: "Änderungen für 1.3.7.txt" is "%C4nderungen%20f%FCr%201.3.7.txt". SIZE is the file's
// length in bytes in decimal, SHA256 its SHA-256 in 64 lower-case hex digits. manifest.sig holds
// the detached Ed25519 signature over the manifest's bytes in base64, followed by LF.
namespace vendorsign {

// Names that belong to the release's description, never to the release itself.
inline constexpr std::string_view kFileList = "filelist";
inline constexpr std::string_view kManifest = "manifest";
inline constexpr std::string_view kSignature = "manifest.sig";
bool isDescriptionName(std::string_view name);

std::string base64(std::string_view bytes);
std::optional<std::string> fromBase64(std::string_view text);  // surrounding blanks allowed
std::string sha256Hex(std::string_view bytes);

// Whether a text is a version the manifest can carry, and its line.
bool isVersionText(std::string_view version);
std::string manifestVersionLine(std::string_view version);

// A listed name as the manifest writes it.
std::string manifestName(std::string_view name);
std::string manifestLine(std::string_view name, std::string_view body);

// A key pair of raw bytes: libsodium's 64-byte secret key and the 32-byte public key.
struct KeyPair {
  std::string secretKey;
  std::string publicKey;
};
KeyPair makeKeyPair();
std::string publicKeyOf(const std::string& secretKey);
// The key file: the secret key in base64 on one line. Empty with `error` set when the file
// cannot be read or holds no secret key.
std::string readSecretKeyFile(const std::filesystem::path& path, std::string& error);
// The content of manifest.sig for a manifest.
std::string signatureFile(std::string_view manifest, const std::string& secretKey);

// The names of a release folder in their order: its "filelist" split at CR LF when there is
// one, else every regular file in it except the description files, sorted by their bytes.
std::vector<std::string> releaseNames(const std::filesystem::path& folder);
// Names joined by CR LF, without a final line break: the file list's form.
std::string joinFileList(const std::vector<std::string>& names);
std::optional<std::string> readFile(const std::filesystem::path& path);

}  // namespace vendorsign
