#pragma once

#include <QtWidgets/QFrame>

class QLabel;
class QLineEdit;
class QToolButton;

namespace korva {

// The find box over a grid's top right corner: what to find, how many
// cells hold it, and buttons to go to the next and previous one. Enter and
// F3 go to the next match, Shift with either to the previous one, Esc closes.
class GridFindBar : public QFrame
{
    Q_OBJECT

public:
    explicit GridFindBar(QWidget *parent);

    void open();
    QString text() const;
    QLineEdit *textBox() const { return m_text; }
    QString countText() const;
    // How many cells hold the text (the rows may still be coming in).
    void showCount(qsizetype matches, bool rowsStillComing);
    // Which match is current.
    void showPlace(int place, int matches);

Q_SIGNALS:
    void searchFor(const QString &text);
    void next();
    void previous();
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_text;
    QLabel *m_count;
    QToolButton *m_previous;
    QToolButton *m_next;
    QToolButton *m_close;
};

} // namespace korva
