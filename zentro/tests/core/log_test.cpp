// Tests of the library's log: line formats, filtering, callbacks, rotation and failures.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string_view>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "support/test_support.h"

using zentro::test::readFile;
using zentro::test::ScopedEnv;
using zentro::test::setModificationTime;
using zentro::test::TempDir;
using zentro::test::writeFile;

namespace {

// Whether @text has the shape of @shape: '9' a digit, '#' a digit or blank, 'A' a letter,
// any other character itself.
bool hasShape(std::string_view text, std::string_view shape)
{
    if (text.size() != shape.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool fits = shape[i] == '9'   ? std::isdigit(c)
                    : shape[i] == '#' ? std::isdigit(c) || c == ' '
                    : shape[i] == 'A' ? std::isalpha(c)
                                      : c == static_cast<unsigned char>(shape[i]);
        if (!fits)
            return false;
    }
    return true;
}

// The line without its elapsed-time prefix ("H:MM:SS.mmm "); nothing when it has none.
std::optional<std::string> withoutTimestamp(const std::string &line)
{
    size_t colon = line.find(':');
    if (colon == 0 || colon == std::string::npos || line.find_first_not_of("0123456789") != colon ||
        !hasShape(std::string_view(line).substr(colon, 11), ":99:99.999 "))
        return std::nullopt;
    return line.substr(colon + 11);
}

class ErrorLog : public ::testing::Test
{
protected:
    void TearDown() override { ze_CloseErrorLog(); }

    std::string logPath() const { return dir.file("run0.txt"); }
    void openLog(uint32_t types) { ASSERT_EQ(ze_OpenErrorLog(types, dir.file("run").c_str()), 0); }

    // The lines written after the file's header, each without its timestamp.
    std::vector<std::string> bodyLines() const
    {
        std::string text = readFile(logPath());
        std::vector<std::string> lines;
        size_t start = text.find("\n\n");
        start = start == std::string::npos ? text.size() : start + 2;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            std::string line = text.substr(start, end - start);
            std::optional<std::string> body = withoutTimestamp(line);
            EXPECT_TRUE(body) << line;
            lines.push_back(body.value_or(line));
            start = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }

    TempDir dir;
};

struct CallbackLine {
    uint32_t level;
    int code;
    std::string message, file, function;
    int line;
};
std::vector<CallbackLine> gCallbackLines;

void recordCallback(uint32_t level, int code, const char *message, const char *file,
                    const char *function, int line)
{
    gCallbackLines.push_back(
        {level, code, message ? message : "", file ? file : "", function ? function : "", line});
}

} // namespace

TEST_F(ErrorLog, NewFileStartsWithTheLocalDate)
{
    openLog(ZE_LOG_SEVERE);
    std::string text = readFile(logPath());
    EXPECT_TRUE(hasShape(text, "0:00:00.009 AAA AAA #9 99:99:99 9999\n\n")) << text;
}

TEST_F(ErrorLog, LinesNameLevelCodeMessageAndSourcePosition)
{
    openLog(ZE_LOG_SEVERE | ZE_LOG_ERROR);
    EXPECT_EQ(ze_Errorlog(8, ZE_LEVEL_FROM_TABLE, "x", "dir/a_mod", "f", 10), 8);
    EXPECT_EQ(ze_Errorlog(1, ZE_LEVEL_FROM_TABLE, "", "/src/zentro.cpp", "open", 3), 1);
    EXPECT_EQ(ze_Errorlog(16, 2, nullptr, nullptr, nullptr, 0), 16);
    EXPECT_EQ(bodyLines(), (std::vector<std::string>{
                               "ERROR: Sensor Does Not Match; x [a_mod:f() line:10]",
                               "SEVERE_ERROR: Camera Error [zentro.cpp:open() line:3]",
                               "ERROR: Camera Not Supported [:() line:0]",
                           }));
}

TEST_F(ErrorLog, LevelsOutsideTheEnabledSetAreNotWritten)
{
    openLog(ZE_LOG_SEVERE);
    EXPECT_EQ(ze_Errorlog(8, ZE_LEVEL_FROM_TABLE, "x", "dir/a_mod", "f", 10), 8);
    EXPECT_TRUE(bodyLines().empty());
}

TEST_F(ErrorLog, SuccessCodesAreNeverLogged)
{
    openLog(0x3F);
    EXPECT_EQ(ze_Errorlog(0, ZE_LEVEL_FROM_TABLE, "m", "f.cpp", "f", 1), 0);
    EXPECT_EQ(ze_Errorlog(32, 1, "m", "f.cpp", "f", 1), 32);
    EXPECT_EQ(ze_Errorlog(256, 2, "m", "f.cpp", "f", 1), 256);
    EXPECT_TRUE(bodyLines().empty());
}

