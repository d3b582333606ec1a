#include "widgets/descriptioncolors.h"

#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtWidgets/QTextEdit>

namespace korva {

QList<ColorSpan> descriptionColorSpans(const QString &text, const QString &keywords)
{
    QList<ColorSpan> spans;
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos <= n) {
        // A word ends at a blank, or at a CR or LF (each of which counts as a blank).
        qsizetype end = pos;
        while (end < n) {
            const QChar c = text.at(end);
            if (c == u' ' || c == u'\r' || c == u'\n')
                break;
            ++end;
        }
        const qsizetype len = end - pos;
        if (len > 0) {
            const QString probe = text.mid(pos, len) + u' ';
            if (keywords.contains(probe, Qt::CaseInsensitive))
                spans.append({int(pos), int(len)});
        }
        pos = end + 1;
    }
    return spans;
}

namespace {

struct DescriptionFormats
{
    QTextCharFormat text, label;
};

// Black text and blue labels on a light box; on a dark one the palette's
// text colour and a light blue, so that both stay readable.
DescriptionFormats descriptionFormats(const QTextEdit &box)
{
    const QPalette &p = box.palette();
    const bool dark = p.color(QPalette::Base).lightness() < 128;
    DescriptionFormats f;
    f.text.setForeground(dark ? p.color(QPalette::Text) : QColor(0, 0, 0));
    f.label.setForeground(dark ? QColor(0x80, 0xb0, 0xff) : QColor(0, 0, 255));
    return f;
}

} // namespace

void SetDescriptionColors(QTextEdit *box, const QString &keywords)
{
    // The document holds "\r\n" as one paragraph break; colour the box's own
    // plain text, whose positions match the document's.
    box->setUpdatesEnabled(false);
    QTextCursor keep = box->textCursor();
    const int selectionStart = keep.selectionStart();
    const QString plain = box->toPlainText();
    const QList<ColorSpan> spans = descriptionColorSpans(plain, keywords);

    const DescriptionFormats formats = descriptionFormats(*box);
    const QTextCharFormat &black = formats.text;
    const QTextCharFormat &blue = formats.label;

    QTextCursor c(box->document());
    c.beginEditBlock();
    c.select(QTextCursor::Document);
    c.setCharFormat(black);
    for (const ColorSpan &s : spans) {
        c.setPosition(s.start);
        c.setPosition(s.start + s.length, QTextCursor::KeepAnchor);
        c.setCharFormat(blue);
    }
    c.endEditBlock();

    QTextCursor restore(box->document());
    restore.setPosition(std::min(selectionStart, int(plain.size())));
    box->setTextCursor(restore);
    box->setCurrentCharFormat(black);
    box->setUpdatesEnabled(true);
    box->viewport()->update();
}

void setColouredDescription(QTextEdit *box, const QString &text, const QString &keywords)
{
    // The document keeps one paragraph break where the text has CR LF.
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QList<ColorSpan> spans = descriptionColorSpans(plain, keywords);
    const DescriptionFormats formats = descriptionFormats(*box);
    const QTextCharFormat &black = formats.text;
    const QTextCharFormat &blue = formats.label;
    box->setUpdatesEnabled(false);
    box->clear();
    QTextCursor c(box->document());
    c.beginEditBlock();
    int at = 0;
    for (const ColorSpan &s : spans) {
        if (s.start > at)
            c.insertText(plain.mid(at, s.start - at), black);
        c.insertText(plain.mid(s.start, s.length), blue);
        at = s.start + s.length;
    }
    if (at < plain.size())
        c.insertText(plain.mid(at), black);
    c.endEditBlock();
    QTextCursor start(box->document());
    box->setTextCursor(start);
    box->setCurrentCharFormat(black);
    box->setUpdatesEnabled(true);
}

} // namespace korva
