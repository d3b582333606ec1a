#pragma once

#include "platform/registryaccess/registrytree.h"

#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>
#include <memory>

namespace korva::regaccess {

// Where the keys of the local-machine root live. Paths are lists of key
// names below that root; an empty path is the root itself.
class RegistryStore
{
public:
    virtual ~RegistryStore();

    // The key as it stands now, or null when it cannot be opened.
    virtual std::shared_ptr<const RegistryKey> openKey(const QStringList &path) = 0;

    // Runs edit on the current key and keeps the result when edit reports a
    // change. With createMissing the key and its missing parents are made
    // first (at most kMaxKeyDepth levels deep), and existed tells whether the
    // key was there already. False when the key could not be opened or
    // created, or the result not kept. edit may run more than once, each time
    // on a fresh copy; the last run sees the key as it stands when written.
    virtual bool editKey(const QStringList &path, bool createMissing, const std::function<bool(RegistryKey &key)> &edit,
                         bool *existed = nullptr) = 0;

    // Why the store cannot be used at all, or empty.
    virtual QString problem() = 0;
};

// The keys kept in a registry export file. Reads come from a copy cached
// until the file changes. A write that changes something takes a lock file
// next to it (waiting only a moment for another process), reads the file
// again, applies the change to what it holds at that moment and replaces the
// file in one step, so several processes can share it and an edit that looks
// at the key (to choose a free value name, say) sees the others' writes; a
// failed write leaves the file as it was.
// A write that changes nothing touches neither the lock nor the file. A file
// that does not parse is never written.
class FileRegistryStore final : public RegistryStore
{
public:
    explicit FileRegistryStore(QString filePath);

    QString filePath() const { return m_filePath; }

    std::shared_ptr<const RegistryKey> openKey(const QStringList &path) override;
    bool editKey(const QStringList &path, bool createMissing, const std::function<bool(RegistryKey &key)> &edit,
                 bool *existed = nullptr) override;
    QString problem() override;

    // The spelling of the root written into new files.
    static QString rootName();

private:
    struct Stamp
    {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modified = 0;
        qint64 changed = 0;
        bool operator==(const Stamp &) const = default;
    };

    struct Contents
    {
        Stamp stamp;
        std::shared_ptr<const RegistryKey> top; // null when the file cannot be used
        QString problem;
    };

    // A copy of the tree with edit applied.
    struct Edited
    {
        std::shared_ptr<RegistryKey> top;
        bool created = false;
        bool changed = false;
    };

    // The cached contents while the file's stamp matches them; fresh reads
    // the file in any case.
    Contents load(bool fresh = false);
    Contents readFile(const Stamp &stamp);
    QString unreadable(const QString &reason) const;
    static std::optional<Edited> applyEdit(const Contents &contents, const QStringList &path, bool createMissing,
                                           const std::function<bool(RegistryKey &key)> &edit);
    static std::optional<Stamp> stampOf(const QString &path, QString *problem);

    const QString m_filePath;
    QMutex m_mutex;
    std::optional<Contents> m_cache;
};

} // namespace korva::regaccess