TEST_F(ErrorLog, InformationLinesCarryTheirTypeWord)
{
    openLog(ZE_LOG_ERROR | ZE_LOG_INFO);
    ze_Msglog(ZE_LOG_DEBUG, "probe", "x/identify.cpp", "probe", 7);
    ze_Msglog(ZE_LOG_DEBUG, "bare", nullptr, nullptr, 0);
    ze_Msglog(ZE_LOG_SHIP, "W 0x20 0x3000 0x1234", "reg.cpp", "w", 1);
    ze_Msglog(ZE_LOG_USB, "bulk", "usb.cpp", "u", 1);
    ze_Msglog(ZE_LOG_GENERAL, "hello", "g.cpp", "g", 1);
    ze_Msglog(ZE_LOG_SHIP | ZE_LOG_DEBUG, "both", "s.cpp", "s", 1);
    EXPECT_EQ(bodyLines(), (std::vector<std::string>{
                               "DEBUG: probe [identify.cpp:probe() line:7]",
                               "DEBUG: bare",
                               "SHIP: W 0x20 0x3000 0x1234",
                               "USB: bulk",
                               "LOG: hello",
                               "SHIP: both",
                           }));
}

TEST_F(ErrorLog, InformationNeedsAnInformationBitAndItsOwnType)
{
    openLog(ZE_LOG_SEVERE | ZE_LOG_ERROR);
    ze_Msglog(ZE_LOG_ERROR, "no information bit enabled", "f.cpp", "f", 1);
    ASSERT_EQ(ze_SetErrorLogLevel(ZE_LOG_ERROR | ZE_LOG_SHIP), 0);
    ze_Msglog(ZE_LOG_DEBUG, "debug not enabled", "f.cpp", "f", 1);
    EXPECT_TRUE(bodyLines().empty());
}

TEST_F(ErrorLog, LongMessagesAreWrittenWhole)
{
    openLog(ZE_LOG_ERROR | ZE_LOG_GENERAL);
    const std::string longText(100000, 'm');
    ze_Errorlog(8, ZE_LEVEL_FROM_TABLE, longText.c_str(), "a.cpp", "f", 1);
    ze_Msglog(ZE_LOG_GENERAL, longText.c_str(), "a.cpp", "f", 1);
    std::vector<std::string> lines = bodyLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "ERROR: Sensor Does Not Match; " + longText + " [a.cpp:f() line:1]");
    EXPECT_EQ(lines[1], "LOG: " + longText);
}

TEST_F(ErrorLog, FormattedShorthandWritesAnyLength)
{
    openLog(ZE_LOG_SEVERE);
    const std::string name(5000, 'n');
    EXPECT_EQ(ZE_ERRORLOGF(CAMERA_ERROR, "cannot open %s (%d)", name.c_str(), 5), CAMERA_ERROR);
    std::vector<std::string> lines = bodyLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Camera Error; cannot open " + name + " (5) [log_test.cpp:"),
              std::string::npos);
}

TEST_F(ErrorLog, CallbackReceivesFailuresAsPassed)
{
    gCallbackLines.clear();
    ASSERT_EQ(ze_OpenErrorLogCallback(ZE_LOG_ERROR, recordCallback), 0);
    EXPECT_EQ(ze_Errorlog(8, ZE_LEVEL_FROM_TABLE, "x", "dir/a_mod", "f", 10), 8);
    EXPECT_EQ(ze_Errorlog(1, ZE_LEVEL_FROM_TABLE, "severe not enabled", "a", "f", 1), 1);
    ze_Msglog(ZE_LOG_GENERAL, "information needs a file", "a", "f", 1);
    ASSERT_EQ(gCallbackLines.size(), 1u);
    const CallbackLine &line = gCallbackLines[0];
    EXPECT_EQ(line.level, ZE_LEVEL_FROM_TABLE);
    EXPECT_EQ(line.code, 8);
    EXPECT_EQ(line.message, "x");
    EXPECT_EQ(line.file, "dir/a_mod");
    EXPECT_EQ(line.function, "f");
    EXPECT_EQ(line.line, 10);
    char name[ZE_TEXT_SIZE] = "junk";
    EXPECT_EQ(ze_GetErrorLogFileName(name), 1);
    EXPECT_STREQ(name, "");
}

TEST_F(ErrorLog, LevelQueriesFollowTheOpenFile)
{
    EXPECT_EQ(ze_SetErrorLogLevel(ZE_LOG_ERROR), 1);
    EXPECT_EQ(ze_GetErrorLogLevel(), 0u);

    openLog(0);
    char name[ZE_TEXT_SIZE];
    EXPECT_EQ(ze_GetErrorLogFileName(name), 1) << "no file while nothing is enabled";
    EXPECT_EQ(_currentLogTypes(), 0u);

    ASSERT_EQ(ze_SetErrorLogLevel(ZE_LOG_ERROR | ZE_LOG_DEBUG | ZE_LOG_SHIP), 0);
    ASSERT_EQ(ze_GetErrorLogFileName(name), 0);
    EXPECT_EQ(std::string(name), logPath());
    EXPECT_EQ(ze_GetErrorLogLevel(), ZE_LOG_ERROR | ZE_LOG_DEBUG | ZE_LOG_SHIP);
    EXPECT_EQ(ze_isInfoLogEnabled(), ZE_LOG_DEBUG | ZE_LOG_SHIP);
    EXPECT_TRUE(ze_isDebugLogEnabled());
    EXPECT_EQ(_currentLogTypes(), ZE_LOG_ERROR | ZE_LOG_DEBUG | ZE_LOG_SHIP);

    ze_CloseErrorLog();
    EXPECT_EQ(ze_isInfoLogEnabled(), 0u);
    EXPECT_FALSE(ze_isDebugLogEnabled());
}

