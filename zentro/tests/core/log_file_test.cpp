// Tests of the log file naming: stem and extension, and the choice of the next file number.
#include <gtest/gtest.h>

#include "core/log_file.h"
#include "support/test_support.h"

using zentro::chooseLogFileNumber;
using zentro::LogFileName;
using zentro::splitLogFileName;
using zentro::test::ScopedEnv;
using zentro::test::setModificationTime;
using zentro::test::TempDir;
using zentro::test::writeFile;

TEST(LogFileName, NumberAndExtensionAreCutFromTheGivenName)
{
    for (const char *name : {"logs/run3.txt", "logs/run.txt", "logs/run"}) {
        LogFileName split = splitLogFileName(name);
        EXPECT_EQ(split.stem, "logs/run") << name;
        EXPECT_EQ(split.extension, ".txt") << name;
    }
    LogFileName trace = splitLogFileName("trace7.log");
    EXPECT_EQ(trace.withNumber(0), "trace0.log");
}

TEST(LogFileName, DotInADirectoryIsNoExtension)
{
    LogFileName split = splitLogFileName("./logs.d/run12");
    EXPECT_EQ(split.stem, "./logs.d/run");
    EXPECT_EQ(split.extension, ".txt");
}

TEST(LogFileName, EmptyNameLogsToTheHomeDirectory)
{
    ScopedEnv home("HOME", "/home/tester");
    LogFileName split = splitLogFileName("");
    EXPECT_EQ(split.withNumber(3), "/home/tester/error_3.txt");
}

TEST(LogFileNumber, TakesTheSmallestFreeNumber)
{
    TempDir dir;
    LogFileName name{dir.file("error_"), ".txt"};
    EXPECT_EQ(chooseLogFileNumber(name), 0);
    for (const char *existing : {"error_0.txt", "error_1.txt", "error_3.txt"})
        writeFile(dir.file(existing), "x");
    EXPECT_EQ(chooseLogFileNumber(name), 2);
}

TEST(LogFileNumber, IgnoresFilesThatAreNotNumberedLogs)
{
    TempDir dir;
    LogFileName name{dir.file("error_"), ".txt"};
    for (const char *other : {"error_old.txt", "error_12.txt", "error_0.log", "error_.txt"})
        writeFile(dir.file(other), "x");
    EXPECT_EQ(chooseLogFileNumber(name), 0);
}

TEST(LogFileNumber, WithAllFiveOnDiskOverwritesTheOldest)
{
    TempDir dir;
    LogFileName name{dir.file("error_"), ".txt"};
    const long times[] = {5000, 4000, 1000, 3000, 2000};
    for (int i = 0; i < 5; ++i) {
        std::string path = name.withNumber(i);
        writeFile(path, "x");
        setModificationTime(path, times[i]);
    }
    EXPECT_EQ(chooseLogFileNumber(name), 2);
}
