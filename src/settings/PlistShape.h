// A shape check for property lists from disk or a server, run before libplist sees
// them: libplist's readers and writer recurse once per nesting level, so a small file of
// deeply nested arrays overflows the stack. Ours hold one container of scalars (the
// preference store a dictionary, the download list an array), so anything nested deeper
// is refused here, in the binary and the XML form alike, without recursion.
#pragma once

#include <cstddef>
#include <string>

enum class PLISTTOP { Dictionary, Array };

// True when data is a binary ("bplist00") or XML property list whose top object is one
// container of the given kind holding only scalars (booleans, numbers, strings, dates,
// data). Otherwise false with a short reason in *why (optional).
bool PlistShapeOk(const char* data, size_t size, PLISTTOP top, std::string* why = nullptr);
