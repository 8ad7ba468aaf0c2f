// reefmere-config's "Add to XScreenSaver" under a private Xvfb: the hack's entry lands in
// ~/.xscreensaver once, the dialog says what happened, and a second press adds nothing.
#include <gtest/gtest.h>

#include <map>

#include "test_support.h"

TEST(ConfigXScreenSaver, TheButtonAddsTheHackOnce)
{
    testsupport::PrivateHome home;
    testsupport::Xvfb x{800, 600};
    ASSERT_TRUE(x.ok());
    const std::string file = home / ".xscreensaver";
    ASSERT_TRUE(testsupport::WriteFile(file, "mode:\tone\nprograms:\t\\\n\t\t\t\tmaze --root\t\t\t\t    \\n\\\n\n"));
    std::map<std::string, std::string> env = home.Env(x.display());
    env["NO_AT_BRIDGE"] = "1";
    // The build tree's reefmere is not on PATH: the entry names it by its full path.
    const std::string entry = testsupport::BinDir() + "/reefmere -root";
    for (const std::string& said : {"xscreensaver=Added \"GL: " + entry, std::string(" already lists reefmere;")}) {
        testsupport::RunResult r = testsupport::Run(
            {testsupport::BinDir() + "/reefmere-config", "--no-preview", "--self-test", "add-to-xscreensaver,report"}, env,
            120.0);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find(said), std::string::npos) << r.output;
        std::string text = testsupport::ReadText(file);
        size_t at = text.find("  GL: \t\t\t\t" + entry);
        EXPECT_NE(at, std::string::npos) << text;
        EXPECT_EQ(text.find("reefmere", at + 10 + entry.size()), std::string::npos) << text;
    }
    EXPECT_NE(testsupport::ReadText(file + ".reefmere-backup").find("maze --root"), std::string::npos);
}
