#include "bt/core/event_list.h"

namespace kivo::bt {

namespace {

struct Locker {
    explicit Locker(ce::CRITICAL_SECTION* cs)
        : m_cs(cs)
    {
        ce::enterCriticalSection(cs);
    }
    ~Locker() { ce::leaveCriticalSection(m_cs); }
    ce::CRITICAL_SECTION* m_cs;
};

} // namespace

EventList::EventList()
{
    ce::initializeCriticalSection(&m_lock);
}

EventList::~EventList()
{
    Clear([](void*) { });
    ce::deleteCriticalSection(&m_lock);
}

void EventList::Append(void* record)
{
    Locker l(&m_lock);
    Node* n = new Node { nullptr, record };
    if (m_tail)
        m_tail->next = n;
    else
        m_head = n;
    m_tail = n;
    ++m_count;
}

bool EventList::Unlink(void* record)
{
    Locker l(&m_lock);
    Node* prev = nullptr;
    for (Node* n = m_head; n; prev = n, n = n->next) {
        if (n->record != record)
            continue;
        (prev ? prev->next : m_head) = n->next;
        if (m_tail == n)
            m_tail = prev;
        delete n;
        --m_count;
        return true;
    }
    return false;
}

void EventList::Clear(const std::function<void(void*)>& release)
{
    Locker l(&m_lock);
    while (m_head) {
        Node* n = m_head;
        m_head = n->next;
        release(n->record);
        delete n;
    }
    m_tail = nullptr;
    m_count = 0;
}

int EventList::Count()
{
    Locker l(&m_lock);
    return m_count;
}

void* EventList::Find(const std::function<bool(void*)>& visit)
{
    Locker l(&m_lock);
    for (Node* n = m_head; n; n = n->next)
        if (!visit(n->record))
            return n->record;
    return nullptr;
}

void* EventList::FindLast(const std::function<bool(void*)>& match)
{
    Locker l(&m_lock);
    void* last = nullptr;
    for (Node* n = m_head; n; n = n->next)
        if (match(n->record))
            last = n->record;
    return last;
}

} // namespace kivo::bt
