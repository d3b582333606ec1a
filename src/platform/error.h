#pragma once

#include <QtCore/QString>
#include <QtCore/QStringView>

namespace korva {

// A failure as a routine reports it to its caller: a number and a description.
// Routines never throw across each other; they fill one of these instead.
struct Error
{
    long number = 0;
    QString description;

    bool isSet() const { return number != 0 || !description.isEmpty(); }
    explicit operator bool() const { return isSet(); }
};

// How a routine's failure message begins: "(error):N (" or "Error N (".
enum class ErrorStyle { Parenthesised, Word };

// The message a routine shows for a failure it handles itself:
// "(error):" + number + " (" + description + ") in procedure " + routine +
// " of Form " + window (" of Module " + module for a module's routine).
QString procedureError(const Error &error, QStringView routine, QStringView owner,
                       ErrorStyle style = ErrorStyle::Parenthesised, QStringView ownerKind = u"Form");

} // namespace korva
