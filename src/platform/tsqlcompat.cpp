#include "platform/tsqlcompat.h"

#include <QtCore/QList>

namespace korva::db::tsql {

namespace {

enum class Tok { Space, Comment, String, Bracket, DoubleQuoted, Word, Number, Variable, Punct };

struct Token
{
    Tok kind;
    QString text;
};

QList<Token> tokenize(const QString &sql)
{
    QList<Token> out;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto isWordStart = [](QChar c) { return c.isLetter() || c == u'_' || c == u'#'; };
    auto isWordChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'#' || c == u'$'; };
    while (i < n) {
        const QChar c = sql.at(i);
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && sql.at(i).isSpace())
                ++i;
            out.append({Tok::Space, sql.mid(start, i - start)});
        } else if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            while (i < n && sql.at(i) != u'\n')
                ++i;
            out.append({Tok::Comment, sql.mid(start, i - start)});
        } else if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            out.append({Tok::Comment, sql.mid(start, i - start)});
        } else if (c == u'\'' || ((c == u'N' || c == u'n') && i + 1 < n && sql.at(i + 1) == u'\'')) {
            if (c != u'\'')
                ++i; // N'...' : the prefix is dropped below
            ++i;
            while (i < n) {
                if (sql.at(i) == u'\'') {
                    if (i + 1 < n && sql.at(i + 1) == u'\'') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            QString text = sql.mid(start, i - start);
            if (!text.startsWith(u'\''))
                text.remove(0, 1);
            out.append({Tok::String, text});
        } else if (c == u'[') {
            ++i;
            while (i < n) {
                if (sql.at(i) == u']') {
                    if (i + 1 < n && sql.at(i + 1) == u']') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            out.append({Tok::Bracket, sql.mid(start, i - start)});
        } else if (c == u'"') {
            ++i;
            while (i < n && sql.at(i) != u'"')
                ++i;
            if (i < n)
                ++i;
            out.append({Tok::DoubleQuoted, sql.mid(start, i - start)});
        } else if (c == u'@') {
            ++i;
            while (i < n && (isWordChar(sql.at(i)) || sql.at(i) == u'@'))
                ++i;
            out.append({Tok::Variable, sql.mid(start, i - start)});
        } else if (isWordStart(c)) {
            while (i < n && isWordChar(sql.at(i)))
                ++i;
            out.append({Tok::Word, sql.mid(start, i - start)});
        } else if (c.isDigit()) {
            while (i < n && (sql.at(i).isLetterOrNumber() || sql.at(i) == u'.'))
                ++i;
            out.append({Tok::Number, sql.mid(start, i - start)});
        } else {
            ++i;
            out.append({Tok::Punct, QString(c)});
        }
    }
    return out;
}

bool isName(const Token &t) { return t.kind == Tok::Word || t.kind == Tok::Bracket || t.kind == Tok::DoubleQuoted; }

QString bareName(const Token &t)
{
    if (t.kind == Tok::Bracket)
        return t.text.mid(1, t.text.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
    if (t.kind == Tok::DoubleQuoted)
        return t.text.mid(1, t.text.size() - 2);
    return t.text;
}

bool is(const Token &t, const char16_t *word)
{
    return t.kind == Tok::Word && t.text.compare(QStringView(word), Qt::CaseInsensitive) == 0;
}

// A dotted name starting at token i: parts (empty for "..") and the index after it.
struct Dotted
{
    QList<QString> parts;
    QList<qsizetype> partTokens; // token index of each part, -1 when empty
    qsizetype end = 0;
};

Dotted readDotted(const QList<Token> &toks, qsizetype i)
{
    Dotted d;
    d.parts.append(bareName(toks[i]));
    d.partTokens.append(i);
    qsizetype j = i + 1;
    while (j < toks.size() && toks[j].kind == Tok::Punct && toks[j].text == u".") {
        if (j + 1 < toks.size() && isName(toks[j + 1])) {
            d.parts.append(bareName(toks[j + 1]));
            d.partTokens.append(j + 1);
            j += 2;
        } else if (j + 1 < toks.size() && toks[j + 1].kind == Tok::Punct && toks[j + 1].text == u".") {
            d.parts.append(QString());
            d.partTokens.append(-1);
            j += 1;
        } else {
            break;
        }
    }
    d.end = j;
    return d;
}

// SQLite reads [a]b] but not the doubled "]]" inside brackets: such a name
// goes to it double-quoted instead (the engine reads double quotes as names only).
QString engineName(const Token &t)
{
    if (t.kind != Tok::Bracket || !t.text.contains(QStringLiteral("]]")))
        return t.text;
    QString bare = bareName(t);
    bare.replace(u'"', QStringLiteral("\"\""));
    return u'"' + bare + u'"';
}

} // namespace

QString sysobjectsView(const QString &schema) { return QStringLiteral("sysobjects_") + schema.toLower(); }
QString syscolumnsView(const QString &schema) { return QStringLiteral("syscolumns_") + schema.toLower(); }

QString rewrite(const QString &sql, const Context &context)
{
    const QList<Token> toks = tokenize(sql);
    QString out;
    out.reserve(sql.size() + 32);

    auto schemaFor = [&](const QString &db) -> QString {
        if (db.compare(context.currentDatabase, Qt::CaseInsensitive) == 0)
            return QStringLiteral("main");
        for (const QString &other : context.otherDatabases)
            if (db.compare(other, Qt::CaseInsensitive) == 0)
                return other;
        return db;
    };
    auto catalogue = [&](const QString &object, const QString &schema) -> QString {
        if (!context.catalogueViews)
            return {};
        if (object.compare(u"sysobjects", Qt::CaseInsensitive) == 0)
            return QStringLiteral("temp.") + sysobjectsView(schema);
        if (object.compare(u"syscolumns", Qt::CaseInsensitive) == 0)
            return QStringLiteral("temp.") + syscolumnsView(schema);
        return {};
    };

    // TOP n of a SELECT becomes LIMIT n at the end of that SELECT: before the
    // parenthesis that closes its subquery, or at the end of the statement.
    struct Level
    {
        bool afterSelect = false; // the last word at this level was SELECT (or its DISTINCT/ALL)
        QString limit;
    };
    QList<Level> levels(1);

    qsizetype i = 0;
    while (i < toks.size()) {
        const Token &t = toks[i];
        Level &level = levels.last();
        if (t.kind == Tok::Punct && t.text == u"(") {
            level.afterSelect = false;
            levels.append(Level());
            out += t.text;
            ++i;
            continue;
        }
        if (t.kind == Tok::Punct && t.text == u")") {
            if (levels.size() > 1) {
                if (!levels.last().limit.isEmpty())
                    out += QStringLiteral(" LIMIT ") + levels.last().limit;
                levels.removeLast();
            }
            out += t.text;
            ++i;
            continue;
        }
        if (t.kind == Tok::Word) {
            if (is(t, u"top") && level.afterSelect && level.limit.isEmpty()) {
                qsizetype j = i + 1;
                while (j < toks.size() && toks[j].kind == Tok::Space)
                    ++j;
                bool paren = false;
                if (j < toks.size() && toks[j].kind == Tok::Punct && toks[j].text == u"(") {
                    paren = true;
                    ++j;
                }
                if (j < toks.size() && toks[j].kind == Tok::Number) {
                    level.limit = toks[j].text;
                    ++j;
                    if (paren && j < toks.size() && toks[j].text == u")")
                        ++j;
                    level.afterSelect = false;
                    i = j;
                    continue;
                }
            }
            level.afterSelect = is(t, u"select") || (level.afterSelect && (is(t, u"distinct") || is(t, u"all")));
        } else if (t.kind != Tok::Space && t.kind != Tok::Comment) {
            level.afterSelect = false;
        }
        if (isName(t)) {
            // Preceded by "." means we are inside a name already handled.
            const bool afterDot = !out.isEmpty() && out.endsWith(u'.');
            if (!afterDot) {
                Dotted d = readDotted(toks, i);
                if (d.parts.size() == 4) { // server.db.schema.object
                    d.parts.removeFirst();
                    d.partTokens.removeFirst();
                }
                if (d.parts.size() == 3
                    && (d.parts[1].isEmpty() || d.parts[1].compare(u"dbo", Qt::CaseInsensitive) == 0)) {
                    const QString schema = schemaFor(d.parts[0]);
                    const QString cat = catalogue(d.parts[2], schema);
                    out += cat.isEmpty() ? schema + u'.' + engineName(toks[d.partTokens[2]]) : cat;
                    i = d.end;
                    continue;
                }
                if (d.parts.size() == 2 && d.parts[0].compare(u"dbo", Qt::CaseInsensitive) == 0) {
                    const QString cat = catalogue(d.parts[1], QStringLiteral("main"));
                    out += cat.isEmpty() ? engineName(toks[d.partTokens[1]]) : cat;
                    i = d.end;
                    continue;
                }
                // A bare catalogue name is left alone: the connection has
                // temporary views of those names for its own database.
            }
        }
        out += engineName(t);
        ++i;
    }
    if (!levels.first().limit.isEmpty()) {
        // Append LIMIT before a trailing semicolon, if any.
        qsizetype end = out.size();
        while (end > 0 && (out.at(end - 1).isSpace() || out.at(end - 1) == u';'))
            --end;
        out.insert(end, QStringLiteral(" LIMIT ") + levels.first().limit);
    }
    return out;
}

} // namespace korva::db::tsql
