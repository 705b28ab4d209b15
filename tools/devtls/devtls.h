// Throw-away TLS material for local test and demo servers: a CA made in memory and a server
// certificate for 127.0.0.1 and localhost signed by it. Nothing is checked in and nothing
// outlives a day, so no key ever expires in the repository.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quillax::devtls {

// PEM texts of one CA and one server certificate it signed.
struct TlsMaterial {
  std::string ca_cert_pem;
  std::string server_cert_pem;
  std::string server_key_pem;
};

// Paths of the PEM files written by write_tls_files.
struct TlsFiles {
  std::filesystem::path ca_cert;      // trust this one (QUILLAX_CA_FILE)
  std::filesystem::path server_cert;  // the server's certificate
  std::filesystem::path server_key;   // the server's private key (unencrypted)
};

// A fresh CA (P-256, valid from an hour ago for a day) and a server certificate for the names
// IP 127.0.0.1 and DNS localhost signed by it. Empty optional when OpenSSL fails. Any thread.
std::optional<TlsMaterial> make_tls_material();

// Makes fresh material and writes "ca.pem", "server.pem" and "server-key.pem" into `folder`
// (created when missing). Empty optional when making or writing fails.
std::optional<TlsFiles> write_tls_files(const std::filesystem::path& folder);

}  // namespace quillax::devtls
