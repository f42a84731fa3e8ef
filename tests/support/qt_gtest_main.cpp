#include <QCoreApplication>
#include <gtest/gtest.h>

// Qt classes that use events or sockets want an application object; tests create none themselves.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
