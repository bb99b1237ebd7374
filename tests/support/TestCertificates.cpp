#include "TestCertificates.h"

#include "PrivateNamespace.h"

#include <map>
#include <stdexcept>

namespace test {

namespace {

void openssl(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "openssl");
    std::string output;
    if (runCommand(arguments, &output) != 0)
        throw std::runtime_error("openssl " + arguments.at(1) + " failed: " + output);
}

} // namespace

const TestCa::Server& certificate(const CertificateRecipe& recipe)
{
    static std::map<std::string, TestCa::Server> made;
    if (const auto found = made.find(recipe.name); found != made.end())
        return found->second;
    const std::string folder = TestCa::instance().folder();
    // Apart from TestCa's own files.
    const std::string base = folder + "/cert-" + recipe.name;
    const std::vector<std::string> key
        = { "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", base + ".key" };
    const std::string subject = "/CN=" + recipe.name + ".test";
    if (recipe.authority.empty()) {
        std::vector<std::string> arguments = { "req", "-x509" };
        arguments.insert(arguments.end(), key.begin(), key.end());
        arguments.insert(arguments.end(),
            { "-days", std::to_string(recipe.days), "-subj", subject, "-addext", "subjectAltName=" + recipe.names, "-out",
                base + ".pem" });
        openssl(arguments);
    } else {
        std::vector<std::string> request = { "req", "-new" };
        request.insert(request.end(), key.begin(), key.end());
        request.insert(request.end(), { "-out", base + ".csr", "-subj", subject });
        openssl(request);
        writeFile(base + ".ext", "[server]\nsubjectAltName = " + recipe.names + "\nextendedKeyUsage = serverAuth\n");
        std::vector<std::string> sign = { "ca", "-batch", "-notext", "-config", folder + "/" + recipe.authority + ".ca.cnf",
            "-in", base + ".csr", "-out", base + ".pem", "-extfile", base + ".ext", "-extensions", "server" };
        if (recipe.startDate.empty())
            sign.insert(sign.end(), { "-days", std::to_string(recipe.days) });
        else
            sign.insert(sign.end(), { "-startdate", recipe.startDate, "-enddate", recipe.endDate });
        openssl(sign);
    }
    return made[recipe.name] = { base + ".pem", base + ".key" };
}

} // namespace test
