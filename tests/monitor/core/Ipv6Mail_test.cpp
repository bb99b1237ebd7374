// The alert mail to a server given by an IPv6 address (bare or in brackets), by a name with only
// IPv6 addresses, and by a name whose first address (IPv6) is dropped, in the dual-stack
// network of DualStackNetwork.h. The real server listens on every address of the namespace.

#include "monitor/core/AlertMailer.h"
#include "monitor/core/MonitorSettings.h"

#include "tests/net/SmtpServerFixture.h"
#include "tests/support/DualStackNetwork.h"
#include "tests/support/PrivateNamespace.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

using namespace monitor;
namespace dualstack = test::dualstack;

namespace {

std::string subjectOf(const QJsonObject& mail)
{
    for (const auto& pair : mail["headers"].toArray()) {
        if (pair.toArray()[0].toString() == "Subject")
            return pair.toArray()[1].toString().toStdString();
    }
    return "(none)";
}

} // namespace

TEST(Ipv6Mail, AlertMailReachesTheServerOverIpv6AndFallsBackOverAddresses)
{
    RUN_IN_PRIVATE_NETWORK_AND_MOUNTS();
    dualstack::setUp();
    // Port 25 of the namespace: a free port would differ between the IPv4 and IPv6 listeners.
    test::SmtpServerFixture server({ "--listen", ":25" });
    ASSERT_TRUE(server.started());
    int delivered = 0;
    for (const std::string& host : { std::string("::1"), std::string("[::1]"), dualstack::Ula,
             std::string("v6only.test"), std::string("both.test") }) {
        SCOPED_TRACE(host);
        const long droppedBefore = dualstack::droppedPackets();
        AlertActions actions;
        actions.smtpServer = host;
        actions.emailAddress = "ops@office.test";
        actions.smtpTimeOut = 4;
        actions.smtpPort = std::to_string(server.port());
        AlertMailer mailer(actions);
        ASSERT_TRUE(mailer.SendMail("SEN - " + host, "body"));
        const std::string path = server.waitForMessage(++delivered);
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(subjectOf(test::SmtpServerFixture::parse(path)), "SEN - " + host);
        if (host == "both.test") {
            EXPECT_GT(dualstack::droppedPackets(), droppedBefore) << "the dropped address was tried first";
        }
    }
}
