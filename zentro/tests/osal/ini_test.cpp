// Tests of the INI reader: section entries, first-entry values, long lines and small buffers.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "zentro_osal.h"

namespace {

using zentro::test::TempDir;
using zentro::test::writeFile;
using Entries = std::vector<std::string>;

constexpr char kGuard = '\x7f';

struct Section {
    int result;
    Entries entries;
};

// Reads @section with a buffer of @size and checks that nothing is written past it.
Section readSection(const std::string &file, const char *section, size_t size = 4096)
{
    std::vector<char> buffer(size + 1, kGuard);
    Section read{osal_getsection(section, buffer.data(), size, file.c_str()), {}};
    EXPECT_EQ(buffer[size], kGuard) << "written past the buffer";
    for (const char *p = buffer.data(); *p; p += read.entries.back().size() + 1)
        read.entries.emplace_back(p);
    return read;
}

std::string valueOf(const std::string &file, const char *section, const char *key,
                    const char *fallback = "none", size_t size = 256)
{
    std::vector<char> out(size + 1, kGuard);
    int length =
        osal_getprivateprofilestring(section, key, fallback, out.data(), size, file.c_str());
    EXPECT_EQ(out[size], kGuard) << "written past the buffer";
    std::string value(out.data());
    EXPECT_EQ(length, static_cast<int>(value.size()));
    return value;
}

class IniTest : public ::testing::Test
{
protected:
    std::string write(const std::string &contents)
    {
        writeFile(dir_.file("test.ini"), contents);
        return dir_.file("test.ini");
    }

