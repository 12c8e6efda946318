// phxVirtualList and phxTextEdit driven through their viewports: presses and
// releases by QTest, moves as mouse events with the left button held, the
// engine's ticks and the bounce time line stepped by hand.
#include "controls/core/KineticPrivate.h"
#include "controls/core/LibraryInternal.h"
#include "controls/core/ZyrelleControls.h"
#include "controls/core/phxTextEdit.h"
#include "controls/core/phxVirtualList.h"
#include "phx_test_util.h"

#include <QApplication>
#include <QEasingCurve>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTimeLine>

#include <gtest/gtest.h>

#include <memory>

namespace {

using phx_test::dragTo;
using phx_test::shot;

// Rows of a fixed height painted as the screens' delegates paint them: the
// row image, displaced by the list's bounce offset, and the row's text.
class RowDelegate : public QStyledItemDelegate {
public:
    RowDelegate(phxVirtualList* list, int height)
        : QStyledItemDelegate(list)
        , m_list(list)
        , m_height(height)
        , m_row(phx_test::skin("row.png"))
    {
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return QSize(240, m_height); }
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QRect r = option.rect.translated(0, -m_list->GetBounceOffset());
        p->drawPixmap(r, m_row);
        p->setPen(Qt::black);
        p->drawText(r.adjusted(8, 0, 0, 0), Qt::AlignVCenter, index.data().toString());
    }

private:
    phxVirtualList* m_list;
    int m_height;
    QPixmap m_row;
};

class Manager : public QObject {
    Q_OBJECT
public:
    QStringList played;
public slots:
    void onPlayWidgetSound(const QString& name) { played << name; }
};

class ListTest : public ::testing::Test {
protected:
    void SetUp() override { ZyrelleControls::Internal::SetClock([this] { return now; }); }
    void TearDown() override { ZyrelleControls::Internal::SetClock({}); }

    std::unique_ptr<phxVirtualList> makeList(int rows, int rowHeight = 40, int itemHeight = 40)
    {
        auto list = std::make_unique<phxVirtualList>();
        list->setObjectName("virtuallist");
        model = std::make_unique<QStandardItemModel>();
        for (int i = 0; i < rows; ++i)
            model->appendRow(new QStandardItem(QStringLiteral("Row %1").arg(i)));
        list->setModel(model.get());
        list->setItemDelegate(new RowDelegate(list.get(), rowHeight));
        list->SetItemHeight(itemHeight);
        list->resize(240, 400);
        list->show();
        QApplication::processEvents();
        return list;
    }
    static QScrollBar* bar(phxVirtualList& l) { return l.verticalScrollBar(); }
    static QTimeLine* timeLine(QObject& o) { return o.findChild<QTimeLine*>(); }

    // Press at `from`, move to each point in turn, release at the last.
    void drag(QWidget* viewport, QPoint from, std::initializer_list<QPoint> moves)
    {
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
        QPoint last = from;
        for (QPoint p : moves)
            dragTo(viewport, last = p);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, last);
    }

    // Snapping steps, as moves of the bar, until the align timer stops.
    static std::vector<int> snapSteps(phxVirtualList& list, QSignalSpy& values, int from)
    {
        for (int i = 0; i < 10; ++i)
            QMetaObject::invokeMethod(&list, "alignedScroll");
        std::vector<int> steps;
        int previous = from;
        for (const QList<QVariant>& v : values) {
            steps.push_back(v.at(0).toInt() - previous);
            previous = v.at(0).toInt();
        }
        return steps;
    }

    qint64 now = 1000;
    std::unique_ptr<QStandardItemModel> model;
};

TEST_F(ListTest, ItemHeightZeroNeitherScrollsNorSnaps)
{
    auto list = makeList(40, 40, 0);
    bar(*list)->setValue(105);
    QSignalSpy values(bar(*list), SIGNAL(valueChanged(int)));
    QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 300));
    dragTo(list->viewport(), { 100, 250 });
    now += 101;
    dragTo(list->viewport(), { 100, 100 });
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    ASSERT_EQ(KineticTestAccess::state(*list), 3); // the engine flings all the same
    for (int i = 0; i < 70 && KineticTestAccess::state(*list) == 3; ++i)
        KineticTestAccess::tick(*list);
    EXPECT_EQ(KineticTestAccess::state(*list), 0);
    for (int i = 0; i < 5; ++i)
        QMetaObject::invokeMethod(list.get(), "alignedScroll");
    EXPECT_EQ(bar(*list)->value(), 105);
    EXPECT_EQ(values.count(), 0);
}

