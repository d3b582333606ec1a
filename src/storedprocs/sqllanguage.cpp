#include "storedprocs/sqllanguage.h"

#include "platform/fileio.h"

#include <QtCore/QFileInfo>

namespace korva::storedprocs {

namespace {

// A language definition is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxDefinitionBytes = 4 * 1024 * 1024;

// Block states: 0 outside, kInComment + i inside block comment i, kInString + j inside string delimiter j.
constexpr int kInComment = 1;
constexpr int kInString = 1000;

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$'; }

std::optional<TextStyle> parseStyle(const QString &value)
{
    const QStringList parts = value.split(u' ', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return std::nullopt;
    TextStyle style;
    style.colour = QColor::fromString(parts.first());
    if (!parts.first().startsWith(u'#') || !style.colour.isValid())
        return std::nullopt;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts.at(i).compare(u"bold", Qt::CaseInsensitive) == 0)
            style.bold = true;
        else if (parts.at(i).compare(u"italic", Qt::CaseInsensitive) == 0)
            style.italic = true;
        else
            return std::nullopt;
    }
    return style;
}

} // namespace

LanguageDefinition parseLanguageDefinition(const QString &text, QStringList *problems)
{
    LanguageDefinition def;
    QString section;
    QList<std::pair<QString, QString>> words;
    const QStringList lines = text.split(u'\n');
    auto problem = [&](qsizetype line, const QString &what) {
        if (problems)
            *problems << QStringLiteral("line %1: %2").arg(line + 1).arg(what);
    };
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString line = lines.at(n).trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']') || line.size() < 3) {
                problem(n, QStringLiteral("a section name must stand between [ and ]"));
                section.clear();
                continue;
            }
            section = line.mid(1, line.size() - 2).trimmed().toLower();
            continue;
        }
        if (section.isEmpty()) {
            problem(n, QStringLiteral("outside any section"));
            continue;
        }
        const bool keyed = section == u"language" || section == u"styles" || section == u"comments"
                           || section == u"strings";
        if (!keyed) {
            for (const QString &w : line.split(u' ', Qt::SkipEmptyParts))
                words.append({w, section});
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) {
            problem(n, QStringLiteral("expected Key=Value"));
            continue;
        }
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        if (section == u"language" && key == u"casesensitive") {
            if (value.compare(u"yes", Qt::CaseInsensitive) == 0)
                def.caseSensitive = true;
            else if (value.compare(u"no", Qt::CaseInsensitive) == 0)
                def.caseSensitive = false;
            else
                problem(n, QStringLiteral("CaseSensitive is yes or no"));
        } else if (section == u"styles") {
            if (const std::optional<TextStyle> style = parseStyle(value))
                def.styles.insert(key, *style);
            else
                problem(n, QStringLiteral("a style is #RRGGBB, then bold or italic if wanted"));
        } else if (section == u"comments" && key == u"line" && !value.isEmpty()) {
            def.lineComments << value;
        } else if (section == u"comments" && key == u"block") {
            const QStringList pair = value.split(u' ', Qt::SkipEmptyParts);
            if (pair.size() == 2)
                def.blockComments.append({pair.at(0), pair.at(1)});
            else
                problem(n, QStringLiteral("Block takes an opening and a closing token"));
        } else if (section == u"strings" && key == u"delimiter") {
            if (value.size() == 1)
                def.stringDelimiters << value.at(0);
            else
                problem(n, QStringLiteral("Delimiter is one character"));
        } else {
            problem(n, QStringLiteral("unknown key \"%1\" in [%2]").arg(line.left(eq).trimmed(), section));
        }
    }
    for (const auto &[word, group] : words)
        def.wordGroups.insert(def.caseSensitive ? word : word.toLower(), group);
    return def;
}

std::optional<LanguageDefinition> loadLanguageDefinition(const QString &path, QString *problem)
{
    QByteArray bytes;
    QString error;
    const ReadStatus status = readRegularFile(path, kMaxDefinitionBytes, &bytes, &error);
    if (status != ReadStatus::Ok) {
        if (problem)
            *problem = status == ReadStatus::Missing
                           ? QStringLiteral("%1 was not found").arg(QFileInfo(path).fileName())
                           : QStringLiteral("%1 could not be read: %2").arg(QFileInfo(path).fileName(), error);
        return std::nullopt;
    }
    QStringList problems;
    LanguageDefinition def = parseLanguageDefinition(QString::fromUtf8(bytes), &problems);
    if (problem && !problems.isEmpty())
        *problem = QFileInfo(path).fileName() + u' ' + problems.first();
    return def;
}

