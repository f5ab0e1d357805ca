#include "platform/settings_dir.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/executable_dir.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

// A fake installation inside a temporary folder: <tmp>/prefix/bin is the
// installed bin folder, <tmp>/home the user's home.
class SettingsDirTest : public ::testing::Test {
protected:
    SettingsDirTest() {
        fs::create_directories(FBin);
        fs::create_directories(FHome);
        FPlace.ExecutableDir = FBin + "/";
        FPlace.InstalledBinDir = FBin;
        FPlace.HomeDir = FHome;
    }

    coretest::TempDir FTemp;
    const std::string FBin = FTemp.File("prefix/bin");
    const std::string FHome = FTemp.File("home");
    platform::TSettingsPlace FPlace;
};

fs::perms Permissions(const std::string& dir) {
    return fs::status(dir).permissions() & fs::perms::all;
}

} // namespace

TEST_F(SettingsDirTest, InstalledProgramUsesXdgConfigHomeAndCreatesItPrivate) {
    FPlace.ConfigHome = FTemp.File("config");
    ASSERT_TRUE(platform::RunsInstalled(FPlace));
    const std::string dir = platform::SettingsDir(FPlace);
    EXPECT_EQ(dir, FTemp.File("config/tessel/"));
    ASSERT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(Permissions(FTemp.File("config")), fs::perms::owner_all);
    EXPECT_EQ(Permissions(dir), fs::perms::owner_all);

    // An existing folder keeps its permissions.
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    EXPECT_EQ(platform::SettingsDir(FPlace), dir);
    EXPECT_EQ(Permissions(dir),
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

TEST_F(SettingsDirTest, InstalledProgramFallsBackToDotConfigInHome) {
    for (const std::string& configHome : {std::string(), std::string("relative/config")}) {
        FPlace.ConfigHome = configHome;
        EXPECT_EQ(platform::SettingsDir(FPlace), FHome + "/.config/tessel/") << configHome;
    }
    EXPECT_TRUE(fs::is_directory(FHome + "/.config/tessel"));
    EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(SettingsDirTest, InstalledFolderIsRecognisedThroughLinksAndSpellings) {
    fs::create_directory_symlink(FBin, FTemp.File("bin-link"));
    const std::string spellings[] = {FBin, FBin + "/", FBin + "/./",
                                     FTemp.File("prefix/lib/../bin"), FTemp.File("bin-link/")};
    for (const std::string& exeDir : spellings) {
        FPlace.ExecutableDir = exeDir;
        EXPECT_TRUE(platform::RunsInstalled(FPlace)) << exeDir;
    }
    FPlace.ExecutableDir = FBin + "/";
    FPlace.InstalledBinDir = FTemp.File("bin-link");
    EXPECT_TRUE(platform::RunsInstalled(FPlace)) << "installed folder given through a link";
}

TEST_F(SettingsDirTest, AnyOtherCopyKeepsItsFilesBesideTheExecutable) {
    FPlace.ConfigHome = FTemp.File("config");
    const std::string copies[] = {FTemp.File("build/monitor/app/"),   // a build tree
                                  FTemp.File("unpacked/prefix/bin/"), // an unpacked package
                                  FTemp.File("prefix/bin/sub/"),      // below the installed folder
                                  FTemp.File("prefix/")};             // above it
    for (const std::string& exeDir : copies) {
        fs::create_directories(exeDir);
        FPlace.ExecutableDir = exeDir;
        EXPECT_FALSE(platform::RunsInstalled(FPlace)) << exeDir;
        EXPECT_EQ(platform::SettingsDir(FPlace), exeDir);
    }
    FPlace.ExecutableDir = FTemp.File("build/monitor/app"); // no trailing separator
    EXPECT_EQ(platform::SettingsDir(FPlace), FTemp.File("build/monitor/app/"));
    FPlace.ExecutableDir = FBin + "/";
    FPlace.InstalledBinDir.clear(); // a program built without an installed place
    EXPECT_EQ(platform::SettingsDir(FPlace), FBin + "/");
    EXPECT_FALSE(fs::exists(FTemp.File("config"))) << "nothing is created for a portable copy";
}

TEST(SettingsDirOfThisProcess, ATestInTheBuildTreeIsAPortableCopy) {
    const platform::TSettingsPlace place = platform::CurrentPlace();
    EXPECT_EQ(place.ExecutableDir, platform::ExecutableDir());
    EXPECT_FALSE(place.InstalledBinDir.empty()) << "the build knows its installed bin folder";
    EXPECT_FALSE(platform::RunsInstalled(place));
    EXPECT_EQ(platform::SettingsDir(), platform::ExecutableDir());
}
