#include "query/querycolors.h"

#include <QtGui/QTextBlock>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>

#include <string_view>
#include <unordered_set>

namespace korva::query {

namespace {

constexpr char kKeywordList[] =
    "ADD EXCEPT PERCENT ALL EXEC PLAN ALTER EXECUTE PRECISION AND EXISTS PRIMARY ANY EXIT PRINT AS FETCH "
    "PROC ASC FILE PROCEDURE AUTHORIZATION FILLFACTOR PUBLIC BACKUP FOR RAISERROR BEGIN FOREIGN READ "
    "BETWEEN FREETEXT READTEXT BREAK FREETEXTTABLE RECONFIGURE BROWSE FROM REFERENCES BULK FULL "
    "REPLICATION BY FUNCTION RESTORE CASCADE GOTO RESTRICT CASE GRANT RETURN CHECK GROUP REVOKE "
    "CHECKPOINT HAVING RIGHT CLOSE HOLDLOCK ROLLBACK CLUSTERED IDENTITY ROWCOUNT COALESCE "
    "IDENTITY_INSERT ROWGUIDCOL COLLATE IDENTITYCOL RULE COLUMN IF SAVE COMMIT IN SCHEMA COMPUTE INDEX "
    "SELECT CONSTRAINT INNER SESSION_USER CONTAINS INSERT SET CONTAINSTABLE INTERSECT SETUSER CONTINUE "
    "INTO SHUTDOWN CONVERT IS SOME CREATE JOIN STATISTICS CROSS KEY SYSTEM_USER CURRENT KILL TABLE "
    "CURRENT_DATE LEFT TEXTSIZE CURRENT_TIME LIKE THEN CURRENT_TIMESTAMP LINENO TO CURRENT_USER LOAD TOP "
    "CURSOR NATIONAL TRAN DATABASE NOCHECK TRANSACTION NOT DECLARE NULL TSEQUAL DEFAULT NULLIF UNION "
    "DELETE OF UNIQUE DENY OFF UPDATE DESC OFFSETS UPDATETEXT DISK ON USE DISTINCT OPEN USER DISTRIBUTED "
    "OPENDATASOURCE VALUES DOUBLE OPENQUERY VARYING DROP OPENROWSET VIEW DUMMY OPENXML WAITFOR DUMP "
    "OPTION WHEN ELSE OR WHERE END ORDER WHILE ERRLVL OUTER WITH ESCAPE OVER WRITETEXT";

constexpr qsizetype kLongestKeyword = 17;

const std::unordered_set<std::string_view> &keywordSet()
{
    static const std::unordered_set<std::string_view> set = [] {
        std::unordered_set<std::string_view> s;
        const std::string_view all(kKeywordList);
        size_t start = 0;
        while (start < all.size()) {
            size_t end = all.find(' ', start);
            if (end == std::string_view::npos)
                end = all.size();
            s.insert(all.substr(start, end - start));
            start = end + 1;
        }
        return s;
    }();
    return set;
}

// A line break stands for CR LF: both characters, like the blank, "=" and
// ".", end a word. (The box holds a break as one character; its plain text
// keeps positions one for one with the box.)
inline bool isSeparator(char16_t c)
{
    return c == u' ' || c == u'=' || c == u'.' || c == u'\n' || c == u'\r' || c == 0x2029 || c == 0x2028;
}

QueryColour colourOfFormat(const QTextCharFormat &format)
{
    if (!format.hasProperty(QTextFormat::ForegroundBrush))
        return QueryColour::Plain;
    const QBrush brush = format.foreground();
    if (brush.style() == Qt::NoBrush)
        return QueryColour::Plain;
    const QRgb rgb = brush.color().rgb();
    for (QueryColour c : {QueryColour::Plain, QueryColour::Keyword, QueryColour::KnownName, QueryColour::String})
        if (colourOf(c).rgb() == rgb)
            return c;
    return QueryColour(0xff); // a colour of its own, never the wanted one
}

} // namespace

QColor colourOf(QueryColour colour)
{
    switch (colour) {
    case QueryColour::Keyword:
        return QColor(0, 0, 255);
    case QueryColour::KnownName:
        return QColor(0, 255, 0);
    case QueryColour::String:
        return QColor(255, 0, 0);
    case QueryColour::Plain:
        break;
    }
    return QColor(0, 0, 0);
}

const QStringList &keywords()
{
    static const QStringList list = QString::fromLatin1(kKeywordList).split(u' ');
    return list;
}

bool isKeyword(QStringView word)
{
    const qsizetype n = word.size();
    if (n == 0 || n > kLongestKeyword)
        return false;
    char upper[kLongestKeyword];
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = word[i].unicode();
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - 32);
        if (!((c >= u'A' && c <= u'Z') || c == u'_'))
            return false;
        upper[i] = char(c);
    }
    return keywordSet().contains(std::string_view(upper, size_t(n)));
}

void KnownNames::update(const QString &tableNames, const QString &viewNames)
{
    if (!m_names.isEmpty() && tableNames == m_tables && viewNames == m_views)
        return;
    m_tables = tableNames;
    m_views = viewNames;
    m_names.clear();
    m_shortest = std::numeric_limits<qsizetype>::max();
    m_longest = -1;
    for (const QString *list : {&m_tables, &m_views}) {
        for (const QStringView name : QStringView(*list).split(u' ', Qt::SkipEmptyParts)) {
            m_names.insert(name.toString().toCaseFolded());
            m_shortest = std::min(m_shortest, name.size());
            m_longest = std::max(m_longest, name.size());
        }
    }
}

