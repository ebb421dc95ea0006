#include "support/Gui.h"
#include "support/TestDb.h"

#include <QTest>

class tst_shell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }
    void starts() { }
};

QTEST_MAIN(tst_shell)
#include "tst_shell.moc"
