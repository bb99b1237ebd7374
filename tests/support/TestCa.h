#pragma once

// Certificates for the TLS tests, made at run time with the openssl command: a root that the
// process trusts (SSL_CERT_FILE points at it, set when the authority is first made, before any
// TLS context), an office authority that it does not, and server certificates signed by them.
// One authority per test process, in a temporary folder removed at exit.

#include "tests/support/TempDir.h"

#include <string>

namespace test {

class TestCa
{
public:
    // A server's certificate and key.
    struct Server
    {
        std::string cert;
        std::string key;
    };

    // The process-wide authority.
    static TestCa& instance();

    // For mail.test, 127.0.0.1 and ::1, signed by the trusted root.
    const Server& good() const { return m_good; }
    // The same names, valid for a day in 2020.
    const Server& expired() const { return m_expired; }
    // The same names, signed by the office authority.
    const Server& office() const { return m_office; }
    // For other.test only, signed by the trusted root.
    const Server& otherName() const { return m_otherName; }
    // The office authority's certificate, for a trust file.
    const std::string& officeCa() const { return m_officeCa; }
    const std::string& rootCa() const { return m_rootCa; }
    std::string folder() const { return m_dir.str(); }

private:
    TestCa();
    std::string makeAuthority(const std::string& name);
    Server makeServer(const std::string& name, const std::string& authority, const std::string& names,
        const std::string& dates = {});

    TempDir m_dir;
    std::string m_rootCa;
    std::string m_officeCa;
    Server m_good;
    Server m_expired;
    Server m_office;
    Server m_otherName;
};

} // namespace test
