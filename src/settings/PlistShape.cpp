// Binary property lists: trailer, offset table and the top object's references, each
// checked against the file. XML: a linear scan of the tags with a depth count.
#include "settings/PlistShape.h"

#include <cstdint>
#include <cstring>

namespace {

bool Fail(std::string* why, const char* reason) {
    if (why) *why = reason;
    return false;
}

uint64_t BigEndian(const unsigned char* p, unsigned n) {
    uint64_t v = 0;
    for (unsigned i = 0; i < n; i++) v = (v << 8) | p[i];
    return v;
}

// Object kinds by the high nibble of their marker byte.
bool IsScalarMarker(unsigned char m) {
    switch (m >> 4) {
        case 0x0:
        case 0x1:
        case 0x2:
        case 0x3:
        case 0x4:
        case 0x5:
        case 0x6:
        case 0x8:
            return true;
        default:
            return false;  // arrays, sets, dictionaries and unknown kinds
    }
}

bool IsStringMarker(unsigned char m) { return (m >> 4) == 0x5 || (m >> 4) == 0x6; }

bool BinaryShapeOk(const unsigned char* d, size_t size, PLISTTOP top, std::string* why) {
    const size_t kTrailer = 32, kHeader = 8;
    if (size < kHeader + kTrailer + 1) return Fail(why, "binary property list too short");
    const unsigned char* t = d + size - kTrailer;
    const unsigned offsetSize = t[6], refSize = t[7];
    const uint64_t numObjects = BigEndian(t + 8, 8), topObject = BigEndian(t + 16, 8);
    const uint64_t tableOffset = BigEndian(t + 24, 8);
    const uint64_t end = size - kTrailer;  // objects and the offset table lie before this
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8)
        return Fail(why, "binary property list with bad integer sizes");
    if (numObjects < 1 || topObject >= numObjects || tableOffset < kHeader || tableOffset > end ||
        numObjects > (end - tableOffset) / offsetSize)
        return Fail(why, "binary property list with a bad offset table");
    auto offsetOf = [&](uint64_t index, uint64_t* at) {
        *at = BigEndian(d + tableOffset + index * offsetSize, offsetSize);
        return *at >= kHeader && *at < tableOffset;
    };
    uint64_t at = 0;
    if (!offsetOf(topObject, &at)) return Fail(why, "binary property list with a bad object offset");
    const unsigned char marker = d[at];
    const unsigned char want = top == PLISTTOP::Dictionary ? 0xD : 0xA;
    if ((marker >> 4) != want)
        return Fail(why, top == PLISTTOP::Dictionary ? "top object is not a dictionary" : "top object is not an array");
    uint64_t count = marker & 0x0F, pos = at + 1;
    if (count == 0x0F) {  // the count follows as an integer object of 1, 2, 4 or 8 bytes
        if (pos >= tableOffset || (d[pos] >> 4) != 0x1 || (d[pos] & 0x0F) > 3)
            return Fail(why, "binary property list with a bad count");
        const unsigned n = 1u << (d[pos] & 0x0F);
        if (n > tableOffset - pos - 1) return Fail(why, "binary property list with a bad count");
        count = BigEndian(d + pos + 1, n);
        pos += 1 + n;
    }
    const uint64_t refs = top == PLISTTOP::Dictionary ? 2 : 1;
    if (count > (tableOffset - pos) / refSize / refs) return Fail(why, "binary property list with a bad count");
    for (uint64_t i = 0; i < count * refs; i++) {
        const uint64_t ref = BigEndian(d + pos + i * refSize, refSize);
        uint64_t o = 0;
        if (ref >= numObjects || !offsetOf(ref, &o)) return Fail(why, "binary property list with a bad reference");
        const bool isKey = top == PLISTTOP::Dictionary && i < count;
        if (isKey ? !IsStringMarker(d[o]) : !IsScalarMarker(d[o]))
            return Fail(why, "property list nested deeper than expected");
    }
    return true;
}

