// The data file: what a save writes and in which order, what a load gives for missing keys and
// files, keys that a save leaves alone, and files that are hostile input.

#include "ControllerFixture.h"

#include "common/desktop/IniFile.h"
#include "monitor/core/DataFile.h"
#include "monitor/core/Services.h"

#include <random>
#include <sys/stat.h>

using namespace monitor;
using namespace std::chrono_literals;

namespace {

std::string freshFile(const std::string& logPath)
{
    return "[SEN]\r\n"
           "VersionInfo=SEN - Senvigil, ver 1.53b\r\n"
           "WindowMaximized=0\r\nWindowLeft=339\r\nWindowTop=210\r\nWindowWidth=606\r\nWindowHeight=425\r\n"
           "EnableTimer=0\r\nAllowFractionOfMinute=0\r\nTimerInterval=15\r\n"
           "LogFileName="
        + logPath
        + "\r\nLogFile=0\r\n"
          "PingSize=56\r\nPingTimeOut=4000\r\nPingTTL=64\r\n"
          "PingRetryOnFirstFail=0\r\nHTTPRetryOnFirstFail=0\r\n"
          "FTPRetryOnFirstFail=0\r\nFtpTimeOutSeconds=15\r\n"
          "SMTPRetryOnFirstFail=0\r\nSmtpTimeOutSeconds=15\r\n"
          "POP3RetryOnFirstFail=0\r\nPOP3TimeOutSeconds=15\r\n"
          "TCPRetryOnFirstFail=0\r\nTcpTimeOutMiliSec=2000\r\n"
          "EmptyMessageText=0\r\nVerbose=0\r\nSaveOnExit=1\r\nMaxParallelTests=1\r\nMetricsFile=\r\n"
          "HistoryFile="
        + logPath.substr(0, logPath.rfind('.')) + ".history\r\nStatusPageFile=\r\n"
          "IMAPRetryOnFirstFail=0\r\nIMAPTimeOutSeconds=10\r\nTLSRetryOnFirstFail=0\r\nTLSTrustFile=\r\n"
          "CertExpiryWarnDays=14\r\n"
        + "[Actions]\r\n"
          "SMTPServer=127.0.0.1\r\nEmailAddress=\r\nFromAddress=SEN@mailhost.invalid\r\nSendCurrentStatus=-1\r\n"
          "FailEmail=0\r\nFailRun=0\r\nFailCommand=\r\nOKEmail=0\r\nOKRun=0\r\nOKCommand=\r\n"
          "StartEmail=0\r\nStartRun=0\r\nStartCommand=\r\nCloseEmail=0\r\nCloseRun=0\r\nCloseCommand=\r\n"
          "SendKeepAlive=0\r\nKeepAliveInterval=12\r\n"
          "SMTPPort=\r\nSMTPSecurity=\r\nSMTPUser=\r\nSMTPPassword=\r\nSMTPPasswordFile=\r\nSMTPTrustFile=\r\n"
          "[DestList]\r\n"
          "SortList=-1\r\nDestCount=0\r\n";
}

std::vector<std::string> hosts(const DestinationList& list)
{
    std::vector<std::string> names;
    for (const Destination& row : list.rows())
        names.push_back(row.HostName);
    return names;
}

} // namespace

TEST_F(ControllerFixture, WithoutADataFileNothingLoadsAndTheFirstSaveWritesEverything)
{
    open();
    EXPECT_TRUE(frontEnd.activity.empty()); // no "Loading - "
    EXPECT_EQ(frontEnd.dataFiles.back(), ini.string());
    EXPECT_EQ(frontEnd.tray, (std::vector<std::pair<int, std::string>> { { 0, "SEN" } }));
    EXPECT_FALSE(fs::exists(ini));
    controller->save();
    EXPECT_EQ(frontEnd.activity.back(), "Saving - " + ini.string());
    EXPECT_EQ(test::readFile(ini), freshFile(log.string()));
}

