#include "devtls.h"

#include <fstream>
#include <functional>
#include <memory>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace quillax::devtls {
namespace {

template <auto Free>
struct Deleter {
  template <typename T>
  void operator()(T* p) const {
    Free(p);
  }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free>>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;

KeyPtr make_key() { return KeyPtr(EVP_EC_gen("P-256")); }

bool add_extension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  ExtPtr ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
  return ext && X509_add_ext(cert, ext.get(), -1) == 1;
}

// A certificate for `key` named `common_name`, valid from an hour ago for a day; issuer
// fields are filled by sign_certificate.
CertPtr new_certificate(EVP_PKEY* key, const char* common_name) {
  CertPtr cert(X509_new());
  if (!cert) return nullptr;
  unsigned char serial[16];
  if (RAND_bytes(serial, sizeof serial) != 1) return nullptr;
  serial[0] &= 0x7F;  // positive
  std::unique_ptr<BIGNUM, Deleter<BN_free>> bn(BN_bin2bn(serial, sizeof serial, nullptr));
  if (!bn || !BN_to_ASN1_INTEGER(bn.get(), X509_get_serialNumber(cert.get()))) return nullptr;
  X509_set_version(cert.get(), X509_VERSION_3);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Quillax dev"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
  if (X509_set_pubkey(cert.get(), key) != 1) return nullptr;
  return cert;
}

std::string pem_of(const std::function<int(BIO*)>& write) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || write(bio.get()) != 1) return {};
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

bool write_file(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace

std::optional<TlsMaterial> make_tls_material() {
  KeyPtr ca_key = make_key();
  KeyPtr server_key = make_key();
  if (!ca_key || !server_key) return std::nullopt;

  CertPtr ca = new_certificate(ca_key.get(), "Quillax throw-away test CA");
  if (!ca || X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get())) != 1) {
    return std::nullopt;
  }
  if (!add_extension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE") ||
      !add_extension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign") ||
      !add_extension(ca.get(), ca.get(), NID_subject_key_identifier, "hash") ||
      X509_sign(ca.get(), ca_key.get(), EVP_sha256()) == 0) {
    return std::nullopt;
  }

  CertPtr server = new_certificate(server_key.get(), "localhost");
  if (!server || X509_set_issuer_name(server.get(), X509_get_subject_name(ca.get())) != 1) {
    return std::nullopt;
  }
  if (!add_extension(server.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE") ||
      !add_extension(server.get(), ca.get(), NID_key_usage,
                     "critical,digitalSignature,keyEncipherment") ||
      !add_extension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth") ||
      !add_extension(server.get(), ca.get(), NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") ||
      !add_extension(server.get(), ca.get(), NID_authority_key_identifier, "keyid:always") ||
      X509_sign(server.get(), ca_key.get(), EVP_sha256()) == 0) {
    return std::nullopt;
  }

  TlsMaterial material;
  material.ca_cert_pem = pem_of([&](BIO* b) { return PEM_write_bio_X509(b, ca.get()); });
  material.server_cert_pem = pem_of([&](BIO* b) { return PEM_write_bio_X509(b, server.get()); });
  material.server_key_pem = pem_of([&](BIO* b) {
    return PEM_write_bio_PrivateKey(b, server_key.get(), nullptr, nullptr, 0, nullptr, nullptr);
  });
  if (material.ca_cert_pem.empty() || material.server_cert_pem.empty() ||
      material.server_key_pem.empty()) {
    return std::nullopt;
  }
  return material;
}

std::optional<TlsFiles> write_tls_files(const std::filesystem::path& folder) {
  std::optional<TlsMaterial> material = make_tls_material();
  if (!material) return std::nullopt;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return std::nullopt;
  TlsFiles files{folder / "ca.pem", folder / "server.pem", folder / "server-key.pem"};
  if (!write_file(files.ca_cert, material->ca_cert_pem) ||
      !write_file(files.server_cert, material->server_cert_pem) ||
      !write_file(files.server_key, material->server_key_pem)) {
    return std::nullopt;
  }
  std::filesystem::permissions(
      files.server_key, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
      error);
  return files;
}

}  // namespace quillax::devtls
