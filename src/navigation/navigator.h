#pragma once

#include "navigation/navigationcontroller.h"
#include "platform/backgroundtask.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QAction;
class QTimer;
class QWidget;

namespace korva {

class Grid;
class WindowContext;
class cTooltip;
class frmFindNextCrossTableMatch;

namespace navigation {

class frmFindAllMatches;

// ObjectID navigation in the browsing window: the hover over a reference and
// its description, the jump to the object and Back, Find Object ID and the
// search across tables. It works on the window's table list and row grid; what
// else it needs of the window is asked through Window.
class Navigator : public QObject
{
    Q_OBJECT

public:
    class Window
    {
    public:
        virtual ~Window() = default;
        virtual bool listsTables() const = 0;
        // Lists tables (or views) again; the database's table list is read anew.
        virtual void setListsTables(bool tables) = 0;
        // Calls then once every row of the current table is in the grid.
        virtual void whenRowsComplete(std::function<void()> then) = 0;
        // Opens a listed table as the row grid would show it; called on any thread.
        virtual TableScanSource::Opener searchOpener() = 0;
        virtual void showStatus(const QString &text, int timeoutMs = 0) = 0;
    };

    struct Controls
    {
        Grid *tables = nullptr; // the table list
        Grid *rows = nullptr;   // the row grid
        QAbstractButton *back = nullptr;
        cTooltip *tip = nullptr;
        QAction *showInTip = nullptr; // "Show ObjectID data in tooltip text"
    };

    Navigator(WindowContext &context, Window &window, const Controls &controls, QWidget *parent);
    ~Navigator() override;

    const NavigationController &state() const { return m_nav; }

    // Hover. The description of the cell under the mouse is read once per
    // object on a database thread; the tip shows it when it comes.
    void mouseMoved();
    // The right button went down: the cell under the mouse is described
    // again, and then is called once its description is known (or after a
    // moment, when the server is slow to say).
    void describeForMenu(std::function<void()> then);
    QString referenceDescription() const { return m_referenceDescription; }
    bool isDescribing() const { return m_hoverTask.isPending(); }

    // Another table is shown: no description of its cells stays.
    void forgetTable();
    // Another database: no history, no description.
    void forgetAll();
    // The objects may have changed: descriptions are read again.
    void forgetDescriptions() { m_nav.descriptions().clear(); }

    // Shows the table and selects the row of the ObjectID, recording where
    // the user was so that Back returns there.
    void jumpTo(const QString &table, const QString &objectId);
    // The jump the last description prepared ("Jump to this object").
    void jump();
    void back();

    void findObjectId();
    // Asks the search options, then searches; resume goes on from the last match.
    void searchAcrossTables(bool resume);
    void runSearch(const QString &text, bool exact, bool resume);
    bool isSearching() const { return m_searching; }

    // Lists every match of the text in the "Find all matches" window, which
    // fills as the tables are read on a database thread; with no text the
    // window only opens. A match activated there is jumped to, Back returns.
    void listAllMatches(const QString &text, bool exact);
    void cancelListAllMatches();
    bool isListingAllMatches() const { return m_findAllSource != nullptr; }
    frmFindAllMatches *matchList() const;
    void jumpToMatch(const CellMatch &match);

    // The most matches one search lists.
    static constexpr int kMaxListedMatches = 100000;

Q_SIGNALS:
    void searchingChanged(bool searching);

private:
    void switchListingMode(bool tables);
    bool recordJumpOrigin();
    void showObject(const QString &table, const QString &objectId);
    void selectTableAndRow(const QString &table, const QString &objectId);
    void selectListed(const QString &table);
    void selectMatchedCell(const CellMatch &match);
    void applyHover(const ObjectDescription &description);
    void showHover();
    void describedForMenu();
    int dataColumn(const QString &name) const;
    QString currentListed() const;
    QStringList listedTables() const;
    void searchEnded(const SearchOutcome &outcome);

    WindowContext &m_context;
    Window &m_window;
    Controls m_controls;
    QWidget *m_parent;
    NavigationController m_nav;
    BackgroundTask<ObjectDescription> m_hoverTask;
    BackgroundTask<std::optional<ObjectIdMatch>> m_findTask;
    BackgroundTask<SearchOutcome> m_searchTask;
    std::unique_ptr<QObject> m_searchWait; // busy pointer and Esc while a search runs
    std::unique_ptr<QObject> m_findWait;   // busy pointer while Find Object ID looks
    QPointer<frmFindNextCrossTableMatch> m_findNext;
    BackgroundTask<AllMatchesOutcome> m_findAllTask;
    std::shared_ptr<TableScanSource> m_findAllSource; // while a scan for every match runs
    QString m_findAllConnection;                      // the database the listed matches are from
    QPointer<frmFindAllMatches> m_matchList;
    std::function<void()> m_menuWaiting; // the grid menu waits for a description
    QTimer *m_menuPatience = nullptr;
    QString m_referenceDescription;
    int m_lastHoverRow = -1;
    int m_lastHoverCol = -1;
    bool m_searching = false;
};

} // namespace navigation
} // namespace korva
