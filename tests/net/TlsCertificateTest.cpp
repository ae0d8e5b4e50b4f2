// TLS to a real ser2net on loopback with certificates from a CA the test makes: the server's
// name is checked after the chain (host name or address, common name or subjectAltName), each
// refusal gives OpenSSL's reason with the dates, the trust store is the one the environment
// names, and files that cannot be used are refused before connecting.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "Ser2net.h"
#include "TestCa.h"
#include "platform/devices/NetworkPortName.h"
#include "platform/devices/NetworkSerial.h"
#include "platform/devices/TlsFiles.h"

using platform::NetworkSerial;
using platform::TlsOptions;

namespace {

class TlsCertificateTest : public ::testing::Test {
 protected:
  TlsCertificateTest() : ca_(Make(), "site"), other_(folder_, "other") {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    for (const char* v :
         {"QELM_TLS_CA", "QELM_TLS_CERT", "QELM_TLS_KEY", "SSL_CERT_FILE", "SSL_CERT_DIR"})
      unsetenv(v);
  }
  ~TlsCertificateTest() override {
    server_.reset();
    close(master_);
    std::filesystem::remove_all(folder_);
  }
  const std::string& Make() {
    char tmpl[] = "/tmp/qelm-tls-test-XXXXXX";
    folder_ = mkdtemp(tmpl);
    return folder_;
  }
  // Serves the pseudo-terminal with TLS, the server showing this certificate.
  void Serve(const net_test::Issued& issued) {
    ASSERT_TRUE(issued.ok);
    server_.reset();
    net_test::Tls tls{issued.key, issued.cert};
    server_ = std::make_unique<net_test::Ser2net>(
        folder_, "s", std::vector<std::string>{ptsname(master_)}, false, &tls);
  }
  struct Outcome {
    bool opened = false;
    int error = 0;
    std::string why;
  };
  Outcome Try(const std::string& host, const TlsOptions& options) {
    Outcome o;
    auto name =
        platform::ParseNetworkPort("rfc2217+tls://" + host + ":" + std::to_string(server_->Port()));
    EXPECT_TRUE(name.has_value());
    auto device =
        NetworkSerial::Open(*name, options, NetworkSerial::kConnectBoundMs, &o.error, &o.why);
    o.opened = device != nullptr;
    return o;
  }
  std::string Endpoint(const std::string& host) const {
    return host + ":" + std::to_string(server_->Port());
  }

