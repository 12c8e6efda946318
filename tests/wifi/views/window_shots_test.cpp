// The demo's pictures of KivoWiFi's window: one per screen shown and per
// change of a text on it, none while nothing changes.
#include "platform/paths.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/register_views.h"
#include "wifi/views/window_shots.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QStringList shotLines(const QString& folder)
{
    QFile index(QDir(folder).filePath("shots.txt"));
    if (!index.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(index.readAll()).split('\n', Qt::SkipEmptyParts);
}

void settle()
{
    // Paints and the checks they schedule, a few rounds.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

TEST(WindowShotsTest, OnePicturePerScreenAndTextChange)
{
    views_test::ensureApplication();
    views_test::registerSkins();
    CMyConfigWiFi::setDelayScaleForTests(0.001);
    KivoWiFiFlow::setProcessExitHandler([](int) {});
    kivowifi::registerViews();
    kivo::test::TempDeviceRoot root;
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
    auto flow = std::make_unique<KivoWiFiFlow>();
    flow->setAttribute(Qt::WA_DeleteOnClose, false);
    flow->show();
    const QString folder = QString::fromStdString(root.path()) + "/shots";
    ASSERT_TRUE(kivowifi::startWindowShots(flow.get(), folder));

    flow->setAlertType(0);
    flow->switchView(ALERT_VIEW_ID, 0);
    settle();
    const int afterFirst = shotLines(folder).size();
    flow->update();
    settle();
    EXPECT_EQ(shotLines(folder).size(), afterFirst); // a repaint alone is no change

    flow->setAlertType(5); // a new message on the same screen
    flow->switchView(ALERT_VIEW_ID, 0);
    settle();

    const QStringList lines = shotLines(folder);
    ASSERT_EQ(lines.size(), afterFirst + 1);
    EXPECT_TRUE(lines[afterFirst - 1].contains("view 12: ")) << lines[afterFirst - 1].toStdString();
    EXPECT_TRUE(lines[afterFirst - 1].contains("Select a network from WIFI Settings."));
    EXPECT_TRUE(lines.last().contains("Insufficient space"));
    for (const QString& line : lines) {
        const QImage picture(QDir(folder).filePath(line.section("  ", 0, 0)));
        EXPECT_EQ(picture.size(), QSize(240, 400)) << line.toStdString();
    }
    flow.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