    TempDir dir_;
};

TEST_F(IniTest, SectionEntriesLoseKeyWhiteSpaceCommentsAndLeadingValueBlanks)
{
    std::string file = write("; top comment\n"
                             "[other]\nx=1\n"
                             "  [ Initialize ]  \n"
                             "  Key Name = value ; comment\n"
                             "REG=0x3000, 0x1234 // trailing\n"
                             "no equals sign\n"
                             "\n"
                             "// a comment line=with equals\n"
                             "\tTabbed\t=\t  text\t\n"
                             "[next]\nlater=1\n"
                             "[INITIALIZE]\nsecond=1\n"); // only the first one counts
    Section read = readSection(file, "initialize");
    EXPECT_EQ(read.entries, (Entries{"KeyName=value", "REG=0x3000, 0x1234", "Tabbed=text"}));
    // Characters used: each entry with its NUL, plus the list's final NUL.
    EXPECT_EQ(read.result, 14 + 19 + 12 + 1);
}

TEST_F(IniTest, CarriageReturnsUnprintablesAndMissingFinalNewlineAreHandled)
{
    std::string file = write("[s]\r\na = 1\r\nb=\x01x\xff\xfe\r\nc=last");
    EXPECT_EQ(readSection(file, "s").entries, (Entries{"a=1", "b=\x01x", "c=last"}));
}

TEST_F(IniTest, AbsentSectionOrFileGivesZeroAndEmptySectionGivesOne)
{
    std::string file = write("[empty]\n; nothing\n[full]\na=1\n");
    EXPECT_EQ(readSection(file, "missing").result, 0);
    EXPECT_EQ(readSection(dir_.file("absent.ini"), "full").result, 0);
    EXPECT_EQ(readSection(file, nullptr).result, 0);
    EXPECT_EQ(osal_getsection("full", std::string(4, 'x').data(), 4, nullptr), 0);
    Section empty = readSection(file, "empty");
    EXPECT_EQ(empty.result, 1);
    EXPECT_TRUE(empty.entries.empty());
}

TEST_F(IniTest, TailOfAnOverlongLineIsDiscardedAndALineOfTheLimitKeptWhole)
{
    const std::string value(4093, 'v');
    std::string file = write("[s]\n"
                             "a=" +
                             value + "[t]\n" +                        // tail looks like a header
                             ";" + std::string(4094, ' ') + "k=v\n" + // tail looks like an entry
                             "b=" + value + "\n");
    EXPECT_EQ(readSection(file, "s", 20000).entries, (Entries{"a=" + value, "b=" + value}));
}

TEST_F(IniTest, NulBytesEndTheirLineAndBinaryGarbageIsSurvived)
{
    std::string file = write(std::string("[s]\na=1\0b=2\nc=3\n", 16));
    EXPECT_EQ(readSection(file, "s").entries, (Entries{"a=1", "c=3"}));

    std::string garbage;
    for (int i = 0; i < 5000; ++i)
        garbage.push_back(static_cast<char>((i * 131 + 7) % 256));
    file = write("[s]\n" + garbage + "\n[s2]\nk=v\n");
    EXPECT_GE(readSection(file, "s").result, 1);
    EXPECT_EQ(readSection(file, "s2").entries, (Entries{"k=v"}));
}

TEST_F(IniTest, SmallBuffersHoldOnlyWholeEntriesAndAreNeverOverrun)
{
    std::string file = write("[s]\nab=1\ncd=2\n");
    // "ab=1\0" needs 5 characters of the size - 2 available, then the final NUL.
    EXPECT_EQ(readSection(file, "s", 7).result, 6);
    EXPECT_EQ(readSection(file, "s", 7).entries, (Entries{"ab=1"}));
    Section none = readSection(file, "s", 6);
    EXPECT_TRUE(none.entries.empty());
    EXPECT_EQ(none.result, 4); // nothing stored, but the overflow still shows
    EXPECT_EQ(readSection(file, "s", 2).result, 1);
    EXPECT_EQ(readSection(file, "s", 1).result, 1);
    EXPECT_EQ(osal_getsection("s", nullptr, 100, file.c_str()), 0);
    char untouched = kGuard;
    EXPECT_EQ(osal_getsection("s", &untouched, 0, file.c_str()), 0);
    EXPECT_EQ(untouched, kGuard);
}

TEST_F(IniTest, SectionThatDoesNotFitAsksForALargerBufferUntilItIsReadWhole)
{
    Entries all;
    std::string text = "[s]\n";
    for (int i = 0; i < 40; ++i) {
        all.push_back("KEY" + std::to_string(i) + "=" + std::string(i % 7, 'v'));
        text += all.back() + "\n";
    }
    std::string file = write(text);

    // What a caller does: a result of at least size - 2 means "retry with a larger buffer".
    size_t size = 20;
    Section read = readSection(file, "s", size);
    EXPECT_GE(read.result, 18);
    int reads = 1;
    while (read.result >= static_cast<int>(size) - 2 && reads < 20) {
        size *= 2;
        read = readSection(file, "s", size);
        ++reads;
    }
    EXPECT_EQ(read.entries, all);
    EXPECT_EQ(size, 640u);

    // A section that fits leaves room: the result stays below size - 2.
    EXPECT_LT(readSection(write("[s]\na=1\n"), "s", 20).result, 18);
}

TEST_F(IniTest, ValueOfFirstEntryWhoseKeyBeginsWithTheKeyIgnoringCase)
{
    std::string file = write("[TRANSPORT]\nDLL_NAME = Plugins/libx.so ; plug-in\n[s]\ne= a=b\n");
    EXPECT_EQ(valueOf(file, "transport", "dll_name"), "Plugins/libx.so");
    EXPECT_EQ(valueOf(file, "s", "e"), "a=b");
    EXPECT_EQ(valueOf(file, "TRANSPORT", "DLL"), "Plugins/libx.so");
    EXPECT_EQ(valueOf(file, "TRANSPORT", "DLL_NAMES"), "none");
    EXPECT_EQ(valueOf(file, "TRANSPORT", "DLL_NAME", "none", 8), "Plugins");
}

TEST_F(IniTest, OnlyTheFirstEntryOfTheSectionIsConsulted)
{
    std::string file = write("[s]\nother=1\nwanted=2\n");
    EXPECT_EQ(valueOf(file, "s", "wanted"), "none");
    EXPECT_EQ(valueOf(file, "s", "other"), "1");
}

TEST_F(IniTest, DefaultIsUsedForAbsentSectionFileOrEmptySection)
{
    std::string file = write("[empty]\n[s]\nk=v\n");
    EXPECT_EQ(valueOf(file, "missing", "k"), "none");
    EXPECT_EQ(valueOf(file, "empty", "k"), "none");
    EXPECT_EQ(valueOf(dir_.file("absent.ini"), "s", "k"), "none");
    EXPECT_EQ(valueOf(file, "missing", "k", nullptr), "");
    EXPECT_EQ(valueOf(file, "s", nullptr), "none");
    EXPECT_EQ(valueOf(file, nullptr, "k"), "none");
    EXPECT_EQ(valueOf(file, "missing", "k", "a long default", 5), "a lo");
}

TEST_F(IniTest, ValueWithoutRoomWritesNothing)
{
    std::string file = write("[s]\nk=v\n");
    char out = kGuard;
    EXPECT_EQ(osal_getprivateprofilestring("s", "k", "d", &out, 0, file.c_str()), 0);
    EXPECT_EQ(out, kGuard);
    EXPECT_EQ(osal_getprivateprofilestring("s", "k", "d", nullptr, 10, file.c_str()), 0);
    EXPECT_EQ(valueOf(file, "s", "k", "d", 1), "");
}

} // namespace
