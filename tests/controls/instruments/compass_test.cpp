#include "controls/instruments/kivoCompass.h"
#include "controls/instruments/zyrColorArrow.h"
#include "controls/instruments/zyrCompass.h"
#include "controls/instruments/zyrStripCompass.h"
#include "sim/instruments/compass_provider.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

QApplication* app()
{
    static int argc = 1;
    static char name[] = "controls_compass_test";
    static char* argv[] = { name, nullptr };
    static QApplication* a = new QApplication(argc, argv);
    return a;
}

QPixmap solid(int w, int h, QColor colour)
{
    QPixmap p(w, h);
    p.fill(colour);
    return p;
}

// An offscreen picture of the widget, kept as PNG for a look.
QImage shot(QWidget& w, const char* name)
{
    QImage image = w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.save(QStringLiteral("compass_%1.png").arg(QLatin1String(name)));
    return image;
}

::testing::AssertionResult near(QRgb actual, QColor expected, int tolerance = 1)
{
    const QColor a = QColor::fromRgba(actual);
    if (std::abs(a.red() - expected.red()) <= tolerance && std::abs(a.green() - expected.green()) <= tolerance
        && std::abs(a.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got rgb(" << a.red() << "," << a.green() << "," << a.blue() << ")";
}

const QColor kGreen(0, 255, 0), kYellow(255, 255, 0), kRed(255, 0, 0), kBlue(0, 0, 255);

class Arrow : public zyrColorArrow {
public:
    using zyrColorArrow::steering;
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QPoint at(0, 0);
        drawArrow(p, at);
    }
};

class Compass : public zyrCompass {
public:
    using zyrCompass::normalizeDegree;
    using zyrCompass::OnUpdate;
};

class Ring : public kivoCompass {
public:
    using kivoCompass::OnUpdate;
};

class CompassTest : public ::testing::Test {
protected:
    CompassTest() { app(); }
};

// ---- the colour arrow

TEST_F(CompassTest, SteeringFoldsAndStoresBack)
{
    const struct {
        int heading, bearing, steering, heading2, bearing2;
    } cases[] = {
        { 350, 10, 20, -10, 10 },
        { 0, 180, 180, 0, 180 },
        { 0, 90, 90, 0, 90 },
        { 0, 200, 160, 0, -160 },
        { 10, 350, 20, 10, -10 },
        { 170, 190, 20, 170, -170 }, // a difference below -180 folds up
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.heading << "/" << c.bearing);
        Arrow a;
        a.setArrowHeading(c.heading);
        a.setArrowBearing(c.bearing);
        EXPECT_EQ(a.steering(), c.steering);
        EXPECT_EQ(a.arrowHeading(), c.heading2);
        EXPECT_EQ(a.arrowBearing(), c.bearing2);
        EXPECT_EQ(a.steering(), c.steering); // a second call agrees
    }
}

TEST_F(CompassTest, NeedleColoursBySteering)
{
    const struct {
        bool colour;
        int heading, bearing;
        QColor expected;
    } cases[] = {
        { true, 0, 0, kGreen },
        { true, 0, 20, QColor(56, 255, 0) },   // yellow at alpha 56 over green
        { true, 0, 90, kYellow },
        { true, 0, 91, QColor(255, 253, 0) },  // red at alpha 2 over yellow
        { true, 0, 180, kRed },
        { true, 170, 190, QColor(56, 255, 0) }, // 20 degrees across south
        { false, 0, 20, kBlue },               // no target: blue whatever the angles
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bearing);
        Arrow a;
        a.resize(20, 20);
        a.setGreenNeedle(solid(20, 20, kGreen));
        a.setYellowNeedle(solid(20, 20, kYellow));
        a.setRedNeedle(solid(20, 20, kRed));
        a.setBlueNeedle(solid(20, 20, kBlue));
        a.setColorMode(c.colour);
        a.setArrowHeading(c.heading);
        a.setArrowBearing(c.bearing);
        EXPECT_TRUE(near(shot(a, "needle").pixel(10, 10), c.expected));
    }
}

