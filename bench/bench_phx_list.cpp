// One frame of a flinging phxVirtualList: a tick of the Kinetic engine (which
// scrolls the list) and the repaint of its 240x400 viewport, over 1,000 rows
// of 47 pixels painted by a delegate. The floor paints the same visible rows
// straight into an image of the viewport's size.
#include "controls/core/KineticPrivate.h"
#include "controls/core/LibraryInternal.h"
#include "controls/core/phxVirtualList.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStringListModel>
#include <QStyledItemDelegate>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 1000;
constexpr int kRowHeight = 47;

QPixmap rowImage()
{
    QPixmap row(240, kRowHeight);
    row.fill(QColor(248, 249, 250));
    QPainter p(&row);
    p.setPen(QColor(190, 194, 200));
    p.drawLine(0, kRowHeight - 1, 239, kRowHeight - 1);
    return row;
}

// What the screens' delegates do per row: the row image displaced by the
// bounce offset, the name over it.
void paintRow(QPainter* p, const QRect& rect, const QPixmap& row, const QString& text)
{
    p->drawPixmap(rect.topLeft(), row);
    p->setPen(Qt::black);
    p->drawText(rect.adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
}

class RowDelegate : public QStyledItemDelegate {
public:
    explicit RowDelegate(phxVirtualList* list)
        : QStyledItemDelegate(list)
        , m_list(list)
        , m_row(rowImage())
    {
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return QSize(240, kRowHeight); }
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        paintRow(p, option.rect.translated(0, -m_list->GetBounceOffset()), m_row, index.data().toString());
    }

private:
    phxVirtualList* m_list;
    QPixmap m_row;
};

QStringList rowNames()
{
    QStringList names;
    for (int i = 0; i < kRows; ++i)
        names << QStringLiteral("Network %1").arg(i);
    return names;
}

struct FlingingList {
    FlingingList()
        : model(rowNames())
    {
        ZyrelleControls::Internal::SetClock([this] { return now; });
        list.setModel(&model);
        list.setItemDelegate(new RowDelegate(&list));
        list.SetItemHeight(kRowHeight);
        list.resize(240, 400);
        list.show();
        QApplication::processEvents();
    }
    ~FlingingList() { ZyrelleControls::Internal::SetClock({}); }

    void send(QEvent::Type type, int y)
    {
        const QPoint at(120, y);
        QMouseEvent e(type, at, list.viewport()->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list.viewport(), &e);
    }

    // A quick 240-pixel flick, toward the end that is further away.
    void flick()
    {
        const bool up = list.verticalScrollBar()->value() < list.verticalScrollBar()->maximum() / 2;
        const int from = up ? 380 : 20;
        const int dir = up ? -1 : 1;
        send(QEvent::MouseButtonPress, from);
        send(QEvent::MouseMove, from + dir * 30);
        now += 101;
        send(QEvent::MouseMove, from + dir * 270);
        now += 10;
        send(QEvent::MouseButtonRelease, from + dir * 270);
    }

    qint64 now = 0;
    QStringListModel model;
    phxVirtualList list;
};

void PhxListFlingFrame(benchmark::State& state)
{
    FlingingList f;
    f.flick();
    for (auto _ : state) {
        if (KineticTestAccess::state(f.list) != 3) {
            state.PauseTiming();
            f.flick();
            state.ResumeTiming();
        }
        KineticTestAccess::tick(f.list);
        f.list.viewport()->repaint();
    }
}
BENCHMARK(PhxListFlingFrame);

void PhxListFlingFrame_Floor(benchmark::State& state)
{
    const QPixmap row = rowImage();
    const QStringList names = rowNames();
    QImage frame(240, 400, QImage::Format_ARGB32_Premultiplied);
    int top = 0;
    for (auto _ : state) {
        top = (top + 37) % (kRows * kRowHeight - 400);
        QPainter p(&frame);
        p.fillRect(frame.rect(), Qt::white);
        for (int i = top / kRowHeight; i * kRowHeight < top + 400; ++i)
            paintRow(&p, QRect(0, i * kRowHeight - top, 240, kRowHeight), row, names.at(i));
    }
    benchmark::DoNotOptimize(frame.constBits());
}
BENCHMARK(PhxListFlingFrame_Floor);

} // namespace
