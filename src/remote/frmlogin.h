#pragma once

#include <QtCore/QString>

#include <optional>

class QWidget;

namespace korva {

struct LoginAnswer
{
    QString user;
    QString password;
};

// Asks for a SQL Server login for a server whose integrated login was refused.
std::optional<LoginAnswer> askLogin(const QString &server, QWidget *parent = nullptr);

} // namespace korva