bool KnownNames::contains(QStringView word) const
{
    if (word.size() < m_shortest || word.size() > m_longest)
        return false;
    return m_names.contains(word.toString().toCaseFolded());
}

QueryColouring colourQuery(QStringView text, const KnownNames &names)
{
    QueryColouring result;
    const qsizetype n = text.size();
    result.colours.assign(size_t(n), QueryColour::Plain);
    const char16_t *s = reinterpret_cast<const char16_t *>(text.utf16());

    qsizetype i = 0;
    while (i < n) {
        while (i < n && isSeparator(s[i]))
            ++i;
        const qsizetype start = i;
        while (i < n && !isSeparator(s[i]))
            ++i;
        if (i == start)
            break;
        const QStringView word = text.sliced(start, i - start);
        QueryColour colour = QueryColour::Plain;
        if (isKeyword(word)) {
            colour = QueryColour::Keyword;
            bool upper = true;
            for (QChar c : word)
                upper = upper && !(c >= u'a' && c <= u'z');
            if (!upper)
                result.upperCase.push_back({start, word.toString().toUpper()});
        } else if (names.contains(word)) {
            colour = QueryColour::KnownName;
        }
        if (colour != QueryColour::Plain)
            std::fill(result.colours.begin() + start, result.colours.begin() + i, colour);
    }

    // Quoted strings over everything else: from a quote to the next one, then
    // on from the quote after that.
    qsizetype open = -1;
    for (qsizetype k = 0; k < n; ++k) {
        if (s[k] != u'\'')
            continue;
        if (open < 0) {
            open = k;
        } else {
            std::fill(result.colours.begin() + open, result.colours.begin() + k + 1, QueryColour::String);
            open = -1;
        }
    }
    return result;
}

ApplyStats applyQueryColouring(QTextDocument &document, const QueryColouring &colouring, qsizetype nowFrom,
                               qsizetype nowTo, std::vector<ColourRange> *later)
{
    ApplyStats stats;
    QTextCursor cursor(&document);
    bool editing = false;
    auto edit = [&] {
        if (!editing) {
            cursor.beginEditBlock();
            editing = true;
        }
    };

    // Same length in upper case (the keywords are plain ASCII), so no position moves.
    for (const QueryColouring::UpperCase &u : colouring.upperCase) {
        edit();
        cursor.setPosition(int(u.start));
        cursor.setPosition(int(u.start + u.text.size()), QTextCursor::KeepAnchor);
        cursor.insertText(u.text);
        ++stats.replaced;
    }

    // What the document shows now, character by character. Block breaks show
    // no colour: whatever they carry is fine.
    const qsizetype n = qsizetype(colouring.colours.size());
    constexpr auto kAny = QueryColour(0xfe);
    std::vector<QueryColour> shown(size_t(n), kAny);
    // A document holds few distinct formats: each is looked at once.
    QHash<int, QueryColour> byFormat;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        qsizetype to = block.position();
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const qsizetype from = to;
            to = std::min<qsizetype>(from + fragment.length(), n);
            if (from >= to)
                continue;
            const int index = fragment.charFormatIndex();
            auto known = byFormat.constFind(index);
            if (known == byFormat.constEnd())
                known = byFormat.insert(index, colourOfFormat(fragment.charFormat()));
            std::fill(shown.begin() + from, shown.begin() + to, known.value());
        }
    }

    std::vector<ColourRange> ranges;
    qsizetype i = 0;
    while (i < n) {
        if (shown[i] == kAny || shown[i] == colouring.colours[i]) {
            ++i;
            continue;
        }
        const QueryColour wanted = colouring.colours[i];
        const qsizetype start = i;
        qsizetype end = i + 1;
        // One range over everything of the wanted colour that follows, wrong or not:
        // fewer, longer ranges cost less than many short ones.
        for (qsizetype k = end; k < n && colouring.colours[k] == wanted; ++k)
            if (shown[k] != wanted && shown[k] != kAny)
                end = k + 1;
        ranges.push_back({start, end, wanted});
        i = end;
    }
    for (const ColourRange &r : ranges) {
        if (later && (r.end <= nowFrom || r.start >= nowTo)) {
            later->push_back(r);
            continue;
        }
        edit();
        applyColourRange(cursor, r);
        ++stats.recoloured;
    }
    if (editing)
        cursor.endEditBlock();
    return stats;
}

void applyColourRange(QTextCursor &cursor, const ColourRange &range)
{
    QTextCharFormat format;
    format.setForeground(colourOf(range.colour));
    cursor.setPosition(int(range.start));
    cursor.setPosition(int(range.end), QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(format);
}

void shiftColourRanges(std::vector<ColourRange> &ranges, qsizetype position, qsizetype removed, qsizetype added)
{
    if (removed == added) // colours or a text of the same length: the positions stand
        return;
    std::vector<ColourRange> kept;
    kept.reserve(ranges.size());
    for (ColourRange r : ranges) {
        if (r.end <= position) {
            kept.push_back(r);
        } else if (r.start >= position + removed) {
            r.start += added - removed;
            r.end += added - removed;
            kept.push_back(r);
        }
        // A range the edit went through was worked out for text that is gone.
    }
    ranges = std::move(kept);
}

} // namespace korva::query
