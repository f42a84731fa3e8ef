#include "app/MyApplication.h"

#include <gtest/gtest.h>

// The widgets read their colours from the running MyApplication, so the tests run under one.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "96");
    MyApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
