#pragma once

#include <QtCore/QList>
#include <QtCore/QStringList>

namespace korva::demo::names {

// Word lists for demo content; all invented or common words.
const QStringList &firstNames();
const QStringList &lastNames();
const QStringList &cities();
const QStringList &departments();
const QStringList &companies();
const QStringList &subjects();

// Names spelt with their own letters: the staff of a company with offices
// abroad, so the browser meets text beyond ASCII.
const QStringList &accentedFirstNames();
const QStringList &accentedLastNames();

struct NativeName
{
    QString text;
    QString latin; // romanised, for aliases and initials
};
struct EastAsianNames
{
    QList<NativeName> family;
    QList<NativeName> given;
};
// Chinese, Japanese and Korean names, each from its own lists.
const QList<EastAsianNames> &eastAsianNames();

// Letters and digits of the text in ASCII, the accents dropped ("Ø" gives
// "O", "ß" gives "ss"): aliases and mail addresses are made from it.
QString asciiFold(const QString &text);

} // namespace korva::demo::names
