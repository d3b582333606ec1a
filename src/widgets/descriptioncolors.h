#pragma once

#include <QtCore/QList>
#include <QtCore/QString>

class QTextEdit;

namespace korva {

struct ColorSpan
{
    int start;
    int length;
    bool operator==(const ColorSpan &o) const { return start == o.start && length == o.length; }
};

// The label words of a description: the text is split at single blanks (line
// ends count as two blanks) and every word that, followed by one blank, occurs
// in the keyword list (without regard to case) is a label. Linear in the text.
QList<ColorSpan> descriptionColorSpans(const QString &text, const QString &keywords);

// Colours the label words of a rich-text box blue and the rest black, with
// repainting off meanwhile. The caret stays where it was.
void SetDescriptionColors(QTextEdit *box, const QString &keywords);

// Writes a description and colours it as SetDescriptionColors would, in one
// pass over the document (no second layout for the colours).
void setColouredDescription(QTextEdit *box, const QString &text, const QString &keywords);

} // namespace korva
