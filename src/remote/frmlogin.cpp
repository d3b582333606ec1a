#include "remote/frmlogin.h"

#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

namespace korva {

std::optional<LoginAnswer> askLogin(const QString &server, QWidget *parent)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmLogin"));
    dialog.setWindowTitle(QStringLiteral("SQL Server login"));
    auto *form = new QFormLayout(&dialog);
    form->addRow(new QLabel(QStringLiteral("The server %1 did not accept your own login. Give a SQL Server login for it:")
                                .arg(server)));
    auto *user = new QLineEdit(&dialog);
    user->setObjectName(QStringLiteral("txtUser"));
    auto *password = new QLineEdit(&dialog);
    password->setObjectName(QStringLiteral("txtPassword"));
    password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&User name:"), user);
    form->addRow(QStringLiteral("&Password:"), password);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted || user->text().isEmpty())
        return std::nullopt;
    return LoginAnswer{user->text(), password->text()};
}

} // namespace korva
