#pragma once

#include "query/querycolors.h"

#include <QtGui/QTextBlock>
#include <QtGui/QTextDocument>

namespace korva::test {

// A document's colours as one letter per character: K keyword, N known
// name, S quoted string, "." black, "?" any other colour; a line break
// shows as itself.
inline QString colourMap(const QTextDocument &doc)
{
    using query::colourOf;
    using query::QueryColour;
    const QString text = doc.toPlainText();
    QString map(text.size(), u'?');
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat fmt = f.charFormat();
            const QColor c = fmt.hasProperty(QTextFormat::ForegroundBrush) ? fmt.foreground().color()
                                                                           : QColor(Qt::black);
            const int known = QList<QColor>{colourOf(QueryColour::Plain), colourOf(QueryColour::Keyword),
                                            colourOf(QueryColour::KnownName), colourOf(QueryColour::String)}
                                  .indexOf(c);
            const QChar letter = QStringLiteral("?.KNS").at(known + 1);
            for (int i = f.position(); i < f.position() + f.length() && i < map.size(); ++i)
                map[i] = letter;
        }
    }
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i) == u'\n')
            map[i] = u'\n';
    return map;
}

} // namespace korva::test