TEST_F(ControllerFixture, EverySettingAndRowSurvivesASaveAndALoad)
{
    open();
    MonitorSettings& s = controller->settings();
    s.window = { false, 10, 20, 700, 500 };
    s.enableTimer = true;
    s.AllowFractionOfMinute = true;
    s.timerInterval = "0.5";
    s.echo = { 100, 12 };
    for (ServiceOptions& service : s.services)
        service.retryOnFirstFail = true;
    s.of(Service::Ping).timeOut = 3000ms;
    s.of(Service::Ftp).timeOut = 7s;
    s.of(Service::Smtp).timeOut = 8s;
    s.of(Service::Pop3).timeOut = 9s;
    s.of(Service::Imap).timeOut = 11s;
    s.of(Service::Tcp).timeOut = 1500ms;
    s.tlsTrustFile = "/etc/office-ca.pem";
    s.certExpiryWarnDays = 30;
    s.EmptyMessageText = s.Verbose = true;
    s.saveOnExit = false;
    s.actions.smtpServer = "127.0.0.2";
    s.actions.emailAddress = "a@x.invalid; b@x.invalid";
    s.actions.fromAddress = "sen@x.invalid";
    s.actions.sendCurrentStatus = 2;
    s.actions.failEmail = s.actions.okRun = s.actions.startEmail = s.actions.closeRun = true;
    s.actions.sendKeepAlive = true;
    s.actions.failCommand = "/usr/local/bin/fail alert";
    s.actions.okCommand = "ok";
    s.actions.startCommand = "start";
    s.actions.closeCommand = "close";
    s.actions.keepAliveInterval = "6";
    controller->log().SetLogFileName((dir / "other.LOG").string());
    controller->list().ApplySort(SortMode::None);
    controller->list().append(row("gateway", "127.0.0.1"));
    controller->list().append(row("web server ünïcode", "[::1]", "HTTP", "8080")); // IPv6 as typed
    Destination partial { "two columns", { "127.0.0.3", "TCP" }, StateImage::OK };
    controller->list().append(partial);
    controller->save();
    const MonitorSettings saved = s;
    const std::vector<Destination> rows = controller->list().rows();

    open();
    const MonitorSettings& l = controller->settings();
    EXPECT_EQ(frontEnd.activity.front(), "Loading - " + ini.string());
    EXPECT_EQ(l.window.left, 10);
    EXPECT_EQ(l.window.height, 500);
    EXPECT_EQ(l.timerInterval, "0.5");
    EXPECT_EQ(l.of(Service::Ping).timeOut, 3000ms);
    EXPECT_EQ(l.echo.ttl, 12);
    EXPECT_EQ(l.of(Service::Ftp).timeOut, 7s);
    EXPECT_EQ(l.of(Service::Pop3).timeOut, 9s);
    EXPECT_EQ(l.of(Service::Imap).timeOut, 11s);
    EXPECT_EQ(l.of(Service::Tcp).timeOut, 1500ms);
    EXPECT_TRUE(l.enableTimer && l.AllowFractionOfMinute && l.EmptyMessageText && l.Verbose);
    // Every service's flag, a TLS service's being its plain sibling's.
    for (const ServiceRow& row : services())
        EXPECT_TRUE(l.of(row.service).retryOnFirstFail) << row.name;
    EXPECT_EQ(l.tlsTrustFile, "/etc/office-ca.pem");
    EXPECT_EQ(l.certExpiryWarnDays, 30);
    EXPECT_FALSE(l.saveOnExit);
    EXPECT_EQ(l.actions.emailAddress, saved.actions.emailAddress);
    EXPECT_EQ(l.actions.sendCurrentStatus, 2);
    EXPECT_EQ(l.actions.smtpTimeOut, 10); // read, never written
    EXPECT_TRUE(l.actions.failEmail && l.actions.okRun && l.actions.startEmail && l.actions.closeRun);
    EXPECT_FALSE(l.actions.failRun || l.actions.okEmail);
    EXPECT_EQ(l.actions.failCommand, saved.actions.failCommand);
    EXPECT_EQ(l.actions.keepAliveInterval, "6");
    EXPECT_EQ(controller->log().logFileName(), (dir / "other.LOG").string());
    EXPECT_EQ(controller->list().sortMode(), SortMode::None);
    ASSERT_EQ(controller->list().count(), 3);
    EXPECT_EQ(controller->list().at(0), rows[0]);
    EXPECT_EQ(controller->list().at(1), rows[1]);
    // A row is read with all five columns and without its picture.
    EXPECT_EQ(controller->list().at(2).SubItems, (std::vector<std::string> { "127.0.0.3", "TCP", "", "", "" }));
    EXPECT_EQ(controller->list().at(2).State, StateImage::None);
    const std::string text = test::readFile(ini);
    EXPECT_EQ(text.find("Port3"), std::string::npos); // a two-column row writes NAME, IP and Service
    EXPECT_NE(text.find("Service3=TCP\r\n"), std::string::npos);
}

