#include <QtTest>

class FileCopyTest : public QObject {
    Q_OBJECT
};

QTEST_GUILESS_MAIN(FileCopyTest)
#include "FileCopyTest.moc"
