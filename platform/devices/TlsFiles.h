#pragma once
// The files a TLS connection to a serial server is made with, chosen and checked before any
// connection is made. The trust store: with QELM_TLS_CA set, that file of PEM certificates or
// that folder of hashed certificates alone; without it the system's store as OpenSSL finds it:
// SSL_CERT_FILE if set, else SSL_CERT_DIR if set, else the default file of the OpenSSL build.
// The client certificate: QELM_TLS_CERT and QELM_TLS_KEY (PEM), presented when the server asks;
// a certificate file that holds its key too may stand alone.
//
// Promises on failure: every check gives a one-line reason naming the variable and the file,
// and the connection is not attempted: a store or certificate file that is missing,
// unreadable, or neither a regular file nor a folder (a FIFO or a device is looked at, never
// opened); a key file that others than its owner may read; an encrypted key (nobody is asked
// for a passphrase); a certificate and a key that do not belong together. Nothing throws.

#include <optional>
#include <string>

namespace platform {

// What the environment names; empty for what is not set.
struct TlsOptions {
  std::string ca;    // QELM_TLS_CA
  std::string cert;  // QELM_TLS_CERT
  std::string key;   // QELM_TLS_KEY
  static TlsOptions FromEnvironment();
};

struct TlsFiles {
  std::string caPath;     // a file, or a folder ending in "/" (as the network library tells them)
  std::string caSource;   // where it came from, for the log: "QELM_TLS_CA (/etc/site-ca.pem)"
  std::string cert, key;  // empty when no client certificate is presented
};

// The checked files for the options; nullopt with *error and *why when one of them cannot be
// used: EINVAL for a file name the network library's syntax cannot carry (a quote, a
// backslash, a control character), ENOENT for a file that does not exist, EACCES otherwise.
std::optional<TlsFiles> ChooseTlsFiles(const TlsOptions& options, int* error, std::string* why);

}  // namespace platform
