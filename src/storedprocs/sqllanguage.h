#pragma once

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QStringList>
#include <QtGui/QColor>
#include <QtGui/QSyntaxHighlighter>

#include <optional>

namespace korva::storedprocs {

// The source view's SQL colouring comes from the language definition file
// "SQL.lng" beside the program. Its format is this program's own; a text
// file read line by line:
//
//   ; a comment line             blank lines are ignored as well
//   [Section]                    starts a section (names compared without regard to case)
//
//   [Language]   CaseSensitive=yes|no      whether words must match in case (default no)
//   [Styles]     Name=#RRGGBB [bold] [italic]
//                the look of each group of words, and of the reserved names
//                Comment, String and Number (a word that starts with a digit)
//   [Comments]   Line=TOKEN                a comment from TOKEN to the end of the line
//                Block=OPEN CLOSE          a comment from OPEN to CLOSE, over any number of lines
//   [Strings]    Delimiter=C               text from C to the next C; CC inside stands for one C
//   any other    a group of words, named by the section, separated by blanks,
//   section      any number on a line, coloured with the style of the same name
//
// Keys may repeat (several Line, Block or Delimiter entries). Words are made
// of letters, digits and _ @ # $. A line that says nothing this format knows
// is reported and skipped; the rest of the file still counts.

struct TextStyle
{
    QColor colour;
    bool bold = false;
    bool italic = false;
};

struct LanguageDefinition
{
    bool caseSensitive = false;
    QHash<QString, QString> wordGroups; // word (lower case unless case-sensitive) -> group name, lower case
    QHash<QString, TextStyle> styles;   // group or reserved name, lower case -> style
    QStringList lineComments;
    QList<std::pair<QString, QString>> blockComments;
    QList<QChar> stringDelimiters;
};

// Parses the text of a language definition; each line it cannot use is
// described in problems ("line N: ...").
LanguageDefinition parseLanguageDefinition(const QString &text, QStringList *problems = nullptr);

// Reads and parses a language definition file; nothing, and the reason in
// *problem, when the file is missing or cannot be read.
std::optional<LanguageDefinition> loadLanguageDefinition(const QString &path, QString *problem = nullptr);

// Colours a document by a language definition.
class SqlHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    SqlHighlighter(const LanguageDefinition &definition, QTextDocument *document);

protected:
    void highlightBlock(const QString &text) override;

private:
    std::optional<QTextCharFormat> format(const QString &styleName) const;
    // Colours a string from its opening delimiter; answers where it ends, or -1 when it runs on.
    qsizetype endOfString(const QString &text, qsizetype from, QChar delimiter) const;

    LanguageDefinition m_definition;
    QHash<QString, QTextCharFormat> m_formats;
};

} // namespace korva::storedprocs
