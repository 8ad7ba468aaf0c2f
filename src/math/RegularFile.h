// Opening files that come from users, desktops and servers: a FIFO or device under an
// innocent name (a.jpg, x.fish) must never block or feed us endless bytes. Each opener
// opens without blocking, checks that the open descriptor is a regular file, and only
// then reads from that descriptor. POSIX only.
#pragma once

#include <cstddef>
#include <cstdio>
#include <fstream>
#include <string>

// A descriptor (O_CLOEXEC, blocking again) for a regular file at path, or -1 with errno
// set (EINVAL for anything that is not a regular file).
int OpenRegularFile(const char* path);

// The file's whole contents, when it is a regular file of at most maxBytes. False with
// errno set (EFBIG when larger).
bool ReadRegularFile(const char* path, size_t maxBytes, std::string* out);

// fopen(path, "rb") for regular files only; null with errno set otherwise.
FILE* FopenRegular(const char* path);

// Opens stream on the same file a checked descriptor names, so the stream never reaches
// a FIFO that replaced the file meanwhile. False with errno set.
bool OpenRegularStream(std::ifstream* stream, const char* path);
