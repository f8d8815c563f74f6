#include "tst_decode.h"

#include <QTest>

QTEST_GUILESS_MAIN(TestDecode)