TEST_F(ListTest, ShortOverscrollAtTheTopClicksThePressedRow)
{
    Manager manager;
    ZyrelleControls::SetSoundManager(&manager);
    auto list = makeList(40);
    ZyrelleControls::SetSoundManager(nullptr);
    QSignalSpy named(list.get(), SIGNAL(clicked(QString)));
    QSignalSpy indexes(list.get(), SIGNAL(clicked(QModelIndex)));
    drag(list->viewport(), { 100, 60 }, { { 100, 64 }, { 100, 68 } });
    EXPECT_EQ(timeLine(*list)->state(), QTimeLine::NotRunning);
    EXPECT_EQ(list->GetBounceOffset(), 0);
    ASSERT_EQ(indexes.count(), 1);
    EXPECT_EQ(indexes.at(0).at(0).value<QModelIndex>().row(), 1);
    EXPECT_EQ(list->currentIndex().row(), 1);
    ASSERT_EQ(named.count(), 1);
    EXPECT_EQ(named.at(0).at(0).toString(), "virtuallist");
    EXPECT_EQ(manager.played, QStringList { "virtuallist" });
}

TEST_F(ListTest, OverscrollAtTheBottomBouncesBackAndEndsAtTheMaximum)
{
    auto list = makeList(40);
    const int max = bar(*list)->maximum();
    ASSERT_EQ(max, 40 * 40 - 400);
    bar(*list)->setValue(max);
    QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 300));
    for (int y : { 290, 280, 270 })
        dragTo(list->viewport(), { 100, y });
    EXPECT_EQ(list->GetBounceOffset(), 30);
    EXPECT_FALSE(list->hasFocus());
    QImage stretched = shot(*list, "list_bounce_bottom");
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 270));

    QTimeLine* line = timeLine(*list);
    ASSERT_EQ(line->state(), QTimeLine::Running);
    EXPECT_EQ(line->duration(), 200);
    EXPECT_EQ(line->easingCurve().type(), QEasingCurve::OutCurve);
    EXPECT_EQ(line->direction(), QTimeLine::Backward);
    EXPECT_EQ(line->startFrame(), 0);
    EXPECT_EQ(line->endFrame(), 30);
    EXPECT_EQ(KineticTestAccess::state(*list), 0);
    line->setCurrentTime(100);
    EXPECT_GT(list->GetBounceOffset(), 0);
    EXPECT_LT(list->GetBounceOffset(), 30);
    line->setCurrentTime(0);
    EXPECT_EQ(line->state(), QTimeLine::NotRunning);
    EXPECT_EQ(list->GetBounceOffset(), 0);
    EXPECT_EQ(bar(*list)->value(), max);

    // The rows were drawn displaced: row 39's bottom edge moved up by 30.
    QImage settled = shot(*list, "list_settled_bottom");
    EXPECT_NE(stretched.pixelColor(120, 399), settled.pixelColor(120, 399));
}

TEST_F(ListTest, SnapsToWholeRowsInStepsOfSix)
{
    struct Case {
        int startValue;
        QPoint press;
        std::initializer_list<QPoint> moves;
        std::vector<int> steps;
    };
    const Case cases[] = {
        // Finger up: forward by 15 to 120.
        { 0, { 100, 300 }, { { 100, 270 }, { 100, 165 } }, { 6, 6, 3 } },
        // Finger down: back by 25 to 80.
        { 200, { 100, 100 }, { { 100, 130 }, { 100, 225 } }, { -6, -6, -6, -6, -1 } },
    };
    for (const Case& c : cases) {
        auto list = makeList(40);
        bar(*list)->setValue(c.startValue);
        QSignalSpy values(bar(*list), SIGNAL(valueChanged(int)));
        QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, c.press);
        QPoint last;
        for (QPoint p : c.moves)
            dragTo(list->viewport(), last = p);
        ASSERT_EQ(bar(*list)->value(), 105);
        values.clear();
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, last);
        EXPECT_EQ(snapSteps(*list, values, 105), c.steps) << c.startValue;
    }
}

