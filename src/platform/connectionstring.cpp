#include "platform/connectionstring.h"

#include <QtCore/QStringList>

namespace korva::db {

namespace {

// Splits "a=b;c={x;y};..." into key/value pairs; braces protect separators.
QList<std::pair<QString, QString>> splitPairs(const QString &text, bool *balanced)
{
    QList<std::pair<QString, QString>> pairs;
    QString key, value;
    bool inValue = false;
    int braces = 0;
    auto flush = [&] {
        if (!key.trimmed().isEmpty())
            pairs.append({key.trimmed().toLower(), value.trimmed()});
        key.clear();
        value.clear();
        inValue = false;
    };
    for (QChar c : text) {
        if (!inValue) {
            if (c == u'=')
                inValue = true;
            else if (c == u';')
                flush();
            else
                key.append(c);
            continue;
        }
        if (c == u'{')
            ++braces;
        else if (c == u'}' && braces > 0)
            --braces;
        if (c == u';' && braces == 0) {
            flush();
            continue;
        }
        value.append(c);
    }
    flush();
    *balanced = braces == 0;
    return pairs;
}

QString unbrace(QString v)
{
    if (v.startsWith(u'{') && v.endsWith(u'}'))
        v = v.mid(1, v.size() - 2);
    return v;
}

} // namespace

ConnectionTarget parseConnectionString(const QString &text)
{
    ConnectionTarget t;
    QString serverPart;
    bool haveServer = false;
    bool balanced = true;
    const auto pairs = splitPairs(text, &balanced);
    // An unclosed brace swallows the rest of the string: nothing in it can be trusted.
    if (!balanced)
        return t;
    for (const auto &[key, value] : pairs) {
        if (key == u"server" || key == u"data source" || key == u"address" || key == u"addr") {
            serverPart = unbrace(value);
            haveServer = true;
        } else if (key == u"database" || key == u"initial catalog") {
            t.database = unbrace(value);
        }
    }
    if (!haveServer)
        return t;
    // "tcp:host,1433" and "host,port" forms: the host, and the port apart.
    if (serverPart.startsWith(QStringLiteral("tcp:"), Qt::CaseInsensitive))
        serverPart = serverPart.mid(4);
    // The port may stand after the instance ("host\inst,1533") or, as the
    // program composes a typed "host,1533" with its instance, before it
    // ("host,1533\inst").
    const qsizetype comma = serverPart.indexOf(u',');
    if (comma >= 0) {
        QString rest = serverPart.mid(comma + 1);
        serverPart = serverPart.left(comma);
        const qsizetype slash = rest.indexOf(u'\\');
        if (slash >= 0) {
            if (!serverPart.contains(u'\\'))
                serverPart += rest.mid(slash);
            rest = rest.left(slash);
        }
        bool ok = false;
        const int port = rest.trimmed().toInt(&ok);
        // A port that is not a number names no server that can be reached.
        if (!ok || port <= 0 || port > 65535)
            return t;
        t.port = port;
    }
    const qsizetype slash = serverPart.indexOf(u'\\');
    if (slash >= 0) {
        t.server = serverPart.left(slash).trimmed();
        t.instance = serverPart.mid(slash + 1).trimmed();
    } else {
        t.server = serverPart.trimmed();
    }
    t.valid = !t.server.isEmpty();
    return t;
}

} // namespace korva::db
