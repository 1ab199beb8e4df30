// The harness itself: if these fail, every plug-in test is suspect.
#include "TestHost.h"

#include <QInputDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QtTest>

#include <util/base.h>

using testhost::Host;
using testhost::Modals;

namespace {
int presses = 0;
int releases = 0;
void countPress(void*, obs_hotkey_id, obs_hotkey_t*, bool pressed) {
    (pressed ? presses : releases)++;
}
} // namespace

class TestHostSelf : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Host::get().start(); }
    void cleanupTestCase() { Host::get().stop(); }

    void windowHasNamedDocksAndToolsMenu() {
        QVERIFY(Host::get().window());
        QVERIFY(Host::get().toolsMenu());
        for (const QString& name : testhost::dockNames())
            QVERIFY2(Host::get().dock(name), qPrintable(name));
    }

    void logLinesAreCaptured() {
        Host::get().clearLog();
        blog(LOG_WARNING, "harness %d", 42);
        QCOMPARE(Host::get().logMatching(QStringLiteral("harness")),
                 QStringList{QStringLiteral("harness 42")});
    }

    void injectedPressesReachTheCallbackOnTheUiThread() {
        presses = releases = 0;
        obs_hotkey_id id =
            obs_hotkey_register_frontend("harness.key", "Harness", countPress, nullptr);
        QVERIFY(id != OBS_INVALID_HOTKEY_ID);
        QCOMPARE(Host::get().hotkey(QStringLiteral("harness.key")), id);
        Host::get().bind(id, {QStringLiteral("OBS_KEY_F7")});
        Host::get().press(OBS_KEY_F7);
        QCOMPARE(presses, 1);
        QCOMPARE(releases, 1);
        Host::get().press(OBS_KEY_F8);
        QCOMPARE(presses, 1);
        obs_hotkey_unregister(id);
    }

    void modalBoxesAreAnsweredInOrder() {
        Modals::get().clear();
        Modals::get().expect(Modals::click(QStringLiteral("No")));
        Modals::get().expect(Modals::type(QStringLiteral("typed")));
        QPointer<QMessageBox> box =
            new QMessageBox(QMessageBox::Question, QStringLiteral("T"), QStringLiteral("Q?"),
                            QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->exec(), int(QMessageBox::No));
        delete box;
        QPointer<QInputDialog> input = new QInputDialog;
        QCOMPARE(input->exec(), int(QDialog::Accepted));
        QCOMPARE(input->textValue(), QStringLiteral("typed"));
        delete input;
        QCOMPARE(Modals::get().seen().size(), 2);
        QCOMPARE(Modals::get().seen()[0].text, QStringLiteral("Q?"));
        QCOMPARE(Modals::get().unexpected(), 0);
    }

    void anUnexpectedBoxIsRejectedNotLeftOpen() {
        Modals::get().clear();
        QMessageBox box(QMessageBox::Warning, QStringLiteral("T"), QStringLiteral("oops"),
                        QMessageBox::Ok);
        box.exec();
        QCOMPARE(Modals::get().unexpected(), 1);
    }
};

QTEST_MAIN(TestHostSelf)
#include "test_testhost.moc"