TEST_F(ControllerFixture, AFileWithoutKeysGivesOtherDefaultsThanNoFile)
{
    test::writeFile(ini, "[SEN]\r\n");
    open();
    const MonitorSettings& s = controller->settings();
    EXPECT_EQ(s.of(Service::Ping).timeOut, 2000ms);
    EXPECT_EQ(s.of(Service::Ftp).timeOut, 10s);
    EXPECT_EQ(s.of(Service::Smtp).timeOut, 10s);
    EXPECT_EQ(s.of(Service::Pop3).timeOut, 10s);
    EXPECT_EQ(s.of(Service::Imap).timeOut, 10s);
    EXPECT_EQ(s.actions.smtpServer, "");
    EXPECT_EQ(s.actions.fromAddress, "");
    EXPECT_EQ(s.actions.sendCurrentStatus, 0);
    EXPECT_EQ(s.actions.smtpTimeOut, 10);
    EXPECT_EQ(controller->list().sortMode(), SortMode::None);
    EXPECT_TRUE(s.saveOnExit);

    fs::remove(ini);
    open();
    EXPECT_EQ(controller->settings().of(Service::Ping).timeOut, 4000ms);
    EXPECT_EQ(controller->settings().of(Service::Ftp).timeOut, 15s);
    EXPECT_EQ(controller->settings().actions.smtpServer, "127.0.0.1");
    EXPECT_EQ(controller->settings().actions.fromAddress, AlertActions::PlaceholderSender);
    EXPECT_EQ(controller->settings().actions.sendCurrentStatus, -1);
    EXPECT_EQ(controller->settings().actions.smtpTimeOut, 15);
    EXPECT_EQ(controller->list().sortMode(), SortMode::Unchosen);
}

TEST_F(ControllerFixture, ASaveLeavesKeysOfRemovedRowsUnknownKeysAndComments)
{
    test::writeFile(ini,
        "; written by hand\r\n[SEN]\r\nHomeMade=yes\r\nSaveOnExit=1\r\n[Actions]\r\nSMTPTimeOut=30\r\n"
        "[Elsewhere]\r\nKeep=this\r\n");
    open();
    EXPECT_EQ(controller->settings().actions.smtpTimeOut, 30);
    for (int i = 1; i <= 8; ++i)
        controller->list().append(row("host" + std::to_string(i), "127.0.0." + std::to_string(i)));
    controller->save();
    controller->list().remove({ 5, 6, 7 });
    controller->save();

    const std::string text = test::readFile(ini);
    for (const char* kept : { "; written by hand\r\n",
             "HomeMade=yes\r\n",
             "SMTPTimeOut=30\r\n",
             "[Elsewhere]\r\nKeep=this\r\n",
             "DestCount=5\r\n",
             "NAME8=host8\r\n",
             "Last6=na\r\n" })
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    open();
    EXPECT_EQ(controller->list().count(), 5);
}