// ---- the ring compass

TEST_F(CompassTest, RingSteps)
{
    Ring r;
    for (int i = 0; i < 360; ++i)
        r.OnUpdate();
    EXPECT_EQ(r.ringAngle(), 360.0);
    r.OnUpdate();
    EXPECT_EQ(r.ringAngle(), 0.0);

    r.setRingAngle(-400);
    EXPECT_EQ(r.ringAngle(), 0.0);
    r.setRingAngle(10);
    EXPECT_EQ(r.ringAngle(), 11.0);
    r.setNorthUpFlag(false); // every setter steps
    EXPECT_EQ(r.ringAngle(), 12.0);

    // The provider's change reports step it too.
    kivo::sim::CompassProvider provider;
    EXPECT_EQ(r.SetCompassInterface(&provider), nullptr);
    EXPECT_EQ(provider.calls("subscribe"), 1);
    provider.setHeading(5);
    provider.setBearing(5);
    EXPECT_EQ(r.ringAngle(), 14.0);
    EXPECT_EQ(provider.calls("heading"), 0); // it reads no angle
}

// ---- the rose and strip faces

TEST_F(CompassTest, NormalizeDegree)
{
    EXPECT_EQ(Compass::normalizeDegree(0), 0.0f);
    EXPECT_EQ(Compass::normalizeDegree(360), 0.0f);
    EXPECT_EQ(Compass::normalizeDegree(-30), 330.0f);
    EXPECT_EQ(Compass::normalizeDegree(725), 5.0f);
}

TEST_F(CompassTest, ProviderAndDefaults)
{
    QWidget parent;
    Compass c;
    c.setParent(&parent);
    EXPECT_EQ(c.objectName(), "zyrCompass");
    EXPECT_EQ(c.textRadius(), 70);
    EXPECT_TRUE(c.northUpFlag());
    c.resetRingAngle();
    EXPECT_EQ(c.ringAngle(), 1.0);
    c.onSunMoonPos(zyrSunMoonAzEl_t()); // no provider: nothing happens

    kivo::sim::CompassProvider a, b;
    EXPECT_EQ(c.SetCompassInterface(&a), nullptr);
    EXPECT_EQ(c.SetCompassInterface(&b), &a);
    EXPECT_EQ(c.GetCompassInterface(), &b);
    EXPECT_EQ(a.calls("subscribe") + b.calls("subscribe"), 2);
    zyrSunMoonAzEl_t where;
    where.sunAzimuth = 42;
    c.onSunMoonPos(where);
    EXPECT_EQ(b.lastSunMoonPosition().sunAzimuth, 42);
}

class RoseTest : public CompassTest {
protected:
    void SetUp() override
    {
        c.resize(200, 200);
        c.SetTransparent(false);
        c.setTextCenter(QPoint(100, 100));
        QPixmap ring(200, 200);
        ring.fill(Qt::transparent);
        QPainter p(&ring);
        p.setBrush(QColor(128, 128, 128));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(100, 100), 99, 99);
        p.fillRect(95, 0, 10, 12, QColor(255, 0, 255)); // the north mark
        p.end();
        c.setCompassRing(ring);
        c.setBlueNeedle(solid(10, 10, kBlue));
        c.setSignN(solid(16, 16, QColor(0, 128, 255)));
        c.setIconSun(solid(8, 8, QColor(255, 200, 0)));
        c.SetCompassInterface(&provider);
    }
    Compass c;
    kivo::sim::CompassProvider provider;
};

