// The view and list framework: scrolling by the up and down buttons (the
// animations read and stepped by hand, the hold timer's event sent by hand),
// and a bound list painted through its one row widget.
#include "controls/core/phxPushButton.h"
#include "controls/core/phxTextEdit.h"
#include "controls/core/phxVirtualList.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/views/KivoWiFiBaseVirtualList.h"

#include <QLabel>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QSequentialAnimationGroup>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QTimeLine>
#include <QTimerEvent>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

using Access = KivoWiFiBaseViewTestAccess;

// A row: its text in the upper half only, so a row drawn out of place shows.
class RowItem : public KivoWiFiBaseVLItem {
public:
    static int instances;
    RowItem()
        : KivoWiFiBaseVLItem(nullptr)
        , label(new QLabel(this))
    {
        ++instances;
        resize(240, 47);
        label->setGeometry(10, 0, 200, 24);
        label->setStyleSheet(QStringLiteral("color: rgb(0, 0, 0);"));
    }
    ~RowItem() override { --instances; }
    void setStyleSheets(const QString&) override { }
    QLabel* label;
};
int RowItem::instances = 0;

// A screen with a bound list (or a text) between up and down buttons.
class TestScreen : public KivoWiFiBaseVirtualList {
public:
    TestScreen(int rows, int listHeight, bool text = false, QWidget* parent = nullptr)
        : KivoWiFiBaseVirtualList(parent)
        , rows(rows)
    {
        resize(240, 400);
        up = new phxPushButton(this);
        up->setObjectName("UpBtn");
        up->setGeometry(0, 10, 76, 43);
        down = new phxPushButton(this);
        down->setObjectName("DownBtn");
        down->setGeometry(160, 10, 76, 43);
        if (text) {
            edit = new phxTextEdit(this);
            edit->setObjectName("phxTextEdit");
            edit->setAutoResize(false);
            edit->setGeometry(0, 70, 240, listHeight);
            QStringList lines;
            for (int i = 0; i < rows; ++i)
                lines << QStringLiteral("Line %1").arg(i);
            edit->setPlainText(lines.join('\n'));
        } else {
            list = new phxVirtualList(this);
            list->setObjectName("virtuallist");
            list->setGeometry(0, 70, 240, listHeight);
        }
        setupScrollButtons();
        if (list)
            setListProvider(list, new RowItem);
        show();
        QApplication::processEvents();
    }
    int getRowCount(const QModelIndex&) override { return rows; }
    void updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem&) override
    {
        static_cast<RowItem*>(item)->label->setText(QStringLiteral("Row %1").arg(index.row()));
        filled.insert(item);
        ++fills;
    }
    void setStyleSheets(const QString&) override { }
    QScrollBar* bar() { return list ? list->verticalScrollBar() : edit->verticalScrollBar(); }

    int rows;
    phxPushButton* up;
    phxPushButton* down;
    phxVirtualList* list = nullptr;
    phxTextEdit* edit = nullptr;
    std::set<QWidget*> filled;
    int fills = 0;
};

void hold(QWidget* view)
{
    QTimerEvent e(4242);
    QApplication::sendEvent(view, &e);
}

class ScrollTest : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() { views_test::ensureApplication(); }
    bool text() const { return GetParam(); }
    // 100 rows of 47 px, or 250 lines of text, in a 300-px area.
    std::unique_ptr<TestScreen> screen(int height = 300)
    {
        return std::make_unique<TestScreen>(text() ? 250 : 100, height, text());
    }
};