TEST_F(ControllerFixture, NewOntoAnExistingFileHoldsOnlyWhatTheProgramWrites)
{
    test::writeFile(ini, "[DestList]\r\nDestCount=1\r\nNAME1=old\r\nJunk=1\r\n[Other]\r\nA=1\r\n");
    run();
    EXPECT_EQ(controller->list().count(), 1);
    const fs::path other = dir / "net.SEN";
    controller->saveDataFileAs(other.string());
    EXPECT_EQ(controller->dataFile(), other.string());
    EXPECT_EQ(controller->list().count(), 1);

    controller->newDataFile(ini.string());
    EXPECT_EQ(controller->list().count(), 0);
    // The same settings saved into a file that never existed.
    controller->saveDataFileAs((dir / "fresh.SEN").string());
    EXPECT_EQ(test::readFile(ini), test::readFile(dir / "fresh.SEN"));
    EXPECT_EQ(test::readFile(ini).find("Junk"), std::string::npos);
    EXPECT_EQ(test::readFile(ini).rfind("[SEN]\r\nVersionInfo=", 0), 0u);
}

TEST_F(ControllerFixture, StoredRowCountsAndServices)
{
    struct Case
    {
        std::string destList;
        std::vector<std::string> hosts;
        std::string firstService;
    };
    const std::vector<Case> cases = {
        { "DestCount=0\r\nNAME1=a\r\n", {}, "" },
        { "DestCount=-3\r\nNAME1=a\r\n", {}, "" },
        { "NAME1=a\r\n", {}, "" },
        { "DestCount=x\r\nNAME1=a\r\n", {}, "" },
        { "DestCount=2\r\nNAME1=a\r\nIP1=127.0.0.1\r\nNAME2=b\r\n", { "a", "b" }, "PING" },
        { "DestCount=0x2\r\nNAME1=a\r\nService1=tcp\r\nNAME2=b\r\n", { "a", "b" }, "tcp" },
        { "DestCount=1\r\nIP1=127.0.0.1\r\n", { "" }, "PING" }, // a row of any key counts
        { "DestCount=2000000000\r\nNAME1=a\r\nNAME2=b\r\nNAME3=c\r\n", { "a", "b", "c" }, "PING" },
        // A row without keys (deleted by hand) loads with the defaults; the highest row key bounds the count.
        { "DestCount=2147483647\r\nNAME1=a\r\nnAmE3=c\r\n", { "a", "", "c" }, "PING" },
        { "DestCount=5\r\nNAME1=a\r\nStat4=OK\r\nNAME05=x\r\nNAME6x=y\r\n", { "a", "", "", "" }, "PING" },
        { "DestCount=2\r\nNAME1=a\r\nNAME3=c\r\n", { "a", "" }, "PING" },
    };
    for (const Case& c : cases) {
        test::writeFile(ini, "[DestList]\r\nSortList=0\r\n" + c.destList);
        open();
        EXPECT_EQ(hosts(controller->list()), c.hosts) << c.destList;
        if (!c.hosts.empty()) {
            EXPECT_EQ(controller->list().at(0).Service(), c.firstService) << c.destList;
        }
    }
}

TEST_F(ControllerFixture, TheStoredSortModeAppliesBeforeTheRowsComeIn)
{
    const std::string rows = "DestCount=3\r\nNAME1=delta\r\nIP1=127.0.0.20\r\nNAME2=Alpha\r\nIP2=127.0.0.100\r\n"
                             "NAME3=charlie\r\nIP3=127.0.0.3\r\n";
    test::writeFile(ini, "[DestList]\r\nSortList=1\r\n" + rows);
    open();
    EXPECT_EQ(hosts(controller->list()), (std::vector<std::string> { "Alpha", "charlie", "delta" }));
    test::writeFile(ini, "[DestList]\r\nSortList=2\r\n" + rows);
    open();
    EXPECT_EQ(hosts(controller->list()), (std::vector<std::string> { "delta", "Alpha", "charlie" }));
    EXPECT_EQ(controller->list().sortMode(), SortMode::ByAddress);
}

