#include "Snapshot.h"

#include "canonical_document.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTimeZone>

#include <QtEndian>

#include <array>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// Qt's strict decoder costs more than parsing the whole document. Canonical
// text (what the writer produces: whole groups, alphabet only, "=" only at
// the end) is checked here, from UTF-16 or from the file's own bytes, and
// decoded into out when Store; anything else is left to Qt, whose verdict
// rules. Returns the decoded size, or -1 for text that is not canonical.
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

struct Decoded {
    bool ok = false;
    qsizetype size = 0;
    QByteArray bytes; // only when kept
};

// Canonical Base64 of length units, decoded into out when given (out is left
// alone otherwise); the decoded size, or -1 when not canonical.
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

inline const char16_t* units(const QString& text) {
    return reinterpret_cast<const char16_t*>(text.constData());
}

// Strict Base64 of a JSON string. Without keep, only the verdict and the
// decoded size are wanted, so canonical text is checked without decoding.
Decoded decodeStrict(const QJsonValue& value, bool keep) {
    const QString text = value.toString();
    Decoded result;
    result.size = decodeCanonicalInto(units(text), text.size(), keep ? &result.bytes : nullptr);
    if (result.size >= 0) {
        result.ok = true;
        return result;
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

// The file's bytes, up to the size limit plus one, and its modification time.
#ifdef Q_OS_UNIX
FileStatus readBytes(const QString& path, QByteArray& bytes, QDateTime* modified) {
    const QByteArray native = QFile::encodeName(path);
    int fd = -1;
    do {
        // Non-blocking, so that a FIFO named like a snapshot cannot hang the
        // host; only regular files are read.
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return FileStatus::OpenFailed;
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return FileStatus::OpenFailed;
    if (info.st_size > maxFileSize)
        return FileStatus::TooLarge;

    // One byte beyond the size shows a file that has grown since; such a file
    // is read on up to the limit plus one.
    qsizetype capacity = qsizetype(info.st_size) + 1;
    bytes = QByteArray(capacity, Qt::Uninitialized);
    qsizetype filled = 0;
    for (;;) {
        const qsizetype wanted = capacity - filled;
        const ssize_t count = ::read(fd, bytes.data() + filled, size_t(wanted));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return FileStatus::OpenFailed;
        }
        filled += count;
        if (count == 0)
            break;
        // A short read that reaches the size seen by fstat is the end of a
        // regular file; asking again would only return nothing.
        if (count < wanted && filled >= info.st_size)
            break;
        if (filled == capacity) {
            if (capacity > maxFileSize)
                break;
            capacity = maxFileSize + 1;
            bytes.resize(capacity);
        }
    }
    bytes.truncate(filled);
    if (filled > maxFileSize)
        return FileStatus::TooLarge;
    if (modified) {
        // In UTC: the same instant, without a time zone look-up per file.
        const qint64 msecs = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
        *modified = QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::UTC);
#else
        *modified = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
#endif
    }
    return FileStatus::Ok;
}
#else
FileStatus readBytes(const QString& path, QByteArray& bytes, QDateTime* modified) {
    QFile file(path);
    // Unbuffered: the content is read in one call, a buffer would only copy it.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return FileStatus::OpenFailed;
    const qint64 size = file.size();
    if (size > maxFileSize)
        return FileStatus::TooLarge;
    bytes = file.read(size + 1);
    if (bytes.size() > size)
        bytes += file.read(maxFileSize + 1 - bytes.size());
    if (bytes.size() > maxFileSize)
        return FileStatus::TooLarge;
    if (modified)
        *modified = file.fileTime(QFileDevice::FileModificationTime);
    return FileStatus::Ok;
}
#endif

QString decodeUtf8(const detail::Span& text) {
    return QString::fromUtf8(text.data, text.size);
}

// The quick way for files in the writer's own shape. False when the file is
// not in that shape or fails a check: Qt's parser then gives the verdict.
bool parseCanonical(const QByteArray& bytes, Snapshot& out, bool nameOnly) {
    detail::CanonicalDocument document;
    if (!detail::scanCanonical(bytes, document))
        return false;
    if (QLatin1String(document.plugin.data, document.plugin.size) != QLatin1String(pluginId))
        return false;
    Snapshot record;
    record.name = decodeUtf8(document.name).trimmed().normalized(QString::NormalizationForm_C);
    if (record.name.isEmpty() || record.name.size() > maxNameLength)
        return false;
    if (decodeCanonicalInto(document.state.data, document.state.size,
                            nameOnly ? nullptr : &record.state) <= 0 ||
        decodeCanonicalInto(document.geometry.data, document.geometry.size,
                            nameOnly ? nullptr : &record.geometry) <= 0)
        return false;
    if (!nameOnly) {
        record.docks.reserve(document.docks.size());
        for (const detail::Span& dock : document.docks)
            record.docks.append(decodeUtf8(dock));
    }
    out = std::move(record);
    return true;
}

FileStatus parseWithQt(const QByteArray& bytes, Snapshot& out, bool nameOnly) {
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
    return FileStatus::Ok;
}

// The whole of read(). With nameOnly, every check still runs, but the layout
// bytes and the dock names are not kept: only out.name is set on Ok.
FileStatus readFile(const QString& path, Snapshot& out, bool nameOnly, QDateTime* modified) {
    QByteArray bytes;
    QDateTime fileTime;
    const FileStatus status = readBytes(path, bytes, modified ? &fileTime : nullptr);
    if (status != FileStatus::Ok)
        return status;
    // parse() leaves out alone unless it succeeds.
    const FileStatus parsed = detail::parse(bytes, out, nameOnly);
    if (parsed == FileStatus::Ok && modified)
        *modified = fileTime;
    return parsed;
}

} // namespace

FileStatus detail::parse(const QByteArray& bytes, Snapshot& out, bool nameOnly, bool qtOnly) {
    if (!qtOnly && parseCanonical(bytes, out, nameOnly))
        return FileStatus::Ok;
    return parseWithQt(bytes, out, nameOnly);
}

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
