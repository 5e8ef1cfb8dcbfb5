// Tests of files, paths and directories: kinds, canonical paths, creating and removing trees.
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "zentro_osal.h"

namespace {

using zentro::test::readFile;
using zentro::test::runUnprivileged;
using zentro::test::TempDir;
using zentro::test::writeFile;

std::string canonical(const std::string &path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : "";
}

std::string appended(const char *path, size_t size)
{
    char buffer[16];
    strcpy(buffer, path);
    osal_append_dir_char(buffer, size);
    return buffer;
}

TEST(Paths, SeparatorsAreFoundAddedAndConverted)
{
    const char *path = "a/b\\c/d";
    EXPECT_EQ(osal_last_dir_char(path), path + 5);
    EXPECT_EQ(osal_last_dir_char("a\\b"), nullptr);
    EXPECT_EQ(appended("a/b", 16), "a/b/");
    EXPECT_EQ(appended("a\\b", 16), "a\\b\\");
    EXPECT_EQ(appended("a\\b/c", 16), "a\\b/c/");
    EXPECT_EQ(appended("a/b\\", 16), "a/b\\");
    EXPECT_EQ(appended("abc", 5), "abc/");
    EXPECT_EQ(appended("abc", 4), "abc");
    EXPECT_TRUE(osal_dirdelim('\\') && osal_dirdelim('/') && !osal_dirdelim(':'));
    char windows[] = "C:\\data\\x/y\\";
    to_unix_path(windows);
    EXPECT_STREQ(windows, "C:/data/x/y/");
}

TEST(Paths, FullPathFollowsLinksBeforeParentSteps)
{
    TempDir dir;
    ASSERT_EQ(osal_create_directory(dir.file("a").c_str()), 0);
    ASSERT_EQ(osal_create_directory(dir.file("a/b").c_str()), 0);
    ASSERT_EQ(symlink("a/b", dir.file("link").c_str()), 0);
    std::string expected = canonical(dir.file("a"));
    char path[PATH_MAX];
    strcpy(path, (dir.file("link") + "/./..").c_str());
    EXPECT_EQ(osal_expandpath(path, sizeof(path)), 1);
    EXPECT_EQ(path, expected);
}

TEST(Paths, FullPathThatCannotBeResolvedOrDoesNotFitLeavesOutUnchanged)
{
    TempDir dir;
    char out[PATH_MAX] = "unchanged";
    EXPECT_EQ(osal_fullpath(dir.file("missing").c_str(), out, sizeof(out)), -1);
    size_t length = canonical(dir.path()).size();
    EXPECT_EQ(osal_fullpath(dir.path().c_str(), out, length), -1);
    EXPECT_STREQ(out, "unchanged");
    EXPECT_EQ(osal_fullpath(dir.path().c_str(), out, length + 1), 1);
    EXPECT_EQ(out, canonical(dir.path()));
}

TEST(Paths, HomeDirectoryComesFromHomeElseThePasswordDatabase)
{
    {
        zentro::test::ScopedEnv home("HOME", "/some/home");
        EXPECT_STREQ(osal_userHomeDir(), "/some/home");
    }
    zentro::test::ScopedEnv noHome("HOME", nullptr);
    const passwd *user = getpwuid(getuid());
    EXPECT_STREQ(osal_userHomeDir(), user && *user->pw_dir ? user->pw_dir : ".");
}

TEST(Paths, ApplicationFilePathIsTheRunningExecutableWhenItFits)
{
    std::string expected = canonical("/proc/self/exe");
    int length = static_cast<int>(expected.size());
    char out[PATH_MAX] = "abc";
    EXPECT_EQ(osal_applicationFilePath(out, length), -3);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(osal_applicationFilePath(out, length + 1), length);
    EXPECT_EQ(out, expected);
}

TEST(Files, AttributesAreModeBitsWithTheDirectoryBitOnlyForDirectories)
{
    TempDir dir;
    std::string file = dir.file("file");
    writeFile(file, "x");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    EXPECT_EQ(osal_get_file_attributes(file.c_str()), uint32_t(S_IFREG | 0640));
    EXPECT_TRUE(osal_get_file_attributes(dir.path().c_str()) & OSAL_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(osal_get_file_attributes(dir.file("missing").c_str()), OSAL_NO_FILE);
    EXPECT_TRUE(osal_file_exists(file.c_str()) && !osal_directory_exists(file.c_str()));
    EXPECT_TRUE(osal_directory_exists(dir.path().c_str()) && !osal_file_exists(dir.path().c_str()));
    EXPECT_FALSE(osal_file_exists(nullptr) || osal_directory_exists(dir.file("x").c_str()));

    // A socket's type shares the directory bit; it must not pass for a directory.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string socketPath = dir.file("socket");
    strcpy(address.sun_path, socketPath.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    EXPECT_EQ(osal_get_file_attributes(socketPath.c_str()) & OSAL_ATTRIBUTE_DIRECTORY, 0u);
    close(fd);
}

TEST(Directories, WorkingDirectoryChangesAndReportsItsLength)
{
    TempDir dir;
    char original[PATH_MAX];
    ASSERT_NE(getcwd(original, sizeof(original)), nullptr);
    ASSERT_EQ(osal_setcwd(dir.path().c_str()), 1);
    char out[PATH_MAX];
    int length = osal_getcwd(out, sizeof(out));
    char small[4] = "abc";
    int smallLength = osal_getcwd(small, sizeof(small));
    ASSERT_EQ(osal_setcwd(original), 1);
    EXPECT_EQ(out, canonical(dir.path()));
    EXPECT_EQ(length, static_cast<int>(strlen(out)));
    EXPECT_EQ(smallLength, 0);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(osal_setcwd(dir.file("missing").c_str()), 0);
}

TEST(Directories, CreateHonoursTheMaskAndAcceptsAnExistingDirectory)
{
    TempDir dir;
    std::string path = dir.file("new");
    mode_t oldMask = umask(027);
    int result = osal_create_directory(path.c_str());
    umask(oldMask);
    ASSERT_EQ(result, 0);
    EXPECT_EQ(osal_get_file_attributes(path.c_str()), uint32_t(S_IFDIR | 0750));
    EXPECT_EQ(osal_create_directory(path.c_str()), 0);
    writeFile(dir.file("file"), "x");
    EXPECT_EQ(osal_create_directory(dir.file("file").c_str()), -1);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(osal_create_directory(dir.file("missing/child").c_str()), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(Directories, RemoveDeletesTheTreeButNotWhatLinksPointTo)
{
    TempDir dir;
    std::string tree = dir.file("tree");
    for (const char *sub : {"", "/a", "/a/b"})
        ASSERT_EQ(osal_create_directory((tree + sub).c_str()), 0);
    writeFile(tree + "/a/b/deep", "x");
    writeFile(dir.file("keep"), "kept");
    ASSERT_EQ(symlink(dir.path().c_str(), (tree + "/a/link").c_str()), 0);
    EXPECT_EQ(osal_remove_directory(tree.c_str()), 0);
    EXPECT_FALSE(osal_directory_exists(tree.c_str()));
    EXPECT_EQ(readFile(dir.file("keep")), "kept");

    EXPECT_EQ(osal_remove_directory(dir.file("keep").c_str()), -1);
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(osal_remove_directory(tree.c_str()), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(Directories, RemoveStopsAtTheFirstFailure)
{
    std::string outcome = runUnprivileged([] {
        TempDir dir;
        std::string locked = dir.file("locked");
        osal_create_directory(locked.c_str());
        writeFile(locked + "/file", "x");
        chmod(locked.c_str(), 0555);
        int result = osal_remove_directory(dir.path().c_str());
        chmod(locked.c_str(), 0755);
        return std::to_string(result) +
               (osal_file_exists((locked + "/file").c_str()) ? " kept" : "");
    });
    EXPECT_EQ(outcome, "-1 kept");
}

} // namespace
