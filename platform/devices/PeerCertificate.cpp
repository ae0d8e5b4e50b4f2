#include "platform/devices/PeerCertificate.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <memory>
#include <vector>

#include "platform/system/EscapedBytes.h"

namespace platform {

namespace {

struct CertFree {
  void operator()(X509* c) const { X509_free(c); }
};
using Cert = std::unique_ptr<X509, CertFree>;

Cert Parse(const std::string& pem) {
  BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  if (!bio) return nullptr;
  Cert cert(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr));
  BIO_free(bio);
  return cert;
}

std::string Asn1Text(const ASN1_STRING* s) {
  unsigned char* utf8 = nullptr;
  int n = ASN1_STRING_to_UTF8(&utf8, s);
  if (n < 0) return {};
  std::string text(reinterpret_cast<char*>(utf8), static_cast<size_t>(n));
  OPENSSL_free(utf8);
  return text;
}

// The names the certificate is for, as a person reads them: its subjectAltName DNS and IP
// entries, else its common names.
std::string NamesOf(X509* cert) {
  std::vector<std::string> names;
  auto* alt =
      static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
  for (int i = 0; alt && i < sk_GENERAL_NAME_num(alt); ++i) {
    const GENERAL_NAME* g = sk_GENERAL_NAME_value(alt, i);
    if (g->type == GEN_DNS) {
      names.push_back(Asn1Text(g->d.dNSName));
    } else if (g->type == GEN_IPADD) {
      const ASN1_OCTET_STRING* ip = g->d.iPAddress;
      char text[INET6_ADDRSTRLEN] = {};
      const int family = ip->length == 4 ? AF_INET : ip->length == 16 ? AF_INET6 : -1;
      if (family > 0 && inet_ntop(family, ip->data, text, sizeof text)) names.emplace_back(text);
    }
  }
  GENERAL_NAMES_free(alt);
  if (names.empty()) {
    X509_NAME* subject = X509_get_subject_name(cert);
    for (int i = -1; (i = X509_NAME_get_index_by_NID(subject, NID_commonName, i)) >= 0;)
      names.push_back(Asn1Text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, i))));
  }
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
  // The names come from the server: shown as text, never as terminal controls.
  return out.empty() ? "no name" : EscapeControlBytes(out);
}

std::string DateText(const ASN1_TIME* t) {
  std::tm tm{};
  if (!t || ASN1_TIME_to_tm(t, &tm) != 1) return "an unreadable date";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
  return text;
}

bool IsIpv4(const std::string& host) {
  in_addr a{};
  return inet_pton(AF_INET, host.c_str(), &a) == 1;
}

}  // namespace

std::string NameMismatch(const std::string& pem, const NetworkPortName& name) {
  const std::string refusal = "the certificate of " + name.Endpoint() + " is for ";
  Cert cert = Parse(pem);
  if (!cert) return refusal + "no name that can be read";
  int matched;
  if (name.ipv6 || IsIpv4(name.host))
    matched = X509_check_ip_asc(cert.get(), name.host.c_str(), 0);
  else
    matched = X509_check_host(cert.get(), name.host.c_str(), name.host.size(),
                              X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS, nullptr);
  return matched == 1 ? std::string() : refusal + NamesOf(cert.get());
}

std::string ChainRefusal(const std::string& pem, const std::string& opensslReason,
                         const NetworkPortName& name) {
  std::string reason = opensslReason.empty() ? "it did not pass the check" : opensslReason;
  if (Cert cert = Parse(pem)) {
    const ASN1_TIME* notAfter = X509_get0_notAfter(cert.get());
    const ASN1_TIME* notBefore = X509_get0_notBefore(cert.get());
    if (X509_cmp_current_time(notAfter) < 0)
      reason += " (valid until " + DateText(notAfter) + ")";
    else if (X509_cmp_current_time(notBefore) > 0)
      reason += " (valid from " + DateText(notBefore) + ")";
  }
  return "the certificate of " + name.Endpoint() + " was refused: " + reason;
}

}  // namespace platform
