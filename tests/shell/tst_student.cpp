#include "support/Gui.h"
#include "support/TestDb.h"

#include <QTest>

class tst_student : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }
};

QTEST_MAIN(tst_student)
#include "tst_student.moc"
