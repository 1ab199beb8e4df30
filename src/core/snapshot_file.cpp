#include "kestrune.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>

#include <QtEndian>

#include <array>
#include <cstring>

namespace kestrune {

namespace {

constexpr int formatVersion = 1;

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

// One group of four units as the little-endian word of its three bytes, with
// badUnit set when a unit is outside the alphabet. Units above 0xff are left
// to the caller, which sees them in the high bytes it collects.
inline quint32 decodeGroup(const char16_t* in) {
    return base64Tables.position[0][in[0] & 0xff] | base64Tables.position[1][in[1] & 0xff] |
           base64Tables.position[2][in[2] & 0xff] | base64Tables.position[3][in[3] & 0xff];
}

// Qt's strict decoder costs more than parsing the whole document. Canonical
// text (what the writer produces: whole groups, alphabet only, "=" only at
// the end) is checked here, straight from the UTF-16 data, and decoded into
// out when Store; anything else is left to Qt, whose verdict rules. Returns
// the decoded size, or -1 for text that is not canonical.
template <bool Store>
qsizetype decodeCanonical(QStringView text, char* out) {
    const qsizetype length = text.size();
    if (length % 4 != 0)
        return -1;
    int padding = 0;
    if (length > 0 && text[length - 1] == u'=')
        padding = text[length - 2] == u'=' ? 2 : 1;

    const char16_t* in = text.utf16();
    const qsizetype groups = length / 4;
    // Errors are collected and tested once: bit 24 of the words for units
    // outside the alphabet, the high bytes of the units for anything above
    // Latin-1 (whose low byte alone could look like a valid unit).
    quint32 badWords = 0;
    quint64 highBytes = 0;
    qsizetype group = 0;
    // Whole 4-byte stores while a later group still owns the fourth byte.
    for (; group + 1 < groups; ++group, in += 4) {
        quint64 units;
        std::memcpy(&units, in, sizeof units);
        highBytes |= units;
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
        char16_t last[4] = {in[0], in[1], in[2], in[3]};
        if (padding >= 1)
            last[3] = u'A';
        if (padding == 2)
            last[2] = u'A';
        quint64 units;
        std::memcpy(&units, last, sizeof units);
        highBytes |= units;
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

struct Decoded {
    bool ok = false;
    qsizetype size = 0;
    QByteArray bytes; // only when kept
};

// Strict Base64 of a JSON string. Without keep, only the verdict and the
// decoded size are wanted, so canonical text is checked without decoding.
Decoded decodeStrict(const QJsonValue& value, bool keep) {
    const QString text = value.toString();
    Decoded result;
    if (keep) {
        QByteArray bytes(text.size() / 4 * 3, Qt::Uninitialized);
        const qsizetype size = decodeCanonical<true>(text, bytes.data());
        if (size >= 0) {
            bytes.truncate(size);
            return {true, size, std::move(bytes)};
        }
    } else {
        const qsizetype size = decodeCanonical<false>(text, nullptr);
        if (size >= 0)
            return {true, size, QByteArray()};
    }
    QByteArray::FromBase64Result qt = QByteArray::fromBase64Encoding(
        text.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    result.ok = qt.decodingStatus == QByteArray::Base64DecodingStatus::Ok;
    result.size = qt.decoded.size();
    if (keep)
        result.bytes = std::move(qt.decoded);
    return result;
}

} // namespace

FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes, QString* errorString) {
    QSaveFile file(path);
    // Never fall back to writing in place: a failure must leave the old file.
    file.setDirectWriteFallback(false);
    // Unbuffered, so a write the disk refuses shows up in the byte count
    // instead of being lost silently at commit.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (errorString)
            *errorString = file.errorString();
        return FileStatus::OpenFailed;
    }
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        if (errorString) {
            *errorString = file.errorString();
            if (written >= 0)
                *errorString +=
                    QStringLiteral(" (%1 of %2 bytes written)").arg(written).arg(bytes.size());
        }
        file.cancelWriting();
        return FileStatus::WriteError;
    }
    if (!file.commit()) {
        if (errorString)
            *errorString = file.errorString();
        return FileStatus::WriteError;
    }
    return FileStatus::Ok;
}

FileStatus write(const QString& path, const Snapshot& snapshot) {
    if (snapshot.name.trimmed().isEmpty() || snapshot.name.size() > maxNameLength ||
        snapshot.state.isEmpty() || snapshot.geometry.isEmpty())
        return FileStatus::Invalid;

    QJsonObject object;
    object.insert(QStringLiteral("format"), formatVersion);
    object.insert(QStringLiteral("plugin"), QLatin1String(pluginId));
    object.insert(QStringLiteral("obs"), QLatin1String(obsVersion));
    object.insert(QStringLiteral("name"), snapshot.name);
    object.insert(QStringLiteral("state"), QString::fromLatin1(snapshot.state.toBase64()));
    object.insert(QStringLiteral("geometry"), QString::fromLatin1(snapshot.geometry.toBase64()));
    object.insert(QStringLiteral("docks"), QJsonArray::fromStringList(snapshot.docks));

    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (text.size() > maxFileSize)
        return FileStatus::TooLarge;
    return writeFileAtomically(path, text);
}

namespace {

// The whole of read(). With nameOnly, every check still runs, but the layout
// bytes and the dock names are not kept: only out.name is set on Ok.
FileStatus readFile(const QString& path, Snapshot& out, bool nameOnly, QDateTime* modified) {
    QFile file(path);
    // Unbuffered: the content is read in one call, a buffer would only copy it.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return FileStatus::OpenFailed;
    const qint64 size = file.size();
    if (size > maxFileSize)
        return FileStatus::TooLarge;
    // One byte beyond the size shows a file that has grown since, or one that
    // reports no size at all; such a file is read on up to the limit plus one.
    QByteArray bytes = file.read(size + 1);
    if (bytes.size() > size)
        bytes += file.read(maxFileSize + 1 - bytes.size());
    if (bytes.size() > maxFileSize)
        return FileStatus::TooLarge;
    const QDateTime fileTime =
        modified ? file.fileTime(QFileDevice::FileModificationTime) : QDateTime();
    file.close();

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return FileStatus::Invalid;
    const QJsonObject object = document.object();

    if (object.value(QLatin1String("format")).toInt() != formatVersion)
        return FileStatus::Invalid;
    if (object.value(QLatin1String("plugin")).toString() != QLatin1String(pluginId))
        return FileStatus::Invalid;

    const QJsonValue name = object.value(QLatin1String("name"));
    const QJsonValue state = object.value(QLatin1String("state"));
    const QJsonValue geometry = object.value(QLatin1String("geometry"));
    const QJsonValue docks = object.value(QLatin1String("docks"));
    if (!name.isString() || !state.isString() || !geometry.isString() || !docks.isArray())
        return FileStatus::Invalid;

    Decoded decodedState = decodeStrict(state, !nameOnly);
    Decoded decodedGeometry = decodeStrict(geometry, !nameOnly);

    Snapshot record;
    record.name = name.toString().trimmed().normalized(QString::NormalizationForm_C);
    if (!decodedState.ok || !decodedGeometry.ok)
        return FileStatus::Invalid;
    if (record.name.isEmpty() || record.name.size() > maxNameLength || decodedState.size == 0 ||
        decodedGeometry.size == 0)
        return FileStatus::Invalid;

    const QJsonArray dockArray = docks.toArray();
    if (!nameOnly)
        record.docks.reserve(dockArray.size());
    // References into the array: no value copied before the string itself.
    for (const QJsonValueConstRef dock : dockArray) {
        if (!dock.isString())
            return FileStatus::Invalid;
        if (!nameOnly)
            record.docks.append(dock.toString());
    }

    if (!nameOnly) {
        record.state = std::move(decodedState.bytes);
        record.geometry = std::move(decodedGeometry.bytes);
    }
    out = std::move(record);
    if (modified)
        *modified = fileTime;
    return FileStatus::Ok;
}

} // namespace

FileStatus read(const QString& path, Snapshot& out) {
    return readFile(path, out, false, nullptr);
}

FileStatus detail::readName(const QString& path, QString& name, QDateTime* modified) {
    Snapshot record;
    const FileStatus status = readFile(path, record, true, modified);
    if (status == FileStatus::Ok)
        name = std::move(record.name);
    return status;
}

} // namespace kestrune
