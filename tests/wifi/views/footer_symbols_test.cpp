// The footer buttons whose face is the plain ":/Button/b_v.png" carry a
// symbol each, so exit, join and back can be told apart: a look at every
// such button by day and by night.
#include "controls/core/phxPushButton.h"
#include "platform/paths.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/views/flow_screens_support.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/SystemHelper.h"
#include "wifi/views/WiFiJoinNetworkView.h"
#include "wifi/views/WiFiListView.h"
#include "wifi/views/WiFiNetworkInfoView.h"
#include "wifi/views/WiFiSearchingView.h"
#include "wifi/views/WiFiSecurityView.h"
#include "wifi/views/WiFiSyncView.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

namespace {

// The symbol's white strokes inside the button's face.
QImage symbolMask(const QImage& image, const QRect& button)
{
    QImage mask(button.size(), QImage::Format_Mono);
    mask.fill(0);
    for (int y = 0; y < button.height(); ++y)
        for (int x = 0; x < button.width(); ++x)
            if (views_test::isWhite(image.pixel(button.left() + x, button.top() + y)))
                mask.setPixel(x, y, 1);
    return mask;
}

TEST(FooterSymbols, EachPlainFooterButtonShowsItsOwnSymbolCentredByDayAndNight)
{
    views_test::prepareFlowScreens();
    kivo::test::TempDeviceRoot root;
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
    auto flow = views_test::showFlow();

    using Make = std::function<QWidget*(KivoWiFiFlow*)>;
    const struct {
        const char* name;
        Make make;
        const char* button;
        const char* symbol; // exit, join or back
    } cases[] = {
        { "searching", [](KivoWiFiFlow* f) { return new WiFiSearchingView("480x272", f); }, "btnBack", "exit" },
        { "sync", [](KivoWiFiFlow* f) { return new WiFiSyncView("480x272", f); }, "btnBack", "exit" },
        { "join", [](KivoWiFiFlow* f) { return new WiFiJoinNetworkView("480x272", f); }, "JoinBtn", "join" },
        { "list", [](KivoWiFiFlow* f) { return new WiFiListView("480x272", f); }, "btnBack", "back" },
        { "security", [](KivoWiFiFlow* f) { return new WiFiSecurityView("480x272", f); }, "btnBack", "back" },
        { "info", [](KivoWiFiFlow* f) { return new WiFiNetworkInfoView("480x272", f); }, "btnBack", "back" },
    };
    std::map<std::string, QImage> bySymbol;
    for (const char* mode : { "Day", "Night" }) {
        views_test::registerSkins(mode);
        SystemHelper::instance()->setDayNight(QLatin1String(mode));
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + mode);
            std::unique_ptr<QWidget> screen(c.make(flow.get()));
            if (auto* list = qobject_cast<KivoWiFiBaseVirtualList*>(screen.get()))
                list->setStyleSheets(QLatin1String(mode));
            auto* button = screen->findChild<phxPushButton*>(c.button);
            ASSERT_TRUE(button);
            // The face stays the plain picture the form names.
            EXPECT_EQ(button->normalImage().toImage(), QPixmap(":/Button/b_v.png").toImage());
            const QImage image
                = views_test::shot(*screen, QStringLiteral("footer_%1_%2").arg(QLatin1String(c.name), QLatin1String(mode)));
            const QRect box(button->mapTo(screen.get(), QPoint(0, 0)), button->size());
            // Inside the face, clear of its rounded edge and the page around it.
            const QRect inner = box.adjusted(8, 6, -8, -6);
            const QRect strokes = views_test::boundsOf(image, inner, views_test::isWhite);
            ASSERT_TRUE(strokes.isValid());
            EXPECT_GE(strokes.width(), 12);
            EXPECT_GE(strokes.height(), 12);
            EXPECT_LE(strokes.width(), 30);
            EXPECT_LE(strokes.height(), 30);
            EXPECT_LE((strokes.center() - box.center()).manhattanLength(), 3);
            // The strokes stand out from the face around them.
            const QRgb face = image.pixel(box.left() + 12, box.center().y());
            EXPECT_GT(255 * 3 - (qRed(face) + qGreen(face) + qBlue(face)), 200);

            const QImage mask = symbolMask(image, inner);
            auto seen = bySymbol.find(c.symbol);
            if (seen == bySymbol.end())
                bySymbol[c.symbol] = mask;
            else
                EXPECT_EQ(mask, seen->second); // one symbol, one look, on every screen and in both modes
        }
    }
    ASSERT_EQ(bySymbol.size(), 3u);
    EXPECT_NE(bySymbol["exit"], bySymbol["join"]);
    EXPECT_NE(bySymbol["exit"], bySymbol["back"]);
    EXPECT_NE(bySymbol["join"], bySymbol["back"]);
    views_test::endFlow(flow);
}

} // namespace