TEST_F(ErrorLog, UnwritableFileNeverHurtsTheCaller)
{
    ASSERT_EQ(ze_OpenErrorLog(0x3F, dir.file("missing/dir/run").c_str()), 0);
    EXPECT_EQ(ze_Errorlog(8, ZE_LEVEL_FROM_TABLE, "x", "a", "f", 1), 8);
    ze_Msglog(ZE_LOG_DEBUG, "dropped", "a", "f", 1);
    char name[ZE_TEXT_SIZE] = "junk";
    EXPECT_EQ(ze_GetErrorLogFileName(name), 1);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(ze_isInfoLogEnabled(), 0u);
}

TEST_F(ErrorLog, DefaultNameOverwritesTheOldestOfFiveFiles)
{
    ScopedEnv home("HOME", dir.path().c_str());
    const long times[] = {5000, 4000, 3000, 1000, 2000};
    for (int i = 0; i < 5; ++i) {
        std::string path = dir.file("error_" + std::to_string(i) + ".txt");
        writeFile(path, "old contents\n");
        setModificationTime(path, times[i]);
    }
    ASSERT_EQ(ze_OpenErrorLog(ZE_LOG_ERROR, nullptr), 0);
    char name[ZE_TEXT_SIZE];
    ASSERT_EQ(ze_GetErrorLogFileName(name), 0);
    EXPECT_EQ(std::string(name), dir.file("error_3.txt"));
    EXPECT_EQ(readFile(dir.file("error_3.txt")).find("old contents"), std::string::npos);
    EXPECT_EQ(readFile(dir.file("error_4.txt")), "old contents\n");
}

TEST_F(ErrorLog, NumberedNameStartsAtZero)
{
    ASSERT_EQ(ze_OpenErrorLog(ZE_LOG_ERROR, dir.file("trace7.log").c_str()), 0);
    char name[ZE_TEXT_SIZE];
    ASSERT_EQ(ze_GetErrorLogFileName(name), 0);
    EXPECT_EQ(std::string(name), dir.file("trace0.log"));
}

TEST_F(ErrorLog, FullFileRotatesToTheNextNumber)
{
    openLog(ZE_LOG_ERROR);
    const std::string chunk(100000, 'c');
    for (int i = 0; i < 30; ++i)
        ze_Errorlog(8, ZE_LEVEL_FROM_TABLE, chunk.c_str(), "a.cpp", "f", i);
    char name[ZE_TEXT_SIZE];
    ASSERT_EQ(ze_GetErrorLogFileName(name), 0);
    EXPECT_EQ(std::string(name), dir.file("run0.txt")) << "3,000,000 bytes not passed yet";

    ze_Errorlog(8, ZE_LEVEL_FROM_TABLE, "after", "a.cpp", "f", 99);
    ASSERT_EQ(ze_GetErrorLogFileName(name), 0);
    EXPECT_EQ(std::string(name), dir.file("run1.txt"));
    std::string second = readFile(dir.file("run1.txt"));
    EXPECT_NE(second.find("ERROR: Sensor Does Not Match; after [a.cpp:f() line:99]"),
              std::string::npos);
    EXPECT_GT(readFile(dir.file("run0.txt")).size(), 3000000u);
}

TEST_F(ErrorLog, ThreadsLoggingAcrossRotationLoseNoLine)
{
    openLog(ZE_LOG_ERROR);
    const std::string chunk(20000, 't');
    constexpr int kThreads = 4;
    constexpr int kLinesPerThread = 60; // 4.8 MB in all: at least one rotation
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&chunk, t] {
            for (int i = 0; i < kLinesPerThread; ++i)
                ze_Errorlog(8, ZE_LEVEL_FROM_TABLE, chunk.c_str(), "a.cpp", "f", t);
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    size_t lines = 0;
    for (const char *file : {"run0.txt", "run1.txt"}) {
        std::string text = readFile(dir.file(file));
        for (size_t at = text.find("ERROR: "); at != std::string::npos;
             at = text.find("ERROR: ", at + 1))
            ++lines;
    }
    EXPECT_EQ(lines, static_cast<size_t>(kThreads * kLinesPerThread));
}
