#pragma once

// More server certificates beside TestCa's fixed ones, for the monitor's certificate checks:
// any names and dates from either authority, and self-signed ones. Made with the openssl
// command in TestCa's folder (so SSL_CERT_FILE already trusts the root authority).

#include "tests/support/TestCa.h"

#include <string>

namespace test {

struct CertificateRecipe
{
    std::string name; // the common name (name + ".test"), and the files' name
    std::string names = "DNS:web.test,IP:127.0.0.1"; // subjectAltName
    std::string authority = "root"; // "root" (trusted), "office" (trust file only), "" (self-signed)
    int days = 30; // valid from now, unless the dates are given
    std::string startDate {}; // "YYYYMMDDHHMMSSZ"
    std::string endDate {};
};

// Made once per name in this process.
const TestCa::Server& certificate(const CertificateRecipe& recipe);

} // namespace test
