// Tests of wildcard matching and of directory listings.
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "osal/file_pattern.h"
#include "support/test_support.h"
#include "zentro_osal.h"

namespace {

using zentro::wildcardMatch;
using zentro::test::runUnprivileged;
using zentro::test::TempDir;
using zentro::test::writeFile;
using Names = std::set<std::string>;

TEST(Wildcard, StarMatchesAnyRunAndEverythingElseOnlyItselfWithCase)
{
    for (const char *name : {"sensor.cam", ".cam"})
        EXPECT_TRUE(wildcardMatch("*.cam", name)) << name;
    for (const char *name : {"sensor.cam.bak", "SENSOR.CAM", "cam"})
        EXPECT_FALSE(wildcardMatch("*.cam", name)) << name;
    for (const char *name : {"zx.sdat", "zx.xsdat", ".sdat"})
        EXPECT_TRUE(wildcardMatch("*.*sdat", name)) << name;
    for (const char *name : {"zx.sdatx", "sdat"})
        EXPECT_FALSE(wildcardMatch("*.*sdat", name)) << name;
    EXPECT_TRUE(wildcardMatch("error_*.txt", "error_2026-12-07.txt"));
    EXPECT_FALSE(wildcardMatch("error_*.txt", "errors_1.txt"));
    EXPECT_TRUE(wildcardMatch("a**b", "ab") && wildcardMatch("*", "") && wildcardMatch("", ""));
    EXPECT_FALSE(wildcardMatch("", "a") || wildcardMatch("?.so", "a.so"));
}

TEST(Wildcard, ManyStarsOnALongNameFinishQuickly)
{
    // Retrying every star would take astronomically long here.
    std::string name(20000, 'a');
    EXPECT_FALSE(wildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*b", name));
    EXPECT_TRUE(wildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*", name));
}

class FindTest : public ::testing::Test
{
protected:
    // Every name the listing hands out for @pattern.
    Names list(const char *pattern)
    {
        osal_find_t *finder = osal_open_find_file(dir_.path().c_str());
        EXPECT_NE(finder, nullptr);
        Names names;
        for (int found = osal_find_first_file(finder, pattern); found;
             found = osal_find_next_file(finder))
            EXPECT_TRUE(names.insert(finder->name).second) << "listed twice: " << finder->name;
        EXPECT_EQ(osal_find_next_file(finder), 0) << "the end must stay the end";
        osal_close_find_file(finder);
        return names;
    }

    TempDir dir_;
};

TEST_F(FindTest, ListsMatchingFilesDirectoriesAndDanglingLinksButNoDotEntries)
{
    for (const char *name : {"a.cam", "c.txt", "d.xsdat", "e.sdat"})
        writeFile(dir_.file(name), "x");
    ASSERT_EQ(osal_create_directory(dir_.file("sub.cam").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", dir_.file("broken.cam").c_str()), 0);
    EXPECT_EQ(list("*.cam"), (Names{"a.cam", "broken.cam", "sub.cam"}));
    EXPECT_EQ(list("*.*sdat"), (Names{"d.xsdat", "e.sdat"}));
    EXPECT_EQ(list("*").size(), 6u);
    EXPECT_EQ(list("*.raw"), Names{});
}

TEST_F(FindTest, FindFirstRestartsAndStoresTheModificationTime)
{
    constexpr long kSeconds = 1700000000;
    writeFile(dir_.file("only.cam"), "x");
    zentro::test::setModificationTime(dir_.file("only.cam"), kSeconds);
    osal_find_t *finder = osal_open_find_file(dir_.path().c_str());
    ASSERT_EQ(osal_find_first_file(finder, "*.cam"), 1);
    EXPECT_EQ(osal_find_next_file(finder), 0);
    ASSERT_EQ(osal_find_first_file(finder, "*.cam"), 1);
    EXPECT_STREQ(finder->name, "only.cam");
    EXPECT_EQ(finder->modificationTime, kSeconds * 1000000000LL);
    EXPECT_EQ(osal_find_first_file(finder, nullptr), 0);
    osal_close_find_file(finder);
}

TEST(Find, EntryThatCannotBeExaminedEndsTheListing)
{
    std::string listed = runUnprivileged([] {
        TempDir dir;
        writeFile(dir.file("a.cam"), "x");
        // Without search permission the entries can be read but not examined.
        chmod(dir.path().c_str(), 0444);
        osal_find_t *finder = osal_open_find_file(dir.path().c_str());
        std::string names = finder ? "opened:" : "not opened";
        for (int found = osal_find_first_file(finder, "*.cam"); found;
             found = osal_find_next_file(finder))
            names += finder->name;
        osal_close_find_file(finder);
        chmod(dir.path().c_str(), 0755);
        return names;
    });
    EXPECT_EQ(listed, "opened:");
}

TEST(Find, MissingDirectoryOrFinderGivesNothing)
{
    EXPECT_EQ(osal_open_find_file("/nonexistent/directory"), nullptr);
    EXPECT_EQ(osal_open_find_file(nullptr), nullptr);
    EXPECT_EQ(osal_find_first_file(nullptr, "*"), 0);
    EXPECT_EQ(osal_find_next_file(nullptr), 0);
}

} // namespace
