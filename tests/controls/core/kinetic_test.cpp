// The flick-scrolling engine driven by hand: mouse events made up here, the
// library's clock stepped, the engine's timer ticks stepped one by one.
#include "controls/core/Kinetic.h"
#include "controls/core/KineticPrivate.h"
#include "controls/core/LibraryInternal.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using ZyrelleControls::Internal::SetClock;

std::string pt(const QPoint& p)
{
    return std::to_string(p.x()) + "," + std::to_string(p.y());
}

// A widget stand-in that records what the engine asks of it. Its position is
// where the last scroll put it; it reports an end once `limit` is set and
// reached on y.
class Recorder : public Kinetic {
public:
    QPoint pos { 0, 0 };
    std::vector<std::string> calls;
    bool hasLimit = false;
    int limit = 0;

    int count(const std::string& prefix) const
    {
        int n = 0;
        for (const std::string& c : calls)
            n += c.compare(0, prefix.size(), prefix) == 0;
        return n;
    }

    // Itanium ABI: a pointer to a virtual member holds 1 + its byte offset
    // in the vtable.
    template <typename F>
    static long slotOf(F f)
    {
        long raw = 0;
        std::memcpy(&raw, &f, sizeof raw);
        return (raw - 1) / long(sizeof(void*));
    }
    static std::vector<long> vtableSlots()
    {
        return { slotOf(&Recorder::KineticCurrentPosition), slotOf(&Recorder::KineticClick),
            slotOf(&Recorder::KineticStart), slotOf(&Recorder::KineticScroll), slotOf(&Recorder::KineticStop) };
    }
    using Kinetic::IsAutoscrolling;

protected:
    QPoint KineticCurrentPosition() override { return pos; }
    void KineticClick(const QPoint& p) override { calls.push_back("click " + pt(p)); }
    void KineticStart(const QPoint& p) override { calls.push_back("start " + pt(p)); }
    bool KineticScroll(const QPoint& p) override
    {
        calls.push_back("scroll " + pt(p));
        pos = p;
        if (hasLimit && pos.y() >= limit) {
            pos.setY(limit);
            return false;
        }
        return true;
    }
    void KineticStop(const QPoint& p) override { calls.push_back("stop " + pt(p)); }
};

class KineticTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetClock([this] { return now; });
        k.EnableKinetic(true);
    }
    void TearDown() override { SetClock({}); }

    bool send(QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, at, type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
        e.accept();
        if (type == QEvent::MouseButtonPress)
            k.OnMousePressed(&e);
        else if (type == QEvent::MouseMove)
            k.OnMouseMoved(&e);
        else
            k.OnMouseReleased(&e);
        return e.isAccepted();
    }
    bool press(QPoint at) { return send(QEvent::MouseButtonPress, at); }
    bool move(QPoint at) { return send(QEvent::MouseMove, at); }
    bool release(QPoint at) { return send(QEvent::MouseButtonRelease, at); }
    int state() const { return KineticTestAccess::state(k); }
    void tick() { KineticTestAccess::tick(k); }

    // A drag from (100, 300) that starts 21 px up, then moves by `delta`
    // 101 ms later (one speed sample) and is released there `releaseAfter` ms
    // later.
    void flick(QPoint delta, int releaseAfter = 10)
    {
        press({ 100, 300 });
        move({ 100, 279 });
        now += 101;
        move(QPoint(100, 279) + delta);
        now += releaseAfter;
        release(QPoint(100, 279) + delta);
    }

    qint64 now = 5000;
    Recorder k;
};

TEST_F(KineticTest, VirtualOperationsKeepTheirSlotOrder)
{
    // Two destructor slots come first.
    EXPECT_EQ(Recorder::vtableSlots(), (std::vector<long> { 2, 3, 4, 5, 6 }));
}