bool StartsAt(const char* d, size_t size, size_t i, const char* s) {
    size_t n = strlen(s);
    return i + n <= size && memcmp(d + i, s, n) == 0;
}

// Position just past the first `close` at or after i, or size + 1 when it never comes.
size_t Past(const char* d, size_t size, size_t i, const char* close) {
    size_t n = strlen(close);
    for (; i + n <= size; i++)
        if (memcmp(d + i, close, n) == 0) return i + n;
    return size + 1;
}

bool XmlShapeOk(const char* d, size_t size, PLISTTOP top, std::string* why) {
    static const char* const kScalars[] = {"key", "string", "integer", "real", "true", "false", "date", "data"};
    const char* want = top == PLISTTOP::Dictionary ? "dict" : "array";
    int depth = 0;  // open arrays and dictionaries
    bool seenTop = false;
    size_t i = 0;
    while (i < size) {
        if (d[i] != '<') {
            i++;
            continue;
        }
        size_t next;
        if (StartsAt(d, size, i, "<?")) {
            next = Past(d, size, i + 2, "?>");
        } else if (StartsAt(d, size, i, "<!--")) {
            next = Past(d, size, i + 4, "-->");
        } else if (StartsAt(d, size, i, "<![CDATA[")) {
            next = Past(d, size, i + 9, "]]>");
        } else if (StartsAt(d, size, i, "<!")) {
            next = Past(d, size, i + 2, ">");
            // An internal subset would declare entities; a plist has no use for one.
            if (next <= size && memchr(d + i, '[', next - i)) return Fail(why, "XML with a document type subset");
        } else {
            next = Past(d, size, i + 1, ">");
            if (next > size) return Fail(why, "XML property list cut short");
            const bool closing = d[i + 1] == '/';
            size_t nameStart = i + (closing ? 2 : 1), nameEnd = nameStart;
            while (nameEnd < next - 1 && d[nameEnd] != ' ' && d[nameEnd] != '/' && d[nameEnd] != '>' &&
                   d[nameEnd] != '\t' && d[nameEnd] != '\r' && d[nameEnd] != '\n')
                nameEnd++;
            const std::string name(d + nameStart, nameEnd - nameStart);
            const bool empty = !closing && d[next - 2] == '/';
            const bool container = name == "array" || name == "dict";
            bool known = container || name == "plist";
            for (const char* s : kScalars) known = known || name == s;
            if (!known) return Fail(why, "XML property list with an unknown element");
            if (container && closing) {
                depth--;
            } else if (container && !closing) {
                if (depth > 0) return Fail(why, "property list nested deeper than expected");
                if (seenTop || name != want)
                    return Fail(why, top == PLISTTOP::Dictionary ? "top object is not a dictionary"
                                                                 : "top object is not an array");
                seenTop = true;
                if (!empty) depth++;
            } else if (!closing && !seenTop && name != "plist") {
                return Fail(why, "top object is not a container");
            }
        }
        if (next > size) return Fail(why, "XML property list cut short");
        i = next;
    }
    if (!seenTop) return Fail(why, "no top object");
    return true;
}

}  // namespace

bool PlistShapeOk(const char* data, size_t size, PLISTTOP top, std::string* why) {
    if (!data || size == 0) return Fail(why, "empty");
    const unsigned char* d = reinterpret_cast<const unsigned char*>(data);
    if (size >= 8 && memcmp(data, "bplist00", 8) == 0) return BinaryShapeOk(d, size, top, why);
    size_t skip = 0;
    if (size >= 3 && d[0] == 0xEF && d[1] == 0xBB && d[2] == 0xBF) skip = 3;  // UTF-8 byte order mark
    while (skip < size && (data[skip] == ' ' || data[skip] == '\t' || data[skip] == '\r' || data[skip] == '\n')) skip++;
    if (skip < size && data[skip] == '<') return XmlShapeOk(data + skip, size - skip, top, why);
    return Fail(why, "not a property list");
}
