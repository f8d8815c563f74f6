// Fixed-point number texts: rounding, precision, scientific form, separator.

#include "tst_decode.h"

#include "decode/number_format.h"

#include <QTest>

#include <cmath>
#include <limits>

void TestDecode::fixedDecimal_data()
{
    QTest::addColumn<qlonglong>("mantissa");
    QTest::addColumn<int>("exp10");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");

    QTest::newRow("scaled") << 12345LL << -3 << 8 << 3 << "12.345";
    QTest::newRow("rounded to 3 decimals") << 1234567LL << -6 << 8 << 3 << "1.235";
    QTest::newRow("half away from zero") << 1234500LL << -6 << 8 << 3 << "1.235";
    QTest::newRow("negative half") << -1234500LL << -6 << 8 << 3 << "-1.235";
    QTest::newRow("below half") << 1234499LL << -6 << 8 << 3 << "1.234";
    QTest::newRow("rounds up to first decimal digit") << 6LL << -4 << 8 << 3 << "0.001";
    QTest::newRow("rounds to zero") << 4LL << -4 << 8 << 3 << "0.000";
    QTest::newRow("negative rounds to zero, no sign") << -4LL << -4 << 8 << 3 << "0.000";
    QTest::newRow("far below") << 7LL << -12 << 8 << 3 << "0.000";
    QTest::newRow("zero") << 0LL << 5 << 8 << 3 << "0.000";
    QTest::newRow("precision full") << 99999999LL << 0 << 8 << 3 << "99999999.000";
    QTest::newRow("precision limits decimals") << 999999999LL << -3 << 8 << 3 << "1000000.000";
    QTest::newRow("carry past precision") << 999999996LL << -1 << 8 << 3 << "1E+8";
    QTest::newRow("scientific") << 123456789LL << 0 << 8 << 3 << "1.2345679E+8";
    QTest::newRow("scientific rounds half up") << 123456785LL << 0 << 8 << 3 << "1.2345679E+8";
    QTest::newRow("scientific drops zeros") << 120000000LL << 0 << 8 << 3 << "1.2E+8";
    QTest::newRow("positive exponent") << 12345678LL << 1 << 8 << 3 << "1.2345678E+8";
    QTest::newRow("13 digits") << 123456789012LL << -3 << 13 << 3 << "123456789.012";
    QTest::newRow("int64 min") << std::numeric_limits<qlonglong>::min() << 0 << 15 << 3 << "-9.22337203685478E+18";
    QTest::newRow("int64 max scaled") << std::numeric_limits<qlonglong>::max() << 6 << 13 << 3 << "9.223372036855E+24";
    QTest::newRow("no decimals") << 5LL << 0 << 8 << 0 << "5";
    QTest::newRow("no decimals rounded") << 125LL << -1 << 8 << 0 << "13";
}

void TestDecode::fixedDecimal()
{
    QFETCH(qlonglong, mantissa);
    QFETCH(int, exp10);
    QFETCH(int, precision);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    std::string out = "x";
    decode::appendFixed(out, std::int64_t(mantissa), exp10, precision, decimals, '.');
    QCOMPARE(QString::fromStdString(out), "x" + text); // appends, keeps what was there
    out.clear();
    decode::appendFixed(out, std::int64_t(mantissa), exp10, precision, decimals, ',');
    QCOMPARE(QString::fromStdString(out), QString(text).replace('.', ','));
}

void TestDecode::fixedBinary_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("exp10");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.5") << 1.5 << 0 << 9 << 5 << "1.50000";
    QTest::newRow("negative") << -2.5 << 0 << 9 << 5 << "-2.50000";
    QTest::newRow("precision limits decimals") << 18511.912109375 << 0 << 9 << 5 << "18511.91210";
    QTest::newRow("rounded") << 123.456789 << 0 << 9 << 5 << "123.45679";
    QTest::newRow("tiny") << 0.000004 << 0 << 9 << 5 << "0.00000";
    QTest::newRow("tiny negative") << -0.000001 << 0 << 9 << 5 << "0.00000";
    QTest::newRow("zero") << 0.0 << 0 << 9 << 5 << "0.00000";
    QTest::newRow("scientific") << 2147483648.0 << 0 << 9 << 5 << "2.14748365E+9";
    QTest::newRow("carry to scientific") << 999999999.6 << 0 << 9 << 5 << "1E+9";
    QTest::newRow("large") << 1e30 << 0 << 9 << 5 << "1E+30";
    QTest::newRow("three decimals") << 12345.678 << 0 << 8 << 3 << "12345.678";
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 0 << 9 << 5 << "NaN";
    QTest::newRow("FormatFixed no decimals") << 1234.5 << 0 << 8 << 0 << "1235";
    // Scaled by a power of ten: the point moves in decimal, so no binary error creeps in.
    QTest::newRow("x1000") << 1.5 << 3 << 9 << 5 << "1500.00000";
    QTest::newRow("0.1 x1000") << 0.1 << 3 << 9 << 5 << "100.00000";
    QTest::newRow("x0.001 negative") << -1.5 << -3 << 9 << 5 << "-0.00150";
    QTest::newRow("tie after scaling") << 0.1875 << -2 << 9 << 5 << "0.00188";
    QTest::newRow("scaled to nothing") << 1.5 << -6 << 9 << 5 << "0.00000";
    QTest::newRow("scaled to scientific") << 2147483648.0 << 3 << 9 << 5 << "2.14748365E+12";
}

void TestDecode::fixedBinary()
{
    QFETCH(double, value);
    QFETCH(int, exp10);
    QFETCH(int, precision);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    std::string out;
    decode::appendFixed(out, value, exp10, precision, decimals, '.');
    QCOMPARE(QString::fromStdString(out), text);
    if (exp10 == 0) {
        QCOMPARE(QString::fromStdString(decode::formatFixed(value, precision, decimals)), text);
        QCOMPARE(QString::fromStdString(decode::formatFixed(value, precision, decimals, ',')),
                 QString(text).replace('.', ','));
    }
}