SqlHighlighter::SqlHighlighter(const LanguageDefinition &definition, QTextDocument *document)
    : QSyntaxHighlighter(document), m_definition(definition)
{
    for (auto it = m_definition.styles.constBegin(); it != m_definition.styles.constEnd(); ++it) {
        QTextCharFormat f;
        f.setForeground(it->colour);
        if (it->bold)
            f.setFontWeight(QFont::Bold);
        if (it->italic)
            f.setFontItalic(true);
        m_formats.insert(it.key(), f);
    }
}

std::optional<QTextCharFormat> SqlHighlighter::format(const QString &styleName) const
{
    const auto it = m_formats.constFind(styleName);
    return it == m_formats.constEnd() ? std::nullopt : std::optional<QTextCharFormat>(*it);
}

qsizetype SqlHighlighter::endOfString(const QString &text, qsizetype from, QChar delimiter) const
{
    qsizetype i = from;
    while (i < text.size()) {
        if (text.at(i) == delimiter) {
            if (i + 1 < text.size() && text.at(i + 1) == delimiter) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return -1;
}

void SqlHighlighter::highlightBlock(const QString &text)
{
    const std::optional<QTextCharFormat> comment = format(QStringLiteral("comment"));
    const std::optional<QTextCharFormat> string = format(QStringLiteral("string"));
    const std::optional<QTextCharFormat> number = format(QStringLiteral("number"));
    auto paint = [&](qsizetype start, qsizetype end, const std::optional<QTextCharFormat> &f) {
        if (f && end > start)
            setFormat(int(start), int(end - start), *f);
    };

    qsizetype i = 0;
    const int previous = previousBlockState();
    if (previous >= kInString && previous - kInString < m_definition.stringDelimiters.size()) {
        const qsizetype end = endOfString(text, 0, m_definition.stringDelimiters.at(previous - kInString));
        if (end < 0) {
            paint(0, text.size(), string);
            setCurrentBlockState(previous);
            return;
        }
        paint(0, end, string);
        i = end;
    } else if (previous >= kInComment && previous - kInComment < m_definition.blockComments.size()) {
        const QString &close = m_definition.blockComments.at(previous - kInComment).second;
        const qsizetype at = text.indexOf(close);
        if (at < 0) {
            paint(0, text.size(), comment);
            setCurrentBlockState(previous);
            return;
        }
        paint(0, at + close.size(), comment);
        i = at + close.size();
    }

    const Qt::CaseSensitivity cs = m_definition.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    while (i < text.size()) {
        const QStringView rest = QStringView(text).mid(i);
        bool handled = false;
        for (const QString &token : m_definition.lineComments) {
            if (rest.startsWith(token, cs)) {
                paint(i, text.size(), comment);
                setCurrentBlockState(0);
                return;
            }
        }
        for (qsizetype b = 0; b < m_definition.blockComments.size() && !handled; ++b) {
            const auto &[open, close] = m_definition.blockComments.at(b);
            if (!rest.startsWith(open, cs))
                continue;
            const qsizetype at = text.indexOf(close, i + open.size(), cs);
            if (at < 0) {
                paint(i, text.size(), comment);
                setCurrentBlockState(kInComment + int(b));
                return;
            }
            paint(i, at + close.size(), comment);
            i = at + close.size();
            handled = true;
        }
        if (handled)
            continue;
        const QChar c = text.at(i);
        if (const qsizetype d = m_definition.stringDelimiters.indexOf(c); d >= 0) {
            const qsizetype end = endOfString(text, i + 1, c);
            if (end < 0) {
                paint(i, text.size(), string);
                setCurrentBlockState(kInString + int(d));
                return;
            }
            paint(i, end, string);
            i = end;
            continue;
        }
        if (isWordChar(c)) {
            qsizetype end = i;
            while (end < text.size() && isWordChar(text.at(end)))
                ++end;
            const QString word = text.mid(i, end - i);
            const auto group = m_definition.wordGroups.constFind(m_definition.caseSensitive ? word : word.toLower());
            if (group != m_definition.wordGroups.constEnd())
                paint(i, end, format(*group));
            else if (c.isDigit())
                paint(i, end, number);
            i = end;
            continue;
        }
        ++i;
    }
    setCurrentBlockState(0);
}

} // namespace korva::storedprocs
