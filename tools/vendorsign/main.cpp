// vendorsign: the vendor's tool for signed updates. It makes the key pair and signs a release
// folder, writing the manifest and its signature beside the files the vendor server offers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

#include "releasesigning.h"

namespace {
namespace fs = std::filesystem;
using namespace vendorsign;

const char* const kUsage =
    "usage: vendorsign keygen KEYFILE\n"
    "         writes a new key pair: the secret key to KEYFILE (readable by its owner only,\n"
    "         never overwritten) and the public key to KEYFILE.pub; prints the public key,\n"
    "         the value of VendorKey= in endpoints.ini or of the program's built-in key\n"
    "       vendorsign sign KEYFILE FOLDER --version VERSION\n"
    "         writes FOLDER/manifest and FOLDER/manifest.sig for the names of FOLDER/filelist,\n"
    "         or for every other file in FOLDER when there is no file list; VERSION is the\n"
    "         release's version as the vendor server announces it (1.3.7 or 1.03.0007)\n";

int fail(const std::string& message) {
  std::cerr << "vendorsign: " << message << "\n";
  return 1;
}

// Creates the file for this user alone; false when it exists or cannot be written.
bool writeNewPrivateFile(const fs::path& path, const std::string& text, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    error = path.string() + ": " + std::strerror(errno);
    return false;
  }
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (!written) error = path.string() + ": " + std::strerror(errno);
  return ::close(fd) == 0 && written;
}

bool writeFile(const fs::path& path, const std::string& text, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) error = "cannot write " + path.string();
  return static_cast<bool>(out);
}

int keygen(const fs::path& keyFile) {
  const KeyPair pair = makeKeyPair();
  const std::string publicKey = base64(pair.publicKey);
  std::string error;
  if (!writeNewPrivateFile(keyFile, base64(pair.secretKey) + "\n", error)) return fail(error);
  if (!writeFile(fs::path(keyFile.string() + ".pub"), publicKey + "\n", error)) return fail(error);
  std::cout << publicKey << "\n";
  return 0;
}

int sign(const fs::path& keyFile, const fs::path& folder, const std::string& version) {
  if (!isVersionText(version))
    return fail("\"" + version + "\" is no version (three numbers joined by \".\")");
  std::string error;
  const std::string secretKey = readSecretKeyFile(keyFile, error);
  if (secretKey.empty()) return fail(error);
  std::string manifest = manifestVersionLine(version);
  for (const std::string& name : releaseNames(folder)) {
    if (name.empty() || name.find('/') != std::string::npos || isDescriptionName(name))
      return fail("the file list names \"" + name + "\", which cannot be part of a release");
    const auto body = readFile(folder / name);
    if (!body) return fail("listed file missing: " + (folder / name).string());
    manifest += manifestLine(name, *body);
  }
  if (manifest == manifestVersionLine(version))
    return fail("no files to sign in " + folder.string());
  if (!writeFile(folder / kManifest, manifest, error) ||
      !writeFile(folder / kSignature, signatureFile(manifest, secretKey), error))
    return fail(error);
  std::cout << "signed " << (folder / kManifest).string() << " with the key "
            << base64(publicKeyOf(secretKey)) << " for version " << version << "\n";
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "keygen" && argc == 3) return keygen(argv[2]);
  if (command == "sign" && argc == 6 && std::string(argv[4]) == "--version")
    return sign(argv[2], argv[3], argv[5]);
  std::cerr << kUsage;
  return command == "--help" || command == "-h" ? 0 : 2;
}
