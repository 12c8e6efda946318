#include <QApplication>
#include <QResource>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The keys' bitmaps come from the host's resources.
    if (!QResource::registerResource(QStringLiteral(LETTRIX_COMMON_RESOURCES))) {
        fprintf(stderr, "cannot register %s\n", LETTRIX_COMMON_RESOURCES);
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
