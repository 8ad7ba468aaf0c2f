// Installing fish archives into the folder the screen saver reads: the one path shared by
// `reefpack install` and the settings dialog's "Install from File..." button.
#pragma once
#include <string>
#include <vector>

namespace reefpack {

// Largest archive installed (bytes), the same bound as a download's.
constexpr long long kInstallMaxBytes = 256ll << 20;

struct InstallOutcome {
    enum Status { Installed, Refused, Exists, Failed };
    Status status = Failed;
    std::string reason;                 // Refused, Failed: one line
    std::string displayName;            // the species' name (Installed, Exists)
    std::string path;                   // Installed: where it went
    std::vector<std::string> existing;  // Exists: the files it would replace
};

// The name the file gets in the fish folder: its own, with ".fish" added when missing
// (the catalogue reads nothing else); empty when no usable name remains.
std::string InstallFileName(const std::string& file);

// Copies file into folder (created when missing) as InstallFileName(file). The copy is
// written to a hidden temporary file there, synced, checked as the tank would load it
// (the catalogue's archive reader, then the whole species as `validate` does) and only
// then linked into place. A species of the same file or display name already in the folder
// is replaced only with replace set (otherwise Exists, nothing changed); on replacement
// the other files holding that display name go, so the table keeps one row for it.
// Whatever the outcome, no temporary or partial file is left.
InstallOutcome InstallFish(const std::string& file, const std::string& folder, bool replace);

// Writes bytes to path through a temporary file in the same folder, synced and renamed
// over path: readers see the old file or the whole new one. False with the reason.
bool WriteFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes, std::string* error);

}  // namespace reefpack
