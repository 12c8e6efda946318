// One frame of a KivoWiFi network list: the 240x167 list of 47-pixel rows
// repainted, each visible row filled into the one row widget and drawn from
// the picture the list kept of it when it was first rendered.
// The floor draws the same rows' pictures and shortened names straight into
// an image.
#include "controls/core/phxVirtualList.h"
#include "wifi/views/KivoWiFiBaseVirtualList.h"
#include "wifi/views/WiFiMainView.h"
#include "wifi/views/WiFiVLItemStyles.h"
#include "wifi/views/screen_styles.h"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QResource>

#include <benchmark/benchmark.h>

namespace {

void ensureSkins()
{
    static bool once = [] {
        // The skins when this build has drawn them; without them the rows
        // are drawn without their pictures.
        const QString folder = QStringLiteral(KIVO_BENCH_DEVICE_TEMPLATE "/SystemDrive/Falmo/program/wifi/Resources/480x272/");
        for (const char* file : { "KivoWiFiResCommon.bin", "KivoWiFiResDay.bin" })
            if (QFile::exists(folder + QLatin1String(file)))
                QResource::registerResource(folder + QLatin1String(file));
        return true;
    }();
    (void)once;
}

QString networkName(int row)
{
    return QStringLiteral("Network number %1 nearby").arg(row);
}

class NetworkList : public KivoWiFiBaseVirtualList {
public:
    NetworkList()
        : KivoWiFiBaseVirtualList(nullptr)
    {
        resize(240, 400);
        list = new phxVirtualList(this);
        list->setObjectName(QStringLiteral("virtuallist"));
        list->setGeometry(0, 70, 240, 167);
        auto* row = new WiFiVLItemMainStyle(QStringLiteral("480x272"));
        row->setStyleSheets(QStringLiteral("Day"));
        setListProvider(list, row);
        show();
        QApplication::processEvents();
    }
    int getRowCount(const QModelIndex&) override { return 30; }
    // The lock icon is looked up for every row, as the network list does.
    void updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem& option) override
    {
        const QPixmap lock = kivowifi::skinPixmap(WiFiMainView::lockIconPath(true, -75));
        static_cast<WiFiVLItemMainStyle*>(item)->fill(
            option.state, networkName(index.row()), QPixmap(), QPixmap(), lock, QString(), QStringLiteral("-75"));
    }
    void setStyleSheets(const QString&) override { }

    phxVirtualList* list;
};

void WiFiListFrame(benchmark::State& state)
{
    ensureSkins();
    NetworkList screen;
    for (auto _ : state)
        screen.list->viewport()->repaint();
}
BENCHMARK(WiFiListFrame);

void WiFiListFrame_Floor(benchmark::State& state)
{
    ensureSkins();
    const QPixmap background(QStringLiteral(":/FocusBackground/b_list.png"));
    const QPixmap lock(QStringLiteral(":/Icon/i_list_wifilock_1.png"));
    QImage frame(240, 167, QImage::Format_ARGB32_Premultiplied);
    // The rows show the names shortened to their label, measured once.
    QStringList names;
    for (int row = 0; row * 47 < 167; ++row)
        names << WiFiVLItemMainStyle::elided(QFontMetrics(QApplication::font()), networkName(row), 190);
    for (auto _ : state) {
        QPainter p(&frame);
        p.fillRect(frame.rect(), Qt::white);
        for (int row = 0; row * 47 < 167; ++row) {
            const int y = row * 47;
            p.drawPixmap(0, y, background);
            p.drawPixmap(204, y + 9, lock);
            p.setPen(Qt::black);
            p.drawText(QRect(25, y + 10, 190, 30), Qt::AlignVCenter | Qt::AlignLeft, names[row]);
        }
    }
    benchmark::DoNotOptimize(frame.constBits());
}
BENCHMARK(WiFiListFrame_Floor);

} // namespace
