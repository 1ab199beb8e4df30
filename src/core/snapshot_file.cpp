#include "kestrune.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>

#include <array>
#include <optional>

namespace kestrune {

namespace {

constexpr int formatVersion = 1;

constexpr std::array<qint8, 128> base64Values = [] {
    std::array<qint8, 128> values{};
    for (auto& value : values)
        value = -1;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (qint8 i = 0; i < 64; ++i)
        values[static_cast<unsigned char>(alphabet[i])] = i;
    return values;
}();

// Value of one Base64 unit, -1 outside the standard alphabet.
int base64Value(char16_t unit) {
    return unit < base64Values.size() ? base64Values[unit] : -1;
}

// Qt's strict decoder costs more than parsing the whole document. Canonical
// text (what the writer produces: whole groups, alphabet only, "=" only at
// the end) is decoded here; anything else is left to Qt, whose verdict rules.
std::optional<QByteArray> decodeCanonical(QStringView text) {
    const qsizetype length = text.size();
    if (length % 4 != 0)
        return std::nullopt;
    int padding = 0;
    if (length > 0 && text[length - 1] == u'=')
        padding = text[length - 2] == u'=' ? 2 : 1;

    QByteArray bytes(length / 4 * 3 - padding, Qt::Uninitialized);
    char* out = bytes.data();
    const char16_t* in = text.utf16();
    const qsizetype wholeGroups = padding ? length / 4 - 1 : length / 4;
    for (qsizetype group = 0; group < wholeGroups; ++group, in += 4, out += 3) {
        // One range test per group keeps the table look-ups branch-free.
        if ((in[0] | in[1] | in[2] | in[3]) >= base64Values.size())
            return std::nullopt;
        const int a = base64Values[in[0]], b = base64Values[in[1]], c = base64Values[in[2]],
                  d = base64Values[in[3]];
        if ((a | b | c | d) < 0)
            return std::nullopt;
        const quint32 word = quint32(a) << 18 | quint32(b) << 12 | quint32(c) << 6 | quint32(d);
        out[0] = char(word >> 16);
        out[1] = char(word >> 8);
        out[2] = char(word);
    }
    if (padding) {
        const int a = base64Value(in[0]), b = base64Value(in[1]);
        const int c = padding == 1 ? base64Value(in[2]) : 0;
        if ((a | b | c) < 0)
            return std::nullopt;
        const quint32 word = quint32(a) << 18 | quint32(b) << 12 | quint32(c) << 6;
        out[0] = char(word >> 16);
        if (padding == 1)
            out[1] = char(word >> 8);
    }
    return bytes;
}

QByteArray::FromBase64Result decodeStrict(const QJsonValue& value) {
    const QString text = value.toString();
    if (std::optional<QByteArray> bytes = decodeCanonical(text))
        return {std::move(*bytes), QByteArray::Base64DecodingStatus::Ok};
    return QByteArray::fromBase64Encoding(
        text.toLatin1(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
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

FileStatus read(const QString& path, Snapshot& out) {
    return detail::readWithTime(path, out, nullptr);
}

FileStatus detail::readWithTime(const QString& path, Snapshot& out, QDateTime* modified) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
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

    const QByteArray::FromBase64Result decodedState = decodeStrict(state);
    const QByteArray::FromBase64Result decodedGeometry = decodeStrict(geometry);

    Snapshot record;
    record.name = name.toString().trimmed().normalized(QString::NormalizationForm_C);
    if (decodedState.decodingStatus != QByteArray::Base64DecodingStatus::Ok ||
        decodedGeometry.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
        return FileStatus::Invalid;
    if (record.name.isEmpty() || record.name.size() > maxNameLength ||
        decodedState.decoded.isEmpty() || decodedGeometry.decoded.isEmpty())
        return FileStatus::Invalid;

    const QJsonArray dockArray = docks.toArray();
    record.docks.reserve(dockArray.size());
    for (const QJsonValue& dock : dockArray) {
        if (!dock.isString())
            return FileStatus::Invalid;
        record.docks.append(dock.toString());
    }

    record.state = decodedState.decoded;
    record.geometry = decodedGeometry.decoded;
    out = std::move(record);
    if (modified)
        *modified = fileTime;
    return FileStatus::Ok;
}

} // namespace kestrune
