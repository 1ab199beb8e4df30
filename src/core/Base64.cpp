// SPDX-License-Identifier: GPL-2.0-or-later
#include "Base64.h"

#include <QtEndian>

#include <array>
#include <cstring>

namespace kestrune::detail {

namespace {

// Decoding tables in the manner of a word-at-a-time decoder: the value of a
// unit in each of the four positions of a group, already shifted to where its
// bits land in the three output bytes (read as a little-endian word). A unit
// outside the alphabet sets bit 24, which no valid group can reach.
constexpr quint32 badUnit = 0x01000000;

struct Base64Tables {
    std::array<quint32, 256> position[4];
};

constexpr Base64Tables base64Tables = [] {
    Base64Tables tables{};
    for (auto& table : tables.position)
        for (auto& entry : table)
            entry = badUnit;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (quint32 v = 0; v < 64; ++v) {
        const auto unit = static_cast<unsigned char>(alphabet[v]);
        tables.position[0][unit] = v << 2;
        tables.position[1][unit] = v >> 4 | (v & 0x0f) << 12;
        tables.position[2][unit] = (v >> 2) << 8 | (v & 0x03) << 22;
        tables.position[3][unit] = v << 16;
    }
    return tables;
}();

inline quint32 lowByte(char16_t unit) {
    return unit & 0xff;
}
inline quint32 lowByte(char unit) {
    return static_cast<unsigned char>(unit);
}

// One group of four units as the little-endian word of its three bytes, with
// badUnit set when a unit is outside the alphabet. UTF-16 units above 0xff are
// left to the caller, which sees them in the high bytes it collects.
template <typename Unit>
inline quint32 decodeGroup(const Unit* in) {
    return base64Tables.position[0][lowByte(in[0])] | base64Tables.position[1][lowByte(in[1])] |
           base64Tables.position[2][lowByte(in[2])] | base64Tables.position[3][lowByte(in[3])];
}

// The four units of a group as one word, to collect their high bytes; bytes
// from the file have none.
inline quint64 highBytesOf(const char16_t* group) {
    quint64 units;
    std::memcpy(&units, group, sizeof units);
    return units;
}
inline quint64 highBytesOf(const char*) {
    return 0;
}

// The check, and with Store the decoding into out, which has room for
// length / 4 * 3 bytes.
template <bool Store, typename Unit>
qsizetype decodeCanonical(const Unit* in, qsizetype length, char* out) {
    if (length % 4 != 0)
        return -1;
    int padding = 0;
    if (length > 0 && in[length - 1] == Unit('='))
        padding = in[length - 2] == Unit('=') ? 2 : 1;

    const qsizetype groups = length / 4;
    // Errors are collected and tested once: bit 24 of the words for units
    // outside the alphabet, the high bytes of UTF-16 units for anything above
    // Latin-1 (whose low byte alone could look like a valid unit).
    quint32 badWords = 0;
    quint64 highBytes = 0;
    qsizetype group = 0;
    // Whole 4-byte stores while a later group still owns the fourth byte.
    for (; group + 1 < groups; ++group, in += 4) {
        highBytes |= highBytesOf(in);
        const quint32 word = decodeGroup(in);
        badWords |= word;
        if constexpr (Store) {
            const quint32 little = qToLittleEndian(word);
            std::memcpy(out, &little, sizeof little);
            out += 3;
        }
    }
    if (groups > 0) {
        // The last group, possibly padded: "=" reads as zero bits.
        Unit last[4] = {in[0], in[1], in[2], in[3]};
        if (padding >= 1)
            last[3] = Unit('A');
        if (padding == 2)
            last[2] = Unit('A');
        highBytes |= highBytesOf(last);
        const quint32 word = decodeGroup(last);
        badWords |= word;
        if constexpr (Store) {
            out[0] = char(word);
            if (padding < 2)
                out[1] = char(word >> 8);
            if (padding < 1)
                out[2] = char(word >> 16);
        }
    }
    if ((badWords & badUnit) != 0 || (highBytes & Q_UINT64_C(0xff00ff00ff00ff00)) != 0)
        return -1;
    return groups * 3 - padding;
}

template <typename Unit>
qsizetype decodeCanonicalInto(const Unit* in, qsizetype length, QByteArray* out) {
    if (!out)
        return decodeCanonical<false>(in, length, nullptr);
    QByteArray bytes(length / 4 * 3, Qt::Uninitialized);
    const qsizetype size = decodeCanonical<true>(in, length, bytes.data());
    if (size >= 0) {
        bytes.truncate(size);
        *out = std::move(bytes);
    }
    return size;
}

} // namespace

qsizetype decodeCanonicalBase64(const char* text, qsizetype length, QByteArray* out) {
    return decodeCanonicalInto(text, length, out);
}

qsizetype decodeCanonicalBase64(const char16_t* text, qsizetype length, QByteArray* out) {
    return decodeCanonicalInto(text, length, out);
}

StrictBase64 decodeStrictBase64(const QString& text, bool keep) {
    StrictBase64 result;
    result.size = decodeCanonicalBase64(reinterpret_cast<const char16_t*>(text.constData()),
                                        text.size(), keep ? &result.bytes : nullptr);
    if (result.size >= 0) {
        result.ok = true;
        return result;
    }
    // Anything else is Qt's to judge.
    QByteArray::FromBase64Result qt = QByteArray::fromBase64Encoding(
        text.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    result.ok = qt.decodingStatus == QByteArray::Base64DecodingStatus::Ok;
    result.size = qt.decoded.size();
    if (keep)
        result.bytes = std::move(qt.decoded);
    return result;
}

} // namespace kestrune::detail
