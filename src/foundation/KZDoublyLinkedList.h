#pragma once

#include <memory>

namespace nubo {

// A link of a doubly linked list. `next` is strong and `pre` weak, so a chain is owned from its
// head and frees itself when the head lets go.
class Node {
public:
    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    virtual ~Node();

    std::shared_ptr<Node> pre() const { return m_pre.lock(); }
    void setPre(const std::shared_ptr<Node>& node) { m_pre = node; }
    const std::shared_ptr<Node>& next() const { return m_next; }
    void setNext(std::shared_ptr<Node> node) { m_next = std::move(node); }

    // Drops every node after this one.
    void delNext();

    // Equality used by the list; identity unless a subclass says otherwise.
    virtual bool isEqual(const Node& other) const { return this == &other; }

private:
    std::weak_ptr<Node> m_pre;
    std::shared_ptr<Node> m_next;
};

class KZDoublyLinkedList {
public:
    virtual ~KZDoublyLinkedList() = default;

    const std::shared_ptr<Node>& head() const { return m_head; }
    void setHead(std::shared_ptr<Node> node) { m_head = std::move(node); }
    const std::shared_ptr<Node>& tail() const { return m_tail; }
    void setTail(std::shared_ptr<Node> node) { m_tail = std::move(node); }

    // Links the node after the tail and makes it the tail, dropping whatever followed the node.
    // Nothing when the node equals the tail. The head is the caller's business.
    void insertTail(const std::shared_ptr<Node>& node);
    // Walks the head past every node; the tail keeps its node.
    void destroy();

private:
    std::shared_ptr<Node> m_head;
    std::shared_ptr<Node> m_tail;
};

} // namespace nubo
