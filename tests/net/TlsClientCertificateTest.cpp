// Client certificates (QELM_TLS_CERT, QELM_TLS_KEY): presented to a TLS front end on loopback
// that wants one (socat's openssl-listen, verify=1, before a plain ser2net), and refused before
// connecting when the key is open to others, encrypted, or not the certificate's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "Ser2net.h"
#include "TestCa.h"
#include "TlsFrontEnd.h"
#include "platform/devices/NetworkPortName.h"
#include "platform/devices/NetworkSerial.h"
#include "platform/devices/TlsFiles.h"

using platform::NetworkSerial;
using platform::TlsOptions;

namespace {

std::string TempFolder() {
  char tmpl[] = "/tmp/qelm-tls-client-XXXXXX";
  return mkdtemp(tmpl);
}

class TlsClientCertificateTest : public ::testing::Test {
 protected:
  TlsClientCertificateTest() : folder_(TempFolder()), ca_(folder_, "site") {
    for (const char* v : {"SSL_CERT_FILE", "SSL_CERT_DIR"}) unsetenv(v);
  }
  ~TlsClientCertificateTest() override { std::filesystem::remove_all(folder_); }
  std::string folder_;
  net_test::TestCa ca_;
};

TEST_F(TlsClientCertificateTest, AServerThatWantsOneIsRefusedWithoutItAndServedWithIt) {
  ASSERT_TRUE(ca_.Ok());
  net_test::Issued server = ca_.Issue("server", "localhost", "subjectAltName=DNS:localhost");
  net_test::Issued client = ca_.Issue("client", "qelm", "extendedKeyUsage=clientAuth");
  ASSERT_TRUE(server.ok && client.ok);
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  grantpt(master);
  unlockpt(master);
  {
    net_test::Ser2net plain(folder_, "s", {ptsname(master)});
    net_test::TlsFrontEnd front(plain.Port(), server.cert, server.key, ca_.Cert());
    auto name =
        platform::ParseNetworkPort("rfc2217+tls://localhost:" + std::to_string(front.Port()));
    int error = 0;
    std::string why;
    auto device = NetworkSerial::Open(*name, TlsOptions{ca_.Cert(), "", ""}, 3000, &error, &why);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(why, name->Endpoint() +
                       ": the server closed the connection after the handshake: it may require "
                       "a client certificate (QELM_TLS_CERT)");

    // A certificate of an issuer the server does not know is no better.
    net_test::TestCa stranger(folder_, "stranger");
    net_test::Issued unknown = stranger.Issue("client", "qelm", "extendedKeyUsage=clientAuth");
    ASSERT_TRUE(unknown.ok);
    device = NetworkSerial::Open(*name, TlsOptions{ca_.Cert(), unknown.cert, unknown.key}, 3000,
                                 &error, &why);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(why, name->Endpoint() +
                       ": the server closed the connection after the handshake: it may not "
                       "accept the client certificate (QELM_TLS_CERT)");

    device = NetworkSerial::Open(*name, TlsOptions{ca_.Cert(), client.cert, client.key}, 3000,
                                 &error, &why);
    ASSERT_NE(device, nullptr) << why;
    uint32_t written = 0;
    EXPECT_TRUE(device->WriteFile("z>\r\n", 4, &written));
    EXPECT_TRUE(device->ConfirmWritten(3000));
    char got[8] = {};
    ssize_t n = 0;
    for (int i = 0; i < 300 && n < 4; ++i) {
      ssize_t r = read(master, got + n, sizeof got - 1 - n);
      if (r > 0)
        n += r;
      else
        usleep(10000);
    }
    EXPECT_EQ(std::string(got, n), "z>\r\n");
  }
  close(master);
}

TEST_F(TlsClientCertificateTest, AKeyThatCannotBeUsedIsRefusedBeforeConnecting) {
  ASSERT_TRUE(ca_.Ok());
  net_test::Issued client = ca_.Issue("client", "qelm", "extendedKeyUsage=clientAuth");
  net_test::Issued another = ca_.Issue("another", "qelm2", "extendedKeyUsage=clientAuth");
  ASSERT_TRUE(client.ok && another.ok);
  int error = 0;
  std::string why;
  auto choose = [&](const std::string& cert, const std::string& key) {
    return platform::ChooseTlsFiles(TlsOptions{ca_.Cert(), cert, key}, &error, &why).has_value();
  };
  EXPECT_TRUE(choose(client.cert, client.key)) << why;

  ASSERT_EQ(chmod(client.key.c_str(), 0640), 0);
  EXPECT_FALSE(choose(client.cert, client.key));
  EXPECT_EQ(why,
            "QELM_TLS_KEY (" + client.key + ") is open to others than its owner (chmod 600 it)");
  ASSERT_EQ(chmod(client.key.c_str(), 0600), 0);

  const std::string locked = folder_ + "/locked.key";
  ASSERT_EQ(std::system(("openssl pkey -in " + client.key + " -aes128 -passout pass:secret -out " +
                         locked + " >/dev/null 2>&1")
                            .c_str()),
            0);
  ASSERT_EQ(chmod(locked.c_str(), 0600), 0);
  EXPECT_FALSE(choose(client.cert, locked));
  EXPECT_EQ(why,
            "QELM_TLS_KEY (" + locked + ") is encrypted; the tool never asks for a passphrase");

  EXPECT_FALSE(choose(client.cert, another.key));
  EXPECT_EQ(why, "QELM_TLS_CERT (" + client.cert + ") and its key QELM_TLS_KEY (" + another.key +
                     ") do not belong together");

  EXPECT_FALSE(choose("", client.key));
  EXPECT_EQ(why, "QELM_TLS_KEY is set without QELM_TLS_CERT");

  // A certificate file that holds its key too stands alone.
  const std::string both = folder_ + "/both.pem";
  ASSERT_EQ(std::system(("cat " + client.cert + " " + client.key + " > " + both).c_str()), 0);
  ASSERT_EQ(chmod(both.c_str(), 0600), 0);
  EXPECT_TRUE(choose(both, "")) << why;
}

}  // namespace
