// The status page: escaping, the page a pass writes as Debian's headless Chromium shows it
// (every destination there, no script, nothing wider than a phone), and a path it must refuse.

#include "PassFixture.h"

#include "monitor/core/StatusPage.h"
#include "tests/support/PrivateNamespace.h"

#include <chrono>
#include <sys/stat.h>

using namespace monitor;
using namespace std::chrono_literals;

namespace {

// The page's DOM as Chromium builds it, at a window `width` pixels wide. Run inside a network
// namespace of the test's own: the browser reaches nothing, whatever it tries.
std::string dumpDom(const fs::path& page, const fs::path& profile, int width)
{
    std::string output;
    const int code = test::runCommand({ "chromium",
                                          "--headless",
                                          "--no-sandbox",
                                          "--disable-gpu",
                                          "--disable-background-networking",
                                          "--disable-component-update",
                                          "--disable-sync",
                                          "--no-first-run",
                                          "--no-default-browser-check",
                                          "--user-data-dir=" + profile.string(),
                                          "--window-size=" + std::to_string(width) + ",800",
                                          "--dump-dom",
                                          "file://" + page.string() },
        &output);
    EXPECT_EQ(code, 0) << output;
    return output;
}

// A text as a serialised DOM writes it: only &, < and > escaped.
std::string domText(const std::string& text)
{
    std::string out;
    for (const char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

size_t occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

struct StatusPageEngine : PassFixture
{
    void start(const fs::path& page, const std::vector<std::string>& captions)
    {
        std::string rows;
        for (size_t i = 0; i < captions.size(); ++i) {
            const std::string n = std::to_string(i + 1);
            rows += "NAME" + n + "=" + captions[i] + "\r\nIP" + n + "=127.0.0." + n + "\r\nService" + n + "=TCP\r\nPort" + n
                + "=80\r\nStat" + n + "=na\r\n";
        }
        startWith("[SEN]\r\nStatusPageFile=" + page.string() + "\r\n[DestList]\r\nDestCount="
            + std::to_string(captions.size()) + "\r\n" + rows);
    }
};

} // namespace

TEST(StatusPage, TextsAreEscaped)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        { "plain", "plain" },
        { "<b>&\"'", "&lt;b&gt;&amp;&quot;&#39;" },
        { "caf\xc3\xa9", "caf\xc3\xa9" },
        { "bad \xff", "bad \xef\xbf\xbd" },
    };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(htmlEscaped(text), escaped);
}

TEST_F(StatusPageEngine, ChromiumShowsEveryDestinationOnAPhoneWidth)
{
    RUN_IN_PRIVATE_NETWORK();
    const fs::path page = dir / "www" / "status.html";
    fs::create_directories(page.parent_path());
    const std::vector<std::string> captions = { "gateway",
        "<script>document.title='owned'</script>",
        "Caf\xc3\xa9 & \"quotes\"",
        std::string(120, 'w') };
    start(page, captions);
    pass();
    const std::string html = test::readFile(page);
    ASSERT_FALSE(html.empty());
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("name=\"viewport\""), std::string::npos);

    const std::string dom = dumpDom(page, dir / "profile", 360);
    EXPECT_NE(dom.find("<title>SEN status</title>"), std::string::npos) << dom;
    EXPECT_EQ(occurrences(dom, "<section"), captions.size()) << dom;
    for (const std::string& caption : captions)
        EXPECT_NE(dom.find(domText(caption) + "</h2>"), std::string::npos) << caption;
    EXPECT_NE(dom.find(">Fail<"), std::string::npos);
    EXPECT_EQ(occurrences(dom, "<rect"), captions.size() * DaysShown);
    EXPECT_NE(dom.find("100.0%"), std::string::npos);

    // A copy with a measuring script (the page itself has none): laid out 360 pixels wide (a
    // headless window is at least 500), nothing sticks out.
    std::string measured = html;
    measured.insert(measured.rfind("</body>"),
        "<script>document.documentElement.style.width = '360px'; const b = document.body;"
        "b.setAttribute('data-fit', b.scrollWidth + 'x' + b.clientWidth)</script>");
    test::writeFile(dir / "www" / "measured.html", measured);
    const std::string measuredDom = dumpDom(dir / "www" / "measured.html", dir / "profile", 360);
    EXPECT_NE(measuredDom.find("data-fit=\"360x360\""), std::string::npos) << measuredDom;
}

TEST_F(StatusPageEngine, APathThatIsNoRegularFileIsRefused)
{
    const fs::path fifo = dir / "status.html";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    start(fifo, { "gateway" });
    pass();
    EXPECT_NE(std::find(frontEnd.activity.begin(),
                  frontEnd.activity.end(),
                  "*** ERROR: Cannot write status page " + fifo.string() + ": not a regular file"),
        frontEnd.activity.end());
    struct stat st
    {
    };
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
