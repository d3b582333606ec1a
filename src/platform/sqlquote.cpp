#include "platform/sqlquote.h"

namespace korva::sql {

QString escapeLiteral(const QString &value)
{
    QString v = value;
    v.replace(u'\'', QStringLiteral("''"));
    return v;
}

QString quoteLiteral(const QString &value) { return u'\'' + escapeLiteral(value) + u'\''; }

QString quoteBracketed(const QString &name)
{
    QString v = name;
    v.replace(u']', QStringLiteral("]]"));
    return u'[' + v + u']';
}

QString columnListQuery(const QString &object, const QString &order)
{
    return QStringLiteral("select name as 'Column Name' from syscolumns where id=object_id(")
           + quoteLiteral(objectIdName(object)) + QStringLiteral(") ") + order;
}

QString objectIdName(const QString &name)
{
    const bool plain = !name.contains(u'.') && !name.contains(u'[') && !name.contains(u']') && !name.contains(u'"')
                       && name.trimmed() == name;
    return plain ? name : quoteBracketed(name);
}

QStringList splitName(const QString &name)
{
    QStringList parts;
    QString current;
    bool quoted = false; // blanks inside brackets or quotes belong to the name
    auto finish = [&] {
        parts << (quoted ? current : current.trimmed());
        current.clear();
        quoted = false;
    };
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = name.at(i);
        if (c == u'[' || c == u'"') {
            const QChar close = c == u'[' ? QChar(u']') : QChar(u'"');
            current = current.trimmed();
            quoted = true;
            for (++i; i < n; ++i) {
                if (name.at(i) == close) {
                    if (i + 1 < n && name.at(i + 1) == close) {
                        current += close;
                        ++i;
                        continue;
                    }
                    break;
                }
                current += name.at(i);
            }
        } else if (c == u'.') {
            finish();
        } else if (!quoted || !c.isSpace()) {
            current += c;
        }
    }
    finish();
    return parts;
}

} // namespace korva::sql
