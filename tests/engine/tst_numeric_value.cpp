#include "engine/numeric_value.h"

#include <QTest>
#include <cmath>

using namespace tallowick;

class TestNumericValue : public QObject
{
    Q_OBJECT
private slots:
    void values_data();
    void values();
    void rounding_data();
    void rounding();
};

void TestNumericValue::values_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "3000" << 3000.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("leading number") << "12abc" << 12.0;
    QTest::newRow("leading blanks") << "  7" << 7.0;
    QTest::newRow("blanks inside") << "1 2 3" << 123.0;
    QTest::newRow("tab and line feed") << "\t1\n5" << 15.0;
    QTest::newRow("negative") << "-5" << -5.0;
    QTest::newRow("plus") << "+5" << 5.0;
    QTest::newRow("fraction") << "0.3" << 0.3;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("second point ends") << "1.2.3" << 1.2;
    QTest::newRow("hexadecimal") << "&H10" << 16.0;
    QTest::newRow("hexadecimal lower") << "&hff" << 255.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("carriage return stops") << "1\r2" << 1.0;
    QTest::newRow("huge") << QString(400, u'9') << HUGE_VAL;
    QTest::newRow("tiny") << "0." + QString(400, u'0') + "1" << 0.0;
}

void TestNumericValue::values()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(numericValue(text), value);
}

void TestNumericValue::rounding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("half to even down") << 2.5 << 2.0;
    QTest::newRow("half to even up") << 3.5 << 4.0;
    QTest::newRow("negative half") << -0.5 << -0.0;
    QTest::newRow("below half") << 1.4 << 1.0;
    QTest::newRow("above half") << 1.6 << 2.0;
}

void TestNumericValue::rounding()
{
    QFETCH(double, value);
    QFETCH(double, rounded);
    QCOMPARE(roundHalfEven(value), rounded);
}

QTEST_GUILESS_MAIN(TestNumericValue)
#include "tst_numeric_value.moc"
