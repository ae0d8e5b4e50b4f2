#pragma once
// What the server's certificate (PEM, as the network library hands it over after its chain
// check) says about the server, in the words of a refusal: whether it was issued for the host
// the port name asked for, checked with OpenSSL's own functions (X509_check_host without
// partial wildcards for a host name: the subjectAltName DNS entries, the common name only when
// there are none; X509_check_ip_asc for an address), and why a chain check failed, with the
// dates OpenSSL's reason leaves out.
//
// Promises on failure: nothing throws; a certificate that cannot be read matches no name.

#include <string>

#include "platform/devices/NetworkPortName.h"

namespace platform {

// Empty when the certificate is for the port name's host; else the refusal: "the certificate
// of localhost:47104 is for otherhost".
std::string NameMismatch(const std::string& pem, const NetworkPortName& name);

// The refusal of a chain that failed the check, with OpenSSL's reason ("the certificate of
// gw1:4001 was refused: certificate has expired (valid until 2026-12-07 22:50:00 UTC)").
std::string ChainRefusal(const std::string& pem, const std::string& opensslReason,
                         const NetworkPortName& name);

}  // namespace platform
