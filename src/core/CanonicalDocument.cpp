// SPDX-License-Identifier: GPL-2.0-or-later
// Parsing a snapshot file with QJsonDocument costs more than opening and
// reading it. Files written by this plug-in have a fixed, simple shape that a
// single pass over the bytes can check; anything outside that shape is left to
// Qt, so this reader never has to agree with Qt on anything but plain cases.
#include "CanonicalDocument.h"

#include <array>
#include <cstring>
#include <string_view>

namespace kestrune::detail {

namespace {

using Byte = unsigned char;

// Bytes that end the quick run through a string: the closing quote, an escape,
// control characters and the lead bytes of multi-byte UTF-8.
constexpr std::array<bool, 256> stringStops = [] {
    std::array<bool, 256> stops{};
    for (int byte = 0; byte < 0x20; ++byte)
        stops[byte] = true;
    for (int byte = 0x80; byte < 0x100; ++byte)
        stops[byte] = true;
    stops['"'] = true;
    stops['\\'] = true;
    return stops;
}();

inline bool isSpace(Byte byte) {
    return byte == ' ' || byte == '\n' || byte == '\r' || byte == '\t';
}

// The byte at p, or NUL at the end, which no rule below accepts.
inline Byte at(const Byte* p, const Byte* end) {
    return p < end ? *p : 0;
}

inline void skipSpace(const Byte*& p, const Byte* end) {
    while (p < end && isSpace(*p))
        ++p;
}

// One UTF-8 sequence as Qt decodes it strictly: no overlong forms, no
// surrogates, nothing above U+10FFFF; noncharacters are allowed.
bool skipUtf8(const Byte*& p, const Byte* end) {
    const Byte lead = *p;
    int extra = 0;
    char32_t minimum = 0;
    char32_t value = 0;
    if (lead < 0xc2)
        return false;
    if (lead < 0xe0) {
        extra = 1;
        minimum = 0x80;
        value = lead & 0x1f;
    } else if (lead < 0xf0) {
        extra = 2;
        minimum = 0x800;
        value = lead & 0x0f;
    } else if (lead < 0xf5) {
        extra = 3;
        minimum = 0x10000;
        value = lead & 0x07;
    } else {
        return false;
    }
    if (end - p <= extra)
        return false;
    for (int i = 1; i <= extra; ++i) {
        if ((p[i] & 0xc0) != 0x80)
            return false;
        value = value << 6 | (p[i] & 0x3f);
    }
    if (value < minimum || (value >= 0xd800 && value <= 0xdfff) || value > 0x10ffff)
        return false;
    p += extra + 1;
    return true;
}

// A string without escapes or control characters; p is at its opening quote.
bool scanString(const Byte*& p, const Byte* end, Span& out) {
    if (at(p, end) != '"')
        return false;
    const Byte* start = ++p;
    for (;;) {
        while (p < end && !stringStops[*p])
            ++p;
        if (p == end)
            return false;
        if (at(p, end) == '"')
            break;
        if (*p < 0x80 || !skipUtf8(p, end))
            return false;
    }
    out = {reinterpret_cast<const char*>(start), p - start};
    ++p;
    return true;
}

// A string whose content the caller checks byte by byte (Base64 accepts only
// its alphabet, so an escape or any other byte fails there); this only finds
// the closing quote, which is much faster than the full scan.
bool scanRaw(const Byte*& p, const Byte* end, Span& out) {
    if (at(p, end) != '"')
        return false;
    const Byte* start = ++p;
    const void* quote = std::memchr(start, '"', size_t(end - start));
    if (!quote)
        return false;
    p = static_cast<const Byte*>(quote);
    out = {reinterpret_cast<const char*>(start), p - start};
    ++p;
    return true;
}

bool scanStrings(const Byte*& p, const Byte* end, QVarLengthArray<Span, 32>& out) {
    if (at(p, end) != '[')
        return false;
    ++p;
    skipSpace(p, end);
    if (at(p, end) == ']') {
        ++p;
        return true;
    }
    for (;;) {
        Span item;
        if (!scanString(p, end, item))
            return false;
        out.append(item);
        skipSpace(p, end);
        if (at(p, end) == ']') {
            ++p;
            return true;
        }
        if (at(p, end) != ',')
            return false;
        ++p;
        skipSpace(p, end);
    }
}

enum Member { Format, Plugin, Obs, Name, State, Geometry, Docks, Titles, MemberCount, Unknown };

Member memberOf(const Span& key) {
    static constexpr std::array<std::string_view, MemberCount> keys = {
        "format", "plugin", "obs", "name", "state", "geometry", "docks", "titles"};
    const std::string_view text(key.data, size_t(key.size));
    for (int member = 0; member < MemberCount; ++member) {
        if (keys[member] == text)
            return Member(member);
    }
    return Unknown;
}

} // namespace

bool scanCanonical(const QByteArray& bytes, CanonicalDocument& out) {
    const Byte* p = reinterpret_cast<const Byte*>(bytes.constData());
    const Byte* const end = p + bytes.size();
    std::array<bool, MemberCount> seen{};
    skipSpace(p, end);
    if (at(p, end) != '{')
        return false;
    ++p;
    skipSpace(p, end);
    for (;;) {
        Span key;
        if (!scanString(p, end, key))
            return false;
        const Member member = memberOf(key);
        // A repeated member is left to Qt, whose rule picks the one that counts.
        if (member == Unknown || seen[member])
            return false;
        seen[member] = true;
        skipSpace(p, end);
        if (at(p, end) != ':')
            return false;
        ++p;
        skipSpace(p, end);

        Span obs;
        bool scanned = false;
        if (member == Format) {
            // Only the plain "1"; "1.0", "1e0" and the like go to Qt.
            scanned = at(p, end) == '1';
            p += scanned ? 1 : 0;
        } else if (member == Docks || member == Titles) {
            scanned = scanStrings(p, end, member == Docks ? out.docks : out.titles);
        } else if (member == State || member == Geometry) {
            scanned = scanRaw(p, end, member == State ? out.state : out.geometry);
        } else {
            scanned = scanString(p, end,
                                 member == Plugin ? out.plugin
                                 : member == Name ? out.name
                                                  : obs);
        }
        if (!scanned)
            return false;

        skipSpace(p, end);
        if (at(p, end) == '}')
            break;
        if (at(p, end) != ',')
            return false;
        ++p;
        skipSpace(p, end);
    }
    ++p;
    skipSpace(p, end);
    if (p != end)
        return false;
    // "obs" and "titles" are optional; everything else must be there.
    seen[Obs] = seen[Titles] = true;
    for (bool present : seen) {
        if (!present)
            return false;
    }
    return true;
}

} // namespace kestrune::detail
