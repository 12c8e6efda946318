// The notification list: a singly linked list of records under its own
// lock; every operation holds it.
#pragma once

#include "platform/sync.h"

#include <functional>

namespace kivo::bt {

class EventList {
public:
    EventList();
    ~EventList(); // frees the nodes; the records stay their owner's
    EventList(const EventList&) = delete;
    EventList& operator=(const EventList&) = delete;

    void Append(void* record);
    // Unlinks the node holding record; false when it is not there.
    bool Unlink(void* record);
    // Pops every node from the head and calls release on its record.
    void Clear(const std::function<void(void*)>& release);
    int Count();
    // Calls visit on each record in order, under the lock, until it returns
    // false; the record it stopped on, or null.
    void* Find(const std::function<bool(void*)>& visit);
    // The last record for which match is true, or null.
    void* FindLast(const std::function<bool(void*)>& match);

private:
    struct Node {
        Node* next;
        void* record;
    };
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    int m_count = 0;
    ce::CRITICAL_SECTION m_lock;
};

} // namespace kivo::bt
