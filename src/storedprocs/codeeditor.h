#pragma once

#include <QtWidgets/QPlainTextEdit>

namespace korva::storedprocs {

// A plain-text editor with the line numbers in a margin at its left.
class CodeEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit CodeEditor(QWidget *parent = nullptr);

    int lineNumberAreaWidth() const;
    void paintLineNumbers(QPaintEvent *event);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateMargin();
    void updateLineNumbers(const QRect &rect, int dy);

    QWidget *m_lineNumbers;
};

} // namespace korva::storedprocs
