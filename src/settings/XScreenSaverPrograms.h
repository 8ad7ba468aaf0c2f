// XScreenSaver's list of hacks, the `programs:` resource of ~/.xscreensaver: adding the
// screen saver's entry to it while every other byte of the file stays as it was.
#pragma once

#include <string>

enum class PROGRAMSRESULT {
    Added,          // the entry is now the last one of the list
    AlreadyListed,  // an entry already runs this program (enabled or not); nothing changed
    NoFile,         // there is no such file yet
    NoList,         // the file has no programs: resource (XScreenSaver's own list is used)
    Failed,         // unreadable, not a regular file, or it could not be written back
};

// The text of a resource file with `entry` (say "GL: reefmere -root") appended to the
// programs: list, in the layout XScreenSaver writes. AlreadyListed when an entry's
// command has the same program name (any folder, options, visual, enabled or not).
PROGRAMSRESULT AddProgramEntry(const std::string& text, const std::string& entry, std::string* out);

// The same on the file at path, followed through symlinks to the file itself, which is
// replaced at once by a rename; the previous contents are kept in <file>.reefmere-backup.
// message: one line saying what happened, or what the user can do.
PROGRAMSRESULT AddToProgramsFile(const std::string& path, const std::string& entry, std::string* message);

// The entry that runs the hack at hackPath: "GL: reefmere -root" when XScreenSaver finds
// that very program by its name (on $PATH, or in the hack folder it adds to it), else the
// same with the full path.
std::string HackEntry(const std::string& hackPath);

// ~/.xscreensaver of the user ($HOME, else the password database).
std::string XScreenSaverFile();
