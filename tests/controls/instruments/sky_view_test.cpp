// The satellite sky view and the north-up widget.
#include "controls/instruments/ZyrNorthUpWidget.h"
#include "controls/instruments/zyrSatelliteView.h"
#include "tests/controls/core/zyr_widget_test.h"

#include <QEvent>
#include <QPainter>
#include <QVariant>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

// Reaches the view's private helpers and geometry.
struct zyrSatelliteViewTestAccess {
    static const QColor& colour(zyrSatelliteView& v, const zyrSatelliteDetails& s) { return v.getSignalColor(s); }
    static const QPixmap& icon(zyrSatelliteView& v, const zyrSatelliteDetails& s) { return v.getSatPixmap(s); }
    static bool sbas(const zyrSatelliteDetails& s) { return zyrSatelliteView::isSBAS(s); }
    static QString number(const zyrSatelliteDetails& s) { return zyrSatelliteView::getSatNumber(s); }
    static QPoint position(zyrSatelliteView& v, const zyrSatelliteDetails& s) { return v.getSatPosition(s); }
    static QRect sky(zyrSatelliteView& v) { return v.m_skyRect; }
    static QRect circle(zyrSatelliteView& v) { return v.m_circleRect; }
    static QRect barArea(zyrSatelliteView& v) { return v.m_barArea; }
    static QRect bar(zyrSatelliteView& v) { return v.m_barRect; }
    static const zyrSatellites& data(zyrSatelliteView& v) { return v.m_data; }
};

