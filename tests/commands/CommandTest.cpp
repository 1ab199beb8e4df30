#include "CommandTest.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

using testhost::Host;
using testhost::Modals;

namespace cmdtest {

QString textOf(const char* key) {
    static QMap<QString, QString> table;
    if (table.isEmpty()) {
        QFile file(QStringLiteral(KESTRUNE_DATA_DIR "/locale/en-US.ini"));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("no locale file");
        for (const QByteArray& raw : file.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq > 0 && line.endsWith(QLatin1Char('"')))
                table.insert(line.left(eq), line.mid(eq + 2, line.size() - eq - 3));
        }
    }
    return table.value(QString::fromLatin1(key), QString::fromLatin1(key));
}

QString pathOf(const QString& fileName) {
    return QDir(Host::get().snapshotsDir()).absoluteFilePath(fileName);
}

kestrune::Snapshot sample(const QString& name) {
    kestrune::Snapshot s;
    s.name = name;
    s.state = QByteArray("seeded state of ") + name.toUtf8();
    s.geometry = Host::get().window()->saveGeometry();
    s.docks = testhost::dockNames();
    return s;
}

bool seed(const QString& fileName, const kestrune::Snapshot& snapshot) {
    return QDir().mkpath(Host::get().snapshotsDir()) &&
           kestrune::write(pathOf(fileName), snapshot) == kestrune::FileStatus::Ok;
}

QByteArray bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

QMap<QString, QByteArray> folder() {
    QMap<QString, QByteArray> out;
    const QDir dir(Host::get().snapshotsDir());
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        out.insert(info.fileName(), bytes(info.absoluteFilePath()));
    return out;
}

QStringList unreadable() {
    QStringList out;
    for (const QString& name : folder().keys()) {
        kestrune::Snapshot s;
        if (kestrune::read(pathOf(name), s) != kestrune::FileStatus::Ok)
            out.append(name);
    }
    return out;
}

QJsonObject settingsFile() {
    return QJsonDocument::fromJson(bytes(Host::get().settingsPath())).object();
}

QString lastInSettings() {
    return settingsFile().value(QStringLiteral("last")).toString();
}

QDialog* dialog() {
    for (QDialog* d : Host::get().window()->findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
        if (QByteArray(d->metaObject()->className()) == "QDialog" && d->isVisible())
            return d;
    return nullptr;
}

QDialog* openDialog() {
    for (QAction* action : Host::get().toolsActions())
        if (action->text() == textOf("Title"))
            action->trigger();
    Host::wait(0);
    return dialog();
}

QListWidget* list() {
    QDialog* d = dialog();
    return d ? d->findChild<QListWidget*>() : nullptr;
}

QPushButton* button(const char* key) {
    QDialog* d = dialog();
    if (!d)
        return nullptr;
    for (QPushButton* b : d->findChildren<QPushButton*>())
        if (b->text() == textOf(key))
            return b;
    return nullptr;
}

void click(const char* key) {
    QPushButton* b = button(key);
    if (!b || !b->isEnabled())
        qWarning("button %s missing or disabled", key);
    else
        b->click();
    Host::wait(0);
}

bool select(const QString& path) {
    QListWidget* l = list();
    for (int row = 0; l && row < l->count(); ++row) {
        if (l->item(row)->data(Qt::UserRole).toString() == path) {
            l->setCurrentRow(row);
            return true;
        }
    }
    return false;
}

QString currentPath() {
    QListWidget* l = list();
    return l && l->currentItem() ? l->currentItem()->data(Qt::UserRole).toString() : QString();
}

QStringList rowNames() {
    QStringList out;
    QListWidget* l = list();
    for (int row = 0; l && row < l->count(); ++row)
        out.append(l->item(row)->text());
    return out;
}

void keyOnList(int key) {
    QListWidget* l = list();
    QDialog* d = dialog();
    if (!l || !d)
        return;
    d->activateWindow();
    if (!QTest::qWaitForWindowActive(d, 2000))
        qWarning("the dialog did not become active; the list shortcut may not fire");
    l->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(l, Qt::Key(key));
    Host::wait(0);
}

QString hotkeyName(const QString& fileName) {
    return QStringLiteral("obs-kestrune.load.") + fileName;
}

QStringList boundKeys(obs_hotkey_id id) {
    QStringList keys;
    obs_data_array_t* array = obs_hotkey_save(id);
    for (size_t i = 0; array && i < obs_data_array_count(array); ++i) {
        obs_data_t* item = obs_data_array_item(array, i);
        keys.append(QString::fromUtf8(obs_data_get_string(item, "key")));
        obs_data_release(item);
    }
    obs_data_array_release(array);
    return keys;
}

testhost::Modals::Answer acknowledge() {
    return [](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            // A box with one button has no explicit default; Return picks it.
            if (box->defaultButton())
                box->defaultButton()->click();
            else
                QTest::keyClick(box, Qt::Key_Return);
            return;
        }
        qWarning("expected a message box, got %s", w->metaObject()->className());
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
    };
}

QString message(const char* key, const QString& detail) {
    return detail.isEmpty() ? textOf(key) : textOf(key) + QStringLiteral("\n\n") + detail;
}

QStringList seen() {
    QStringList out;
    for (const testhost::SeenModal& m : Modals::get().seen())
        out.append(m.type + QStringLiteral(": ") + m.text);
    return out;
}

namespace {

bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

} // namespace

FrozenFolder::FrozenFolder(const QString& folderPath) : path(folderPath) {
    frozen = setImmutable(path, true);
}

FrozenFolder::~FrozenFolder() {
    thaw();
}

void FrozenFolder::thaw() {
    if (frozen && setImmutable(path, false))
        frozen = false;
}

FileSizeLimit::FileSizeLimit() {
    std::signal(SIGXFSZ, SIG_IGN); // a refused write must fail, not kill the test
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    previous = limit.rlim_cur;
    limit.rlim_cur = 16;
    active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit() {
    lift();
}

void FileSizeLimit::lift() {
    if (!active)
        return;
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = previous;
    active = setrlimit(RLIMIT_FSIZE, &limit) != 0;
}

} // namespace cmdtest
