#include "password_prompt.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QThread>

#include "dialog_parent.h"

namespace velmor {
namespace {

std::optional<std::pair<QString, QString>> Ask(const QString& prompt, const QString& user) {
    QDialog dialog(DialogParent());
    dialog.setWindowTitle(QStringLiteral("Velmor1.0"));
    auto* layout = new QFormLayout(&dialog);
    layout->addRow(new QLabel(prompt));
    auto* name = new QLineEdit(user);
    name->setObjectName("user");
    auto* password = new QLineEdit;
    password->setObjectName("password");
    password->setEchoMode(QLineEdit::Password);
    layout->addRow(QStringLiteral("用户名"), name);
    layout->addRow(QStringLiteral("密码"), password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    password->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return std::pair(name->text(), password->text());
}

}  // namespace

std::optional<std::pair<QString, QString>> AskPrintPassword(const QString& prompt,
                                                            const QString& user) {
    QCoreApplication* application = QCoreApplication::instance();
    if (!qobject_cast<QApplication*>(application)) return std::nullopt;
    if (QThread::currentThread() == application->thread()) return Ask(prompt, user);
    std::optional<std::pair<QString, QString>> answer;
    QMetaObject::invokeMethod(
        application, [&] { answer = Ask(prompt, user); }, Qt::BlockingQueuedConnection);
    return answer;
}

}  // namespace velmor
