// The floor of a program's start-up to its first frame: a Qt widgets window
// with a label, whose first frame is saved as KivoWiFi's demo pictures are
// (a PNG and a line in shots.txt in the folder KIVO_DEMO_SHOTS names), and
// which then waits in its event loop until it is ended.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = qEnvironmentVariable("KIVO_DEMO_SHOTS");
    QWidget window;
    window.resize(480, 272);
    QLabel label(QStringLiteral("Hello"), &window);
    window.show();
    QTimer::singleShot(0, &window, [&] {
        const QString name = QStringLiteral("001.png");
        window.grab().save(QDir(folder).filePath(name));
        QFile index(QDir(folder).filePath(QStringLiteral("shots.txt")));
        if (index.open(QIODevice::Append))
            index.write((name + QStringLiteral("  ") + label.text() + QLatin1Char('\n')).toUtf8());
    });
    return app.exec();
}
