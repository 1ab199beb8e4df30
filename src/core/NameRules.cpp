// SPDX-License-Identifier: GPL-2.0-or-later
#include "Snapshot.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace kestrune {

namespace {

const QString forbiddenCharacters = QStringLiteral("<>:\"/\\|?*");
const QString deviceDigits = QStringLiteral("123456789\u00B9\u00B2\u00B3");
const QLatin1String extension(".json");

// A lone surrogate cannot be encoded in a file name: it would turn into a
// replacement character on disk, so two different names could share a file.
bool isLoneSurrogate(const QString& name, qsizetype i) {
    const QChar unit = name.at(i);
    if (unit.isHighSurrogate())
        return i + 1 >= name.size() || !name.at(i + 1).isLowSurrogate();
    if (unit.isLowSurrogate())
        return i == 0 || !name.at(i - 1).isHighSurrogate();
    return false;
}

// The units a name may not hold, each once, in the order they appear.
QString forbiddenUnits(const QString& name) {
    QString found;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar unit = name.at(i);
        if ((unit.unicode() < 0x20 || forbiddenCharacters.contains(unit) ||
             isLoneSurrogate(name, i)) &&
            !found.contains(unit))
            found += unit;
    }
    return found;
}

// The part before the first full stop when it names a Windows device.
QString deviceBase(const QString& name) {
    const QString base =
        QStringView(name).left(name.indexOf(QLatin1Char('.'))).trimmed().toString();
    const QString upper = base.toUpper();
    static const QStringList reserved = {QStringLiteral("CON"),    QStringLiteral("PRN"),
                                         QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                         QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    const bool numbered =
        upper.size() == 4 &&
        (upper.startsWith(QLatin1String("COM")) || upper.startsWith(QLatin1String("LPT"))) &&
        deviceDigits.contains(upper.at(3));
    return reserved.contains(upper) || numbered ? base : QString();
}

bool isTaken(const QString& dir, const QString& key, const QString& current) {
    if (dir.isEmpty())
        return false; // QDir would read "" as the working directory
    const QString fileKey = key + extension;
    const QString prefix = detail::entryPrefix(dir);
    QDirIterator entries(dir, QDir::Dirs | QDir::Files | QDir::Drives | QDir::Hidden |
                                  QDir::System | QDir::NoDotAndDotDot);
    QString storedName;
    while (entries.hasNext()) {
        entries.next();
        const QString fileName = entries.fileName();
        if (!fileName.endsWith(extension, Qt::CaseInsensitive))
            continue;
        const QString path = prefix + fileName;
        if (path == current)
            continue;
        if (nameKey(fileName) == fileKey)
            return true;
        if (entries.fileInfo().isFile() &&
            detail::readName(path, storedName, nullptr) == FileStatus::Ok &&
            nameKey(storedName) == key)
            return true;
    }
    return false;
}

} // namespace

QString nameKey(const QString& name) {
    return name.toCaseFolded().normalized(QString::NormalizationForm_C);
}

NameProblem nameProblem(const QString& name) {
    if (name.isEmpty() || name.size() > maxNameLength)
        return {NameRule::Length, {}};
    if (name != name.trimmed() || name.endsWith(QLatin1Char('.')))
        return {NameRule::Spaces, {}};
    if (const QString units = forbiddenUnits(name); !units.isEmpty())
        return {NameRule::Characters, units};
    if (const QString base = deviceBase(name); !base.isEmpty())
        return {NameRule::Reserved, base};
    return {};
}

NameStatus checkName(const QString& dir, const QString& name, const QString& current) {
    if (nameProblem(name).rule != NameRule::None)
        return NameStatus::Invalid;
    return isTaken(dir, nameKey(name), current) ? NameStatus::Duplicate : NameStatus::Valid;
}

} // namespace kestrune
