#pragma once

#include <QtWidgets/QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace korva {

class Messenger;

// "Search across tables": the search text and whether partial matches count.
class frmCrossTableSearchOptions : public QDialog
{
    Q_OBJECT

public:
    frmCrossTableSearchOptions(Messenger &messenger, QWidget *parent = nullptr);

    QString searchText() const { return m_searchText; }
    bool exactMatch() const { return m_exactMatch; }
    // "Find all" was chosen: every match is to be listed at once.
    bool findAll() const { return m_findAll; }

    void cmdSearch_Click();
    void cmdFindAll_Click();
    QLineEdit *searchBox() const { return m_txtSearchString; }
    QCheckBox *partialBox() const { return m_chkPartialMatches; }

protected:
    void done(int result) override;

private:
    Messenger &m_msg;
    QLineEdit *m_txtSearchString;
    QCheckBox *m_chkPartialMatches;
    void searchWith(bool findAll);

    QPushButton *m_cmdSearch;
    QPushButton *m_cmdFindAll;
    QString m_searchText;
    bool m_exactMatch = true;
    bool m_findAll = false;
};

// "Find next match?": modeless, above the other windows.
class frmFindNextCrossTableMatch : public QDialog
{
    Q_OBJECT

public:
    explicit frmFindNextCrossTableMatch(QWidget *parent = nullptr);
    void placeOver(const QWidget *window); // centred as the main window's half sizes say
    void reject() override;                // No, Esc and closing the box stop the search

protected:
    void showEvent(QShowEvent *event) override;

Q_SIGNALS:
    void findNext();
    void stop();
};

} // namespace korva
