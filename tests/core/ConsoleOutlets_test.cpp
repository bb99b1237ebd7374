// The console side of a program: where each kind of text goes, and what counts as an error.

#include "common/core/ConsoleOutlets.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(ConsoleOutlets, ActivityToOutMessagesToErrQuestionsTakeTheirDefault)
{
    std::ostringstream out;
    std::ostringstream err;
    core::ConsoleOutlets console(out, err);
    console.appendActivityLine("line one");
    console.setActivityText("ignored\r\n");
    console.showMessage("first\rsecond");
    EXPECT_TRUE(console.askOkCancel("Program Paused", "Continue?"));
    EXPECT_TRUE(console.askYesNo("Reload", "Reload the file\r/tmp/a?"));
    EXPECT_EQ(out.str(), "line one\n");
    EXPECT_EQ(err.str(),
        "first\nsecond\n"
        "Program Paused\nContinue?\n(answered OK)\n"
        "Reload\nReload the file\n/tmp/a?\n(answered Yes)\n");
    EXPECT_EQ(console.messageCount(), 1); // a question is no error
}
