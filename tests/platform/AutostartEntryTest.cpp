// The start-at-login entry in a private config folder: where it goes, what it says,
// that removing it is idempotent, and that a failed step leaves no entry behind.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/AutostartEntry.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

std::string contentsOf(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(AutostartEntry, InstallsAnXdgEntryInTheConfigFolderAndRemovesIt) {
    const auto configHome = test::isolateUserDefaults();
    const AutostartEntry entry;
    EXPECT_EQ(entry.file(), configHome / "autostart" / "org.talvex.Talvex.desktop");
    EXPECT_FALSE(entry.isInstalled());

    std::string error;
    ASSERT_TRUE(entry.install(&error)) << error;
    EXPECT_TRUE(entry.isInstalled());
    const std::string text = contentsOf(entry.file());
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nExec=talvex\n"), std::string::npos) << text;

    ASSERT_TRUE(entry.remove(&error)) << error;
    EXPECT_FALSE(entry.isInstalled());
    EXPECT_TRUE(entry.remove(&error)) << "removing an absent entry: " << error;
}

TEST(AutostartEntry, AFolderThatCannotBeMadeFailsWithoutAnEntry) {
    const auto configHome = test::isolateUserDefaults();
    std::ofstream(configHome / "autostart") << "a file where the folder should be";
    const AutostartEntry entry;
    std::string error;
    EXPECT_FALSE(entry.install(&error));
    EXPECT_NE(error.find("autostart"), std::string::npos) << error;
    EXPECT_FALSE(entry.isInstalled());
}

}  // namespace
}  // namespace talvex
