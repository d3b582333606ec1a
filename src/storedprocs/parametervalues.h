#pragma once

#include "platform/session.h"

#include <QtCore/QLocale>
#include <QtCore/QString>

#include <optional>

namespace korva::storedprocs {

// The client's parameter type code for a type name (compared in upper case):
// BIT 16, NVARCHAR/VARCHAR/TEXT 200, INT 3, UNIQUEIDENTIFIER 72, DATETIME 7,
// BIGINT 20, SMALLINT 2, TINYINT 16, VARBINARY 204. Any other name gives 0
// and, in unknownMessage, the message to show.
int lGetADTypeFromName(const QString &typeName, QString *unknownMessage = nullptr);

// The two parameters the window fills in itself and never lets the user edit.
bool isAuditParameter(const QString &name);
// "KORVA" for @AuditComponent, domain + "\" + user for @AuditAlias, else nothing.
std::optional<QString> auditValue(const QString &name, const QString &domain, const QString &userName);

// The leading integer of a text ("64", "-1", "12abc" gives 12); 0 when there is none.
int leadingInteger(const QString &text);

// Whether the text reads as a number in the locale (decimal or exponent
// notation, blanks around it allowed); its value in *value.
bool readNumber(const QString &text, const QLocale &locale, double *value = nullptr);
// Whether the text is a date, a time, or both, in the locale's short or long
// forms or in ISO 8601 form.
bool isDateOrTime(const QString &text, const QLocale &locale);

// The check made when the user has typed a value: nothing when the value
// passes (an empty value is not checked), else the message to show. Lengths
// count characters; a negative length means no limit, and text parameters
// have none (the length reported for them is the size of a pointer).
std::optional<QString> checkParameterValue(const QString &type, const QString &length, const QString &value,
                                           const QLocale &locale = QLocale());

// Whether a procedure's name says it changes data: one of its words
// (split at "_", digits and where a capital letter starts a word) is
// Insert, Modify, Delete, Create, Update or Set, in any case. A word all in
// one case may hide several: there, any of them inside it counts.
bool nameSaysItChangesData(const QString &procedureName);

// The question asked before such a procedure runs.
QString changeQuestion(const QString &procedureName, const QString &server, const QString &database);

} // namespace korva::storedprocs