TEST_F(ListTest, FlingScrollsUntilAnEndAndSignalsStartAndStop)
{
    auto list = makeList(40);
    QSignalSpy started(list.get(), SIGNAL(ListStartKineticScroll()));
    QSignalSpy stopped(list.get(), SIGNAL(ListStopKineticScroll()));
    QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 380));
    dragTo(list->viewport(), { 100, 350 });
    now += 101;
    dragTo(list->viewport(), { 100, 100 });
    now += 10;
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(stopped.count(), 0);
    EXPECT_EQ(bar(*list)->value(), 250);
    ASSERT_EQ(KineticTestAccess::state(*list), 3);
    int ticks = 0;
    while (KineticTestAccess::state(*list) == 3 && ticks < 70) {
        KineticTestAccess::tick(*list);
        ++ticks;
    }
    // Speed 250 / 4 -> 63 (clamped 64, less 1), 62, ... : 250 + 63 + ... + 1 = 2266 is past the end.
    EXPECT_EQ(bar(*list)->value(), bar(*list)->maximum());
    EXPECT_LT(ticks, 63);
    EXPECT_EQ(stopped.count(), 1);
}

TEST_F(ListTest, CustomScrollBarIsMadeOnceAndShownWhileScrolling)
{
    auto list = makeList(40);
    list->setCustomScrollBar(true);
    list->setCustomScrollBar(true);
    auto bars = list->findChildren<QScrollBar*>("_CUSTOMSCROLLBAR_");
    ASSERT_EQ(bars.size(), 1);
    QScrollBar* custom = bars.front();
    EXPECT_EQ(list->verticalCustScrollBar(), custom);
    EXPECT_EQ(custom->geometry(), QRect(232, 0, 8, 400));
    list->resize(200, 300);
    QApplication::processEvents();
    EXPECT_EQ(custom->geometry(), QRect(192, 0, 8, 300));
    EXPECT_EQ(custom->pageStep(), 300);
    EXPECT_EQ(custom->maximum(), bar(*list)->maximum());
    EXPECT_FALSE(custom->isVisible());

    QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 250));
    dragTo(list->viewport(), { 100, 220 });
    dragTo(list->viewport(), { 100, 200 });
    EXPECT_TRUE(custom->isVisible());
    EXPECT_EQ(custom->value(), bar(*list)->value());
    EXPECT_FALSE(list->verticalScrollBar()->isVisible());
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 200));
    EXPECT_FALSE(custom->isVisible());

    list->setCustomScrollBar(false);
    list->autoScrollBarHide(true);
    EXPECT_FALSE(custom->isVisible());
    EXPECT_EQ(list->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

TEST_F(ListTest, ShakeAtAnEndRunsOnceAndPagesCount)
{
    auto list = makeList(40);
    list->downShakeAnimation();
    QTimeLine* line = timeLine(*list);
    ASSERT_EQ(line->state(), QTimeLine::Running);
    EXPECT_EQ(line->endFrame(), 10);
    EXPECT_EQ(list->GetBounceOffset(), 10);
    list->upShakeAnimation(); // ignored while the first runs
    EXPECT_EQ(line->endFrame(), 10);
    line->setCurrentTime(0);
    EXPECT_EQ(bar(*list)->value(), bar(*list)->maximum());
    list->upShakeAnimation();
    EXPECT_EQ(line->endFrame(), -10);
    line->setCurrentTime(0);
    EXPECT_EQ(bar(*list)->value(), 0);

    list->onScrollPage(2);
    EXPECT_EQ(bar(*list)->value(), 800);
    list->onScrollPage(5);
    EXPECT_EQ(bar(*list)->value(), bar(*list)->maximum());
    list->onScrollPage(-9);
    EXPECT_EQ(bar(*list)->value(), 0);

    int current = 0, count = 0;
    list->GetListPageInfo(current, count); // 10 rows a page
    EXPECT_EQ(count, 4);
    EXPECT_EQ(current, 1);
    list->SetSameItemSize(false); // heights summed: 40 x 40 over 400
    model->item(0)->setData(QSize(240, 401), Qt::SizeHintRole);
    list->GetListPageInfo(current, count);
    EXPECT_EQ(count, 5);
    list->resize(240, 0);
    list->GetListPageInfo(current, count);
    EXPECT_EQ(count, 1);
}

class TextEditTest : public ListTest {
protected:
    // The first row holding dark (text) pixels.
    static int firstTextRow(const QImage& image)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 100 && qAlpha(image.pixel(x, y)) > 128)
                    return y;
        return -1;
    }
};

