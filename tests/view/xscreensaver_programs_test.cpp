// Adding the hack to ~/.xscreensaver's programs: list: the text edit on the layouts people
// and XScreenSaver write, and the file's replacement (symlink, backup, mode, twice).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"
#include "settings/XScreenSaverPrograms.h"

using testsupport::TempDir;

namespace {

const char kEntry[] = "GL: reefmere -root";
const std::string kLine = "  GL: \t\t\t\treefmere -root\t\t\t\t    \\n";  // as XScreenSaver lays it out

}  // namespace

TEST(XScreenSaverPrograms, AddsOneEntryAtTheEndOfTheList) {
    struct Case {
        const char* what;
        std::string in, out;  // out empty: nothing added
        PROGRAMSRESULT result;
    };
    const Case cases[] = {
        {"list ends on its last entry", "programs: maze -root \\n\\\n  gears -root \\n\nb: 2\n",
         "programs: maze -root \\n\\\n  gears -root \\n\\\n" + kLine + "\nb: 2\n", PROGRAMSRESULT::Added},
        {"last entry without its separator, no final newline", "programs: maze -root",
         "programs: maze -root\\n\\\n" + kLine, PROGRAMSRESULT::Added},
        {"continued last entry without its separator", "programs: \\\n maze -root \\\n\nx: 1\n",
         "programs: \\\n maze -root \\\n\\n" + kLine + "\\\n\nx: 1\n", PROGRAMSRESULT::Added},
        {"empty list", "programs:\n", "programs:\\\n" + kLine + "\n", PROGRAMSRESULT::Added},
        {"the last of two lists counts", "programs: a\nprograms: b \\n\n",
         "programs: a\nprograms: b \\n\\\n" + kLine + "\n", PROGRAMSRESULT::Added},
        {"another program of the same prefix", "programs: reefmere-config \\n\n",
         "programs: reefmere-config \\n\\\n" + kLine + "\n", PROGRAMSRESULT::Added},
        {"listed, disabled, by path, with options",
         "programs: maze \\n\\\n-  GL: /usr/libexec/xscreensaver/reefmere --root --max-fish 2 \\n\n", "",
         PROGRAMSRESULT::AlreadyListed},
        {"listed under a name", "programs: \"Fish tank\" reefmere -root\n", "", PROGRAMSRESULT::AlreadyListed},
        {"no list: comments and continued lines start nothing",
         "# programs: maze\n! programs: maze\ntext: a \\\nprograms: b\nprogramsX: c\n", "", PROGRAMSRESULT::NoList},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(AddProgramEntry(c.in, kEntry, &out), c.result) << c.what;
        if (c.result == PROGRAMSRESULT::Added) {
            EXPECT_EQ(out, c.out) << c.what;
        }
    }
}

TEST(XScreenSaverPrograms, ReplacesTheFileBehindTheLinkAndKeepsABackup) {
    TempDir dir;
    const std::string original = "timeout:\t0:10:00\nprograms:\t\\\n\t\t\t\tmaze --root\t    \\n\\\n\nlock: False\n";
    const std::string target = dir / "dotfiles-xscreensaver";
    ASSERT_TRUE(testsupport::WriteFile(target, original));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink(target.c_str(), (dir / ".xscreensaver").c_str()), 0);

    std::string message;
    ASSERT_EQ(AddToProgramsFile(dir / ".xscreensaver", kEntry, &message), PROGRAMSRESULT::Added) << message;
    struct stat st;
    ASSERT_EQ(lstat((dir / ".xscreensaver").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));  // the link stays a link
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::string added = testsupport::ReadText(target);
    EXPECT_EQ(added,
              "timeout:\t0:10:00\nprograms:\t\\\n\t\t\t\tmaze --root\t    \\n\\\n" + kLine + "\\\n\nlock: False\n");
    EXPECT_EQ(testsupport::ReadText(target + ".reefmere-backup"), original);

    // Twice: nothing changes, not even the backup.
    ASSERT_TRUE(testsupport::WriteFile(target + ".reefmere-backup", "older"));
    EXPECT_EQ(AddToProgramsFile(dir / ".xscreensaver", kEntry, &message), PROGRAMSRESULT::AlreadyListed);
    EXPECT_EQ(testsupport::ReadText(target), added);
    EXPECT_EQ(testsupport::ReadText(target + ".reefmere-backup"), "older");

    // No list, or no regular file: nothing is written.
    ASSERT_TRUE(testsupport::WriteFile(dir / "nolist", "timeout: 0:10:00\n"));
    EXPECT_EQ(AddToProgramsFile(dir / "nolist", kEntry, &message), PROGRAMSRESULT::NoList);
    EXPECT_EQ(testsupport::ReadText(dir / "nolist"), "timeout: 0:10:00\n");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(AddToProgramsFile(dir / "fifo", kEntry, &message), PROGRAMSRESULT::Failed);
    EXPECT_FALSE(testsupport::FileExists(dir / "fifo.reefmere-backup"));
}
