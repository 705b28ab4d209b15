#include "devtls/devtls.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace quillax::devtls {
namespace {

std::unique_ptr<X509, decltype(&X509_free)> read_cert(const std::string& pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), int(pem.size())),
                                                BIO_free);
  return {PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), X509_free};
}

// Verifies `server_pem` against `ca_pem` as a TLS client would for `host` (an IP or a name).
bool verifies(const std::string& ca_pem, const std::string& server_pem, const char* host) {
  auto ca = read_cert(ca_pem);
  auto server = read_cert(server_pem);
  std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(), X509_STORE_free);
  X509_STORE_add_cert(store.get(), ca.get());
  std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> ctx(X509_STORE_CTX_new(),
                                                                      X509_STORE_CTX_free);
  X509_STORE_CTX_init(ctx.get(), store.get(), server.get(), nullptr);
  X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx.get());
  X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
  if (std::string(host).find_first_not_of("0123456789.") == std::string::npos) {
    X509_VERIFY_PARAM_set1_ip_asc(param, host);
  } else {
    X509_VERIFY_PARAM_set1_host(param, host, 0);
  }
  return X509_verify_cert(ctx.get()) == 1;
}

TEST(DevTls, ServerCertificateVerifiesForLoopbackNamesAgainstItsOwnCaOnly) {
  auto one = make_tls_material();
  auto other = make_tls_material();
  ASSERT_TRUE(one && other);
  EXPECT_TRUE(verifies(one->ca_cert_pem, one->server_cert_pem, "127.0.0.1"));
  EXPECT_TRUE(verifies(one->ca_cert_pem, one->server_cert_pem, "localhost"));
  EXPECT_FALSE(verifies(one->ca_cert_pem, one->server_cert_pem, "example.org"));
  EXPECT_FALSE(verifies(other->ca_cert_pem, one->server_cert_pem, "127.0.0.1"));
}

TEST(DevTls, WritesThePemFiles) {
  const auto folder = std::filesystem::path(testing::TempDir()) / "devtls_test";
  auto files = write_tls_files(folder);
  ASSERT_TRUE(files);
  auto slurp = [](const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  EXPECT_TRUE(verifies(slurp(files->ca_cert), slurp(files->server_cert), "127.0.0.1"));
  EXPECT_NE(slurp(files->server_key).find("PRIVATE KEY"), std::string::npos);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quillax::devtls
