// The automatic plug-in search on an installed tree: after the ".cam" files and the home's
// Plugins folder, the library lists the plug-in folder installed beside its own file. The
// shared library is copied into a scratch tree laid out as the install rules lay it out and
// loaded from there, so the folder it finds is the one next to that copy.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "zentro.h"

namespace {

using zentro::test::runInChild;
using zentro::test::ScopedEnv;
using zentro::test::TempDir;
namespace fs = std::filesystem;

using OpenCameras = decltype(&ze_OpenCameras2);
using CloseCameras = decltype(&ze_CloseCameras2);

constexpr char kInstalledPluginFolder[] = "lib/zentro2/plugins";

// A scratch install: lib/ with a copy of the library and its plug-in folder, a home and an
// empty working directory.
class InstalledTree : public testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(pluginFolder_);
        fs::create_directories(home_);
        fs::create_directories(work_);
        fs::copy_file(ZENTRO_SHARED_LIBRARY, library_);
    }

    // Opens with automatic search in a child process (the home is decided once per process)
    // and lists the product names of the cameras, one per line.
    std::string openBySearch() const
    {
        return runInChild([this] {
            ScopedEnv homeDev("ZE_HOME_DEV", home_.c_str());
            if (chdir(work_.c_str()) != 0)
                return std::string("cannot enter the working directory");
            void *library = dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!library)
                return std::string("cannot load the library: ") + dlerror();
            auto open = reinterpret_cast<OpenCameras>(dlsym(library, "ze_OpenCameras2"));
            auto close = reinterpret_cast<CloseCameras>(dlsym(library, "ze_CloseCameras2"));
            if (!open || !close)
                return std::string("the library lacks its open and close functions");
            ze_camera_t *cameras[ZE_MAX_CAMERAS] = {};
            int count = 0;
            const int result = open(cameras, &count, "/nowhere", ZE_TRANSPORT_DLL, "");
            std::string text = "result " + std::to_string(result) + "\n";
            for (int i = 0; i < count; ++i)
                text += std::string(cameras[i]->productName) + "\n";
            close(cameras, count);
            return text;
        });
    }

    TempDir dir_;
    const std::string pluginFolder_ = dir_.file(kInstalledPluginFolder);
    const std::string library_ = dir_.file("lib/libzentro2.so.2");
    const std::string home_ = dir_.file("home");
    const std::string work_ = dir_.file("work");
};

TEST_F(InstalledTree, PluginsInstalledBesideTheLibraryOpenWhenTheHomeHasNone)
{
    fs::copy_file(ZENTRO_TEST_PLUGIN_SINGLE, pluginFolder_ + "/libsingle.so");
    EXPECT_EQ(openBySearch(), "result 0\nsingle camera 0\nsingle camera 1\n");
}

TEST_F(InstalledTree, TheHomesPluginsComeBeforeTheInstalledOnes)
{
    fs::create_directories(home_ + "/Plugins");
    fs::copy_file(ZENTRO_TEST_PLUGIN_SINGLE, pluginFolder_ + "/libaaa_single.so");
    fs::copy_file(ZENTRO_TEST_PLUGIN_REQUIRED, home_ + "/Plugins/libzzz_required.so");
    EXPECT_EQ(openBySearch(), "result 0\nrequired camera 0\nsingle camera 0\nsingle camera 1\n");
}

TEST_F(InstalledTree, AHomeWhosePluginsLinkToTheInstalledFolderOpensEachPluginOnce)
{
    fs::copy_file(ZENTRO_TEST_PLUGIN_SINGLE, pluginFolder_ + "/libsingle.so");
    fs::create_directory_symlink("../lib/zentro2/plugins", home_ + "/Plugins");
    EXPECT_EQ(openBySearch(), "result 0\nsingle camera 0\nsingle camera 1\n");
}

TEST_F(InstalledTree, NoPluginAnywhereOpensNothing)
{
    EXPECT_EQ(openBySearch(), "result 0\n");
}

} // namespace