TEST_F(ControllerFixture, SavingMaximisedKeepsTheStoredGeometry)
{
    test::writeFile(ini, "[SEN]\r\nWindowLeft=5\r\nWindowTop=6\r\nWindowWidth=700\r\nWindowHeight=600\r\n");
    open();
    controller->settings().window = { true, 0, 0, 1920, 1080 };
    controller->save();
    const std::string text = test::readFile(ini);
    EXPECT_NE(text.find("[SEN]\r\nWindowLeft=5\r\nWindowTop=6\r\nWindowWidth=700\r\nWindowHeight=600\r\n"
                        "VersionInfo=SEN - Senvigil, ver 1.53b\r\nWindowMaximized=1\r\nEnableTimer=0\r\n"),
        std::string::npos);
    open();
    EXPECT_TRUE(controller->settings().window.maximized);
}

TEST_F(ControllerFixture, HostileDataFilesEndQuickly)
{
    // A megabyte in one value is read whole, once.
    test::writeFile(ini, "[DestList]\r\nDestCount=2000000000\r\nNAME1=" + std::string(1 << 20, 'x') + "\r\n");
    open();
    ASSERT_EQ(controller->list().count(), 1);
    EXPECT_EQ(controller->list().at(0).HostName.size(), 1u << 20);

    // Binary garbage with a huge count in the middle of it.
    std::mt19937 random(7);
    std::string garbage;
    for (int i = 0; i < 256 * 1024; ++i)
        garbage += static_cast<char>(random());
    test::writeFile(ini, garbage + "\r\n[DestList]\r\nDestCount=2147483647\r\nNAME1=a\r\n" + garbage);
    open();
    EXPECT_LE(controller->list().count(), 2);

    // One row key with a huge number: the list stops at its bound.
    test::writeFile(ini, "[DestList]\r\nDestCount=2147483647\r\nNAME1=a\r\nLast999999999=x\r\n");
    open();
    EXPECT_EQ(controller->list().count(), MaxStoredRows);

    // A FIFO is no data file: reading it would wait for a writer for ever.
    fs::remove(ini);
    ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0);
    open();
    EXPECT_TRUE(frontEnd.activity.empty());
}

TEST_F(ControllerFixture, ARefusedWriteStopsTheSaveWithTheStoresError)
{
    const std::string path = (dir / "missing" / "net.SEN").string();
    open(parseCommandLine({ "SEN", path }));
    EXPECT_THROW(
        {
            try {
                controller->save();
            } catch (const desktop::EIniFileException& e) {
                EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
                throw;
            }
        },
        desktop::EIniFileException);

    controller->toggleSaveOnExit();
    EXPECT_FALSE(controller->settings().saveOnExit); // the new state stays
    ASSERT_EQ(frontEnd.messages.size(), 1u);
    EXPECT_EQ(frontEnd.messages[0], "Cannot set SaveOnExit value in file:\r" + path + "\rUnable to write to " + path);
}

TEST_F(ControllerFixture, SaveOnExitIsWrittenAtOnceAndAlone)
{
    test::writeFile(ini, "[SEN]\r\nSaveOnExit=1\r\n");
    open();
    controller->toggleSaveOnExit();
    EXPECT_EQ(test::readFile(ini), "[SEN]\r\nSaveOnExit=0\r\n");
    controller->toggleSaveOnExit();
    EXPECT_EQ(test::readFile(ini), "[SEN]\r\nSaveOnExit=1\r\n");
    EXPECT_TRUE(frontEnd.messages.empty());
}

TEST_F(ControllerFixture, ALineBreakInAValueCannotAddKeys)
{
    open();
    controller->list().append(row("evil\r\nDestCount=999", "127.0.0.1\nNAME2=injected"));
    controller->save();
    const std::string text = test::readFile(ini);
    EXPECT_NE(text.find("NAME1=evil\r\nIP1=127.0.0.1\r\n"), std::string::npos);
    EXPECT_EQ(text.find("999"), std::string::npos);
    EXPECT_EQ(text.find("injected"), std::string::npos);
    open();
    EXPECT_EQ(controller->list().count(), 1);
}
