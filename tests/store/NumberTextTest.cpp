#include <QtTest>

class NumberTextTest : public QObject {
    Q_OBJECT
};

QTEST_GUILESS_MAIN(NumberTextTest)
#include "NumberTextTest.moc"
