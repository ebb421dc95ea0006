#include "support/TestDb.h"

#include <QTest>

class tst_store : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void opens() { QCOMPARE(TestDb::count("院系代码表"), 12); }
};

QTEST_GUILESS_MAIN(tst_store)
#include "tst_store.moc"