  std::string folder_;
  net_test::TestCa ca_;
  net_test::TestCa other_;
  int master_ = -1;
  std::unique_ptr<net_test::Ser2net> server_;
};

TEST_F(TlsCertificateTest, TheRightHostPassesByNameAndByAddress) {
  ASSERT_TRUE(ca_.Ok());
  Serve(ca_.Issue("right", "localhost",
                  "subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth"));
  for (const char* host : {"localhost", "127.0.0.1"}) {
    Outcome o = Try(host, TlsOptions{ca_.Cert(), "", ""});
    EXPECT_TRUE(o.opened) << host << ": " << o.why;
  }
}

TEST_F(TlsCertificateTest, AnotherHostsCertificateIsRefusedWithTheNameItIsFor) {
  ASSERT_TRUE(ca_.Ok());
  // Named in the common name only.
  Serve(ca_.Issue("cn-only", "otherhost", "basicConstraints=CA:FALSE"));
  Outcome o = Try("localhost", TlsOptions{ca_.Cert(), "", ""});
  EXPECT_FALSE(o.opened);
  EXPECT_EQ(o.error, EACCES);
  EXPECT_EQ(o.why, "the certificate of " + Endpoint("localhost") + " is for otherhost");

  // Named in subjectAltName only: the common name then counts for nothing.
  Serve(ca_.Issue("san-only", "localhost", "subjectAltName=DNS:otherhost"));
  o = Try("localhost", TlsOptions{ca_.Cert(), "", ""});
  EXPECT_FALSE(o.opened);
  EXPECT_EQ(o.why, "the certificate of " + Endpoint("localhost") + " is for otherhost");

  // An address is matched against the certificate's addresses, not its host names.
  Serve(ca_.Issue("dns-only", "localhost", "subjectAltName=DNS:localhost"));
  o = Try("127.0.0.1", TlsOptions{ca_.Cert(), "", ""});
  EXPECT_FALSE(o.opened);
  EXPECT_EQ(o.why, "the certificate of " + Endpoint("127.0.0.1") + " is for localhost");
  EXPECT_TRUE(Try("localhost", TlsOptions{ca_.Cert(), "", ""}).opened);

  // A wildcard covers a whole label only.
  Serve(ca_.Issue("partial", "x", "subjectAltName=DNS:local*"));
  EXPECT_FALSE(Try("localhost", TlsOptions{ca_.Cert(), "", ""}).opened);
}

TEST_F(TlsCertificateTest, AChainThatFailsIsRefusedWithOpenSslsReasonWhateverTheName) {
  ASSERT_TRUE(ca_.Ok());
  ASSERT_TRUE(other_.Ok());
  const std::string alt = "subjectAltName=DNS:localhost";
  const std::string refused = "the certificate of localhost:";
  struct Case {
    net_test::Issued issued;
    std::string reason;
  } cases[] = {
      {ca_.Issue("expired", "localhost", alt, "20200101000000Z", "20200201000000Z"),
       "certificate has expired (valid until 2020-02-01 00:00:00 UTC)"},
      {ca_.Issue("early", "localhost", alt, "20990101000000Z", "20990201000000Z"),
       "certificate is not yet valid (valid from 2099-01-01 00:00:00 UTC)"},
      {other_.Issue("stranger", "localhost", alt), "unable to get local issuer certificate"},
      {net_test::TestCa::SelfSigned(folder_, "self", "localhost", "DNS:localhost"),
       "self-signed certificate"},
      {ca_.Issue("client-only", "localhost", alt + "\nextendedKeyUsage=clientAuth"),
       "unsuitable certificate purpose"},
  };
  for (const Case& c : cases) {
    Serve(c.issued);
    Outcome o = Try("localhost", TlsOptions{ca_.Cert(), "", ""});
    EXPECT_FALSE(o.opened) << c.reason;
    EXPECT_EQ(o.error, EACCES) << c.reason;
    EXPECT_EQ(o.why, refused + std::to_string(server_->Port()) + " was refused: " + c.reason);
  }
}

TEST_F(TlsCertificateTest, TheTrustStoreIsQelmTlsCaAloneElseOpenSslsOwnOrder) {
  ASSERT_TRUE(ca_.Ok());
  ASSERT_TRUE(other_.Ok());
  Serve(ca_.Issue("right", "localhost", "subjectAltName=DNS:localhost"));
  // A folder of hashed certificates.
  const std::string hashed = folder_ + "/hashed";
  std::filesystem::create_directory(hashed);
  std::filesystem::copy_file(ca_.Cert(), hashed + "/site.pem");
  ASSERT_EQ(std::system(("openssl rehash " + hashed + " >/dev/null 2>&1").c_str()), 0);

  EXPECT_TRUE(Try("localhost", TlsOptions{hashed, "", ""}).opened);
  setenv("SSL_CERT_FILE", ca_.Cert().c_str(), 1);
  EXPECT_TRUE(Try("localhost", TlsOptions{}).opened);
  // QELM_TLS_CA alone, even when the system's store would take the certificate.
  EXPECT_FALSE(Try("localhost", TlsOptions{other_.Cert(), "", ""}).opened);
  // SSL_CERT_FILE before SSL_CERT_DIR.
  setenv("SSL_CERT_FILE", other_.Cert().c_str(), 1);
  setenv("SSL_CERT_DIR", hashed.c_str(), 1);
  EXPECT_FALSE(Try("localhost", TlsOptions{}).opened);
  unsetenv("SSL_CERT_FILE");
  EXPECT_TRUE(Try("localhost", TlsOptions{}).opened);
  unsetenv("SSL_CERT_DIR");

  // Where the certificate was checked against is told.
  int error = 0;
  std::string why;
  auto files = platform::ChooseTlsFiles(TlsOptions{}, &error, &why);
  ASSERT_TRUE(files.has_value()) << why;
  EXPECT_EQ(files->caSource.rfind("the system's trust store (", 0), 0u) << files->caSource;
  // The system's store does not hold the test's CA.
  Outcome o = Try("localhost", TlsOptions{});
  EXPECT_FALSE(o.opened);
  EXPECT_NE(o.why.find("unable to get local issuer certificate"), std::string::npos) << o.why;
  files = platform::ChooseTlsFiles(TlsOptions{hashed, "", ""}, &error, &why);
  ASSERT_TRUE(files.has_value());
  EXPECT_EQ(files->caSource, "QELM_TLS_CA (" + hashed + ")");
  EXPECT_EQ(files->caPath, hashed + "/");
}

TEST_F(TlsCertificateTest, ACaFileThatCannotBeUsedIsRefusedBeforeConnectingAndNeverOpened) {
  int error = 0;
  std::string why;
  const std::string missing = folder_ + "/missing.pem";
  EXPECT_FALSE(platform::ChooseTlsFiles(TlsOptions{missing, "", ""}, &error, &why));
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(why, "QELM_TLS_CA (" + missing + ") does not exist");

  // A FIFO would block whoever opens it: it is looked at, never opened.
  const std::string fifo = folder_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(platform::ChooseTlsFiles(TlsOptions{fifo, "", ""}, &error, &why));
  EXPECT_EQ(why, "QELM_TLS_CA (" + fifo + ") is neither a regular file nor a folder");
  setenv("SSL_CERT_FILE", "/dev/null", 1);
  EXPECT_FALSE(platform::ChooseTlsFiles(TlsOptions{}, &error, &why));
  EXPECT_EQ(why, "SSL_CERT_FILE (/dev/null) is not a regular file");
  unsetenv("SSL_CERT_FILE");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  // A regular file that holds no certificate.
  const std::string text = folder_ + "/notes.txt";
  std::ofstream(text) << "not a certificate\n";
  auto quietName = platform::ParseNetworkPort("rfc2217+tls://127.0.0.1:1");
  EXPECT_EQ(NetworkSerial::Open(*quietName, TlsOptions{text, "", ""}, 3000, &error, &why), nullptr);
  EXPECT_EQ(error, EACCES);
  EXPECT_EQ(why, "QELM_TLS_CA (" + text + ") holds no certificate OpenSSL can read");

  // Nothing is connected to: a listener that never answers would hold the open for its bound.
  net_test::SilentListener silent;
  auto name =
      platform::ParseNetworkPort("rfc2217+tls://127.0.0.1:" + std::to_string(silent.Port()));
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(NetworkSerial::Open(*name, TlsOptions{fifo, "", ""}, 3000, &error, &why), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_EQ(error, EACCES);
  EXPECT_NE(why.find("is neither a regular file nor a folder"), std::string::npos);
}

}  // namespace
