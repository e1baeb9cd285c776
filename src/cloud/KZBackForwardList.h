#pragma once

#include "foundation/KZDoublyLinkedList.h"

#include <QSet>
#include <QString>
#include <memory>

// The node id of a folder-list request read as a command.
enum KZFileListNavigation : qint64 {
    KZFileListNavigationRoot = 0,
    KZFileListNavigationForward = -1,
    KZFileListNavigationBack = -2,
    KZFileListNavigationJump = -3,
    KZFileListNavigationReload = -4,
    // Folder picker only: forget the current picker folder, answer nothing.
    KZFileListNavigationForgetPicker = -999,
};

// Flags sent with every list: 2 when back is possible, plus 1 when forward is possible.
using KZBackForwardState = int;
constexpr KZBackForwardState KZBackForwardStateForward = 1;
constexpr KZBackForwardState KZBackForwardStateBack = 2;

class BackForwardItem;
using BackForwardItemPtr = std::shared_ptr<BackForwardItem>;

// One entry of the history: a folder, or a search (the folder searched from, the key as name).
class BackForwardItem : public nubo::Node {
public:
    static BackForwardItemPtr backForwardItemWithNid(qint64 nid, const QString& name);
    static BackForwardItemPtr searchItem(qint64 nid, qint64 searchNid, const QString& key);

    void assignNid(qint64 nid, const QString& name) {
        m_nid = nid;
        m_name = name;
    }
    qint64 nid() const { return m_nid; }
    void setNid(qint64 v) { m_nid = v; }
    const QString& name() const { return m_name; }
    void setName(const QString& v) { m_name = v; }
    qint64 searchNid() const { return m_searchNid; }
    void setSearchNid(qint64 v) { m_searchNid = v; }
    bool isSearch() const { return m_searchNid != -1; }

    // Same node id and same kind (folder or search); names and keys are ignored.
    bool isEqual(const nubo::Node& other) const override;

    BackForwardItemPtr preItem() const { return std::static_pointer_cast<BackForwardItem>(pre()); }
    BackForwardItemPtr nextItem() const { return std::static_pointer_cast<BackForwardItem>(next()); }

private:
    qint64 m_nid = 0;
    QString m_name;
    qint64 m_searchNid = -1;
};

// The back/forward history of a folder browser, with its current entry. Used on one thread.
class KZBackForwardList : public nubo::KZDoublyLinkedList {
public:
    void login() { setEmpty(); }
    void logout();
    // One entry, the root, which is head, tail and current.
    void setEmpty();

    const BackForwardItemPtr& curNode() const { return m_curNode; }
    void setCurNode(BackForwardItemPtr node) { m_curNode = std::move(node); }

    bool canGoBack() const { return m_curNode && m_curNode->pre(); }
    bool canGoForward() const { return m_curNode && m_curNode->next(); }
    BackForwardItemPtr goBack();
    BackForwardItemPtr goForward();
    KZBackForwardState backForward() const;

    // Adds the entry after the current one (dropping any forward entries) and makes it current;
    // nothing when it equals the current entry.
    void insertNode(const BackForwardItemPtr& item);
    // Drops the first entry equal to the item and every entry after it (only the head itself
    // when it is the head); the current entry falls back to the last one when it went.
    void deleteObeject(const BackForwardItemPtr& item);
    // The first entry equal to the item takes its name.
    void updateItem(const BackForwardItemPtr& item);
    QSet<qint64> allNids() const;

private:
    BackForwardItemPtr headItem() const { return std::static_pointer_cast<BackForwardItem>(head()); }
    bool reachable(const BackForwardItemPtr& item) const;

    BackForwardItemPtr m_curNode;
};