TEST_P(ScrollTest, PressAtAnEndOnlyBounces)
{
    auto s = screen();
    QSignalSpy begin(s.get(), SIGNAL(sigListScrollBegin()));
    QTest::mousePress(s->up, Qt::LeftButton);
    EXPECT_EQ(Access::pressAnimation(*s)->state(), QAbstractAnimation::Stopped);
    EXPECT_FALSE(Access::holdTimerActive(*s));
    EXPECT_EQ(begin.count(), 0);
    QTimeLine* bounce = (s->list ? static_cast<QObject*>(s->list) : s->edit)->findChild<QTimeLine*>();
    ASSERT_TRUE(bounce);
    EXPECT_EQ(bounce->state(), QTimeLine::Running);
    EXPECT_EQ(bounce->endFrame(), -10);
    QTest::mouseRelease(s->up, Qt::LeftButton);

    s->bar()->setValue(s->bar()->maximum());
    bounce->stop();
    QTest::mousePress(s->down, Qt::LeftButton);
    EXPECT_EQ(bounce->endFrame(), 10);
    EXPECT_EQ(begin.count(), 0);
}

TEST_P(ScrollTest, PressStepFollowsTheHeight)
{
    struct Case {
        int height;
        int step;
        int duration;
    };
    for (Case c : { Case { 300, 240, 630 }, Case { 60, 160, 540 }, Case { 61, 1, 391 } }) {
        auto s = screen(c.height);
        EXPECT_EQ(Access::pressStep(*s), c.step) << c.height;
        EXPECT_EQ(Access::pressDuration(*s), c.duration) << c.height;
        QSignalSpy begin(s.get(), SIGNAL(sigListScrollBegin()));
        QTest::mousePress(s->down, Qt::LeftButton);
        QPropertyAnimation* a = Access::pressAnimation(*s);
        ASSERT_EQ(a->state(), QAbstractAnimation::Running) << c.height;
        EXPECT_EQ(a->targetObject(), s->bar());
        EXPECT_EQ(a->startValue().toInt(), 0);
        EXPECT_EQ(a->endValue().toInt(), c.step);
        EXPECT_EQ(a->duration(), c.duration);
        EXPECT_EQ(a->easingCurve().type(), QEasingCurve::OutSine);
        EXPECT_TRUE(Access::holdTimerActive(*s));
        EXPECT_EQ(begin.count(), 1);
        a->setCurrentTime(c.duration);
        EXPECT_EQ(s->bar()->value(), c.step);
    }
}

TEST_P(ScrollTest, ShortLastStepEndsAtTheEndAtThreeMsPerPixel)
{
    auto s = screen(60);
    const int max = s->bar()->maximum();
    s->bar()->setValue(max - 50);
    QTest::mousePress(s->down, Qt::LeftButton);
    QPropertyAnimation* a = Access::pressAnimation(*s);
    EXPECT_EQ(a->endValue().toInt(), max);
    EXPECT_EQ(a->duration(), 150);

    s->bar()->setValue(7);
    QTest::mousePress(s->up, Qt::LeftButton);
    EXPECT_EQ(a->endValue().toInt(), 0);
    EXPECT_EQ(a->duration(), 21);
}

TEST_P(ScrollTest, ReleaseBeforeTheHoldLetsTheStepFinish)
{
    auto s = screen();
    QTest::mousePress(s->down, Qt::LeftButton);
    QTest::mouseRelease(s->down, Qt::LeftButton);
    EXPECT_FALSE(Access::holdTimerActive(*s));
    EXPECT_EQ(Access::pressAnimation(*s)->state(), QAbstractAnimation::Running);
    EXPECT_EQ(Access::releaseAnimation(*s)->state(), QAbstractAnimation::Stopped);
    QSignalSpy end(s.get(), SIGNAL(sigListScrollEnd()));
    Access::pressAnimation(*s)->setCurrentTime(630);
    EXPECT_EQ(s->bar()->value(), 240);
    EXPECT_EQ(end.count(), 1);
}

