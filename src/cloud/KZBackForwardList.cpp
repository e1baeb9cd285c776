#include "cloud/KZBackForwardList.h"

BackForwardItemPtr BackForwardItem::backForwardItemWithNid(qint64 nid, const QString& name) {
    auto item = std::make_shared<BackForwardItem>();
    item->assignNid(nid, name);
    return item;
}

BackForwardItemPtr BackForwardItem::searchItem(qint64 nid, qint64 searchNid, const QString& key) {
    auto item = backForwardItemWithNid(nid, key);
    item->setSearchNid(searchNid);
    return item;
}

bool BackForwardItem::isEqual(const nubo::Node& other) const {
    const auto* o = dynamic_cast<const BackForwardItem*>(&other);
    return o && o->m_nid == m_nid && o->isSearch() == isSearch();
}

void KZBackForwardList::logout() {
    destroy();
}

void KZBackForwardList::setEmpty() {
    destroy();
    auto root = BackForwardItem::backForwardItemWithNid(0, QStringLiteral("/"));
    setHead(root);
    setTail(root);
    m_curNode = root;
}

BackForwardItemPtr KZBackForwardList::goBack() {
    if (canGoBack())
        m_curNode = m_curNode->preItem();
    return m_curNode;
}

BackForwardItemPtr KZBackForwardList::goForward() {
    if (canGoForward())
        m_curNode = m_curNode->nextItem();
    return m_curNode;
}

KZBackForwardState KZBackForwardList::backForward() const {
    return (canGoBack() ? KZBackForwardStateBack : 0) + (canGoForward() ? KZBackForwardStateForward : 0);
}

void KZBackForwardList::insertNode(const BackForwardItemPtr& item) {
    if (!item)
        return;
    if (!m_curNode || !head()) {
        // A list that lost its entries (signed out) starts again from this one.
        item->setPre(nullptr);
        item->delNext();
        setHead(item);
        setTail(item);
        m_curNode = item;
        return;
    }
    if (m_curNode->isEqual(*item))
        return;
    // Identity, not equality: an earlier visit of the same folder is not the end of the history.
    if (tail() == m_curNode) {
        insertTail(item);
        m_curNode = std::static_pointer_cast<BackForwardItem>(tail());
        return;
    }
    m_curNode->delNext();
    item->setPre(m_curNode);
    item->delNext();
    m_curNode->setNext(item);
    setTail(item);
    m_curNode = item;
}

void KZBackForwardList::deleteObeject(const BackForwardItemPtr& item) {
    if (!item)
        return;
    BackForwardItemPtr found;
    for (auto n = headItem(); n; n = n->nextItem()) {
        if (n->isEqual(*item)) {
            found = n;
            break;
        }
    }
    if (!found)
        return;
    if (found == head()) {
        auto newHead = found->nextItem();
        if (newHead)
            newHead->setPre(nullptr);
        setHead(newHead);
        if (!newHead) {
            setEmpty(); // the history never stays without an entry
            return;
        }
    } else {
        auto pre = found->preItem();
        pre->delNext();
        setTail(pre);
    }
    if (!reachable(m_curNode))
        m_curNode = std::static_pointer_cast<BackForwardItem>(tail());
}

void KZBackForwardList::updateItem(const BackForwardItemPtr& item) {
    if (!item)
        return;
    for (auto n = headItem(); n; n = n->nextItem()) {
        if (n->isEqual(*item)) {
            n->setName(item->name());
            return;
        }
    }
}

QSet<qint64> KZBackForwardList::allNids() const {
    QSet<qint64> nids;
    for (auto n = headItem(); n; n = n->nextItem())
        nids.insert(n->nid());
    return nids;
}

bool KZBackForwardList::reachable(const BackForwardItemPtr& item) const {
    for (auto n = headItem(); n; n = n->nextItem())
        if (n == item)
            return true;
    return false;
}
