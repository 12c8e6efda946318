#include "platform/dialogs/services.h"

#include "platform/dialogs/dialog.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

#include <map>
#include <memory>
#include <utility>

namespace ce::dlg {

// ---- templates ------------------------------------------------------------------

namespace {

std::map<int, std::vector<TemplateItem>>& templates()
{
    static std::map<int, std::vector<TemplateItem>> t;
    return t;
}

} // namespace

void registerTemplate(int templateId, std::vector<TemplateItem> items)
{
    templates()[templateId] = std::move(items);
}

const std::vector<TemplateItem>& templateItems(int templateId)
{
    static const std::vector<TemplateItem> none;
    auto it = templates().find(templateId);
    return it == templates().end() ? none : it->second;
}

bool templateItem(int templateId, int controlId, QRect* rect)
{
    for (const TemplateItem& item : templateItems(templateId)) {
        if (item.id == controlId) {
            if (rect)
                *rect = item.rect;
            return true;
        }
    }
    return false;
}

// ---- timers ---------------------------------------------------------------------

namespace {

struct Timer {
    int period = 0;
    std::function<void()> fn;
    long long due = 0;
    unsigned long long seq = 0;
    std::unique_ptr<QTimer> qt;
};

using TimerKey = std::pair<const void*, int>;

struct Timers {
    std::map<TimerKey, Timer> all;
    bool stepped = false;
    long long now = 0;
    unsigned long long seq = 0;
};

Timers& timers()
{
    static Timers t;
    return t;
}

void fire(const TimerKey& key)
{
    auto it = timers().all.find(key);
    if (it == timers().all.end())
        return;
    // The handler may kill or set timers, this one included.
    const std::function<void()> fn = it->second.fn;
    fn();
}

void arm(const TimerKey& key, Timer& t)
{
    Timers& ts = timers();
    t.due = ts.now + std::max(1, t.period);
    t.seq = ++ts.seq;
    if (ts.stepped) {
        t.qt.reset();
        return;
    }
    if (!t.qt) {
        t.qt = std::make_unique<QTimer>();
        QObject::connect(t.qt.get(), &QTimer::timeout, [key] { fire(key); });
    }
    t.qt->start(std::max(1, t.period));
}

} // namespace

void setTimer(const void* owner, int id, int periodMs, std::function<void()> fn)
{
    const TimerKey key(owner, id);
    Timer& t = timers().all[key];
    t.period = periodMs;
    t.fn = std::move(fn);
    arm(key, t);
}

void killTimer(const void* owner, int id)
{
    timers().all.erase(TimerKey(owner, id));
}

void killTimers(const void* owner)
{
    auto& all = timers().all;
    for (auto it = all.begin(); it != all.end();)
        it = it->first.first == owner ? all.erase(it) : std::next(it);
}

bool timerActive(const void* owner, int id)
{
    return timers().all.count(TimerKey(owner, id)) != 0;
}

void useSteppedClock(bool stepped)
{
    Timers& ts = timers();
    ts.stepped = stepped;
    for (auto& [key, t] : ts.all)
        arm(key, t);
}

void stepClock(int ms)
{
    Timers& ts = timers();
    const long long target = ts.now + std::max(0, ms);
    for (;;) {
        const TimerKey* next = nullptr;
        const Timer* best = nullptr;
        for (auto& [key, t] : ts.all) {
            if (t.due <= target && (!best || t.due < best->due || (t.due == best->due && t.seq < best->seq))) {
                best = &t;
                next = &key;
            }
        }
        if (!next)
            break;
        const TimerKey key = *next;
        ts.now = best->due;
        Timer& t = ts.all[key];
        t.due = ts.now + std::max(1, t.period);
        fire(key);
    }
    ts.now = target;
}

// ---- metrics, capture, message boxes --------------------------------------------

namespace {

int g_screenWidth = 240;
int g_screenHeight = 400;
Control* g_capture = nullptr;
MessageBoxHook g_messageBoxHook;

} // namespace

int screenWidth()
{
    return g_screenWidth;
}

int screenHeight()
{
    return g_screenHeight;
}

void setScreenSize(int width, int height)
{
    g_screenWidth = width;
    g_screenHeight = height;
}

void setCapture(Control* control)
{
    g_capture = control;
}

void releaseCapture()
{
    g_capture = nullptr;
}

Control* getCapture()
{
    return g_capture;
}

void setMessageBoxHook(MessageBoxHook hook)
{
    g_messageBoxHook = std::move(hook);
}

int messageBox(const std::u16string& text, const std::u16string& caption, unsigned flags)
{
    if (g_messageBoxHook)
        return g_messageBoxHook(text, caption, flags);
    int result = int(IDOK);
    runOnGuiThread([&] {
        QMessageBox box(QMessageBox::NoIcon, QString::fromStdU16String(caption), QString::fromStdU16String(text),
            QMessageBox::Ok);
        box.exec();
    });
    return result;
}

} // namespace ce::dlg