TEST_P(ScrollTest, HoldGlidesInDoublingSegmentsAndReleaseEasesOut)
{
    auto s = screen();
    ASSERT_GT(s->bar()->maximum(), 3000);
    QTest::mousePress(s->down, Qt::LeftButton);
    hold(s.get());
    EXPECT_FALSE(Access::holdTimerActive(*s));
    EXPECT_EQ(Access::pressAnimation(*s)->state(), QAbstractAnimation::Stopped);
    QSequentialAnimationGroup* chain = Access::holdChain(*s);
    ASSERT_EQ(chain->state(), QAbstractAnimation::Running);
    ASSERT_GE(chain->animationCount(), 4);
    const int expected[][3] = { { 0, 200, 400 }, { 200, 600, 400 }, { 600, 1400, 400 }, { 1400, 3000, 400 } };
    for (int i = 0; i < 4; ++i) {
        auto* seg = static_cast<QPropertyAnimation*>(chain->animationAt(i));
        EXPECT_EQ(seg->startValue().toInt(), expected[i][0]) << i;
        EXPECT_EQ(seg->endValue().toInt(), expected[i][1]) << i;
        EXPECT_EQ(seg->duration(), expected[i][2]) << i;
        EXPECT_EQ(seg->easingCurve().type(), QEasingCurve::Linear);
    }
    auto* last = static_cast<QPropertyAnimation*>(chain->animationAt(chain->animationCount() - 1));
    EXPECT_EQ(last->endValue().toInt(), s->bar()->maximum());

    chain->setCurrentTime(600); // half way through the second segment
    EXPECT_EQ(s->bar()->value(), 400);
    QTest::mouseRelease(s->down, Qt::LeftButton);
    EXPECT_EQ(chain->state(), QAbstractAnimation::Stopped);
    QPropertyAnimation* r = Access::releaseAnimation(*s);
    ASSERT_EQ(r->state(), QAbstractAnimation::Running);
    EXPECT_EQ(r->startValue().toInt(), 400);
    EXPECT_EQ(r->endValue().toInt(), 500);
    EXPECT_EQ(r->duration(), 500);
    EXPECT_EQ(r->easingCurve().type(), QEasingCurve::OutCubic);
}

TEST_P(ScrollTest, HoldNearTheEndIsOneSegmentAtTwoMsPerPixel)
{
    auto s = screen();
    const int max = s->bar()->maximum();
    s->bar()->setValue(max - 150);
    QTest::mousePress(s->down, Qt::LeftButton);
    hold(s.get());
    QSequentialAnimationGroup* chain = Access::holdChain(*s);
    ASSERT_EQ(chain->animationCount(), 1);
    auto* seg = static_cast<QPropertyAnimation*>(chain->animationAt(0));
    EXPECT_EQ(seg->startValue().toInt(), max - 150);
    EXPECT_EQ(seg->endValue().toInt(), max);
    EXPECT_EQ(seg->duration(), 300);

    // The same upward, and the release near the top stops at it.
    s->bar()->setValue(150);
    QTest::mousePress(s->up, Qt::LeftButton);
    hold(s.get());
    ASSERT_EQ(chain->animationCount(), 1);
    seg = static_cast<QPropertyAnimation*>(chain->animationAt(0));
    EXPECT_EQ(seg->endValue().toInt(), 0);
    EXPECT_EQ(seg->duration(), 300);
    chain->setCurrentTime(250);
    QTest::mouseRelease(s->up, Qt::LeftButton);
    EXPECT_EQ(Access::releaseAnimation(*s)->endValue().toInt(), 0);
}

INSTANTIATE_TEST_SUITE_P(ListAndText, ScrollTest, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Text" : "List"; });

// A screen overriding timerEvent has no hold glide.
class NoHoldScreen : public TestScreen {
public:
    using TestScreen::TestScreen;

protected:
    void timerEvent(QTimerEvent*) override { }
};

TEST(ScrollOverride, ScreenWithItsOwnTimerEventMovesOneStepPerPress)
{
    views_test::ensureApplication();
    NoHoldScreen s(100, 300);
    QTest::mousePress(s.down, Qt::LeftButton);
    hold(&s);
    EXPECT_EQ(Access::holdChain(s)->animationCount(), 0);
    EXPECT_EQ(Access::pressAnimation(s)->state(), QAbstractAnimation::Running);
}

class ListBindingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { views_test::ensureApplication(); }
};

