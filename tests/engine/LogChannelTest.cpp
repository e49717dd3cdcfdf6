#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "FileSizeLimit.h"
#include "LogChannel.h"
#include "ScopedTimer.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "TypedKeyOnTerminal.h"

namespace
{
std::string LastLine(const LogChannel& channel)
{
    const DynArray<std::string>& history = channel.GetHistory();
    return history.count == 0 ? std::string() : history[history.count - 1];
}
} // namespace

TEST(LogChannel, GlobalChannelsWriteTheirFilesAndEchoWithTags)
{
    struct Case
    {
        LogChannel* channel;
        const char* file;
        const char* consoleLine; // nullptr: the channel never reaches the console
    };
    const Case cases[] = {
        {&VerboseLog, "Verbose_log.txt", nullptr},
        {&InfoLog, "Info_log.txt", "[INFO]line of 42 and 0.333333\n"},
        {&WarningLog, "Warning_log.txt", "[WARNING]line of 42 and 0.333333\n"},
        {&ErrorLog, "Error_log.txt", "[ERROR]line of 42 and 0.333333\n"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.file);
        testing::internal::CaptureStdout();
        *c.channel << "line of " << 42 << " and " << 1.0 / 3.0;
        c.channel->EndMessage();
        const std::string console = testing::internal::GetCapturedStdout();
        EXPECT_EQ(console, c.consoleLine ? c.consoleLine : "");
        const std::string file = ReadFile(c.file);
        EXPECT_TRUE(file.ends_with("line of 42 and 0.333333\n")) << file;
        EXPECT_EQ(LastLine(*c.channel), "line of 42 and 0.333333");
    }
}

TEST(LogChannel, FileIsTruncatedWhenTheChannelIsMade)
{
    const ScratchFolder folder;
    {
        std::ofstream earlier("Probe_log.txt");
        earlier << "a line from the previous run\n";
    }
    LogChannel probe("Probe", false, false);
    EXPECT_EQ(probe.GetName(), "PROBE");
    probe << "this run";
    probe.EndMessage();
    EXPECT_EQ(ReadFile("Probe_log.txt"), "this run\n");
}

TEST(LogChannel, EmptyAndUnendedLines)
{
    const ScratchFolder folder;
    LogChannel probe("Lines", true, false);
    testing::internal::CaptureStdout();
    probe.EndMessage();
    probe << "begun ";
    probe << "and ";
    probe.EndMessage();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[LINES]\n[LINES]begun and \n");
    EXPECT_EQ(ReadFile("Lines_log.txt"), "\nbegun and \n");
    ASSERT_EQ(probe.GetHistory().count, 2u);
    EXPECT_EQ(probe.GetHistory()[0], "");
}

TEST(LogChannel, HistoryKeepsEveryLineInOrder)
{
    const ScratchFolder folder;
    LogChannel probe("History", false, false);
    for (int i = 0; i < 17; ++i)
    {
        probe << "line " << i;
        probe.EndMessage();
    }
    const DynArray<std::string>& history = probe.GetHistory();
    EXPECT_EQ(history.capacity, 32u);
    ASSERT_EQ(history.count, 17u);
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(history[i], "line " + std::to_string(i));
}

TEST(LogChannel, UnopenableFileStillKeepsHistory)
{
    const ScratchFolder folder;
    LogChannel probe("no-such-folder/Lost", false, false);
    probe << "kept";
    probe.EndMessage();
    EXPECT_EQ(LastLine(probe), "kept");
}

// A line that did not fit on a full disk left the file's stream failed, and the console's when it
// was a file, so that the channel dropped every later line there for the rest of the game.
TEST(LogChannel, ALineThatDidNotFitDoesNotSilenceTheNextOnes)
{
    const ScratchFolder folder;
    LogChannel probe("Full", true, false);
    probe << "before";
    probe.EndMessage();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(WithFileSizeLimit(16, [&] {
        probe << std::string(100, 'x');
        probe.EndMessage();
    }));
    probe << "after";
    probe.EndMessage();
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(console.starts_with("[FULL]xxx")) << console;
    EXPECT_TRUE(console.ends_with("\n[FULL]after\n")) << console;
    const std::string file = ReadFile("Full_log.txt");
    EXPECT_TRUE(file.starts_with("before\n")) << file;
    EXPECT_TRUE(file.ends_with("\nafter\n")) << file;
    EXPECT_EQ(probe.GetHistory().count, 3u);
}

TEST(LogChannel, ErrorLineDoesNotWaitWithoutATerminal)
{
    // With standard input on a pipe (as from a desktop, CI or a test) the pause must not block;
    // if it did, this test would never finish.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const int savedStdin = dup(STDIN_FILENO);
    dup2(pipeEnds[0], STDIN_FILENO);
    testing::internal::CaptureStdout();
    ErrorLog << "no one to answer";
    ErrorLog.EndMessage();
    const std::string console = testing::internal::GetCapturedStdout();
    dup2(savedStdin, STDIN_FILENO);
    close(savedStdin);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    EXPECT_EQ(console, "[ERROR]no one to answer\n");
}

TEST(LogChannel, ErrorLineWaitsForAKeyOnATerminalUnlessAskedNotTo)
{
    {
        TypedKeyOnTerminal console;
        ASSERT_TRUE(console.Ready());
        testing::internal::CaptureStdout();
        ErrorLog << "a peer sent junk";
        ErrorLog.EndMessageWithoutWaiting();
        const std::string shown = testing::internal::GetCapturedStdout();
        EXPECT_EQ(shown, "[ERROR]a peer sent junk\n");
        EXPECT_EQ(LastLine(ErrorLog), "a peer sent junk");
        EXPECT_EQ(console.Unread(), "x\n");
    }
    {
        TypedKeyOnTerminal console;
        ASSERT_TRUE(console.Ready());
        testing::internal::CaptureStdout();
        ErrorLog << "a fault of our own";
        ErrorLog.EndMessage();
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(console.Unread(), "\n") << "the wait takes the key";
    }
}

TEST(LogLocation, KeepsOnlyTheFileName)
{
    EXPECT_EQ(LogLocation("/home/dev/engine/ByteBlob.cpp", 61), "[ByteBlob.cpp:61]");
    EXPECT_EQ(LogLocation("C:\\src\\net\\NetworkManager.h", 147), "[NetworkManager.h:147]");
    EXPECT_EQ(LogLocation("Font.cpp", 115), "[Font.cpp:115]");
}

TEST(ScopedTimer, ReportsOnceAndNeverForAnEmptyName)
{
    const uint32_t before = InfoLog.GetHistory().count;
    {
        ScopedTimer timer("Distance field generation");
        timer.Stop();
        timer.Stop();
    }
    ASSERT_EQ(InfoLog.GetHistory().count, before + 1);
    const std::string line = LastLine(InfoLog);
    EXPECT_EQ(line.rfind("\"Distance field generation\" finished in ", 0), 0u) << line;
    EXPECT_NE(line.find(" milliseconds."), std::string::npos) << line;

    {
        ScopedTimer unnamed("");
        ScopedTimer named("Scope");
    }
    ASSERT_EQ(InfoLog.GetHistory().count, before + 2);
    EXPECT_EQ(LastLine(InfoLog).rfind("\"Scope\" finished in 0 milliseconds.", 0), 0u);
}
