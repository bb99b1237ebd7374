#include "TestCa.h"

#include "PrivateNamespace.h"

#include <cstdlib>
#include <stdexcept>

namespace test {

namespace {

void openssl(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv = { "openssl" };
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string output;
    if (runCommand(argv, &output) != 0)
        throw std::runtime_error("openssl " + arguments.at(0) + " failed: " + output);
}

// A P-256 key and a request for `subject`.
void keyAndRequest(const std::string& base, const std::string& subject)
{
    openssl({ "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
        base + ".key", "-out", base + ".csr", "-subj", subject });
}

} // namespace

TestCa& TestCa::instance()
{
    static TestCa ca;
    return ca;
}

TestCa::TestCa()
{
    m_rootCa = makeAuthority("root");
    m_officeCa = makeAuthority("office");
    ::setenv("SSL_CERT_FILE", m_rootCa.c_str(), 1);
    ::setenv("SSL_CERT_DIR", m_dir.str().c_str(), 1);
    const std::string names = "DNS:mail.test,IP:127.0.0.1,IP:::1";
    m_good = makeServer("good", "root", names);
    m_expired = makeServer("expired", "root", names, "20200101000000Z");
    m_office = makeServer("office-server", "office", names);
    m_otherName = makeServer("other", "root", "DNS:other.test");
}

std::string TestCa::makeAuthority(const std::string& name)
{
    const std::string base = (m_dir / name).string();
    writeFile(base + ".cnf",
        "[req]\ndistinguished_name = dn\n[dn]\n"
        "[v3_ca]\nbasicConstraints = critical,CA:true\nkeyUsage = critical,keyCertSign,cRLSign\n"
        "subjectKeyIdentifier = hash\n");
    openssl({ "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "30",
        "-keyout", base + ".key", "-out", base + ".pem", "-subj", "/CN=Test " + name + " authority", "-config",
        base + ".cnf", "-extensions", "v3_ca" });
    // openssl ca keeps a register of what it signed.
    writeFile(base + ".db", "");
    writeFile(base + ".srl", "01\n");
    writeFile(base + ".ca.cnf",
        "[ca]\ndefault_ca = signer\n[signer]\ndatabase = " + base + ".db\nnew_certs_dir = " + m_dir.str()
            + "\nserial = " + base + ".srl\ncertificate = " + base + ".pem\nprivate_key = " + base
            + ".key\ndefault_md = sha256\npolicy = any\nunique_subject = no\n[any]\ncommonName = supplied\n");
    return base + ".pem";
}

TestCa::Server TestCa::makeServer(
    const std::string& name, const std::string& authority, const std::string& names, const std::string& dates)
{
    const std::string base = (m_dir / name).string();
    keyAndRequest(base, "/CN=" + name + ".test");
    writeFile(base + ".ext", "[server]\nsubjectAltName = " + names + "\nextendedKeyUsage = serverAuth\n");
    std::vector<std::string> arguments = { "ca", "-batch", "-notext", "-config",
        (m_dir / (authority + ".ca.cnf")).string(), "-in", base + ".csr", "-out", base + ".pem", "-extfile",
        base + ".ext", "-extensions", "server" };
    if (dates.empty()) {
        arguments.insert(arguments.end(), { "-days", "30" });
    } else {
        arguments.insert(arguments.end(), { "-startdate", dates, "-enddate", "20200102000000Z" });
    }
    openssl(arguments);
    return { base + ".pem", base + ".key" };
}

} // namespace test