TEST_F(RoseTest, RingTurnsWithoutNorthUp)
{
    provider.setHeading(90);
    c.setNorthUpFlag(false);
    const QImage image = shot(c, "rose_heading90");
    // The ring turns by minus the heading: north now on the left.
    EXPECT_TRUE(near(image.pixel(5, 100), QColor(255, 0, 255)));
    EXPECT_TRUE(near(image.pixel(100, 5), QColor(128, 128, 128)));
    EXPECT_TRUE(near(image.pixel(100, 100), kBlue)); // needle, blue without target
    EXPECT_EQ(c.ringAngle(), 270.0);
}

TEST_F(RoseTest, LabelsCardinalsAndSun)
{
    provider.setSunAzimuth(90);
    const QImage image = shot(c, "rose_heading0");
    // North's sign stands upright above the label circle's top.
    EXPECT_TRUE(near(image.pixel(100, 27), QColor(0, 128, 255)));
    // The sun sits near the rim, centred 90 px right of the centre.
    EXPECT_TRUE(near(image.pixel(190, 100), QColor(255, 200, 0)));
    EXPECT_TRUE(near(image.pixel(186, 100), QColor(255, 200, 0)));
    EXPECT_FALSE(near(image.pixel(180, 100), QColor(255, 200, 0)));
    // "30" in black with a white halo, its baseline half a text height above
    // the point 30 degrees along the label circle, (135, 39).
    int black = 0, white = 0;
    for (int y = 14; y < 40; ++y)
        for (int x = 125; x < 146; ++x) {
            const QColor px = QColor::fromRgb(image.pixel(x, y));
            black += px.lightness() < 40;
            white += px.lightness() > 240;
        }
    EXPECT_GT(black, 5);
    EXPECT_GT(white, 5);
}

