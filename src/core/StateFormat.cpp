// SPDX-License-Identifier: GPL-2.0-or-later
#include "StateFormat.h"

#include <QDataStream>
#include <QIODevice>
#include <QString>

namespace kestrune {

namespace {

// Markers of Qt's main window state stream.
constexpr int versionMarker = 0xff;
constexpr uchar toolBarStateMarker = 0xfe;
constexpr uchar toolBarStateMarkerEx = 0xfc;
constexpr uchar dockWidgetStateMarker = 0xfd;
constexpr uchar floatingDockWidgetTabMarker = 0xf9;
constexpr uchar sequenceMarker = 0xfc;
constexpr uchar tabMarker = 0xfa;
constexpr uchar widgetMarker = 0xfb;
constexpr int dockAreaCount = 4;
// Far deeper than any real split of docks, far shallower than the stack.
constexpr int maxNesting = 256;

class StateReader {
public:
    explicit StateReader(const QByteArray& bytes) : stream(bytes) {
        stream.setVersion(QDataStream::Qt_5_0);
    }

    bool ok() const { return stream.status() == QDataStream::Ok; }
    bool atEnd() const { return stream.atEnd(); }

    uchar byte() {
        uchar value = 0;
        stream >> value;
        return value;
    }
    qint32 integer() {
        qint32 value = 0;
        stream >> value;
        return value;
    }
    bool skipIntegers(int count) {
        for (int i = 0; i < count; ++i)
            integer();
        return ok();
    }
    bool skipString() {
        QString value;
        stream >> value;
        return ok();
    }
    // A count is believable only if every item can still have its smallest size.
    bool count(qint32 value, int minimumItemSize) const {
        return value >= 0 && qint64(value) * minimumItemSize <= remaining();
    }

private:
    qint64 remaining() const { return stream.device()->bytesAvailable(); }

    QDataStream stream;
};

bool dockAreaInfo(StateReader& in, int depth) {
    if (depth > maxNesting)
        return false;
    const uchar marker = in.byte();
    if (marker != tabMarker && marker != sequenceMarker)
        return false;
    if (marker == tabMarker)
        in.integer(); // current tab
    in.byte();        // orientation
    const qint32 items = in.integer();
    if (!in.ok() || !in.count(items, 1 + 4 * 4))
        return false;
    for (qint32 i = 0; i < items; ++i) {
        const uchar item = in.byte();
        if (item == widgetMarker) {
            if (!in.skipString())
                return false;
            in.byte(); // flags
            if (!in.skipIntegers(4))
                return false;
        } else if (item == sequenceMarker) {
            if (!in.skipIntegers(4) || !dockAreaInfo(in, depth + 1))
                return false;
        } else {
            return false;
        }
    }
    return in.ok();
}

bool dockAreas(StateReader& in) {
    const qint32 areas = in.integer();
    if (!in.ok() || areas < 0 || areas > dockAreaCount)
        return false;
    for (qint32 i = 0; i < areas; ++i) {
        const qint32 area = in.integer();
        if (area < 0 || area >= dockAreaCount || !in.skipIntegers(2) || !dockAreaInfo(in, 0))
            return false;
    }
    return in.skipIntegers(2 + 4); // central widget size, four corners
}

bool toolBars(StateReader& in, uchar marker) {
    const qint32 lines = in.integer();
    if (!in.ok() || !in.count(lines, 2 * 4))
        return false;
    for (qint32 line = 0; line < lines; ++line) {
        const qint32 area = in.integer();
        const qint32 items = in.integer();
        // Name, shown flag, position and size; the current format adds two
        // more integers for the floating geometry.
        const int integers = marker == toolBarStateMarkerEx ? 4 : 2;
        if (!in.ok() || area < 0 || area >= dockAreaCount || !in.count(items, 4 + 1 + integers * 4))
            return false;
        for (qint32 i = 0; i < items; ++i) {
            if (!in.skipString())
                return false;
            in.byte(); // shown
            if (!in.skipIntegers(integers))
                return false;
        }
    }
    return in.ok();
}

} // namespace

bool isRestorableState(const QByteArray& state, int version) {
    StateReader in(state);
    if (in.integer() != versionMarker || in.integer() != version || !in.ok())
        return false;
    while (!in.atEnd()) {
        const uchar marker = in.byte();
        bool valid = false;
        if (marker == toolBarStateMarker || marker == toolBarStateMarkerEx)
            valid = toolBars(in, marker);
        else if (marker == dockWidgetStateMarker)
            valid = dockAreas(in);
        else if (marker == floatingDockWidgetTabMarker)
            valid = in.skipIntegers(4) && dockAreaInfo(in, 0);
        if (!valid || !in.ok())
            return false;
    }
    return true;
}

} // namespace kestrune
