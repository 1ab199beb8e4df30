#include "TestHost.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <QTest>
#include <QTimer>

namespace testhost {

namespace {

struct ModalState {
    QQueue<Modals::Answer> answers;
    QList<SeenModal> seen;
    int unexpected = 0;
};

ModalState& modalState() {
    static ModalState s;
    return s;
}

QString plain(QString text) {
    return text.remove(QLatin1Char('&'));
}

SeenModal describe(QWidget* w) {
    SeenModal m;
    m.type = QString::fromLatin1(w->metaObject()->className());
    m.title = w->windowTitle();
    if (QWidget* parent = w->parentWidget()) {
        m.parentType = QString::fromLatin1(parent->metaObject()->className());
        m.parentIsDialog = qobject_cast<QDialog*>(parent) != nullptr;
    }
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        m.text = box->text();
        m.icon = int(box->icon());
        m.textFormat = int(box->textFormat());
        for (QAbstractButton* b : box->buttons())
            m.buttons.append(plain(b->text()));
        if (QPushButton* d = box->defaultButton())
            m.defaultButton = plain(d->text());
    } else if (auto* input = qobject_cast<QInputDialog*>(w)) {
        m.text = input->labelText();
        m.value = input->textValue();
        m.buttons = {plain(input->okButtonText()), plain(input->cancelButtonText())};
    } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
        m.text = files->nameFilters().join(QStringLiteral(";;"));
        m.value = files->selectedFiles().value(0);
    }
    return m;
}

// Watches every window that opens modally and answers it from the queue.
class Watcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (!w->isWindow() || w->windowModality() == Qt::NonModal)
            return false;
        ModalState& s = modalState();
        s.seen.append(describe(w));
        Modals::Answer answer;
        if (!s.answers.isEmpty()) {
            answer = s.answers.dequeue();
        } else {
            ++s.unexpected;
            answer = Modals::reject();
        }
        QPointer<QWidget> guard(w);
        // Runs inside the box's own event loop, once exec() has started it.
        QTimer::singleShot(0, w, [guard, answer] {
            if (guard)
                answer(guard);
        });
        return false;
    }
};

} // namespace

Modals& Modals::get() {
    static Modals modals;
    return modals;
}

void Modals::install() {
    static Watcher* watcher = nullptr;
    if (!watcher) {
        watcher = new Watcher(qApp);
        qApp->installEventFilter(watcher);
    }
}

void Modals::expect(Answer answer) {
    modalState().answers.enqueue(std::move(answer));
}

void Modals::clear() {
    modalState().answers.clear();
    modalState().seen.clear();
    modalState().unexpected = 0;
}

const QList<SeenModal>& Modals::seen() const {
    return modalState().seen;
}
int Modals::unexpected() const {
    return modalState().unexpected;
}
int Modals::pending() const {
    return int(modalState().answers.size());
}

Modals::Answer Modals::click(const QString& buttonText) {
    return [buttonText](QWidget* w) {
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
            if (plain(b->text()) == buttonText && b->isVisible()) {
                b->click();
                return;
            }
        }
        qWarning("modal answer: no button '%s'; rejecting", qPrintable(buttonText));
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
    };
}

Modals::Answer Modals::pressDefault() {
    return [](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); };
}

Modals::Answer Modals::reject() {
    return [](QWidget* w) {
        QTest::keyClick(w, Qt::Key_Escape);
        // A box with no escape button ignores Escape; close it all the same.
        QTimer::singleShot(0, w, [w] {
            if (w->isVisible())
                if (auto* d = qobject_cast<QDialog*>(w))
                    d->reject();
        });
    };
}

Modals::Answer Modals::type(const QString& text) {
    return [text](QWidget* w) {
        auto* input = qobject_cast<QInputDialog*>(w);
        if (!input) {
            qWarning("modal answer: expected a QInputDialog, got %s", w->metaObject()->className());
            reject()(w);
            return;
        }
        input->setTextValue(text);
        input->accept();
    };
}

Modals::Answer Modals::choose(const QString& path) {
    return [path](QWidget* w) {
        auto* files = qobject_cast<QFileDialog*>(w);
        if (!files) {
            qWarning("modal answer: expected a QFileDialog, got %s", w->metaObject()->className());
            reject()(w);
            return;
        }
        files->selectFile(path);
        static_cast<QDialog*>(files)->accept(); // QFileDialog::accept validates like a click
    };
}

Modals::Answer Modals::inspect(std::function<void(QWidget*)> f, Answer then) {
    return [f, then](QWidget* w) {
        f(w);
        then(w);
    };
}

} // namespace testhost
