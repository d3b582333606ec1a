#pragma once

#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtGui/QColor>

#include <limits>
#include <vector>

class QTextCursor;
class QTextDocument;

namespace korva::query {

// How the query box shows a character: keywords blue (and upper case), known
// table and view names green, quoted strings red, everything else black.
enum class QueryColour : quint8 { Plain, Keyword, KnownName, String };

QColor colourOf(QueryColour colour);

// The Transact-SQL words that the query box colours, in the documented order.
const QStringList &keywords();
// A word of the keyword list, compared without regard to case.
bool isKeyword(QStringView word);

// The known table and view names, as the shared state keeps them (texts of
// names each followed by one blank), looked up without regard to case.
class KnownNames
{
public:
    // Rebuilds the lookup only when the texts changed since the last call.
    void update(const QString &tableNames, const QString &viewNames);
    bool contains(QStringView word) const;

private:
    QString m_tables;
    QString m_views;
    QSet<QString> m_names; // case-folded
    qsizetype m_shortest = 0;
    qsizetype m_longest = -1;
};

struct QueryColouring
{
    struct UpperCase
    {
        qsizetype start = 0;
        QString text; // the keyword in upper case, where the text holds it otherwise
    };
    std::vector<QueryColour> colours; // one per character of the text
    std::vector<UpperCase> upperCase;
};

// Works out the colours of a query text. Words are separated by blanks, line
// breaks, "=" and "."; any other punctuation stays with its word. A quoted
// string runs from a quote to the next one; an unmatched quote colours
// nothing. Keywords inside quotes are still upper-cased.
QueryColouring colourQuery(QStringView text, const KnownNames &names);

struct ApplyStats
{
    int replaced = 0;   // keywords put into upper case
    int recoloured = 0; // ranges whose colour changed
};

// Characters start to end (exclusive) that are to show one colour.
struct ColourRange
{
    qsizetype start = 0;
    qsizetype end = 0;
    QueryColour colour = QueryColour::Plain;
};

// Brings a document to the colouring worked out from its plain text: the
// upper-casing first, then the colour of every range that shows another one.
// What already shows right is left alone, so a document that is up to date
// is not touched at all (and gets no undo step). All changes are one edit
// block: one undo step, one layout.
//
// With later given, only the ranges that reach into nowFrom..nowTo (the lines
// on the screen) are coloured at once; the others are handed back, to be
// coloured with applyColourRange while the window is idle.
ApplyStats applyQueryColouring(QTextDocument &document, const QueryColouring &colouring, qsizetype nowFrom = 0,
                               qsizetype nowTo = std::numeric_limits<qsizetype>::max(),
                               std::vector<ColourRange> *later = nullptr);

void applyColourRange(QTextCursor &cursor, const ColourRange &range);

// Moves ranges still to be coloured along with an edit of the text (as the
// document reports it); a range that the edit went through is dropped.
void shiftColourRanges(std::vector<ColourRange> &ranges, qsizetype position, qsizetype removed, qsizetype added);

} // namespace korva::query
