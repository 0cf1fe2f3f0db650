// A doubly linked list of pointers that it does not own, with one iteration cursor kept in the
// list. A loop advances the cursor before it calls out, so the callee may remove the item being
// visited, or any other, and the loop goes on with the items that are left.
#pragma once

#include <new>

namespace pattix {

template <class T>
class KtList {
public:
    struct Node {
        T item;
        Node* next;
        Node* previous;
    };

    KtList() = default;
    KtList(const KtList&) = delete;
    KtList& operator=(const KtList&) = delete;
    virtual ~KtList() { clear(); }

    // Appends at the tail; false only when no node can be allocated.
    bool append(T item) {
        Node* node = new (std::nothrow) Node{item, nullptr, m_pTail};
        if (node == nullptr) return false;
        if (m_pTail != nullptr) {
            m_pTail->next = node;
        } else {
            m_pHead = node;
        }
        m_pTail = node;
        return true;
    }

    // Unlinks every node holding `item`; answers whether there was one.
    bool remove(T item) {
        bool found = false;
        for (Node* node = m_pHead; node != nullptr;) {
            Node* next = node->next;
            if (node->item == item) {
                unlink(node);
                found = true;
            }
            node = next;
        }
        return found;
    }

    bool contains(T item) const {
        for (const Node* node = m_pHead; node != nullptr; node = node->next) {
            if (node->item == item) return true;
        }
        return false;
    }

    // Frees the nodes; the items are the caller's.
    void clear() {
        Node* node = m_pHead;
        while (node != nullptr) {
            Node* next = node->next;
            delete node;
            node = next;
        }
        m_pHead = m_pTail = m_pCursor = nullptr;
    }

    bool empty() const { return m_pHead == nullptr; }
    int size() const {
        int count = 0;
        for (const Node* node = m_pHead; node != nullptr; node = node->next) ++count;
        return count;
    }
    T front() const { return m_pHead != nullptr ? m_pHead->item : T{}; }
    T back() const { return m_pTail != nullptr ? m_pTail->item : T{}; }

    // Cursor iteration, head to tail: start(), then next(item) until it answers false.
    void start() {
        m_pCursor = m_pHead;
        m_bBackward = false;
    }
    // Cursor iteration, tail to head: startFromBack(), then next(item).
    void startFromBack() {
        m_pCursor = m_pTail;
        m_bBackward = true;
    }
    bool next(T& item) {
        if (m_pCursor == nullptr) return false;
        item = m_pCursor->item;
        m_pCursor = m_bBackward ? m_pCursor->previous : m_pCursor->next;
        return true;
    }

    // Walks without the cursor, for loops that call nothing that could change the list.
    template <class F>
    void forEach(F&& visit) const {
        for (const Node* node = m_pHead; node != nullptr; node = node->next) visit(node->item);
    }

private:
    void unlink(Node* node) {
        if (m_pCursor == node) m_pCursor = m_bBackward ? node->previous : node->next;
        if (node->previous != nullptr) {
            node->previous->next = node->next;
        } else {
            m_pHead = node->next;
        }
        if (node->next != nullptr) {
            node->next->previous = node->previous;
        } else {
            m_pTail = node->previous;
        }
        delete node;
    }

    Node* m_pHead = nullptr;
    Node* m_pTail = nullptr;
    Node* m_pCursor = nullptr;  // the node the next step visits
    bool m_bBackward = false;   // which way the cursor steps
};

}  // namespace pattix