TEST_F(TextEditTest, FittingTextFollowsTheFingerBothWaysAndSpringsBack)
{
    phxTextEdit edit;
    edit.setReadOnly(true);
    edit.setAutoResize(false);
    edit.setPlainText(QStringLiteral("\n\n\nShort text"));
    edit.resize(240, 200);
    edit.show();
    QApplication::processEvents();
    const int restingRow = firstTextRow(shot(edit, "text_rest"));
    ASSERT_GE(restingRow, 0);
    QTimeLine* line = timeLine(edit);

    struct Case {
        const char* name;
        int dy;
    };
    for (Case c : { Case { "down", 30 }, Case { "up", -30 } }) {
        QTest::mousePress(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        dragTo(edit.viewport(), { 100, 100 + c.dy / 2 });
        dragTo(edit.viewport(), { 100, 100 + c.dy });
        EXPECT_EQ(edit.GetBounceOffset(), -c.dy) << c.name;
        EXPECT_EQ(firstTextRow(shot(edit, QStringLiteral("text_bounce_%1").arg(c.name))), restingRow + c.dy) << c.name;
        QTest::mouseRelease(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100 + c.dy));
        ASSERT_EQ(line->state(), QTimeLine::Running) << c.name;
        EXPECT_EQ(line->endFrame(), -c.dy);
        line->setCurrentTime(0);
        EXPECT_EQ(edit.GetBounceOffset(), 0);
        EXPECT_EQ(firstTextRow(shot(edit, QStringLiteral("text_back_%1").arg(c.name))), restingRow) << c.name;
    }
}

TEST_F(TextEditTest, NewTextIsWhatBouncesAndAutoResizeTakesItsHeight)
{
    phxTextEdit edit;
    edit.setReadOnly(true);
    edit.setAutoResize(false);
    edit.setPlainText(QStringLiteral("Old"));
    edit.resize(240, 200);
    edit.show();
    QApplication::processEvents();
    QTest::mousePress(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    dragTo(edit.viewport(), { 100, 140 });
    QTest::mouseRelease(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 140));
    timeLine(edit)->setCurrentTime(0);

    edit.setPlainText(QString()); // nothing left to show
    QTest::mousePress(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    dragTo(edit.viewport(), { 100, 140 });
    EXPECT_EQ(firstTextRow(shot(edit, "text_cleared_bounce")), -1);
    QTest::mouseRelease(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 140));
    timeLine(edit)->setCurrentTime(0);

    edit.setAutoResize(true);
    edit.setPlainText(QStringLiteral("one\ntwo\nthree\nfour\nfive\nsix\nseven\neight\nnine\nten\neleven\ntwelve"));
    const int h = int(edit.document()->size().height());
    EXPECT_EQ(edit.height(), h);
    EXPECT_EQ(edit.minimumHeight(), h);
}

TEST_F(TextEditTest, LongTextScrollsAndBouncesPastItsEnds)
{
    phxTextEdit edit;
    edit.setAutoResize(false);
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QStringLiteral("Line %1").arg(i);
    edit.setPlainText(lines.join('\n'));
    edit.resize(240, 200);
    edit.show();
    QApplication::processEvents();
    QScrollBar* bar = edit.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 100);

    // Up by 80 (a drag starts past 20 px, then 60 px scroll).
    QTest::mousePress(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 150));
    dragTo(edit.viewport(), { 100, 129 });
    dragTo(edit.viewport(), { 100, 69 });
    EXPECT_EQ(bar->value(), 60);
    QTest::mouseRelease(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 69));
    EXPECT_EQ(edit.GetBounceOffset(), 0);

    // Down past the top by 40 beyond the 60 left: a bounce, no scroll.
    QTest::mousePress(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 20));
    dragTo(edit.viewport(), { 100, 120 });
    EXPECT_EQ(edit.GetBounceOffset(), -40);
    EXPECT_EQ(bar->value(), 60);
    QTest::mouseRelease(edit.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 120));
    timeLine(edit)->setCurrentTime(0);
    EXPECT_EQ(edit.GetBounceOffset(), 0);
    EXPECT_EQ(bar->value(), 60); // the text edit does not jump to the end
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!phx_test::registerSkin())
        return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "phx_lists_test.moc"
