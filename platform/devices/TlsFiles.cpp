#include "platform/devices/TlsFiles.h"

#include <openssl/pem.h>
#include <openssl/x509.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string Label(const std::string& variable, const std::string& path) {
  return variable + " (" + path + ")";
}

bool Passable(const std::string& path) {
  return std::none_of(path.begin(), path.end(), [](char c) {
    return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

// Looks at the path without opening it: what it is, and whether this user may read it.
bool Usable(const std::string& label, const std::string& path, bool folderAllowed, bool* folder,
            std::string* why) {
  if (!Passable(path)) {
    errno = EINVAL;
    *why = label + " has a name that cannot be passed on (quote, backslash or control character)";
    return false;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    *why = label + (errno == ENOENT || errno == ENOTDIR
                        ? std::string(" does not exist")
                        : " cannot be looked at: " + std::string(std::strerror(errno)));
    return false;
  }
  *folder = S_ISDIR(st.st_mode);
  if (!S_ISREG(st.st_mode) && !(folderAllowed && *folder)) {
    *why = label +
           (folderAllowed ? " is neither a regular file nor a folder" : " is not a regular file");
    errno = EACCES;
    return false;
  }
  if (::access(path.c_str(), *folder ? R_OK | X_OK : R_OK) != 0) {
    *why = label + " cannot be read: " + std::strerror(errno);
    errno = EACCES;
    return false;
  }
  return true;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The key's passphrase callback: a key that asks for one is encrypted; nobody is asked.
int NoPassphrase(char*, int, int, void* asked) {
  *static_cast<bool*>(asked) = true;
  return -1;
}

bool CheckClientCertificate(const std::string& certPath, const std::string& keyPath,
                            std::string* why) {
  const std::string certLabel = Label("QELM_TLS_CERT", certPath);
  const std::string keyLabel =
      Label(keyPath == certPath ? "QELM_TLS_CERT" : "QELM_TLS_KEY", keyPath);
  bool folder = false;
  if (!Usable(certLabel, certPath, false, &folder, why)) return false;
  if (keyPath != certPath && !Usable(keyLabel, keyPath, false, &folder, why)) return false;
  struct stat st {};
  if (::stat(keyPath.c_str(), &st) != 0 || (st.st_mode & 077) != 0) {
    *why = keyLabel + " is open to others than its owner (chmod 600 it)";
    return false;
  }
  File certFile(std::fopen(certPath.c_str(), "r"));
  X509* cert = certFile ? PEM_read_X509(certFile.get(), nullptr, nullptr, nullptr) : nullptr;
  if (!cert) {
    *why = certLabel + " holds no PEM certificate";
    return false;
  }
  File keyFile(std::fopen(keyPath.c_str(), "r"));
  bool asked = false;
  EVP_PKEY* key =
      keyFile ? PEM_read_PrivateKey(keyFile.get(), nullptr, &NoPassphrase, &asked) : nullptr;
  bool ok = false;
  if (asked)
    *why = keyLabel + " is encrypted; the tool never asks for a passphrase";
  else if (!key)
    *why = keyLabel + " holds no PEM private key";
  else if (X509_check_private_key(cert, key) != 1)
    *why = certLabel + " and its key " + keyLabel + " do not belong together";
  else
    ok = true;
  EVP_PKEY_free(key);
  X509_free(cert);
  return ok;
}

}  // namespace

TlsOptions TlsOptions::FromEnvironment() {
  return TlsOptions{Env("QELM_TLS_CA"), Env("QELM_TLS_CERT"), Env("QELM_TLS_KEY")};
}

std::optional<TlsFiles> ChooseTlsFiles(const TlsOptions& options, int* error, std::string* why) {
  *error = EACCES;
  TlsFiles files;
  std::string variable;
  std::string path;
  if (!options.ca.empty()) {
    variable = "QELM_TLS_CA";
    path = options.ca;
  } else if (std::string file = Env("SSL_CERT_FILE"); !file.empty()) {
    variable = "SSL_CERT_FILE";
    path = file;
  } else if (std::string dir = Env("SSL_CERT_DIR"); !dir.empty()) {
    variable = "SSL_CERT_DIR";
    // OpenSSL takes a list of folders here; the first one is checked, all are searched.
    path = dir.substr(0, dir.find(':'));
    files.caPath = dir;
  } else {
    variable = "the system's trust store";
    path = X509_get_default_cert_file();
  }
  files.caSource = Label(variable, path);
  bool folder = false;
  if (!Usable(files.caSource, path, variable != "SSL_CERT_FILE", &folder, why)) {
    if (errno == EINVAL || errno == ENOENT || errno == ENOTDIR)
      *error = errno == EINVAL ? EINVAL : ENOENT;
    return std::nullopt;
  }
  if (!Passable(files.caPath)) {
    *error = EINVAL;
    *why = files.caSource +
           " has a name that cannot be passed on (quote, backslash or control character)";
    return std::nullopt;
  }
  if (files.caPath.empty()) files.caPath = path;
  if (folder && files.caPath.back() != '/') files.caPath += '/';
  if (!folder && variable == "SSL_CERT_DIR") {
    *why = files.caSource + " is not a folder";
    return std::nullopt;
  }
  if (options.cert.empty() && !options.key.empty()) {
    *why = "QELM_TLS_KEY is set without QELM_TLS_CERT";
    return std::nullopt;
  }
  if (!options.cert.empty()) {
    const std::string key = options.key.empty() ? options.cert : options.key;
    if (!CheckClientCertificate(options.cert, key, why)) {
      if (errno == EINVAL) *error = EINVAL;
      return std::nullopt;
    }
    files.cert = options.cert;
    files.key = key;
  }
  return files;
}

}  // namespace platform
