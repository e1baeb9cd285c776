#include "foundation/KZDoublyLinkedList.h"

namespace nubo {

Node::~Node() {
    // Free the chain iteratively (a long one must not recurse deeply), but only the nodes that
    // die with this one: a later node still held elsewhere (a new head) keeps its links.
    std::shared_ptr<Node> rest = std::move(m_next);
    while (rest && rest.use_count() == 1) {
        std::shared_ptr<Node> after = std::move(rest->m_next);
        rest = std::move(after);
    }
}

void Node::delNext() {
    // Every later node lets go of its own next as well, even one still held elsewhere.
    std::shared_ptr<Node> rest = std::move(m_next);
    while (rest) {
        std::shared_ptr<Node> after = std::move(rest->m_next);
        rest = std::move(after);
    }
}

void KZDoublyLinkedList::insertTail(const std::shared_ptr<Node>& node) {
    if (!node || (m_tail && node->isEqual(*m_tail)))
        return;
    node->setPre(m_tail);
    node->delNext();
    if (m_tail)
        m_tail->setNext(node);
    m_tail = node;
}

void KZDoublyLinkedList::destroy() {
    while (m_head)
        m_head = m_head->next();
}

} // namespace nubo
