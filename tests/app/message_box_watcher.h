// Answers the modal message boxes a test provokes and remembers what each one showed.
//
// While it lives, it looks for an open modal QMessageBox whenever the event loop runs (the
// box's own loop included), writes down its caption, text, icon and buttons and whether the
// main windows were blocked and the mouse was free, then presses the box's OK button.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    int buttonCount = 0;
    Qt::TextFormat textFormat = Qt::AutoText;
    bool applicationModal = false;
    bool mouseGrabbed = false;
};

class MessageBoxWatcher {
  public:
    MessageBoxWatcher() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(5);
    }

    const QList<ShownBox>& Boxes() const { return boxes_; }

  private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || box == last_) return;
        last_ = box;
        ShownBox shown;
        shown.title = box->windowTitle();
        shown.text = box->text();
        shown.icon = box->icon();
        shown.buttons = box->standardButtons();
        shown.buttonCount = static_cast<int>(box->buttons().size());
        shown.textFormat = box->textFormat();
        shown.applicationModal = box->windowModality() == Qt::ApplicationModal;
        shown.mouseGrabbed = QWidget::mouseGrabber() != nullptr;
        boxes_.append(shown);
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }

    QTimer timer_;
    QPointer<QMessageBox> last_;
    QList<ShownBox> boxes_;
};
