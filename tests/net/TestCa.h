#pragma once
// A certificate authority of the test's own, made with the openssl command in a folder: it
// issues certificates with the names, purposes and validity a test asks for, and a second
// authority or a self-signed certificate stand for issuers nobody trusts.

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace net_test {

struct Issued {
  std::string key, cert;
  bool ok = false;
};

class TestCa {
 public:
  // The authority's files are FOLDER/NAME-ca.key and FOLDER/NAME-ca.crt.
  TestCa(const std::string& folder, const std::string& name)
      : folder_(folder + "/" + name), cert_(folder_ + "-ca.crt"), key_(folder_ + "-ca.key") {
    ::mkdir((folder_ + "-issued").c_str(), 0700);
    std::ofstream(folder_ + "-index.txt").close();
    std::ofstream(folder_ + "-serial") << "01\n";
    std::ofstream(folder_ + "-ca.cnf")
        << "[ca]\ndefault_ca=d\n[d]\ndatabase=" << folder_
        << "-index.txt\nnew_certs_dir=" << folder_ << "-issued\nserial=" << folder_
        << "-serial\ndefault_md=sha256\npolicy=p\nunique_subject=no\n[p]\ncommonName=supplied\n";
    ok_ = Run("openssl req -x509 -newkey rsa:2048 -nodes -days 3 -subj '/CN=" + name +
              " test CA' -addext basicConstraints=critical,CA:TRUE -addext "
              "keyUsage=keyCertSign,cRLSign -keyout " +
              key_ + " -out " + cert_);
  }
  bool Ok() const { return ok_; }
  const std::string& Cert() const { return cert_; }

  // A certificate for the common name cn with the extension lines given (subjectAltName,
  // extendedKeyUsage), valid from start to end (openssl's YYYYMMDDHHMMSSZ; empty: from now for
  // a day).
  Issued Issue(const std::string& file, const std::string& cn, const std::string& extensions,
               const std::string& start = "", const std::string& end = "") const {
    Issued out{folder_ + "-" + file + ".key", folder_ + "-" + file + ".crt"};
    const std::string csr = folder_ + "-" + file + ".csr", ext = folder_ + "-" + file + ".ext";
    std::ofstream(ext) << extensions << "\n";
    std::string dates = start.empty() ? " -days 1" : " -startdate " + start + " -enddate " + end;
    out.ok = Run("openssl req -newkey rsa:2048 -nodes -subj '/CN=" + cn + "' -keyout " + out.key +
                 " -out " + csr) &&
             Run("openssl ca -batch -config " + folder_ + "-ca.cnf -cert " + cert_ + " -keyfile " +
                 key_ + " -in " + csr + " -out " + out.cert + dates + " -extfile " + ext);
    ::chmod(out.key.c_str(), 0600);
    return out;
  }

  // A certificate signed by itself, for the names given.
  static Issued SelfSigned(const std::string& folder, const std::string& file,
                           const std::string& cn, const std::string& altNames) {
    Issued out{folder + "/" + file + ".key", folder + "/" + file + ".crt"};
    out.ok =
        Run("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj '/CN=" + cn +
            "' -addext subjectAltName=" + altNames + " -keyout " + out.key + " -out " + out.cert);
    ::chmod(out.key.c_str(), 0600);
    return out;
  }

 private:
  static bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  }

  std::string folder_, cert_, key_;
  bool ok_ = false;
};

}  // namespace net_test