TEST_F(ListBindingTest, RowsArePaintedInTheirOwnRectanglesFromOneWidget)
{
    const int before = RowItem::instances;
    TestScreen s(20, 300);
    EXPECT_EQ(RowItem::instances, before + 1);
    EXPECT_EQ(s.list->itemHeight(), 47);
    s.bar()->setValue(30);
    QApplication::processEvents();
    const QImage image = views_test::shot(s, "bound_rows");
    const QPoint origin = s.list->viewport()->mapTo(&s, QPoint(0, 0));
    int checked = 0;
    for (int row = 0; row < 20; ++row) {
        const QRect r = s.list->visualRect(s.list->model()->index(row, 0)).translated(origin);
        if (r.top() < origin.y() || r.bottom() >= origin.y() + s.list->viewport()->height())
            continue; // only whole rows
        ++checked;
        const QRect textBand(r.left(), r.top(), r.width(), 24);
        const QRect emptyBand(r.left(), r.top() + 24, r.width(), r.height() - 24);
        EXPECT_TRUE(views_test::boundsOf(image, textBand, views_test::isDark).isValid()) << "row " << row;
        EXPECT_FALSE(views_test::boundsOf(image, emptyBand, views_test::isDark).isValid()) << "row " << row;
    }
    EXPECT_GE(checked, 5);
    EXPECT_EQ(s.filled.size(), 1u); // one widget, filled once per painted row
    EXPECT_GE(s.fills, checked);
}

TEST_F(ListBindingTest, SizeHintTakesOnlyAPositiveIntFromRole13)
{
    TestScreen s(3, 300);
    QStandardItemModel model(5, 1);
    model.setData(model.index(1, 0), QStringLiteral("60"), 13);
    model.setData(model.index(2, 0), 0, 13);
    model.setData(model.index(3, 0), -5, 13);
    model.setData(model.index(4, 0), 60, 13);
    s.list->setModel(&model);
    QAbstractItemDelegate* delegate = s.list->itemDelegate();
    const int expected[] = { 47, 47, 47, 47, 60 };
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(delegate->sizeHint(QStyleOptionViewItem(), model.index(row, 0)), QSize(240, expected[row])) << row;
}

TEST_F(ListBindingTest, ModelIsTheScreensAndAnswersAsAListOfEnabledRows)
{
    QWidget flow;
    auto* s = new TestScreen(4, 300, false, &flow);
    auto* model = qobject_cast<zyrCListModel*>(s->list->model());
    ASSERT_TRUE(model);
    EXPECT_EQ(model->parent(), s);
    EXPECT_TRUE(flow.findChildren<zyrCListModel*>(QString(), Qt::FindDirectChildrenOnly).isEmpty());
    EXPECT_EQ(model->rowCount(), 4);
    EXPECT_EQ(model->flags(model->index(0, 0)), Qt::ItemIsEnabled);
    EXPECT_FALSE(model->data(model->index(0, 0), 13).isValid());
    EXPECT_FALSE(model->data(model->index(0, 0), Qt::DisplayRole).isValid());
    EXPECT_FALSE(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).isValid());
    EXPECT_FALSE(model->setData(model->index(0, 0), 50, 13)); // no height to replace

    QSignalSpy reset(model, SIGNAL(modelReset()));
    s->rows = 6;
    s->resetModel();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(s->list->model()->rowCount(), 6);

    // Both interfaces answer by name.
    EXPECT_EQ(s->qt_metacast("zyrCItemCtrlProviderT<KivoWiFiBaseVLItem>"), static_cast<KivoWiFiItemProvider*>(s));
    EXPECT_EQ(s->qt_metacast("zyrCListModelDataProvider"), static_cast<zyrCListModelDataProvider*>(s));
    EXPECT_EQ(s->qt_metacast("KivoWiFiBaseView"), static_cast<KivoWiFiBaseView*>(s));

    // Released, the screen takes its model and row widget with it.
    QPointer<zyrCListModel> gone(model);
    const int rows = RowItem::instances;
    delete s;
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(RowItem::instances, rows - 1);
    EXPECT_TRUE(flow.findChildren<zyrCListModel*>().isEmpty());
}

} // namespace

int main(int argc, char** argv)
{
    views_test::ensureApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
