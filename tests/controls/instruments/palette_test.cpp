// The colour swatches and the colour palette.
#include "controls/instruments/zyrColorPaletteCtrl.h"
#include "tests/controls/core/zyr_widget_test.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVariant>

#include <gtest/gtest.h>

namespace {

using zyrtest::shot;
using zyrtest::solid;

struct Palette : zyrColorPaletteCtrl {
    using zyrColorPaletteCtrl::GetNearestColorIndex;
    explicit Palette(SPalleteInfo* info = nullptr)
        : zyrColorPaletteCtrl(nullptr, info)
    {
        resize(191, 256);
    }
    // Shows the palette and waits for its swatches.
    void build()
    {
        show();
        ASSERT_TRUE(zyrtest::pumpUntil([&] { return swatches().size() == expected(); }));
    }
    int expected() const { return std::min(rowCount() * colCount(), colors().size()); }
    // The live swatches, in index order.
    QList<zyrActiveColorIndicatorCtrl*> swatches() const
    {
        QList<zyrActiveColorIndicatorCtrl*> live;
        for (auto* s : findChildren<zyrActiveColorIndicatorCtrl*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (s->isVisible())
                live.append(s);
        }
        std::sort(live.begin(), live.end(), [](auto* a, auto* b) { return a->userData() < b->userData(); });
        return live;
    }
    zyrActiveColorIndicatorCtrl* swatch(int i) const { return swatches().value(i); }
};

const QColor kFrame(255, 255, 0);

// Whether the swatch at `origin` in the palette's picture shows its frame:
// the frame lies between the swatch's edge and its face.
bool framed(const QImage& palette, QPoint origin)
{
    return palette.pixelColor(origin + QPoint(6, 30)) == kFrame && palette.pixelColor(origin + QPoint(30, 6)) == kFrame;
}

QPoint origin(int j, int columns = 3)
{
    return QPoint(65 * (j % columns), 65 * (j / columns));
}

TEST(Palette, NearestColour)
{
    Palette p;
    EXPECT_EQ(p.GetNearestColorIndex(0xFFFF0101), 3);
    p.build();
    p.selectNearestColor(0xFFFF0101);
    EXPECT_EQ(p.selectedColorIndex(), 3u);
    EXPECT_EQ(p.selectedColorRGB(), 0xFFFF0000u);

    const struct {
        QVector<unsigned int> colours;
        unsigned int rgb;
        int index;
    } cases[] = {
        { { 0xFF102030, 0xFF000000, 0xFF0A0000 }, 0xFF050000, 1 }, // halfway: the lower index
        { { 0xFF0A0000, 0xFF000000 }, 0xFF050000, 0 },
        { {}, 0xFF123456, 0 },
        { { 0xFFFFFFFF }, 0xFF000000, 0 }, // 765 away is never nearer
        { { 0xFFFFFFFF, 0xFF00FF00, 0xFF00FE00 }, 0x0000FD00, 2 }, // alpha is not compared
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        p.setColors(c.colours);
        EXPECT_EQ(p.GetNearestColorIndex(c.rgb), c.index);
    }
}

TEST(Palette, PaletteValues)
{
    Palette p;
    p.setPaletteValues({ "00ff00", "zz", "FFA600" });
    EXPECT_EQ(p.colors(), (QVector<unsigned int> { 0xFF00FF00, 0xFF000000, 0xFFFFA600 }));
    EXPECT_EQ(p.paletteValues(), (QStringList { "00ff00", "000000", "ffa600" }));
    p.setPaletteValues({});
    EXPECT_EQ(p.colors().size(), 3);
    EXPECT_EQ(p.property("paletteValues").toStringList().size(), 3);

    const QStringList defaults = Palette().paletteValues();
    EXPECT_EQ(defaults, (QStringList { "0000ff", "008200", "00008c", "ff0000", "ffff00", "ffa600", "00ffff", "f7f3c6",
                            "c6e3c6", "8c0000", "ff00ff", "a52021" }));
}

TEST(Palette, SettersAndTheirGuards)
{
    Palette p;
    EXPECT_EQ(p.dimensions(), QSize(3, 4));
    EXPECT_EQ(p.indicatorSize(), 41);
    EXPECT_EQ(p.selectionSize(), 61);

    p.setIndicatorSize(70); // raises the selection
    EXPECT_EQ(p.selectionSize(), 70);
    p.setSelectionSize(50); // lowers the indicator
    EXPECT_EQ(p.indicatorSize(), 50);
    p.setIndicatorSize(0);
    p.setIndicatorSize(-3);
    p.setSelectionSize(-1);
    EXPECT_EQ(p.indicatorSize(), 50);
    EXPECT_EQ(p.selectionSize(), 50);
    p.setDimensions(QSize(0, 3));
    p.setDimensions(QSize(3, -1));
    EXPECT_EQ(p.dimensions(), QSize(3, 4));
    p.setLeftMargin(7);
    p.setTopMargin(9);
    EXPECT_EQ(p.leftMargin(), 7);
    EXPECT_EQ(p.topMargin(), 9);
    EXPECT_TRUE(p.swatches().isEmpty()); // nothing is made before the first show

    EXPECT_EQ(zyrActiveColorIndicatorCtrl::GetMinimalIndicatorSize(), 30);
    EXPECT_EQ(zyrActiveColorIndicatorCtrl::GetDefaultMargin(QSize(100, 7)), 5);
    const struct {
        QSize size;
        int margin;
        bool valid;
    } margins[] = {
        { { 41, 41 }, 5, true },
        { { 40, 40 }, 5, false }, // 30 is not above 30
        { { 41, 60 }, 5, true },
        { { 60, 40 }, 5, false },
        { { 41, 41 }, -1, false },
        { { 31, 31 }, 0, true },
    };
    for (const auto& m : margins)
        EXPECT_EQ(zyrActiveColorIndicatorCtrl::IsValidMargin(m.size, m.margin), m.valid) << m.size.width() << "x"
                                                                                       << m.size.height() << " " << m.margin;
}

TEST(Palette, DefaultPalettePicture)
{
    Palette p;
    p.build();
    const QList<zyrActiveColorIndicatorCtrl*> s = p.swatches();
    ASSERT_EQ(s.size(), 12);
    for (int j = 0; j < 12; ++j) {
        EXPECT_EQ(s[j]->geometry(), QRect(origin(j), QSize(61, 61))) << j;
        EXPECT_EQ(s[j]->margin(), 10);
        EXPECT_EQ(s[j]->color(), Palette::GetDefaultPalleteInfo().colors[j]);
    }
    const QImage image = shot(&p, "palette_default");
    const QColor yellow(255, 255, 0);
    EXPECT_EQ(image.pixelColor(origin(4) + QPoint(30, 20)), yellow); // the upper half
    EXPECT_EQ(image.pixelColor(origin(4) + QPoint(30, 45)).rgb(), yellow.lighter(90).rgb()); // the lower shade
    EXPECT_EQ(image.pixelColor(origin(9) + QPoint(30, 20)), QColor(140, 0, 0));
    EXPECT_EQ(p.selectedColorIndex(), 0u);
    EXPECT_TRUE(framed(image, origin(0)));
    for (int j = 1; j < 12; ++j)
        EXPECT_FALSE(framed(image, origin(j))) << j;
}

TEST(Palette, PendingSelectionAndDimensions)
{
    Palette p;
    p.setSelectedColorIndex(7);
    EXPECT_EQ(p.selectedColorIndex(), 0u);
    p.build();
    EXPECT_EQ(p.selectedColorIndex(), 7u);
    EXPECT_TRUE(framed(shot(&p, "palette_pending"), origin(7)));
    p.setSelectedColorIndex(12); // past the swatches
    EXPECT_EQ(p.selectedColorIndex(), 7u);

    const QList<zyrActiveColorIndicatorCtrl*> before = p.swatches();
    p.setDimensions(QSize(2, 6)); // as many cells: the same swatches move
    p.resize(126, 386);
    const QList<zyrActiveColorIndicatorCtrl*> after = p.swatches();
    EXPECT_EQ(after, before);
    for (int j = 0; j < 12; ++j)
        EXPECT_EQ(after[j]->geometry(), QRect(origin(j, 2), QSize(61, 61))) << j;
    EXPECT_TRUE(framed(shot(&p, "palette_2x6"), origin(7, 2)));

    // More colours than cells: no swatch beyond the grid.
    QVector<unsigned int> fourteen = p.colors();
    fourteen << 0xFF101010 << 0xFF202020;
    p.setColors(fourteen);
    ASSERT_TRUE(zyrtest::pumpUntil([&] { return p.swatches().size() == 12; }));
    EXPECT_EQ(p.selectedColorIndex(), 0u); // a rebuilt palette selects its first swatch
    p.setDimensions(QSize(3, 3)); // fewer cells: built again
    EXPECT_EQ(p.swatches().size(), 9);
}

TEST(Palette, TapSelectsAndMovesTheFrame)
{
    Palette p;
    p.build();
    QSignalSpy selected(&p, SIGNAL(sigSelected(int)));
    QTest::mouseClick(p.swatch(5), Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toInt(), 5);
    EXPECT_EQ(p.selectedColorIndex(), 5u);
    QImage image = shot(&p, "palette_tap5");
    EXPECT_TRUE(framed(image, origin(5)));
    EXPECT_FALSE(framed(image, origin(0)));

    // While 2 is held the selection's frame hides and 2 shows one.
    QTest::mousePress(p.swatch(2), Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    image = shot(&p, "palette_held2");
    EXPECT_FALSE(framed(image, origin(5)));
    EXPECT_TRUE(framed(image, origin(2)));
    // Released outside: no signal, the selection's frame returns.
    QTest::mouseRelease(p.swatch(2), Qt::LeftButton, Qt::NoModifier, QPoint(-5, 30));
    EXPECT_EQ(selected.count(), 1);
    image = shot(&p, "palette_released_outside");
    EXPECT_TRUE(framed(image, origin(5)));
    EXPECT_FALSE(framed(image, origin(2)));
    EXPECT_EQ(p.selectedColorIndex(), 5u);

    // The swatch's own last column and row are outside it.
    QTest::mousePress(p.swatch(2), Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    QTest::mouseRelease(p.swatch(2), Qt::LeftButton, Qt::NoModifier, QPoint(60, 30));
    EXPECT_EQ(selected.count(), 1);
}

TEST(Palette, TappingTheSelectionKeepsItsFrame)
{
    Palette p;
    p.build();
    QSignalSpy selected(&p, SIGNAL(sigSelected(int)));
    QTest::mouseClick(p.swatch(0), Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toInt(), 0);
    EXPECT_TRUE(p.swatch(0)->selected());
    EXPECT_TRUE(framed(shot(&p, "palette_retap"), origin(0)));
}

TEST(Palette, ASlotMayRebuildThePalette)
{
    Palette p;
    p.build();
    QVector<unsigned int> next { 0xFF112233, 0xFF445566, 0xFF778899 };
    int seen = -1;
    QObject::connect(&p, &zyrColorPaletteCtrl::sigSelected, &p, [&](int index) {
        seen = index;
        p.setColors(next); // the swatch being released goes, later
    });
    QTest::mouseClick(p.swatch(4), Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    EXPECT_EQ(seen, 4);
    zyrtest::pump();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(p.swatches().size(), 3);
    EXPECT_EQ(p.findChildren<zyrActiveColorIndicatorCtrl*>().size(), 3);
    EXPECT_EQ(p.selectedColorRGB(), 0xFF112233u);
    QTest::mouseClick(p.swatch(2), Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    EXPECT_EQ(seen, 2);
}

// ---- the swatches on their own

TEST(Swatches, PlainSwatchAndColourProperty)
{
    zyrColorIndicatorCtrl plain(0xFF00FF00);
    plain.resize(20, 10);
    plain.setMargin(2);
    plain.setPalette(QPalette(Qt::white));
    plain.show();
    const QImage image = shot(&plain, "plain_swatch");
    EXPECT_EQ(image.pixelColor(2, 2), QColor(0, 255, 0));
    EXPECT_EQ(image.pixelColor(16, 6), QColor(0, 255, 0)); // (2, 2, 15, 6): w - 2m - 1 by h - 2m - 1
    EXPECT_NE(image.pixelColor(17, 6), QColor(0, 255, 0));
    EXPECT_NE(image.pixelColor(16, 7), QColor(0, 255, 0));
    EXPECT_NE(image.pixelColor(1, 2), QColor(0, 255, 0));

    plain.setProperty("color", QColor(1, 2, 3, 50)); // stored opaque
    EXPECT_EQ(plain.color(), 0xFF010203u);
    EXPECT_EQ(plain.property("color").value<QColor>(), QColor(1, 2, 3));
}

TEST(Swatches, SmallSwatchIsPlainAndPicturesHaveTheirSizes)
{
    zyrActiveColorIndicatorCtrl small(0xFF0000FF);
    small.setGeometryAndMargin(QRect(0, 0, 25, 25), 5); // 25 - 10 is not above 15
    small.show();
    QImage image = shot(&small, "swatch_small");
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(24, 24), QColor(0, 0, 255));

    zyrActiveColorIndicatorCtrl glossy(0xFF0000FF);
    glossy.setPalette(QPalette(Qt::white));
    glossy.setGeometryAndMargin(QRect(0, 0, 26, 26), 5);
    glossy.show();
    image = shot(&glossy, "swatch_glossy");
    EXPECT_NE(image.pixelColor(0, 0), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(12, 8), QColor(0, 0, 255));

    EXPECT_TRUE(zyrActiveColorIndicatorCtrl::CreateSelectionPixmap(QSize(29, 40), false).isNull());
    EXPECT_TRUE(zyrActiveColorIndicatorCtrl::CreateSelectionPixmap(QSize(40, 29), true).isNull());
    EXPECT_FALSE(zyrActiveColorIndicatorCtrl::CreateSelectionPixmap(QSize(30, 30), false).isNull());

    const QImage opaque = zyrActiveColorIndicatorCtrl::CreateSelectionPixmap(QSize(60, 60), false).toImage();
    const QImage semi = zyrActiveColorIndicatorCtrl::CreateSelectionPixmap(QSize(60, 60), true).toImage();
    opaque.save(QStringLiteral(ZYR_SCREENSHOT_DIR "/selection_opaque.png"));
    semi.save(QStringLiteral(ZYR_SCREENSHOT_DIR "/selection_semi.png"));
    EXPECT_EQ(opaque.pixelColor(30, 30), QColor(255, 255, 0, 255));
    EXPECT_EQ(semi.pixelColor(30, 30).alpha(), 100);
    EXPECT_EQ(semi.pixelColor(30, 30).red(), 255);
    EXPECT_GT(opaque.pixelColor(58, 40).alpha(), 0); // the shadow right of the frame
    EXPECT_EQ(semi.pixelColor(58, 40).alpha(), 0);
}

TEST(Swatches, CacheReusesItsPictures)
{
    CPaletteCache cache;
    const QRect face(10, 10, 40, 40);
    const qint64 shadow = cache.GetIndicatorShadow(QSize(61, 61), face, 5, 6, 10).cacheKey();
    EXPECT_EQ(cache.GetIndicatorShadow(QSize(61, 61), face, 5, 6, 10).cacheKey(), shadow);
    EXPECT_NE(cache.GetIndicatorShadow(QSize(61, 61), face, 4, 6, 10).cacheKey(), shadow);
    const qint64 selection = cache.GetSelectionPixmap(QSize(61, 61)).cacheKey();
    EXPECT_EQ(cache.GetSelectionPixmap(QSize(61, 61)).cacheKey(), selection);
    EXPECT_EQ(cache.GetSemiTransSelectionPixmap(QSize(61, 61)).toImage().pixelColor(30, 30).alpha(), 100);
    EXPECT_NE(cache.GetSelectionPixmap(QSize(62, 62)).cacheKey(), selection);

    // Swatches sharing a cache share their pictures; one without a cache
    // owns its own.
    auto* owned = new zyrActiveColorIndicatorCtrl(0xFF00FF00);
    owned->resize(61, 61);
    owned->show();
    shot(owned, "swatch_own_cache");
    delete owned;
}

TEST(Swatches, DecoratedSwatchTakesTheAlphaImagesShape)
{
    QImage alpha(40, 40, QImage::Format_ARGB32);
    alpha.fill(Qt::transparent);
    {
        QPainter p(&alpha);
        p.fillRect(0, 0, 20, 40, Qt::black); // the left half opaque
    }
    zyrDecoratedColorIndicator swatch;
    swatch.setPalette(QPalette(Qt::white));
    swatch.setBkgAlphaImage(QPixmap::fromImage(alpha));
    EXPECT_EQ(swatch.minimumSize(), QSize(40, 40));
    EXPECT_EQ(swatch.maximumSize(), QSize(40, 40));
    swatch.setDecorateImage(solid(6, 6, Qt::green));
    swatch.show();
    zyrtest::pump();
    swatch.setColor(0xFFFF0000);
    const QImage image = shot(&swatch, "decorated");
    EXPECT_EQ(image.pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(30, 5), QColor(Qt::white)); // transparent: the background shows
    EXPECT_EQ(image.pixelColor(20, 20), QColor(Qt::green)); // the decoration, centred
    EXPECT_EQ(image.pixelColor(17, 17), QColor(Qt::green));
    EXPECT_EQ(image.pixelColor(16, 20), QColor(255, 0, 0));
}

} // namespace