TEST_F(RoseTest, TransparentOverlayAtAlpha192WithoutNeedle)
{
    c.SetTransparent(true);
    QImage image(c.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    c.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    image.save("compass_rose_transparent.png");
    const QColor centre = QColor::fromRgba(image.pixel(100, 100));
    EXPECT_EQ(centre.alpha(), 192);
    EXPECT_NE(centre.blue(), 255); // ring, not the needle
    EXPECT_EQ(QColor::fromRgba(image.pixel(100, 140)).alpha(), 192);
}

// In overlay mode the bearing icon stands at the top unless the provider's
// mode is 1 or 2; it keeps 25 pixels from the rim, the sun 10.
TEST_F(RoseTest, OverlayBearingIconByModeAndTheRimDistances)
{
    const QColor bearingColour(0, 200, 200), sunColour(255, 200, 0);
    c.setIconBearing(solid(10, 10, bearingColour));
    c.SetTransparent(true);
    provider.setHasTarget(true);
    provider.setBearing(90);
    auto render = [&](const char* name) {
        QImage image(c.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        c.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        image.save(QStringLiteral("compass_%1.png").arg(QLatin1String(name)));
        return image;
    };
    for (int mode : { 0, 1, 2, 3, -1 }) {
        SCOPED_TRACE(mode);
        provider.setOverlayBearingMode(mode);
        const QImage image = render("rose_overlay_bearing");
        const bool turned = mode == 1 || mode == 2;
        // Top: the icon from 25 px below the rim (y 20..29); right: x 170..179.
        EXPECT_EQ(bool(near(image.pixel(100, 20), bearingColour)), !turned);
        EXPECT_EQ(bool(near(image.pixel(179, 100), bearingColour)), turned);
        EXPECT_FALSE(near(image.pixel(100, 19), bearingColour));
        EXPECT_FALSE(near(image.pixel(180, 100), bearingColour));
        // The sun at north, 10 px below the rim: y 6..13.
        EXPECT_TRUE(near(image.pixel(100, 6), sunColour));
        EXPECT_FALSE(near(image.pixel(100, 5), sunColour));
    }
}

class StripFaceTest : public CompassTest {
protected:
    void SetUp() override
    {
        c.resize(200, 60);
        c.SetTransparent(false);
        c.SetStripCompassIndicator(true);
        c.setStripBkgd(solid(200, 40, QColor(40, 40, 40)));
        c.setIconSun(solid(10, 10, QColor(255, 200, 0)));
        c.setIconBearing(solid(6, 6, QColor(0, 200, 200)));
        c.setLeftArrow(solid(8, 8, QColor(200, 0, 0)));
        c.setRightArrow(solid(8, 8, QColor(0, 0, 200)));
        c.SetCompassInterface(&provider);
        provider.setHeading(20);
        provider.setHasTarget(true);
    }
    int count(const QImage& image, QColor colour)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += near(image.pixel(x, y), colour, 0) ? 1 : 0;
        return n;
    }
    Compass c;
    kivo::sim::CompassProvider provider;
};

TEST_F(StripFaceTest, SunsInTheWindowAroundTheHeading)
{
    // Window 330..70, step 2 px a degree.
    provider.setSunAzimuth(350);
    QImage image = shot(c, "strip_sun350");
    EXPECT_TRUE(near(image.pixel((350 - 330) * 2 - 5 + 1, 1), QColor(255, 200, 0)));
    EXPECT_FALSE(near(image.pixel((350 - 330) * 2 - 5 - 1, 1), QColor(255, 200, 0)));
    provider.setSunAzimuth(10);
    image = shot(c, "strip_sun10");
    EXPECT_TRUE(near(image.pixel((10 + 360 - 330) * 2 - 5 + 1, 1), QColor(255, 200, 0)));
    provider.setSunAzimuth(100); // outside the window
    EXPECT_EQ(count(shot(c, "strip_sun100"), QColor(255, 200, 0)), 0);
}

TEST_F(StripFaceTest, BearingIconOrSideArrow)
{
    provider.setBearing(20 - 60);
    QImage image = shot(c, "strip_bearing_left60");
    EXPECT_TRUE(near(image.pixel(2, 20), QColor(200, 0, 0)));
    EXPECT_EQ(count(image, QColor(0, 200, 200)), 0);

    provider.setBearing(20 - 40);
    image = shot(c, "strip_bearing_left40");
    EXPECT_TRUE(near(image.pixel((340 - 330) * 2 - 3 + 1, 40 / 3 + 1), QColor(0, 200, 200)));
    EXPECT_EQ(count(image, QColor(200, 0, 0)), 0);

    provider.setBearing(20 + 60);
    EXPECT_GT(count(shot(c, "strip_bearing_right60"), QColor(0, 0, 200)), 0);

    provider.setHasTarget(false);
    provider.setBearing(20 - 60);
    image = shot(c, "strip_no_target");
    EXPECT_EQ(count(image, QColor(200, 0, 0)), 0);
    EXPECT_EQ(count(image, QColor(0, 200, 200)), 0);
}

// ---- the strip compass

class StripCompassTest : public CompassTest {
protected:
    // Runs the running turn to its end as the time line's timer would.
    void finishTurn()
    {
        QTimeLine* line = s.timeLine();
        ASSERT_EQ(line->state(), QTimeLine::Running);
        line->setCurrentTime(line->duration());
    }
    zyrStripCompass s;
};

TEST_F(StripCompassTest, TurnsTheShortWayIn20MsADegree)
{
    EXPECT_EQ(s.width(), 240);
    EXPECT_EQ(s.height(), 240);
    s.setHeading(350);
    EXPECT_EQ(s.timeLine()->duration(), 200);
    finishTurn();
    EXPECT_EQ(s.timeLine()->state(), QTimeLine::NotRunning);
    EXPECT_FLOAT_EQ(std::fmod(float(s.heading()) + 360, 360), 350);

    // 350 -> 10: 20 degrees clockwise, through north half way.
    s.setHeading(10);
    EXPECT_EQ(s.timeLine()->duration(), 400);
    s.timeLine()->setCurrentTime(200);
    EXPECT_NEAR(std::fmod(float(s.heading()) + 360, 360), 0, 0.01);
    finishTurn();
    EXPECT_NEAR(s.heading(), 10, 0.01);

    // And back.
    s.setHeading(350);
    EXPECT_EQ(s.timeLine()->duration(), 400);
    s.timeLine()->setCurrentTime(200);
    EXPECT_NEAR(s.heading(), 0, 0.01);
    finishTurn();
    EXPECT_NEAR(s.heading(), -10, 0.01);
}

TEST_F(StripCompassTest, QueuedHeadingsInOrderThenOneReady)
{
    QSignalSpy ready(&s, SIGNAL(ready()));
    s.setHeading(30);
    s.setHeading(60);
    s.setHeading(100);
    s.setHeading(90);
    for (float expected : { 30.f, 60.f, 100.f, 90.f }) {
        EXPECT_EQ(ready.count(), 0);
        finishTurn();
        EXPECT_NEAR(s.heading(), expected, 0.01);
    }
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(s.timeLine()->state(), QTimeLine::NotRunning);
}

TEST_F(StripCompassTest, InterruptJumpsToTheTargetAndTakesTheLastHeading)
{
    s.setInterrupt(true);
    s.setHeading(40);
    s.timeLine()->setCurrentTime(100);
    ASSERT_LT(s.heading(), 40);
    s.setHeading(80);
    // The turn cut short shows its target before the next one starts.
    EXPECT_NEAR(s.heading(), 40, 0.01);
    EXPECT_EQ(s.timeLine()->duration(), 800);
    s.timeLine()->setCurrentTime(400);
    EXPECT_NEAR(s.heading(), 60, 0.01);

    // Cut short by the heading it was already turning to: no turn is left,
    // and the strip shows that heading instead of stopping part-way.
    QSignalSpy ready(&s, SIGNAL(ready()));
    s.setHeading(80);
    EXPECT_NEAR(s.heading(), 80, 0.01);
    EXPECT_EQ(s.timeLine()->state(), QTimeLine::NotRunning);
    EXPECT_EQ(ready.count(), 1);
}

// A turn of no length shows its heading at once and the queue goes on; ready
// comes only when the queue is empty.
TEST_F(StripCompassTest, ZeroTurnKeepsTheQueueMoving)
{
    QSignalSpy ready(&s, SIGNAL(ready()));
    s.setHeading(0);
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(s.timeLine()->state(), QTimeLine::NotRunning);

    s.setHeading(90);
    s.setHeading(90);
    s.setHeading(120);
    finishTurn(); // to 90; the second 90 is no turn, 120 starts at once
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(s.timeLine()->state(), QTimeLine::Running);
    EXPECT_EQ(s.timeLine()->duration(), 600);
    finishTurn();
    EXPECT_NEAR(s.heading(), 120, 0.01);
    EXPECT_EQ(ready.count(), 2);

    // Too short a turn to last a millisecond still reaches its heading.
    s.setHeading(120.01f);
    EXPECT_EQ(s.timeLine()->state(), QTimeLine::NotRunning);
    EXPECT_NEAR(s.heading(), 120.01, 1e-4);
    EXPECT_EQ(ready.count(), 3);
}

TEST_F(StripCompassTest, TicksAtHeading350)
{
    s.setStripBkgd(solid(200, 40, QColor(40, 40, 40)));
    s.setBlueNeedle(solid(10, 10, kBlue));
    s.setMoonIcon(solid(10, 10, QColor(90, 90, 90)));
    s.setCompassN(solid(8, 8, QColor(255, 0, 255)));
    s.setHeading(350);
    finishTurn();
    const QImage image = shot(s, "strip_350");
    const double step = 2.0; // 200 px / 100
    // Ticks run from 300 to 400: north is the 61st, "30" the 91st.
    EXPECT_TRUE(near(image.pixel(int(61 * step), 10 + 4), QColor(255, 0, 255)));
    EXPECT_FALSE(near(image.pixel(int(61 * step) - 6, 10 + 4), QColor(255, 0, 255)));
    int text = 0;
    const int y1 = 10 + 40 * 3 / 8;
    for (int y = 10; y < y1; ++y)
        for (int x = int(91 * step) - 8; x <= int(91 * step) + 8; ++x)
            text += QColor::fromRgb(image.pixel(x, y)).lightness() > 120;
    EXPECT_GT(text, 3);
}

class MarineTest : public StripCompassTest {
protected:
    void SetUp() override
    {
        s.setStripBkgd(solid(200, 40, QColor(40, 40, 40)));
        s.setRoadBkgd(solid(200, 100, QColor(0, 100, 0)));
        s.setMoonIcon(solid(10, 10, QColor(90, 90, 90)));
        s.setHeadArrow(solid(10, 10, QColor(250, 250, 250)));
        s.setDestArrow(solid(10, 10, QColor(250, 250, 250)));
        s.setDestIcon(solid(6, 6, QColor(0, 0, 255)));
        s.setDestIconHorPosCorrection(3);
        s.setDestIconVertPosCorrection(3);
        s.setHeadVertPosCorrection(100); // the head arrow inside the road
        s.setMarineCompassMode(true);
        s.setDestinationFlag(true);
        s.setArrowHeading(30);
        s.setArrowBearing(30); // on course
        s.setBaseDistance(100);
        s.setDistanceToNext(50);
        s.zoomIn(); // level 2, factor 1
    }
};

TEST_F(MarineTest, PathRunsHalfWayAndTheIconSitsOnItsEnd)
{
    const QImage image = shot(s, "marine_on_course");
    const QPointF c = s.headArrowPosition() + QPointF(5, 5);
    const double roadTop = s.roadPosition().y();
    ASSERT_EQ(roadTop, 50);
    const QPointF p0 = s.pathPolygon()[0];
    EXPECT_NEAR(p0.x(), c.x(), 1e-3);
    EXPECT_NEAR(p0.y(), (c.y() + roadTop) / 2, 1e-3);
    EXPECT_TRUE(near(image.pixel(int(p0.x()) - 3 + 2, int(p0.y()) - 3 + 2), kBlue));
    EXPECT_EQ(s.zoomLevel(), 2);
}

TEST_F(MarineTest, WaypointAboveTheRoadHasNoIcon)
{
    s.setDistanceToNext(200);
    const QImage image = shot(s, "marine_far");
    EXPECT_LT(s.pathPolygon()[0].y(), s.roadPosition().y());
    int icon = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            icon += near(image.pixel(x, y), kBlue, 0);
    EXPECT_EQ(icon, 0);
}

TEST_F(MarineTest, BaseZeroLeavesTheCap)
{
    s.setBaseDistance(0);
    shot(s, "marine_base0");
    const QPointF c = s.headArrowPosition() + QPointF(5, 5);
    EXPECT_EQ(s.pathPolygon()[0], c);
    for (const QPointF& p : s.pathPolygon())
        EXPECT_LE(QLineF(p, c).length(), 16.5);
}

TEST_F(MarineTest, ZoomLimitsAndLayoutKeptUntilTheStripChanges)
{
    s.zoomIn();
    s.zoomIn();
    EXPECT_EQ(s.zoomLevel(), 3);
    for (int i = 0; i < 5; ++i)
        s.zoomOut();
    EXPECT_EQ(s.zoomLevel(), 0);

    shot(s, "marine_layout1");
    const QPointF before = s.headArrowPosition();
    const QSize size = s.size();
    s.setHeadVertPosCorrection(20);
    s.setMarineCompassMode(false);
    shot(s, "marine_layout2");
    EXPECT_EQ(s.headArrowPosition(), before);
    EXPECT_EQ(s.size(), size);
    s.setStripBkgd(s.stripBkgd());
    shot(s, "marine_layout3");
    EXPECT_NE(s.headArrowPosition(), before);
}

} // namespace
