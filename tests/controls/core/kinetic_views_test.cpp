#include "zyr_widget_test.h"

#include "controls/core/LibraryInternal.h"
#include "controls/core/ZyrKineticViews.h"
#include "controls/core/ZyrPushButton.h"
#include "controls/core/ZyrelleControls.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTextFrame>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using namespace zyrtest;

// The engine's clock stands still: no speed sample, so no fling.
struct StillClock {
    StillClock() { ZyrelleControls::Internal::SetClock([] { return qint64(1000); }); }
    ~StillClock() { ZyrelleControls::Internal::SetClock({}); }
};

void mouse(QWidget* target, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, target->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void drag(QWidget* target, const QList<QPoint>& points)
{
    mouse(target, QEvent::MouseButtonPress, points.first());
    for (int i = 1; i < points.size(); ++i)
        mouse(target, QEvent::MouseMove, points[i]);
    mouse(target, QEvent::MouseButtonRelease, points.last());
}

// Ten rows of 40 pixels in a list 120 pixels high.
struct ListFixture {
    ZyrList list;
    ListFixture()
    {
        list.resize(200, 120);
        for (int i = 0; i < 10; ++i) {
            auto* row = new QWidget;
            row->resize(200, 40);
            list.AddWidgetItem(row);
        }
        list.show();
        pump();
    }
};

TEST(ZyrList, ADragThatDoesNotScrollClicksOnlyTheRowItBeganOn)
{
    StillClock still;
    ListFixture f;
    ASSERT_EQ(f.list.itemHeight(), 40);
    QList<QListWidgetItem*> clicked;
    QObject::connect(&f.list, &QListWidget::itemClicked, [&](QListWidgetItem* item) { clicked << item; });
    QWidget* viewport = f.list.viewport();

    drag(viewport, { { 50, 5 }, { 50, 30 }, { 50, 35 } }); // down at the top: the bar stays
    ASSERT_EQ(clicked.size(), 1);
    EXPECT_EQ(clicked.first(), f.list.item(0));
    EXPECT_EQ(f.list.verticalScrollBar()->value(), 0);

    drag(viewport, { { 50, 5 }, { 50, 30 }, { 50, 45 } }); // ends on the next row
    EXPECT_EQ(clicked.size(), 1);

    drag(viewport, { { 50, 110 }, { 50, 89 }, { 50, 88 } }); // scrolled by 1 within row 2
    EXPECT_EQ(f.list.verticalScrollBar()->value(), 1);
    EXPECT_EQ(clicked.size(), 1);

    drag(viewport, { { 50, 50 }, { 50, 52 } }); // a tap
    ASSERT_EQ(clicked.size(), 2);
    EXPECT_EQ(clicked.last(), f.list.itemAt(50, 50));
}

// Rows that are not widgets leave the item height at 0: a drag moves nothing.
TEST(ZyrList, WithItemHeightZeroADragDoesNotScroll)
{
    StillClock still;
    ZyrList list;
    list.resize(200, 120);
    for (int i = 0; i < 30; ++i)
        list.addItem(QStringLiteral("row %1").arg(i));
    list.show();
    pump();
    ASSERT_EQ(list.itemHeight(), 0);
    ASSERT_GT(list.verticalScrollBar()->maximum(), 40);
    drag(list.viewport(), { { 50, 110 }, { 50, 80 }, { 50, 50 }, { 50, 20 } });
    EXPECT_EQ(list.verticalScrollBar()->value(), 0);
}

TEST(ZyrList, ItemClickReachesTheRowOrItsListButton)
{
    ZyrList list;
    auto* direct = new ZyrListButton;
    direct->resize(100, 30);
    auto* row = new QWidget;
    row->resize(100, 30);
    auto* inner = new ZyrListButton(row);
    list.AddWidgetItem(direct);
    list.AddWidgetItem(row);
    QSignalSpy directClicks(direct, SIGNAL(clicked()));
    QSignalSpy innerClicks(inner, SIGNAL(clicked()));
    list.onItemClicked(list.item(0));
    list.onItemClicked(list.item(1));
    EXPECT_EQ(directClicks.count(), 1);
    EXPECT_EQ(innerClicks.count(), 1);
}

TEST(ZyrList, PageInfoAndPlusMinusKeys)
{
    ListFixture f;
    int current = 0, count = 0;
    f.list.GetListPageInfo(current, count);
    EXPECT_EQ(count, (280 + 120 + 119) / 120); // range 0..280 plus one page
    EXPECT_EQ(current, 1);
    f.list.onScrollPage(10);
    EXPECT_EQ(f.list.verticalScrollBar()->value(), f.list.verticalScrollBar()->maximum());
    f.list.GetListPageInfo(current, count);
    EXPECT_EQ(current, count);

    QKeyEvent plus(QEvent::KeyRelease, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"));
    QApplication::sendEvent(&f.list, &plus);
    EXPECT_EQ(f.list.verticalScrollBar()->value(), 0);
    EXPECT_EQ(f.list.currentRow(), 0);
    QKeyEvent minus(QEvent::KeyRelease, Qt::Key_Minus, Qt::NoModifier, QStringLiteral("-"));
    QApplication::sendEvent(&f.list, &minus);
    EXPECT_EQ(f.list.currentRow(), 9);
}

// A hundred rows of 20 pixels.
struct VirtualFixture {
    QStringListModel model;
    ZyrVirtualList list;
    QList<int> rows;
    VirtualFixture()
    {
        QStringList texts;
        for (int i = 0; i < 100; ++i)
            texts << QStringLiteral("row %1").arg(i);
        model.setStringList(texts);
        list.setModel(&model);
        list.SetItemHeight(20);
        list.resize(200, 200);
        list.show();
        QApplication::setActiveWindow(&list);
        list.setFocus();
        list.setCurrentIndex(model.index(0, 0));
        QObject::connect(list.selectionModel(), &QItemSelectionModel::currentChanged,
            [this](const QModelIndex& index) { rows << index.row(); });
    }
    void key(QEvent::Type type, int key, bool repeat)
    {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(&list, &event);
    }
};

TEST(ZyrVirtualList, HeldDownMovesEightSingleRowsThenTwentyPerTickToTheEnd)
{
    VirtualFixture f;
    f.key(QEvent::KeyPress, Qt::Key_Down, false);
    for (int i = 0; i < 7; ++i)
        f.key(QEvent::KeyPress, Qt::Key_Down, true);
    EXPECT_EQ(f.rows, QList<int>({ 1, 2, 3, 4, 5, 6, 7, 8 }));
    f.key(QEvent::KeyPress, Qt::Key_Down, true); // the ninth starts the fast repeat
    f.key(QEvent::KeyPress, Qt::Key_Down, true); // and further repeats do not step
    EXPECT_EQ(f.rows.size(), 8);
    QTimer* repeat = f.list.findChild<QTimer*>();
    ASSERT_TRUE(repeat && repeat->isActive());
    EXPECT_TRUE(pumpUntil([&] { return !repeat->isActive(); }));
    EXPECT_EQ(f.rows, QList<int>({ 1, 2, 3, 4, 5, 6, 7, 8, 28, 48, 68, 88, 99 }));

    // A new press starts counting again; a release stops a running repeat.
    f.rows.clear();
    f.key(QEvent::KeyPress, Qt::Key_Up, false);
    for (int i = 0; i < 8; ++i)
        f.key(QEvent::KeyPress, Qt::Key_Up, true);
    EXPECT_TRUE(repeat->isActive());
    f.key(QEvent::KeyRelease, Qt::Key_Up, false);
    EXPECT_FALSE(repeat->isActive());
    EXPECT_EQ(f.rows.mid(0, 8), QList<int>({ 98, 97, 96, 95, 94, 93, 92, 91 }));
}

TEST(ZyrVirtualList, AProcessedPressKeepsTheIndexAndReturnActs)
{
    StillClock still;
    VirtualFixture f;
    bool take = true;
    QObject::connect(&f.list, &ZyrVirtualList::ListMouseButtonPress,
        [&](QMouseEvent*, bool& processed) { processed = take; });
    mouse(f.list.viewport(), QEvent::MouseButtonPress, { 50, 65 });
    EXPECT_EQ(f.list.currentIndex().row(), 0);
    QObject::connect(&f.list, &ZyrVirtualList::ListMouseButtonRelease,
        [&](QMouseEvent*, bool& processed) { processed = take; });
    mouse(f.list.viewport(), QEvent::MouseButtonRelease, { 50, 65 });
    EXPECT_EQ(f.list.currentIndex().row(), 0);
    take = false;
    QSignalSpy clicked(&f.list, SIGNAL(clicked(QModelIndex)));
    drag(f.list.viewport(), { { 50, 65 } });
    EXPECT_EQ(f.list.currentIndex().row(), 3);
    EXPECT_EQ(clicked.count(), 1);

    f.key(QEvent::KeyRelease, Qt::Key_Return, false);
    EXPECT_EQ(clicked.count(), 2) << "Return on the focused list";
    f.list.enableActionKey(false);
    f.key(QEvent::KeyRelease, Qt::Key_Return, false);
    EXPECT_EQ(clicked.count(), 2);
}

TEST(ZyrTextArea, AReleaseWithinSevenPixelsClicksWithSound)
{
    StillClock still;
    SoundRecorder recorder;
    ZyrelleControls::SetSoundManager(&recorder);
    ZyrTextArea area;
    area.setObjectName(QStringLiteral("notes"));
    area.resize(200, 100);
    area.show();
    QSignalSpy clicked(&area, SIGNAL(clicked()));
    drag(area.viewport(), { { 50, 50 }, { 57, 43 } });
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(recorder.played, QStringList { QStringLiteral("notes") });
    drag(area.viewport(), { { 50, 50 }, { 58, 50 } });
    drag(area.viewport(), { { 50, 50 }, { 50, 42 } });
    EXPECT_EQ(clicked.count(), 1);
    ZyrelleControls::SetSoundManager(nullptr);
}

TEST(ZyrTextArea, AlignmentIsKeptAndAShortTextIsCentredOnShow)
{
    ZyrTextArea area;
    area.resize(200, 200);
    area.setAlignHCenter(true);
    EXPECT_TRUE(area.alignHCenter());
    EXPECT_EQ(int(area.alignment()), 132);
    area.setPlainText(QStringLiteral("Hi"));
    EXPECT_TRUE(area.alignHCenter());
    area.setHtml(QStringLiteral("<b>Ho</b>"));
    EXPECT_TRUE(area.alignHCenter());
    area.setAlignHCenter(false);
    EXPECT_EQ(int(area.alignment()), 1);

    area.setAlignVCenter(true);
    area.setPlainText(QStringLiteral("Short"));
    area.show();
    const double margin = area.document()->rootFrame()->frameFormat().topMargin();
    EXPECT_GT(margin, 60);
    EXPECT_LT(margin, 100);
    QImage image = shot(&area, "text_area_centred");
    int firstInk = -1;
    for (int y = 0; y < image.height() && firstInk < 0; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 100) {
                firstInk = y;
                break;
            }
    EXPECT_GT(firstInk, 60) << "the text starts near the middle";
}

TEST(ZyrTextArea, ImagesComeFromTheSearchPathsAndMissesStayCached)
{
    const QString root = QString::fromLocal8Bit(qgetenv("KIVO_DEVICE_ROOT")) + QStringLiteral("/images");
    QDir(root).removeRecursively();
    QDir().mkpath(root + QStringLiteral("/second"));
    solid(6, 4, Qt::red).save(root + QStringLiteral("/second/found.png"));

    ZyrTextArea area;
    EXPECT_TRUE(area.searchPathList().isEmpty());
    area.setSearchPathList({ root + QStringLiteral("/first") });
    area.addSearchPath(root + QStringLiteral("\\second")); // a device-style separator
    EXPECT_EQ(area.searchPathList().size(), 2);
    QTextDocument* document = area.document();

    auto image = [&](const char* name) {
        return document->resource(QTextDocument::ImageResource, QUrl(QString::fromLatin1(name))).value<QPixmap>();
    };
    EXPECT_EQ(image("found.png").size(), QSize(6, 4));
    EXPECT_TRUE(image("late.png").isNull());
    solid(3, 3, Qt::blue).save(root + QStringLiteral("/second/late.png"));
    EXPECT_TRUE(image("late.png").isNull()) << "a miss is kept while cached";
    EXPECT_EQ(image((root + QStringLiteral("/second/late.png")).toUtf8().constData()).size(), QSize(3, 3))
        << "a name that is a path loads directly";
}

} // namespace
