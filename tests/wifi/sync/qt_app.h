// One QCoreApplication for every test of the executable.
#pragma once

#include <QCoreApplication>
#include <QString>

#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kivo::test {

inline QCoreApplication* qtApp()
{
    static int argc = 1;
    static char name[] = "kivo_test";
    static char* argv[] = { name, nullptr };
    static QCoreApplication* app
        = QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    return app;
}

} // namespace kivo::test