namespace {

using Access = zyrSatelliteViewTestAccess;
using zyrtest::shot;
using zyrtest::solid;

zyrSatelliteDetails sat(int number, int azimuth, int elevation, int snr, int used = 1)
{
    zyrSatelliteDetails d;
    d.number = std::uint8_t(number);
    d.azimuth = std::uint16_t(azimuth);
    d.elevation = std::uint8_t(elevation);
    d.snr = std::uint16_t(snr);
    d.used = std::uint8_t(used);
    return d;
}

zyrSatellites record()
{
    zyrSatellites r;
    std::memset(&r, 0, sizeof r);
    return r;
}

// Every icon the same, so that two renders differ only by their texts.
const QColor kIcon(255, 0, 255);
void giveIcons(zyrSatelliteView& v, const QPixmap& icon)
{
    for (const char* name : { "WeakSat", "MedSat", "StrongSat", "NoSat", "SBASWeakSat", "SBASMedSat", "SBASStrongSat",
             "SBASNoSat" })
        v.setProperty(name, icon);
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

// Rows of the column x, from the bottom of `area` upwards, whose colour is
// `colour` (within a small tolerance).
int columnRun(const QImage& image, int x, const QRect& area, const QColor& colour)
{
    int rows = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const QColor c = image.pixelColor(x, y);
        rows += std::abs(c.red() - colour.red()) < 8 && std::abs(c.green() - colour.green()) < 8
            && std::abs(c.blue() - colour.blue()) < 8;
    }
    return rows;
}

TEST(SatelliteView, SignalClassesAndNumbers)
{
    zyrSatelliteView v;
    const QPixmap icons[8] = { solid(2, 2, Qt::red), solid(3, 3, Qt::red), solid(4, 4, Qt::red), solid(5, 5, Qt::red),
        solid(6, 6, Qt::red), solid(7, 7, Qt::red), solid(8, 8, Qt::red), solid(9, 9, Qt::red) };
    v.setWeakSat(icons[0]);
    v.setMedSat(icons[1]);
    v.setStrongSat(icons[2]);
    v.setNoSat(icons[3]);
    v.setSBASWeakSat(icons[4]);
    v.setSBASMedSat(icons[5]);
    v.setSBASStrongSat(icons[6]);
    v.setSBASNoSat(icons[7]);
    const struct {
        int number, snr, used;
        QColor colour;
        int icon;
    } cases[] = {
        { 7, 19, 1, QColor(255, 0, 0), 0 },
        { 7, 20, 1, QColor(255, 255, 0), 1 },
        { 7, 34, 1, QColor(255, 255, 0), 1 },
        { 7, 35, 1, QColor(0, 255, 0), 2 },
        { 7, 40, 0, QColor(255, 255, 255), 3 }, // unused: no signal whatever the snr
        { 35, 10, 1, QColor(255, 0, 0), 4 },
        { 35, 25, 1, QColor(255, 255, 0), 5 },
        { 35, 99, 1, QColor(0, 255, 0), 6 },
        { 35, 40, 0, QColor(255, 255, 255), 7 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.number << " snr " << c.snr << " used " << c.used);
        const zyrSatelliteDetails s = sat(c.number, 0, 0, c.snr, c.used);
        EXPECT_EQ(Access::colour(v, s), c.colour);
        EXPECT_EQ(Access::icon(v, s).width(), icons[c.icon].width());
    }

    int sbas = 0;
    for (int n = 0; n < 256; ++n)
        sbas += Access::sbas(sat(n, 0, 0, 0));
    EXPECT_EQ(sbas, 10);
    for (int n : { 33, 35, 37, 39, 42, 44, 47, 48, 50, 51 })
        EXPECT_TRUE(Access::sbas(sat(n, 0, 0, 0))) << n;

    EXPECT_EQ(Access::number(sat(7, 0, 0, 0)), "07");
    EXPECT_EQ(Access::number(sat(0, 0, 0, 0)), "00");
    EXPECT_EQ(Access::number(sat(35, 0, 0, 0)), "35");
    EXPECT_EQ(Access::number(sat(200, 0, 0, 0)), "200");
}

TEST(SatelliteView, GeometryWideAndTall)
{
    zyrSatelliteView wide;
    wide.resize(400, 200);
    wide.show();
    EXPECT_EQ(Access::sky(wide), QRect(125, 0, 150, 150)); // a centred square
    EXPECT_EQ(Access::circle(wide), QRect(135, 10, 130, 130)); // margin trunc(150 * 0.07)
    EXPECT_EQ(Access::barArea(wide), QRect(0, 150, 399, 49));
    EXPECT_EQ(Access::bar(wide), QRect(0, 150, 399 / 14, 49));

    zyrSatelliteView tall;
    tall.resize(200, 400);
    tall.show();
    EXPECT_EQ(Access::sky(tall), QRect(0, 0, 200, 200)); // W x W at the top
    EXPECT_EQ(Access::circle(tall), QRect(14, 14, 172, 172));
    EXPECT_EQ(Access::barArea(tall), QRect(0, 300, 199, 99));
}

TEST(SatelliteView, SkyPositions)
{
    zyrSatelliteView v;
    v.resize(300, 400);
    v.show(); // circle (21, 21, 258, 258), R 129, centre (150, 150)
    ASSERT_EQ(Access::circle(v), QRect(21, 21, 258, 258));
    const struct {
        int azimuth, elevation;
        QPoint at;
    } cases[] = {
        { 0, 90, { 150, 150 } },
        { 237, 90, { 150, 150 } }, // the zenith whatever the azimuth
        { 0, 0, { 150, 21 } },
        { 90, 0, { 279, 150 } }, // on the circle's right
        { 180, 0, { 150, 279 } },
        { 270, 0, { 21, 150 } },
        { 30, 0, { 214, 39 } }, // 64.49.. and 111.7 both truncated
        { 45, 60, { 195, 105 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "az " << c.azimuth << " el " << c.elevation);
        EXPECT_EQ(Access::position(v, sat(1, c.azimuth, c.elevation, 30)), c.at);
    }

    // The icon is drawn centred on its position.
    giveIcons(v, solid(5, 5, kIcon));
    zyrSatellites r = record();
    r.count = 1;
    r.slotFlags[0] = 1;
    r.details[0] = sat(1, 90, 0, 30);
    v.setData(&r);
    const QImage image = shot(&v, "sky_position");
    EXPECT_EQ(image.pixelColor(279, 150), kIcon);
    EXPECT_EQ(image.pixelColor(277, 148), kIcon);
    EXPECT_EQ(image.pixelColor(281, 152), kIcon);
    EXPECT_NE(image.pixelColor(276, 150), kIcon);
    EXPECT_NE(image.pixelColor(279, 146), kIcon);
}

// 560 x 400: the bar area is 99 high and a slot 39 wide.
struct BarView : zyrSatelliteView {
    BarView()
    {
        resize(560, 400);
        show(); // a hidden widget gets a resize event with every grab
    }
    QRect slot(int i) { return Access::bar(*this).translated(i * Access::bar(*this).width(), 0); }
};

TEST(SatelliteView, BarHeights)
{
    const struct {
        int snr;
        QColor colour;
        int rows;
    } cases[] = {
        { 15, QColor(255, 0, 0), 99 * 15 / 100 }, // a stub of 15 %
        { 16, QColor(255, 0, 0), 99 * 16 / 50 },
        { 25, QColor(255, 255, 0), 99 * 25 / 50 },
        { 50, QColor(0, 255, 0), 99 },
        { 120, QColor(0, 255, 0), 99 }, // never above the area
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.snr);
        BarView v;
        zyrSatellites r = record();
        r.count = 1;
        r.slotFlags[0] = 1;
        r.details[0] = sat(4, 0, 45, c.snr);
        v.setData(&r);
        const QImage image = shot(&v, QStringLiteral("bar_%1").arg(c.snr));
        const int rows = columnRun(image, v.slot(0).left() + 2, v.slot(0), c.colour);
        EXPECT_NEAR(rows, c.rows, 2);
    }
}

TEST(SatelliteView, UnusedSatelliteShowsNoSignal)
{
    BarView v;
    v.setNoSat(solid(5, 5, Qt::cyan));
    v.setStrongSat(solid(5, 5, kIcon));
    zyrSatellites r = record();
    r.count = 1;
    r.slotFlags[0] = 1;
    r.details[0] = sat(9, 0, 90, 40, 0);
    v.setData(&r);
    const QImage image = shot(&v, "unused");
    EXPECT_EQ(image.pixelColor(Access::position(v, r.details[0])), QColor(Qt::cyan));
    EXPECT_NEAR(columnRun(image, v.slot(0).left() + 2, v.slot(0), Qt::white), 40 * 99 / 50, 2);
}

TEST(SatelliteView, DrawnBarsPackLeft)
{
    BarView v;
    zyrSatellites r = record();
    r.count = 6;
    r.slotFlags[2] = 1;
    r.slotFlags[5] = 1;
    r.details[2] = sat(2, 0, 10, 50); // green, full
    r.details[5] = sat(5, 0, 10, 25); // yellow, half
    for (int i : { 0, 1, 3, 4 })
        r.details[i] = sat(i, 0, 10, 18); // red if it were drawn
    v.setData(&r);
    const QImage image = shot(&v, "packed");
    EXPECT_NEAR(columnRun(image, v.slot(0).left() + 2, v.slot(0), QColor(0, 255, 0)), 99, 2);
    EXPECT_NEAR(columnRun(image, v.slot(1).left() + 2, v.slot(1), QColor(255, 255, 0)), 49, 2);
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(columnRun(image, v.slot(i).left() + 2, v.slot(i), QColor(255, 0, 0)), 0) << i;
    EXPECT_EQ(columnRun(image, v.slot(2).left() + 2, v.slot(2), QColor(255, 255, 0)), 0);
}

TEST(SatelliteView, CountLimitsTheCopyNotTheDrawing)
{
    BarView v;
    zyrSatellites first = record();
    first.count = 5;
    first.details[4] = sat(12, 0, 10, 50); // strong
    v.setData(&first);

    zyrSatellites second = record();
    second.count = 3;
    second.slotFlags[4] = 1;
    second.details[4] = sat(13, 0, 10, 10); // past the count: not copied
    v.setData(&second);
    EXPECT_EQ(Access::data(v).details[4].number, 12);
    EXPECT_EQ(Access::data(v).count, 3);
    const QImage image = shot(&v, "count");
    EXPECT_NEAR(columnRun(image, v.slot(0).left() + 2, v.slot(0), QColor(0, 255, 0)), 99, 2);

    // A count above 14 copies the fourteen records there are.
    zyrSatellites many = record();
    many.count = 200;
    for (int i = 0; i < zyrMaxSatellites; ++i)
        many.details[i] = sat(60 + i, 0, 0, 0);
    v.setData(&many);
    EXPECT_EQ(Access::data(v).details[13].number, 73);
}

TEST(SatelliteView, SetDataRepaintsAtOnceAndIgnoresNull)
{
    zyrSatelliteView v;
    v.resize(200, 200);
    v.show();
    zyrtest::pump();
    PaintCounter counter;
    v.installEventFilter(&counter);
    v.setData(nullptr);
    EXPECT_EQ(counter.paints, 0);
    zyrSatellites r = record();
    v.setData(&r);
    EXPECT_EQ(counter.paints, 1); // repaint, not a scheduled update
    v.removeEventFilter(&counter);
}

TEST(SatelliteView, SettersOnlyStore)
{
    BarView v;
    zyrSatellites r = record();
    r.count = 1;
    r.slotFlags[0] = 1;
    r.details[0] = sat(3, 0, 10, 10);
    v.setData(&r);
    shot(&v, "before_setter");
    v.setclrWeakSignal(QColor(0, 128, 255));
    EXPECT_EQ(v.property("clrWeakSignal").value<QColor>(), QColor(0, 128, 255));
    const int x = v.slot(0).left() + 2;
    EXPECT_GT(columnRun(shot(&v, "after_setter"), x, v.slot(0), QColor(255, 0, 0)), 10);
    v.resize(560, 401); // a size change draws again
    EXPECT_GT(columnRun(shot(&v, "after_resize"), x, v.slot(0), QColor(0, 128, 255)), 10);
}

// The plot label right of an icon centred at `at`.
QImage plotLabel(const QImage& image, QPoint at)
{
    return image.copy(at.x() + 3, at.y() - 15, 40, 30);
}

TEST(SatelliteView, SbasIsWOnThePlotAndItsNumberUnderTheBar)
{
    auto render = [](int number) {
        BarView v;
        giveIcons(v, solid(5, 5, kIcon));
        zyrSatellites r = record();
        r.count = 1;
        r.slotFlags[0] = 1;
        r.details[0] = sat(number, 0, 90, 40);
        v.setData(&r);
        QImage image = shot(&v, QStringLiteral("sat_%1").arg(number));
        return std::make_pair(plotLabel(image, Access::position(v, r.details[0])), image.copy(v.slot(0)));
    };
    const auto s33 = render(33), s35 = render(35), s36 = render(36), s37 = render(37);
    EXPECT_EQ(s35.first, s33.first); // both "W"
    EXPECT_EQ(s35.first, s37.first);
    EXPECT_NE(s35.first, s36.first); // "36"
    EXPECT_NE(s35.second, s33.second); // "35" and "33" under the bars
    EXPECT_NE(s35.second, s37.second);
}

TEST(SatelliteView, Picture)
{
    zyrSatelliteView v;
    v.resize(240, 320);
    v.show();
    v.setWeakSat(solid(9, 9, QColor(255, 80, 80)));
    v.setMedSat(solid(9, 9, QColor(255, 255, 80)));
    v.setStrongSat(solid(9, 9, QColor(80, 255, 80)));
    v.setNoSat(solid(9, 9, QColor(200, 200, 200)));
    v.setSBASStrongSat(solid(9, 9, QColor(80, 200, 255)));
    zyrSatellites r = record();
    const zyrSatelliteDetails sats[] = { sat(7, 40, 60, 42), sat(12, 130, 20, 28), sat(35, 200, 35, 38),
        sat(21, 300, 10, 12), sat(3, 260, 75, 30, 0) };
    r.count = 5;
    for (int i = 0; i < 5; ++i) {
        r.slotFlags[i] = 1;
        r.details[i] = sats[i];
    }
    v.setData(&r);
    const QImage image = shot(&v, "satellite_view");
    // The sky disc's white rim, and the middle band at the right of the bars.
    const QRect c = Access::circle(v);
    const int radius = c.width() / 2;
    const QPoint rim = c.center() + QPoint(int(radius * 0.7071), -int(radius * 0.7071));
    EXPECT_GT(image.pixelColor(rim).lightness(), 200);
    const QRect bars = Access::barArea(v);
    EXPECT_EQ(image.pixelColor(bars.right() - 5, bars.center().y()), QColor(0, 0, 96));
}

// ---- the north-up widget

struct NorthUp : ZyrNorthUpWidget {
    NorthUp()
    {
        resize(100, 100);
        setNorth(solid(10, 10, Qt::blue)); // the arrow circles at 5 pixels
        setArrow(solid(6, 20, Qt::red));
        show(); // a hidden widget gets a resize event with every grab
    }
    QImage at(int degrees, const char* name)
    {
        setAngle(degrees);
        return shot(this, QStringLiteral("northup_%1").arg(QLatin1String(name)));
    }
};

TEST(NorthUp, RedrawsOnlyPastTenDegrees)
{
    NorthUp w;
    const QImage a0 = w.at(0, "0");
    EXPECT_EQ(w.at(8, "8"), a0); // 8 from the last drawn: kept
    const QImage a15 = w.at(15, "15");
    EXPECT_NE(a15, a0); // 15 from 0

    const QImage a355 = w.at(355, "355");
    EXPECT_NE(a355, a15);
    EXPECT_EQ(w.at(5, "5"), a355); // 355 to 5 is 10: kept
    EXPECT_EQ(w.at(-5, "-5"), a355);
    w.invalidate();
    EXPECT_NE(w.at(5, "5b"), a355);
}

TEST(NorthUp, ArrowTurnsAroundTheNorthImage)
{
    NorthUp w;
    const QImage down = w.at(0, "down");
    EXPECT_EQ(down.pixelColor(50, 65), QColor(Qt::red)); // below the centre, from 5 to 25
    EXPECT_EQ(down.pixelColor(50, 50), QColor(Qt::blue));
    const QImage left = w.at(90, "turned"); // clockwise: from below to the left
    EXPECT_EQ(left.pixelColor(35, 50), QColor(Qt::red));
    EXPECT_NE(left.pixelColor(50, 65), QColor(Qt::red));
    EXPECT_EQ(left.pixelColor(50, 50), QColor(Qt::blue));
}

} // namespace
