#pragma once

#include "navigation/navigationcontroller.h"
#include "navigation/references.h"
#include "platform/backgroundtask.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSet>

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
    // The hover waits for its description (its own query, or the
    // descriptions of the shown rows that are being read).
    bool isDescribing() const { return m_hoverTask.isPending() || m_hoverWaits.has_value(); }

    // Descriptions ahead of the mouse. Whenever other rows or columns come
    // into view (rows loaded, scrolled, resized, sorted, filtered), the
    // references shown that are not described yet are described a moment
    // later on a database thread, with one query per referenced table where
    // the kind allows, into the cache the hover reads. A quick succession of
    // changes makes one such read, for the rows shown at its end.
    void prefetchShown();
    // Off: nothing is read ahead (the hover asks for each description itself).
    void setPrefetchEnabled(bool on);
    // A read of the shown rows' descriptions is due or running.
    bool isPrefetching() const;
    // How long the rows shown must stay before their descriptions are read.
    static constexpr int kPrefetchDelayMs = 50;

    // Another table is shown: no description of its cells stays.
    void forgetTable();
    // Another database: no history, no description.
    void forgetAll();
    // The objects may have changed: descriptions are read again.
    void forgetDescriptions();

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct WaitingHover
    {
        QString connection;
        HoverTarget target;
        int row = -1;
        int col = -1;
    };
    QString hoverListed() const;
    HoverTarget targetAt(int row, int col) const;
    void describeHover(const WaitingHover &hover);
    void hoverWaitEnded();
    void finishHover(const WaitingHover &hover, const ObjectDescription &d);
    void schedulePrefetch();
    void cancelPrefetch();
    static QString prefetchKey(const QString &connection, const HoverTarget &target);
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
    QPointer<QWidget> m_rowsViewport; // the row grid's, whose size and showing are watched
    QWidget *m_parent;
    NavigationController m_nav;
    BackgroundTask<ObjectDescription> m_hoverTask;
    std::optional<WaitingHover> m_hoverWaits; // for the descriptions of the shown rows
    QTimer *m_prefetchTimer = nullptr;
    BackgroundTask<QList<DescribedObject>> m_prefetchTask;
    QSet<QString> m_prefetching; // what the running read describes (prefetchKey)
    bool m_prefetchEnabled = true;
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
