// The per-user preference store of one module: an XML property list at
// <config dir>/<module>.plist holding booleans, integers and strings. Read once when
// opened; Synchronize writes it back atomically (temporary file, then rename).
// A file that does not parse (or is not one flat dictionary of scalars), or holds a known
// key with the wrong type, is copied aside (<file>.unreadable-<seconds>) before the first
// write, so nothing the user had is lost. One that cannot be opened or read at all (no
// permission, an I/O error, no regular file) is never written: the store runs on
// defaults in memory. A symbolic link is followed: the file it names is rewritten and
// the link stays.
#pragma once

#include <cstdint>
#include <string>

class PREFSTORE {
public:
    PREFSTORE() = default;
    ~PREFSTORE();
    PREFSTORE(const PREFSTORE&) = delete;
    PREFSTORE& operator=(const PREFSTORE&) = delete;

    // Reads <ConfigFolder()>/<module>.plist. A missing file is an empty store; an
    // unreadable one is reported on stderr and also starts empty. Never fails.
    void Open(const char* module);
    // Same with an explicit file path (tests, tools).
    void OpenFile(const std::string& path);

    // False when the key is absent or holds another type (the latter is reported once).
    bool GetBool(const char* key, bool* out);
    bool GetInteger(const char* key, int64_t* out);
    bool GetString(const char* key, std::string* out);

    bool Has(const char* key) const;  // present, whatever its type

    void SetBool(const char* key, bool value);
    void SetInteger(const char* key, int64_t value);
    void SetString(const char* key, const char* value);

    // Writes the store; false (one line on stderr) when it cannot be written.
    bool Synchronize();

    const std::string& Path() const { return path_; }
    bool Damaged() const { return damaged_; }          // the file on disk was not fully readable
    bool Untouchable() const { return untouchable_; }  // it could not be read: never written
    size_t KeyCount() const;

    // Keeps the file on disk as <file>.<label>-<seconds> (a hard link, else a copy) unless
    // an earlier copy of that label already holds it. False when it cannot be kept.
    bool KeepCopy(const char* label);

private:
    void* Node(const char* key, int wantedType);  // plist_t or null; flags wrong types

    void* dict_ = nullptr;  // plist_t dictionary
    std::string path_;
    std::string target_;  // path_ with symbolic links followed: the file read and written
    bool damaged_ = false;
    bool untouchable_ = false;
    bool copyKept_ = false;
};
