#include "base/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "test_support.h"

namespace {

using smt::LogPrintf;
using smt::LogStream;
using smt::test::Hex;
using smt::test::ReadBytes;
using smt::test::TempDir;

TEST(Log, WritesGbkLinesAndContinuesLinesOfAnyLength) {
    TempDir dir;
    LogStream log(dir.File("log.txt"));
    ASSERT_EQ(log.Path(), dir.File("log.txt"));
    LogPrintf(&log, true, "Console Start");
    LogPrintf(&log, true, "Send = 0x%x，\r\n", 0x53);
    LogPrintf(&log, true, "Pack Error = 0x%x，", 0xF01);
    // Without a newline the next text continues the line.
    LogPrintf(&log, false, "a=%d ", 1);
    LogPrintf(&log, false, "b=%0.4f", 2.5);
    LogPrintf(&log, true, "%s", "");
    const std::string big(20000, 'z');  // far beyond the format's length plus 99 characters
    LogPrintf(&log, true, "%s|%d", big.c_str(), 7);
    // The full-width comma is A3 AC in GBK.
    EXPECT_EQ(ReadBytes(dir.File("log.txt")), "Console Start\nSend = 0x53" + Hex("A3 AC") + "\r\n\nPack Error = 0xf01" +
                                                  Hex("A3 AC") + "\na=1 b=2.5000\n" + big + "|7\n");
}

TEST(Log, ReopeningKeepsEarlierLinesClosedOrUnwritableStreamsDiscard) {
    TempDir dir;
    {
        LogStream first(dir.File("log.txt"));
        LogPrintf(&first, true, "before restart");
    }
    LogStream second(dir.File("log.txt"));
    LogPrintf(&second, true, "after restart");
    second.Close();
    EXPECT_EQ(second.Path(), "");
    LogPrintf(&second, true, "dropped");
    EXPECT_EQ(ReadBytes(dir.File("log.txt")), "before restart\nafter restart\n");
    smt::test::WriteBytes(dir.File("file"), "x");
    for (const std::string& path : {dir.File("missing/log.txt"), dir.File("file/log.txt"), dir.Path()}) {
        LogStream log(path);
        EXPECT_EQ(log.Path(), "") << path;
        EXPECT_EQ(smt::LogFilePath(&log), "");
        LogPrintf(&log, true, "lost %d", 1);
        log.Close();
        LogPrintf(&log, true, "lost %d", 2);
    }
    LogPrintf(nullptr, true, "no stream");
    EXPECT_EQ(ReadBytes(dir.File("file")), "x");
}

TEST(Log, LinesFromManyThreadsNeverInterleave) {
    TempDir dir;
    LogStream log(dir.File("log.txt"));
    constexpr int kThreads = 8, kLines = 400;
    // Lines of very different lengths, some longer than a pipe buffer.
    auto body = [](int t, int i) {
        return std::string(static_cast<std::size_t>((i * 37 + t * 11) % (i % 50 == 0 ? 9000 : 300)),
                           static_cast<char>('a' + t));
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) LogPrintf(&log, true, "T%d #%d %s 中", t, i, body(t, i).c_str());
        });
    for (auto& th : threads) th.join();

    std::istringstream in(ReadBytes(dir.File("log.txt")));
    std::map<int, int> nextOf;
    int count = 0;
    for (std::string line; std::getline(in, line); ++count) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "T%d #%d ", &t, &i), 2) << line.substr(0, 40);
        ASSERT_EQ(i, nextOf[t]++) << "lines of one thread out of order";
        ASSERT_EQ(line, "T" + std::to_string(t) + " #" + std::to_string(i) + " " + body(t, i) + " " + Hex("D6 D0"));
    }
    EXPECT_EQ(count, kThreads * kLines);
}

// The process-wide stream: built once even when two threads ask first, named
// after the current directory at that moment, and closed by DestroyLogStream.
TEST(Log, ProcessStreamIsBuiltOnceInTheCurrentDirectory) {
    static bool ranBefore = false;  // a repeated run finds the stream already closed
    if (std::exchange(ranBefore, true)) GTEST_SKIP() << "the process-wide stream is built once per process";
    TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    smt::LogStream* seen[4] = {};
    std::vector<std::thread> threads;
    for (auto& s : seen) threads.emplace_back([&s] { s = smt::GetLogStream(); });
    for (auto& th : threads) th.join();
    std::filesystem::current_path(previous);  // moving elsewhere afterwards changes nothing

    ASSERT_NE(seen[0], nullptr);
    for (auto* s : seen) EXPECT_EQ(s, seen[0]);
    const std::string expectedPath =
        std::filesystem::canonical(dir.Path()).string() + "/Logfile " + smt::FormatLogDate() + ".txt";
    ASSERT_EQ(smt::LogFilePath(smt::GetLogStream()), expectedPath);
    LogPrintf(smt::GetLogStream(), true, "Recv = 0x%x，\r\n", 0x61);
    smt::DestroyLogStream();
    EXPECT_EQ(smt::LogFilePath(smt::GetLogStream()), "");
    LogPrintf(smt::GetLogStream(), true, "after the end");
    EXPECT_EQ(ReadBytes(expectedPath), "Recv = 0x61" + Hex("A3 AC") + "\r\n\n");
}

} // namespace