TEST_F(KineticTest, ThresholdIsExceededPerAxisAndTheDragDoesNotJump)
{
    struct Case {
        QPoint to;
        bool drags;
    };
    const Case cases[] = {
        { { 120, 100 }, false }, { { 80, 100 }, false }, { { 100, 120 }, false }, { { 120, 80 }, false },
        { { 121, 100 }, true }, { { 100, 79 }, true }, { { 79, 121 }, true },
    };
    for (const Case& c : cases) {
        Recorder r;
        r.pos = { 0, 500 };
        QMouseEvent p(QEvent::MouseButtonPress, QPoint(100, 100), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        r.OnMousePressed(&p);
        QMouseEvent m(QEvent::MouseMove, c.to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        r.OnMouseMoved(&m);
        EXPECT_EQ(m.isAccepted(), c.drags) << pt(c.to);
        EXPECT_EQ(KineticTestAccess::state(r), c.drags ? 2 : 1) << pt(c.to);
        if (!c.drags) {
            EXPECT_TRUE(r.calls.empty());
            continue;
        }
        ASSERT_EQ(r.calls, std::vector<std::string> { "start 0,500" });
        // 5 px further scrolls 5, not 26.
        QMouseEvent m2(QEvent::MouseMove, c.to + QPoint(0, 5), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        r.OnMouseMoved(&m2);
        EXPECT_EQ(r.calls.back(), "scroll 0,495") << pt(c.to);
    }
}

TEST_F(KineticTest, PressAndReleaseWithoutDragIsOneClickAtThePressPoint)
{
    EXPECT_TRUE(press({ 30, 40 }));
    EXPECT_FALSE(move({ 50, 60 }));
    EXPECT_TRUE(release({ 50, 60 }));
    EXPECT_EQ(k.calls, std::vector<std::string> { "click 30,40" });
    EXPECT_EQ(state(), 0);

    // Other buttons and moves without the left button are not the engine's.
    EXPECT_FALSE(send(QEvent::MouseButtonPress, { 1, 1 }, Qt::RightButton));
    QMouseEvent hover(QEvent::MouseMove, QPoint(90, 90), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    k.OnMouseMoved(&hover);
    EXPECT_FALSE(hover.isAccepted());
    EXPECT_FALSE(release({ 1, 1 }));
    EXPECT_EQ(k.calls.size(), 1u);
}

TEST_F(KineticTest, ReleaseSpeedIsAQuarterRoundedHalvesUp)
{
    struct Case {
        QPoint sampled;
        QPoint flung;
    };
    const Case cases[] = { { { 10, -57 }, { 3, -14 } }, { { -10, 6 }, { -2, 2 } }, { { 2, -2 }, { 1, 0 } } };
    for (const Case& c : cases) {
        Recorder r;
        r.EnableKinetic(true);
        auto ev = [&r](QEvent::Type t, QPoint at) {
            QMouseEvent e(t, at, t == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
            if (t == QEvent::MouseButtonPress)
                r.OnMousePressed(&e);
            else if (t == QEvent::MouseMove)
                r.OnMouseMoved(&e);
            else
                r.OnMouseReleased(&e);
        };
        ev(QEvent::MouseButtonPress, { 100, 300 });
        ev(QEvent::MouseMove, { 100, 279 });
        now += 101;
        ev(QEvent::MouseMove, QPoint(100, 279) + c.sampled);
        now += 50;
        ev(QEvent::MouseButtonRelease, QPoint(100, 279) + c.sampled);
        EXPECT_EQ(KineticTestAccess::state(r), 3) << pt(c.sampled);
        EXPECT_EQ(KineticTestAccess::speed(r), c.flung) << pt(c.sampled);
        EXPECT_TRUE(KineticTestAccess::timerActive(r));
    }
}

TEST_F(KineticTest, FlingDeceleratesByOneAndEndsWithOneStop)
{
    k.pos = { 0, 400 };
    flick({ 10, -57 });
    const QPoint start = k.pos;
    k.calls.clear();
    for (int i = 0; i < 14; ++i) {
        ASSERT_EQ(state(), 3) << "tick " << i;
        tick();
    }
    EXPECT_EQ(k.pos - start, QPoint(-3, 91));
    EXPECT_EQ(k.count("scroll"), 14);
    EXPECT_EQ(k.calls.back(), "stop " + pt(k.pos));
    EXPECT_EQ(k.count("stop"), 1);
    EXPECT_EQ(state(), 0);
    EXPECT_FALSE(KineticTestAccess::timerActive(k));
}

TEST_F(KineticTest, FastFlingIsClampedTo64ThenDecelerates)
{
    flick({ 800, 0 });
    EXPECT_EQ(KineticTestAccess::speed(k), QPoint(200, 0));
    const QPoint before = k.pos;
    tick();
    EXPECT_EQ(KineticTestAccess::speed(k), QPoint(63, 0));
    EXPECT_EQ(k.pos - before, QPoint(-63, 0));
}

TEST_F(KineticTest, FlingStopsWhereTheWidgetReportsAnEnd)
{
    flick({ 0, -200 }); // at 200, speed (0, -50): the content moves toward larger y
    k.hasLimit = true;
    k.limit = 230;
    k.calls.clear();
    tick(); // toward 249, held at 230: the end
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(k.calls, (std::vector<std::string> { "scroll 0,249", "stop 0,230" }));
}

TEST_F(KineticTest, PressDuringFlingStopsOnceAndReleaseDoesNotClick)
{
    flick({ 0, -200 });
    tick();
    k.calls.clear();
    EXPECT_TRUE(press({ 50, 50 }));
    EXPECT_EQ(state(), 4);
    EXPECT_FALSE(KineticTestAccess::timerActive(k));
    EXPECT_TRUE(release({ 50, 50 }));
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(k.calls, std::vector<std::string> { "stop " + pt(k.pos) });

    // A stopped fling can be dragged on at once.
    flick({ 0, -200 });
    press({ 50, 50 });
    k.calls.clear();
    EXPECT_TRUE(move({ 50, 80 }));
    EXPECT_EQ(state(), 2);
    EXPECT_EQ(k.calls, std::vector<std::string> { "start " + pt(k.pos) });
}

TEST_F(KineticTest, DisabledEngineScrollsButDoesNotFling)
{
    k.EnableKinetic(false);
    flick({ 0, -200 });
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(k.count("scroll"), 1);
    EXPECT_EQ(k.calls.back(), "stop " + pt(k.pos));
    EXPECT_FALSE(KineticTestAccess::timerActive(k));
}

TEST_F(KineticTest, ReleaseLongAfterTheLastSampleTakesANewOne)
{
    // The finger stopped: 101 ms later the new sample is zero, no fling.
    flick({ 0, -200 }, 101);
    EXPECT_EQ(state(), 0);
    EXPECT_EQ(k.count("stop"), 1);
}

TEST_F(KineticTest, NewDragDoesNotFlingWithAnEarlierGesturesSpeed)
{
    // A fast drag whose release never reaches the engine (the list plays a
    // bounce instead and resets the engine).
    press({ 100, 300 });
    move({ 100, 279 });
    now += 101;
    move({ 100, 0 });
    k.ResetState();
    // A slow short drag released within 100 ms of its start.
    now += 1000;
    press({ 100, 100 });
    move({ 100, 130 });
    now += 50;
    release({ 100, 131 });
    EXPECT_EQ(state(), 0);
    EXPECT_FALSE(KineticTestAccess::timerActive(k));
    EXPECT_EQ(k.calls.back(), "stop " + pt(k.pos));
}

TEST_F(KineticTest, AutoScrollLandsOnMinusToOnTheTenthTick)
{
    k.AutoScroll({ 0, 0 }, { 0, 100 });
    EXPECT_EQ(k.calls, std::vector<std::string> { "start 0,0" });
    EXPECT_TRUE(k.IsAutoscrolling());
    for (int i = 1; i <= 10; ++i)
        tick();
    EXPECT_EQ(k.pos, QPoint(0, -100));
    EXPECT_EQ(k.count("scroll"), 10);
    EXPECT_EQ(k.count("stop"), 0);
    tick();
    EXPECT_EQ(k.count("scroll"), 10);
    EXPECT_EQ(k.calls.back(), "stop 0,-100");
    EXPECT_EQ(state(), 0);

    // from = to: one scroll by nothing, then the stop.
    Recorder r;
    r.pos = { 5, 5 };
    r.AutoScroll({ 5, 5 }, { 5, 5 });
    KineticTestAccess::tick(r);
    EXPECT_EQ(r.calls, (std::vector<std::string> { "start -5,-5", "scroll -5,-5", "stop -5,-5" }));
    EXPECT_FALSE(KineticTestAccess::timerActive(r));
}

TEST_F(KineticTest, ThresholdAndResetState)
{
    EXPECT_EQ(k.GetThreshold(), 20);
    k.SetThreshold(-5);
    EXPECT_EQ(k.GetThreshold(), 20);
    k.SetThreshold(0);
    EXPECT_EQ(k.GetThreshold(), 0);
    press({ 10, 10 });
    EXPECT_TRUE(move({ 10, 11 }));

    // ResetState leaves the timer running; its next tick ends the fling.
    k.SetThreshold(20);
    release({ 10, 11 });
    flick({ 0, -200 });
    k.ResetState();
    EXPECT_TRUE(KineticTestAccess::timerActive(k));
    k.calls.clear();
    tick();
    EXPECT_FALSE(KineticTestAccess::timerActive(k));
    EXPECT_EQ(k.calls, std::vector<std::string> { "stop " + pt(k.pos) });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
