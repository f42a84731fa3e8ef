#pragma once
#include "TestCertificates.h"

#include <gtest/gtest.h>

// One set of certificates and keys for a whole test suite, made before its first test.
// Helpers outside the fixture reach it through `certs`.
inline TestCertificates* certs = nullptr;

class CertificatesTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        certs = new TestCertificates();
        ASSERT_TRUE(certs->ok()) << certs->error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete certs;
        certs = nullptr;
    }
};
