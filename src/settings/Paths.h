// Where Reefmere's files live on this system: the resource folder beside the executable,
// the per-user configuration folder and the per-user fish folder (XDG base directories).
#pragma once

#include <cstddef>
#include <string>

// Folder of the running executable (from /proc/self/exe); empty when unknown.
std::string ExecutableFolder();

// The resource folder (kelpish.tidewares, kelpish.wav, bundled .fish archives):
// $REEFMERE_SHARE_DIR when set, else <exe>/../share/reefmere (build tree, /usr/bin),
// else <exe>/../../share/reefmere (installed hack in libexec/xscreensaver/). No trailing
// slash. The first candidate when none exists.
std::string ResourceFolder();
// A file in the resource folder.
std::string ResourceFile(const char* name);

// $HOME when absolute, else the password database's home, else /tmp.
std::string HomeFolder();
// $XDG_CONFIG_HOME when absolute, else $HOME/.config. No trailing slash.
std::string ConfigFolder();
// $XDG_DATA_HOME/reefmere/fish/ (default $HOME/.local/share), with a trailing slash.
std::string UserFishFolder();

// The user's pictures folder, as `xdg-user-dir PICTURES` finds it: XDG_PICTURES_DIR from
// $XDG_CONFIG_HOME/user-dirs.dirs, else from the environment; where neither names one
// (or it names the home folder itself, xdg-user-dirs' "disabled"), $HOME/Pictures.
// No trailing slash.
std::string UserPicturesFolder();
// The folder a "BGPath" value stands for here. The stored default names the macOS
// desktop-pictures folder ("/library/Desktop Pictures/", any case, trailing slash or
// not), which no Linux system has: it maps to UserPicturesFolder(). Anything else,
// the empty text included, is kept as it is.
std::string PlatformPictureFolder(const char* stored);

// Writes all of data to fd, retrying short writes and EINTR; false on any other error.
bool WriteAll(int fd, const char* data, size_t size);

// mkdir -p with mode 0700 for folders it creates; false (errno set) when it fails.
bool MakeFolders(const std::string& path);

// Copies text into a fixed field of size bytes, cut to size - 1 bytes plus NUL, never
// splitting a UTF-8 sequence.
void CopyToField(char* field, size_t size, const char* text);
