#include "support/PgProxy.h"
#include "support/TestDb.h"

#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/KeyReader.h"
#include "store/ServerWatch.h"
#include "store/KeySet.h"
#include "store/RecordModel.h"
#include "store/Setup.h"
#include "store/RowCounts.h"
#include "store/Sql.h"
#include "store/Value.h"

#include <QDate>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSet>
#include <QTest>
#include <atomic>
#include <chrono>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>

using store::Connection;
using store::DataControl;
using store::DbError;
namespace Sql = store::Sql;

namespace {

void addScores(int count)
{
    // Several rows per student, so that the order by 学号 has ties the key must break.
    QStringList rows;
    for (int i = 0; i < count; ++i)
        rows << QStringLiteral("('%1', '高等数学', 'C001', %2, 5, 1, 1, '2006-06-%3')")
                    .arg(2006000 + i / 4)
                    .arg(60 + i % 40)
                    .arg(10 + i % 15, 2, 10, QChar('0'));
    for (int at = 0; at < rows.size(); at += 400)
        TestDb::exec("insert into 学生成绩表 (学号, 课程名, 课程号, 成绩, 学分, 院系号, 班级号, 考试时间) values "
            + rows.mid(at, 400).join(", "));
}

} // namespace

class tst_store : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { TestDb::reset(); }

    void dataSourceDecidesTheEngine();
    void quotingKeepsEveryValueALiteral();
    void quotedValuesAreStoredAndFound_data();
    void quotedValuesAreStoredAndFound();
    void bareValuesNeverBecomeSql();
    void chineseNamesAndStatementsInAnyLocale();
    void bareNumberComparedWithTextColumn();
    void dateTextsGiveTheSameRowsOnBothEngines();
    void navigationAndBounds();
    void fieldsWithoutCurrentRowFail();
    void addNewUpdateCancelDelete();
    void cancelOfANewRowGoesBack();
    void longTextIsStoredWhole();
    void valuesTheColumnRefuses();
    void refusalsAreToldByKindAlike();
    void refusedStatementsCarryTheDatabaseText();
    void largeResultIsReadInBlocks();
    void resultWithoutKeyIsReadInBlocks();
    void onlyARealConflictIsRefused();
    void concurrentUpdatesLoseNothing();
    void membershipHoldsWhileOthersWrite_data();
    void membershipHoldsWhileOthersWrite();
    void keysTakenBlockByBlock();
    void keysReadBesideTheWindow_data();
    void keysReadBesideTheWindow();
    void exportReadsALargeResultThroughOnce_data();
    void exportReadsALargeResultThroughOnce();
    void groupedResultCountedBesideTheWindow_data();
    void groupedResultCountedBesideTheWindow();
    void wholeTableCountKeptByTheServer();
    void textKeysHoldingAnyCharacter();
    void wholeResultKeepsEveryValue();
    void valuesComeAsTheProgramUsesThem();
    void joinedResultWritesItsOwnTable();
    void sqliteWriterWaitsForAnother();
    void aWriteIsNeverSentTwice();
    void aGridDoesNotAskALostServerCellByCell();
    void waitsOnSeveralSessionsAreEachEnded();
    void rowDeletedByAnotherUserIsRefused();
    void transactionStoresAllOrNothing();
    void idleRecordSetHoldsNothing();
    void statementAnalysis();
    void displayTexts();
};

void tst_store::dataSourceDecidesTheEngine()
{
    const auto target = Connection::resolve(QStringLiteral("DSN=Orlenta"));
    if (TestDb::engineName() == QLatin1String("sqlite")) {
        QVERIFY(target.sqlite);
        QVERIFY(target.sqliteFile.endsWith(QLatin1String("orlenta.db")));
        QCOMPARE(TestDb::admin().engine(), store::Engine::SQLite);
    } else {
        QVERIFY(!target.sqlite);
        // Qt's ODBC driver puts "DSN=" in front itself.
        QCOMPARE(target.odbcConnectionString, QStringLiteral("Orlenta"));
        QCOMPARE(TestDb::admin().engine(), store::Engine::PostgreSQL);
    }
    const QString missing = thrownText([] { Connection other(QStringLiteral("DSN=NoSuchSource")); });
    QVERIFY2(!missing.isEmpty(), "a data source that is not defined must fail to open");
}

void tst_store::quotingKeepsEveryValueALiteral()
{
    QCOMPARE(Sql::quote(QStringLiteral("O'Neil")), QStringLiteral("'O''Neil'"));
    QCOMPARE(Sql::quote(QStringLiteral("'")), QStringLiteral("''''"));
    QCOMPARE(Sql::quote(QString()), QStringLiteral("''"));
    QCOMPARE(Sql::quote(QStringLiteral("a") + QChar(0) + QStringLiteral("b")), QStringLiteral("'ab'"));
    const QString statement = "select * from 管理员身份认证表 where name=" + Sql::quote(QStringLiteral("' or '1'='1"));
    const auto tokens = Sql::tokenize(statement);
    QCOMPARE(tokens.last().kind, Sql::Token::String); // the whole value is one literal
    QCOMPARE(TestDb::admin().select(statement).rows.size(), 0);
}

void tst_store::quotedValuesAreStoredAndFound_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("quote inside") << QStringLiteral("O'Neil");
    QTest::newRow("quote first") << QStringLiteral("'Neil");
    QTest::newRow("quote last") << QStringLiteral("Neil'");
    QTest::newRow("quote only") << QStringLiteral("'");
    QTest::newRow("two quotes") << QStringLiteral("''");
    QTest::newRow("injection") << QStringLiteral("x' or '1'='1");
    QTest::newRow("statement") << QStringLiteral("'; delete from 学生个人信息表; --");
    QTest::newRow("backslash") << QStringLiteral("a\\'b\\");
    QTest::newRow("odbc escape") << QStringLiteral("{fn now()} ? :x $$ %_");
    QTest::newRow("chinese") << QStringLiteral("欧阳·娜娜");
    QTest::newRow("emoji") << QStringLiteral("小明😀");
}

void tst_store::quotedValuesAreStoredAndFound()
{
    QFETCH(QString, name);
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表 order by 学号"));
    rs.refresh();
    rs.addNew();
    rs.setField(QStringLiteral("学号"), QStringLiteral("2006999"));
    rs.setField(QStringLiteral("姓名"), name);
    rs.update();
    QCOMPARE(rs.field(QStringLiteral("姓名")).toString(), name);

    rs.setRecordSource("select * from 学生个人信息表 where 姓名=" + Sql::quote(name));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.field(QStringLiteral("姓名")).toString(), name);
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表")), 2);

    // and changed in place, found by the value it was read with
    rs.setField(QStringLiteral("籍贯"), name);
    rs.update();
    QCOMPARE(TestDb::value("select 籍贯 from 学生个人信息表 where 学号='2006999'").toString(), name);
}

void tst_store::bareValuesNeverBecomeSql()
{
    QCOMPARE(Sql::bare(QStringLiteral("2006001")), QStringLiteral("2006001"));
    QCOMPARE(Sql::bare(QStringLiteral("-3")), QStringLiteral("-3"));
    QCOMPARE(Sql::bare(QStringLiteral("1 or 1=1")), QStringLiteral("'1 or 1=1'"));
    QCOMPARE(Sql::bare(QString()), QStringLiteral("''"));
    TestDb::addStudent(QStringLiteral("1 or 1=1"), QStringLiteral("甲"));
    TestDb::addStudent(QStringLiteral("2006002"), QStringLiteral("乙"));
    DataControl rs;
    rs.setRecordSource("select * from 学生个人信息表 where 学号=" + Sql::bare(QStringLiteral("1 or 1=1")));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 1);
}

void tst_store::chineseNamesAndStatementsInAnyLocale()
{
    // The suite runs this in the C locale: names and statements must not depend on it.
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 班级代码表 where 全称='计算机2006级1班' order by 班级代码"));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.fieldNames(), (QStringList { QStringLiteral("班级代码"), QStringLiteral("全称") }));
    QCOMPARE(rs.field(QStringLiteral("全称")).toString(), QStringLiteral("计算机2006级1班"));
    rs.setRecordSource(QStringLiteral("select a.全称 as 班级名 from 班级代码表 as a where a.班级代码=7"));
    rs.refresh();
    QCOMPARE(rs.fieldName(0), QStringLiteral("班级名"));
}

void tst_store::bareNumberComparedWithTextColumn()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    TestDb::addStudent(QStringLiteral("0012"), QStringLiteral("李四"));
    TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 成绩) values ('2006001', '线性代数', 90)"));
    DataControl rs;
    for (const QString& statement : { QStringLiteral("select * from 学生个人信息表 where 学号=2006001"),
             QStringLiteral("select * from 学生个人信息表 where 2006001 = 学号"),
             QStringLiteral("select * from 学生成绩表 where 学号=2006001"),
             QStringLiteral("select * from 学生个人信息表 where 学号 in (2006001, 5)") }) {
        rs.setRecordSource(statement);
        rs.refresh();
        QVERIFY2(rs.recordCount() == 1, qPrintable(statement));
    }
    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表 where 学号=0012"));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 1); // the text is compared as written, leading zeros and all
    // An integer column compared with a quoted code still matches on both engines.
    rs.setRecordSource(QStringLiteral("select * from 院系代码表 where 学院编码='3'"));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 1);
    rs.setRecordSource(QStringLiteral("select * from 院系代码表 where 学院编码=3 "));
    rs.refresh();
    QCOMPARE(rs.field(QStringLiteral("全称")).toString(), QStringLiteral("物理与电子工程学院"));
}

void tst_store::dateTextsGiveTheSameRowsOnBothEngines()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 成绩, 学分, 班级号, 考试时间) values "
                                "('2006001', '高等数学', 80, 5, 1, '2006-05-19'), ('2006001', '线性代数', 70, 3, 1, '2006-05-20'),"
                                "('2006001', '大学英语', 60, 4, 1, '2006-12-01')"));
    struct Case {
        QString where;
        int rows;
    };
    const QVector<Case> cases {
        { "考试时间 between '2006-5-19' and '2006-5-19'", 1 },
        { "考试时间 between '2006-5-19' and '2006-5-20'", 2 },
        { "考试时间 between '2006-5-1' and '2006-12-1'", 3 },
        { "考试时间 = '2006-5-20'", 1 },
        { "考试时间 > '2006-5-20'", 1 },
        { "考试时间 between '2006-5-20' and '2006-5-19'", 0 },
        { "考试时间 not between '2006-5-19' and '2006-5-19'", 2 },
    };
    DataControl rs;
    for (const Case& c : cases) {
        rs.setRecordSource("select * from 学生成绩表 where " + c.where);
        rs.refresh();
        QVERIFY2(rs.recordCount() == c.rows, qPrintable(c.where));
    }
    // The summary's form: qualified column, join, group by.
    rs.setRecordSource(QStringLiteral(
        "select a.学号,c.姓名,b.全称 as  班级名, sum(成绩) as 总成绩,avg(成绩) as 平均分,sum(学分) as 总学分 from 学生成绩表 as a "
        "join 班级代码表 as b on a.班级号=b.班级代码 join 学生个人信息表 as c on a.学号=c.学号 where a.学号='2006001' and "
        "a.考试时间  between '2006-5-19' and '2006-5-20'group by a.学号,c.姓名,b.全称 "));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.field(QStringLiteral("总成绩")).toDouble(), 150.0);
    QCOMPARE(rs.field(QStringLiteral("平均分")).toDouble(), 75.0);
    QCOMPARE(rs.field(QStringLiteral("总学分")).toInt(), 8);
    // Dates come back as dates on both engines.
    rs.setRecordSource(QStringLiteral("select * from 学生成绩表 order by 考试时间"));
    rs.refresh();
    QCOMPARE(rs.field(QStringLiteral("考试时间")).toDate(), QDate(2006, 5, 19));
}

void tst_store::navigationAndBounds()
{
    for (int i = 1; i <= 3; ++i)
        TestDb::addStudent(QStringLiteral("200600%1").arg(i), QStringLiteral("学生%1").arg(i));
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表 order by 学号"));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 3);
    QVERIFY(!rs.bof() && !rs.eof());
    QCOMPARE(rs.field(QStringLiteral("学号")).toString(), QStringLiteral("2006001"));
    rs.moveLast();
    QCOMPARE(rs.field(QStringLiteral("学号")).toString(), QStringLiteral("2006003"));
    rs.moveNext();
    QVERIFY(rs.eof() && !rs.bof());
    QVERIFY(!thrownText([&] { rs.moveNext(); }).isEmpty()); // past EOF is an error
    rs.moveLast();
    rs.movePrevious();
    rs.movePrevious();
    rs.movePrevious();
    QVERIFY(rs.bof());
    rs.moveFirst();
    QCOMPARE(rs.field(QStringLiteral("学号")).toString(), QStringLiteral("2006001"));
    QCOMPARE(rs.fieldCount(), 13);

    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表 where 学号='none'"));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.bof() && rs.eof());
    rs.moveFirst(); // harmless on an empty result
    rs.moveLast();
    QCOMPARE(rs.currentRow(), -1);
}

void tst_store::fieldsWithoutCurrentRowFail()
{
    DataControl rs;
    QVERIFY(!thrownText([&] { rs.field(QStringLiteral("name")); }).isEmpty()); // never opened
    rs.setRecordSource(QStringLiteral("select * from 管理员身份认证表 where name='nobody'"));
    rs.refresh();
    QVERIFY(thrownText([&] { rs.field(QStringLiteral("pwd")); }).contains(QStringLiteral("EOF")));
    rs.setRecordSource(QStringLiteral("select * from 管理员身份认证表"));
    rs.refresh();
    QCOMPARE(rs.field(QStringLiteral("name")).toString(), QStringLiteral("admin"));
    QVERIFY(!thrownText([&] { rs.field(QStringLiteral("no such column")); }).isEmpty());
    rs.moveNext();
    QVERIFY(!thrownText([&] { rs.field(QStringLiteral("pwd")); }).isEmpty());
}

void tst_store::addNewUpdateCancelDelete()
{
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 管理员身份认证表 order by style"));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 1);
    rs.addNew();
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.editMode(), DataControl::EditMode::Add);
    QVERIFY(rs.field(QStringLiteral("name")).isNull());
    rs.setField(QStringLiteral("name"), QStringLiteral("王老师"));
    rs.setField(QStringLiteral("style"), QStringLiteral("p"));
    rs.update();
    QCOMPARE(rs.editMode(), DataControl::EditMode::None);
    QVERIFY(rs.field(QStringLiteral("编号")).toInt() > 0); // the database numbered it
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 2);

    rs.setField(QStringLiteral("style"), QStringLiteral("new"));
    QCOMPARE(rs.field(QStringLiteral("style")).toString(), QStringLiteral("new"));
    rs.cancel();
    QCOMPARE(rs.field(QStringLiteral("style")).toString(), QStringLiteral("p"));
    QCOMPARE(TestDb::value("select style from 管理员身份认证表 where name='王老师'").toString(), QStringLiteral("p"));

    rs.setField(QStringLiteral("style"), QStringLiteral("new"));
    rs.update();
    QCOMPARE(TestDb::value("select style from 管理员身份认证表 where name='王老师'").toString(), QStringLiteral("new"));

    // A pending change goes in when the record set moves on, as it does in a grid.
    rs.moveFirst();
    rs.setField(QStringLiteral("style"), QStringLiteral("moved"));
    rs.moveLast();
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表 where style='moved'")), 1);

    rs.refresh();
    rs.moveLast();
    const QString last = rs.field(QStringLiteral("name")).toString();
    rs.remove();
    QVERIFY(rs.currentRow() < 0); // on the deleted row until it moves
    QCOMPARE(rs.recordCount(), 1);
    rs.moveNext();
    QVERIFY(rs.eof());
    rs.moveLast();
    QVERIFY(rs.field(QStringLiteral("name")).toString() != last);
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 1);
}

void tst_store::cancelOfANewRowGoesBack()
{
    for (int i = 1; i <= 3; ++i)
        TestDb::addStudent(QStringLiteral("200600%1").arg(i), QStringLiteral("学生%1").arg(i));
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表 order by 学号"));
    rs.refresh();
    rs.moveNext();
    rs.addNew();
    rs.setField(QStringLiteral("学号"), QStringLiteral("x"));
    rs.cancel();
    QCOMPARE(rs.recordCount(), 3);
    QCOMPARE(rs.field(QStringLiteral("学号")).toString(), QStringLiteral("2006002"));
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表")), 3);
    rs.cancel(); // nothing pending: nothing happens
    QCOMPARE(rs.recordCount(), 3);
    // A new row nobody filled in is dropped when the record set moves on.
    rs.addNew();
    rs.moveFirst();
    QCOMPARE(rs.recordCount(), 3);
}

void tst_store::longTextIsStoredWhole()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    QString memo;
    for (int i = 0; i < 12000; ++i)
        memo += QStringLiteral("备注%1;").arg(i % 10);
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表 where 学号='2006001'"));
    rs.refresh();
    rs.setField(QStringLiteral("备注"), memo);
    rs.update();
    rs.refresh();
    QCOMPARE(rs.field(QStringLiteral("备注")).toString().size(), memo.size());
    QCOMPARE(rs.field(QStringLiteral("备注")).toString(), memo);
}

void tst_store::valuesTheColumnRefuses()
{
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 学生成绩表"));
    rs.refresh();
    rs.addNew();
    rs.setField(QStringLiteral("学号"), QStringLiteral("2006001"));
    const QString number = QStringLiteral("“成绩”的值类型不对：这里只能填写数字。");
    rs.setField(QStringLiteral("成绩"), QString());
    QCOMPARE(thrownText([&] { rs.update(); }), number);
    rs.setField(QStringLiteral("成绩"), QStringLiteral("abc"));
    QCOMPARE(thrownText([&] { rs.update(); }), number);
    rs.setField(QStringLiteral("成绩"), QStringLiteral(" 88.5 "));
    // A fraction is no whole number: refused, never rounded (one engine would round 2.5 to 2,
    // the other to 3).
    for (const QVariant& fraction : { QVariant(2.5), QVariant(QStringLiteral("3.5")) }) {
        rs.setField(QStringLiteral("学分"), fraction);
        QCOMPARE(thrownText([&] { rs.update(); }), QStringLiteral("“学分”的值类型不对：这里只能填写整数。"));
    }
    rs.setField(QStringLiteral("学分"), QStringLiteral("2.0"));
    rs.setField(QStringLiteral("院系号"), 40000);
    QCOMPARE(thrownText([&] { rs.update(); }), QStringLiteral("“院系号”的值超出了这一列允许的范围（-32768 到 32767 之间的整数）。"));
    rs.setField(QStringLiteral("院系号"), QStringLiteral("3"));
    rs.setField(QStringLiteral("考试时间"), QStringLiteral("2006-2-30"));
    QCOMPARE(thrownText([&] { rs.update(); }), QStringLiteral("“考试时间”的值类型不对：这里只能填写日期（如 2006-5-19）。"));
    rs.setField(QStringLiteral("考试时间"), QDate(2006, 2, 28));
    rs.update();
    QCOMPARE(TestDb::value("select 成绩 from 学生成绩表").toDouble(), 88.5);
    QCOMPARE(TestDb::value("select 学分 from 学生成绩表").toInt(), 2);
    QCOMPARE(TestDb::value("select 院系号 from 学生成绩表").toInt(), 3);
    // The engine itself refuses what the store would never send.
    QVERIFY(!thrownText([] { TestDb::exec("insert into 学生成绩表 (学号, 成绩) values ('x', 'abc')"); }).isEmpty());
    QVERIFY(!thrownText([] { TestDb::exec("insert into 学生成绩表 (学号, 考试时间) values ('x', '2006-13-01')"); }).isEmpty());
    QVERIFY(!thrownText([] { TestDb::exec("insert into 学生个人信息表 (学号) values (NULL)"); }).isEmpty());
}

void tst_store::refusalsAreToldByKindAlike()
{
    TestDb::exec("insert into 学生课程表 (课程号, 课程名, 学时, 学分) values ('C001', '高等数学', 96, 5)");
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 学生课程表 order by 课程号"));
    rs.refresh();
    auto refused = [&](const QString& field, const QVariant& value) {
        rs.addNew();
        rs.setField(QStringLiteral("课程名"), QStringLiteral("线性代数"));
        rs.setField(field, value);
        DbError error { QString() };
        try {
            rs.update();
        } catch (const DbError& caught) {
            error = caught;
        }
        rs.cancel();
        return error;
    };

    // The engine's own words go below, as the detail; what the user reads first is the same on
    // both engines, and a window that has its own text for a refusal still sees one.
    const DbError taken = refused(QStringLiteral("课程号"), QStringLiteral("C001"));
    QVERIFY(taken.isRefusal());
    QVERIFY2(taken.text().startsWith(QStringLiteral("“课程号”的值已经存在，不能重复。\n\n详细信息：")), qPrintable(taken.text()));
    const DbError missing = refused(QStringLiteral("学时"), 48);
    QVERIFY(missing.isRefusal());
    QVERIFY2(missing.text().startsWith(QStringLiteral("“课程号”不能为空。\n\n详细信息：")), qPrintable(missing.text()));
    rs.addNew();
    rs.setField(QStringLiteral("课程号"), QStringLiteral("C002"));
    rs.setField(QStringLiteral("学时"), QStringLiteral("2.5"));
    QCOMPARE(thrownText([&] { rs.update(); }), QStringLiteral("“学时”的值类型不对：这里只能填写整数。"));
    rs.setField(QStringLiteral("学时"), QStringLiteral("48"));
    rs.update();
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表")), 2);

    // A unique column besides the key: the second account of a name.
    DataControl accounts;
    accounts.setRecordSource(QStringLiteral("select * from 管理员身份认证表"));
    accounts.refresh();
    accounts.addNew();
    accounts.setField(QStringLiteral("name"), QStringLiteral("admin"));
    QVERIFY(thrownText([&] { accounts.update(); }).startsWith(QStringLiteral("“name”的值已经存在，不能重复。")));

    // Any other failure of a statement keeps the database's words.
    QVERIFY(thrownText([] { TestDb::exec("select * from 没有这个表"); }).contains(QStringLiteral("没有这个表")));
}

void tst_store::refusedStatementsCarryTheDatabaseText()
{
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 没有这个表"));
    const QString text = thrownText([&] { rs.refresh(); });
    QVERIFY2(text.contains(QStringLiteral("没有这个表")), qPrintable(text));
    QVERIFY(!rs.isOpen());
    QCOMPARE(rs.recordCount(), 0);

    rs.setRecordSource(QStringLiteral("select * from 管理员身份认证表"));
    rs.refresh();
    rs.addNew();
    rs.setField(QStringLiteral("name"), QStringLiteral("admin"));
    const QString duplicate = thrownText([&] { rs.update(); });
    QVERIFY2(!duplicate.isEmpty(), "a second account of the same name must be refused");
    rs.cancel();
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 1);

    QCOMPARE(thrownText([] { TestDb::exec("select 1; delete from 管理员身份认证表"); }),
        QStringLiteral("一次只能执行一条语句。"));
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 1);

    // A grouped result has no row of a table to write to.
    DataControl grouped;
    grouped.setRecordSource(QStringLiteral("select 学号, count(*) as 门数 from 学生成绩表 group by 学号"));
    grouped.refresh();
    QVERIFY(!grouped.isUpdatable());
}

void tst_store::largeResultIsReadInBlocks()
{
    const int rows = 1037;
    addScores(rows);
    DataControl rs;
    rs.setRecordSource(QStringLiteral(" select * from 学生成绩表  order by 学号   "));
    rs.refresh();
    QCOMPARE(rs.recordCount(), rows);

    // Row by row to the end: every row once, in order of 学号.
    QSet<int> seen;
    QString previous;
    int steps = 0;
    while (!rs.eof()) {
        const QString number = rs.field(QStringLiteral("学号")).toString();
        QVERIFY(number >= previous);
        previous = number;
        seen.insert(rs.field(QStringLiteral("编号")).toInt());
        rs.moveNext();
        ++steps;
    }
    QCOMPARE(steps, rows);
    QCOMPARE(seen.size(), rows);

    // Blocks read from the end fit the blocks read from the start.
    DataControl back;
    back.setRecordSource(rs.recordSource());
    back.refresh();
    back.moveLast();
    QSet<int> seenBack;
    for (;;) {
        seenBack.insert(back.field(QStringLiteral("编号")).toInt());
        back.movePrevious();
        if (back.bof())
            break;
    }
    QCOMPARE(seenBack, seen);
    QCOMPARE(back.valueAt(500, back.fieldIndex(QStringLiteral("编号"))), rs.valueAt(500, rs.fieldIndex(QStringLiteral("编号"))));

    // Deleting in the middle closes the gap without losing the rows after it.
    rs.moveTo(700);
    const int gone = rs.field(QStringLiteral("编号")).toInt();
    const QVariant next = rs.valueAt(701, rs.fieldIndex(QStringLiteral("编号")));
    rs.remove();
    rs.moveNext();
    QCOMPARE(rs.field(QStringLiteral("编号")), next);
    QCOMPARE(rs.recordCount(), rows - 1);
    QCOMPARE(TestDb::count(QStringLiteral("学生成绩表 where 编号=%1").arg(gone)), 0);
}

void tst_store::resultWithoutKeyIsReadInBlocks()
{
    addScores(400);
    const QString statement = QStringLiteral(
        "select a.学号, a.成绩, b.全称 from 学生成绩表 as a join 班级代码表 as b on a.班级号=b.班级代码 order by a.学号");
    const auto whole = TestDb::admin().select(statement);
    DataControl rs;
    rs.setRecordSource(statement);
    rs.refresh();
    QCOMPARE(rs.recordCount(), whole.rows.size());
    QMultiHash<QString, double> expected, found;
    for (const auto& row : whole.rows)
        expected.insert(row[0].toString(), row[1].toDouble());
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        found.insert(rs.field(QStringLiteral("学号")).toString(), rs.field(QStringLiteral("成绩")).toDouble());
    QCOMPARE(found.size(), expected.size());
    for (const QString& key : expected.uniqueKeys()) {
        QList<double> a = expected.values(key), b = found.values(key);
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        QCOMPARE(b, a);
    }
}

void tst_store::onlyARealConflictIsRefused()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    DataControl mine(std::make_shared<Connection>());
    auto open = [&] {
        mine.cancel();
        mine.setRecordSource(QStringLiteral("select * from 学生个人信息表 where 学号='2006001'"));
        mine.refresh();
    };
    auto stored = [](const char* column) {
        return TestDb::value(QStringLiteral("select %1 from 学生个人信息表 where 学号='2006001'").arg(QString::fromUtf8(column)));
    };

    // A colleague's change to another column is no conflict: both changes stay.
    open();
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 姓名='张三丰' where 学号='2006001'"));
    mine.setField(QStringLiteral("联系电话"), QStringLiteral("123"));
    mine.update();
    QCOMPARE(stored("姓名").toString(), QStringLiteral("张三丰"));
    QCOMPARE(stored("联系电话").toString(), QStringLiteral("123"));

    // A change to the same column is refused, and nothing of this save is written.
    open();
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 联系电话='456' where 学号='2006001'"));
    mine.setField(QStringLiteral("联系电话"), QStringLiteral("789"));
    mine.setField(QStringLiteral("籍贯"), QStringLiteral("上海"));
    const QString refused = thrownText([&] { mine.update(); });
    QVERIFY2(refused.contains(QStringLiteral("其他用户")), qPrintable(refused));
    QCOMPARE(stored("联系电话").toString(), QStringLiteral("456"));
    QVERIFY(stored("籍贯").toString() != QStringLiteral("上海"));

    // A value written back unchanged is no change, and checks nothing but the row.
    open();
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 籍贯='北京' where 学号='2006001'"));
    mine.setField(QStringLiteral("联系电话"), QStringLiteral("456"));
    mine.update();
    QCOMPARE(stored("籍贯").toString(), QStringLiteral("北京"));

    // A deletion finds the row by its key: a colleague's change does not keep it.
    open();
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 姓名='李四' where 学号='2006001'"));
    mine.remove();
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表")), 0);
}

void tst_store::concurrentUpdatesLoseNothing()
{
    // Two sessions add one to a counter column through their record sets, read-modify-write,
    // alternating with changes to another column. Every save that says it stored is in the sum.
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("计数"));
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 联系电话='0', 籍贯='0' where 学号='2006001'"));
    DataControl a(std::make_shared<Connection>()), b(std::shared_ptr<Connection>(TestDb::openAnother()));
    const QString statement = QStringLiteral("select * from 学生个人信息表 where 学号='2006001'");
    int stored = 0, refused = 0;
    for (int round = 0; round < 20; ++round) {
        for (DataControl* rs : { &a, &b }) {
            rs->setRecordSource(statement);
            rs->refresh();
        }
        for (DataControl* rs : { &a, &b }) {
            const bool phone = (round % 2 == 0) || rs == &a;
            const QString column = phone ? QStringLiteral("联系电话") : QStringLiteral("籍贯");
            rs->setField(column, QString::number(rs->field(column).toString().toInt() + 1));
            try {
                rs->update();
                ++stored;
            } catch (const DbError&) {
                rs->cancel();
                ++refused;
            }
        }
    }
    const int sum = TestDb::value(QStringLiteral("select 联系电话 from 学生个人信息表")).toString().toInt()
        + TestDb::value(QStringLiteral("select 籍贯 from 学生个人信息表")).toString().toInt();
    QCOMPARE(sum, stored);
    // Refused only when both changed 联系电话 from the same reading: the even rounds.
    QCOMPARE(refused, 10);
}

namespace {

// What browsing a record set from its first row to EOF reaches: the keys of the rows it can read,
// and how many rows it finds deleted on the way.
struct Walk {
    QStringList keys;
    int deleted = 0;
};

Walk walkForward(DataControl& rs, const QString& key)
{
    Walk walk;
    rs.moveFirst();
    while (!rs.eof()) {
        try {
            walk.keys << rs.field(key).toString();
        } catch (const DbError&) {
            ++walk.deleted;
        }
        rs.moveNext();
    }
    return walk;
}

Walk walkBackward(DataControl& rs, const QString& key)
{
    Walk walk;
    rs.moveLast();
    while (!rs.bof()) {
        try {
            walk.keys.prepend(rs.field(key).toString());
        } catch (const DbError&) {
            ++walk.deleted;
        }
        rs.movePrevious();
    }
    return walk;
}

QStringList keysOf(const QString& statement)
{
    QStringList keys;
    for (const auto& row : TestDb::admin().select(statement).rows)
        keys << row[0].toString();
    return keys;
}

// Keys are taken whole or block by block: the second with tiny blocks, so that seeking after the
// last key read is what reaches every row.
struct KeyMode {
    KeyMode(bool blocks)
    {
        if (blocks) {
            DataControl::setEagerKeys(10);
            store::KeySet::setBlockSizes(7, 20, 30);
        }
    }
    ~KeyMode()
    {
        DataControl::setEagerKeys(250000);
        store::KeySet::setBlockSizes(1024, 262144, 65536);
    }
};

// 123 rows ordered by a column that is not the key, with ties and three nulls (first on SQLite,
// last on PostgreSQL): students by name, the names in the reverse order of the numbers; awards
// (numbered by the database) by student number.
struct SortedRows {
    explicit SortedRows(const QString& table)
        : students(table == QStringLiteral("学生个人信息表"))
        , key(students ? QStringLiteral("学号") : QStringLiteral("编号"))
        , sort(students ? QStringLiteral("姓名") : QStringLiteral("学号"))
        , order(QStringLiteral("select %1 from %2 order by %3, %1").arg(key, table, sort))
        , statement(QStringLiteral("select * from %1 order by %2").arg(table, sort))
    {
        QStringList values;
        for (int i = 0; i < 123; ++i) {
            const QString sortValue = i < 3 ? QStringLiteral("NULL")
                : students                  ? QStringLiteral("'学生%1'").arg(200 - i, 3, 10, QChar('0'))
                                            : QStringLiteral("'%1'").arg(2006000 + (122 - i) / 2);
            values << (students ? QStringLiteral("('%1', %2, '男', '%1', 1, 1, 1)").arg(2006000 + i).arg(sortValue)
                                : QStringLiteral("(%1, 1, '2006-05-01')").arg(sortValue));
        }
        TestDb::exec(students ? "insert into 学生个人信息表 (学号, 姓名, 性别, 密码, 所在院系编号, 所在班级编号, 学籍情况) values "
                                + values.join(", ")
                              : "insert into 奖励记录信息表 (学号, 级别代码, 记录时间) values " + values.join(", "));
    }
    bool students;
    QString key, sort, order, statement;
};

// Keys read by a session of their own, in small blocks, the count given before them; the reader
// is held before its second block (or, for a whole result, before it reads it: `heldAt` 1) until
// let go, so that what a test does meanwhile happens while the reading is not done. Declared
// before the record set, so that the reader has stopped before the gate goes.
class ReaderGate {
public:
    explicit ReaderGate(bool failThere, int heldAt = 2)
    {
        store::KeySet::setBlockSizes(7, 20, 30);
        store::KeyReaders::setKeysWithCount(10);
        store::KeyReaders::setBetweenBlocks([this, failThere, heldAt] {
            if (++m_blocks != heldAt)
                return;
            m_reached.release();
            m_go.acquire();
            if (failThere)
                throw DbError(QStringLiteral("与数据库服务器的连接已断开。"), DbError::Kind::ConnectionLost);
        });
    }
    ~ReaderGate()
    {
        letGo();
        store::KeyReaders::setBetweenBlocks({});
        store::KeyReaders::setKeysWithCount(5000);
        store::KeySet::setBlockSizes(1024, 262144, 65536);
    }
    bool reached() { return m_reached.tryAcquire(1, 10000); }
    void letGo()
    {
        if (!std::exchange(m_let, true))
            m_go.release();
    }

private:
    QSemaphore m_reached, m_go;
    std::atomic<int> m_blocks { 0 };
    bool m_let = false;
};

} // namespace

void tst_store::membershipHoldsWhileOthersWrite_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("blocks");
    QTest::addColumn<bool>("countFirst");
    QTest::addColumn<QString>("change");
    for (const char* table : { "学生个人信息表", "奖励记录信息表" })
        for (bool blocks : { false, true })
            for (bool countFirst : { true, false })
                for (const char* change : { "own add", "own edit", "their delete", "their insert" })
                    QTest::addRow("%s, %s, %s, %s", QString::fromUtf8(table) == QStringLiteral("学生个人信息表") ? "students" : "awards",
                        blocks ? "block by block" : "whole", countFirst ? "counted first" : "counted after", change)
                        << QString::fromUtf8(table) << blocks << countFirst << QString::fromLatin1(change);
}

void tst_store::membershipHoldsWhileOthersWrite()
{
    QFETCH(QString, table);
    QFETCH(bool, blocks);
    QFETCH(bool, countFirst);
    QFETCH(QString, change);
    KeyMode mode(blocks);
    const SortedRows data(table);
    const bool students = data.students;
    const QString& key = data.key;
    const QString& sort = data.sort;
    const QString& order = data.order;
    QStringList expected = keysOf(order);

    DataControl rs(std::make_shared<Connection>());
    rs.setRecordSource(data.statement);
    rs.refresh();
    if (countFirst)
        QCOMPARE(rs.recordCount(), 123);
    QStringList gone;
    if (change == QLatin1String("own add")) {
        rs.addNew();
        if (students)
            rs.setField(key, QStringLiteral("0000001"));
        rs.setField(sort, QStringLiteral("0000001")); // sorts before every other value
        rs.update();
        expected << rs.field(key).toString(); // where it was added: after the last row
    } else if (change == QLatin1String("own edit")) {
        rs.moveTo(5);
        rs.setField(sort, QStringLiteral("龘")); // sorts after every other value
        rs.update();
    } else if (change == QLatin1String("their delete")) {
        for (int at : { 5, 60, 110 })
            gone << expected[at];
        TestDb::exec(QStringLiteral("delete from %1 where %2 in ('%3')").arg(table, key, gone.join("', '")));
        for (const QString& k : gone)
            expected.removeOne(k);
    } else if (students) {
        TestDb::addStudent(QStringLiteral("0000002"), QStringLiteral("0000002"));
    } else {
        TestDb::exec(QStringLiteral("insert into 奖励记录信息表 (学号, 级别代码) values ('0000002', 1)"));
    }

    // The grid is scrolled to its end first (taken block by block, the keys before it are
    // skipped then and read as the walk reaches them).
    rs.valueAt(rs.recordCount() - 1, 0);
    // Every row once, in the statement's order. A row deleted since the refresh is shown as
    // deleted, or as it was read with the first block; never does another row move for it.
    const Walk forward = walkForward(rs, key);
    QStringList reached = forward.keys;
    for (const QString& k : gone) {
        QVERIFY(reached.count(k) <= 1);
        reached.removeOne(k);
    }
    QCOMPARE(reached, expected);
    QVERIFY(forward.deleted <= gone.size());
    QCOMPARE(rs.recordCount(), forward.keys.size() + forward.deleted);
    const Walk backward = walkBackward(rs, key);
    QCOMPARE(backward.keys, forward.keys);
    QCOMPARE(backward.deleted, forward.deleted);
    // The grid reads the same rows by place.
    QStringList byPlace;
    for (int row = 0; row < rs.recordCount(); ++row) {
        const QVariant value = rs.valueAt(row, rs.fieldIndex(key));
        if (value.isValid())
            byPlace << value.toString();
    }
    QCOMPARE(byPlace, forward.keys);

    // The next refresh takes what is there now.
    rs.refresh();
    const Walk fresh = walkForward(rs, key);
    QCOMPARE(fresh.keys, keysOf(order));
    QCOMPARE(fresh.deleted, 0);
}

void tst_store::keysReadBesideTheWindow_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("meanwhile");
    for (const char* table : { "学生个人信息表", "奖励记录信息表" })
        for (const char* meanwhile : { "nothing", "own add", "own edit", "own delete", "their insert", "their delete",
                 "reader fails" })
            QTest::addRow("%s, %s", QString::fromUtf8(table) == QStringLiteral("学生个人信息表") ? "students" : "awards",
                meanwhile)
                << QString::fromUtf8(table) << QString::fromLatin1(meanwhile);
}

void tst_store::keysReadBesideTheWindow()
{
    QFETCH(QString, table);
    QFETCH(QString, meanwhile);
    ReaderGate gate(meanwhile == QLatin1String("reader fails"));
    const SortedRows data(table);
    QStringList expected = keysOf(data.order);
    DataControl rs(std::make_shared<Connection>());
    rs.setRecordSource(data.statement);
    rs.refresh();
    // The count comes before the keys of the rows after the first block, and agrees with them.
    QCOMPARE(rs.recordCount(), 123);
    QVERIFY(gate.reached());

    QStringList gone;
    int count = 123;
    if (meanwhile == QLatin1String("own add")) {
        rs.addNew();
        if (data.students)
            rs.setField(data.key, QStringLiteral("0000001"));
        rs.setField(data.sort, QStringLiteral("0000001"));
        rs.update();
        expected << rs.field(data.key).toString(); // after the last row, where it was added
        ++count;
    } else if (meanwhile == QLatin1String("own edit")) {
        rs.moveTo(5);
        rs.setField(data.sort, QStringLiteral("龘")); // now sorts after the keys still to come
        rs.update();
    } else if (meanwhile == QLatin1String("own delete")) {
        rs.moveTo(5);
        expected.removeAt(5);
        rs.remove();
        --count;
    } else if (meanwhile == QLatin1String("their insert")) {
        // Sorts among the keys still to come, but is not of this result.
        if (data.students)
            TestDb::addStudent(QStringLiteral("2099999"), QStringLiteral("学生1605"));
        else
            TestDb::exec(QStringLiteral("insert into 奖励记录信息表 (学号, 级别代码) values ('2006050', 1)"));
    } else if (meanwhile == QLatin1String("their delete")) {
        for (int at : { 60, 110 })
            gone << expected[at];
        TestDb::exec(QStringLiteral("delete from %1 where %2 in ('%3')").arg(table, data.key, gone.join("', '")));
    }
    gate.letGo();

    // Every row once, in order; the rows deleted meanwhile keep their places, shown as deleted.
    const Walk forward = walkForward(rs, data.key);
    QCOMPARE(forward.keys.size() + forward.deleted, count);
    QCOMPARE(forward.deleted, gone.size());
    for (const QString& k : std::as_const(gone))
        expected.removeOne(k);
    QCOMPARE(forward.keys, expected);
    const Walk backward = walkBackward(rs, data.key);
    QCOMPARE(backward.keys, forward.keys);
    QCOMPARE(rs.recordCount(), count);
    for (int at : { 60, 110 })
        QCOMPARE(rs.valueAt(at, rs.fieldIndex(data.key)).isValid(), gone.isEmpty());
    if (TestDb::engine() == store::Engine::PostgreSQL) {
        // The reading session ends its snapshot as soon as the keys are read: nothing is held.
        QTRY_COMPARE(TestDb::value(QStringLiteral("select count(*) from pg_stat_activity where datname = "
                                                  "current_database() and state like 'idle in transaction%'"))
                         .toInt(),
            0);
    }
}

void tst_store::keysTakenBlockByBlock()
{
    // The score table, as the score window opens it: many rows share a student number, some have
    // none; its rows are numbered by the database.
    KeyMode mode(true);
    addScores(300);
    TestDb::exec(QStringLiteral("update 学生成绩表 set 学号=NULL where 编号 in (7, 150, 299)"));
    const QString statement = QStringLiteral(" select * from 学生成绩表  order by 学号   ");
    QStringList expected = keysOf(QStringLiteral("select 编号 from 学生成绩表 order by 学号, 编号"));
    DataControl rs(std::make_shared<Connection>());
    rs.setRecordSource(statement);
    rs.refresh();
    QCOMPARE(rs.recordCount(), 300);

    // A jump into the middle skips the keys before it inside the engine; they are read when a row
    // among them is looked at, never rows by position.
    QCOMPARE(rs.valueAt(200, rs.fieldIndex(QStringLiteral("编号"))).toString(), expected[200]);
    // Others write ahead of what was read: a row in the middle changes its sort column and is
    // found once, a new row is not of this result, a deleted one is shown as deleted.
    TestDb::exec(QStringLiteral("update 学生成绩表 set 学号='9999999' where 编号=%1").arg(expected[250]));
    addScores(1);
    TestDb::exec(QStringLiteral("delete from 学生成绩表 where 编号=%1").arg(expected[270]));
    // This record set deletes a row itself: it leaves the result, the count goes down by one.
    rs.moveTo(100);
    const QString mine = rs.field(QStringLiteral("编号")).toString();
    rs.remove();
    expected.removeOne(mine);
    expected.removeOne(expected[269]); // [270] before the removal above

    const Walk forward = walkForward(rs, QStringLiteral("编号"));
    // An export reads the same rows in the same order, in large blocks.
    QStringList exported;
    int exportedDeleted = 0;
    rs.forEachRow([&](const QVector<QVariant>& row) {
        if (row.isEmpty())
            ++exportedDeleted;
        else
            exported << row.value(rs.fieldIndex(QStringLiteral("编号"))).toString();
        return true;
    });
    QCOMPARE(exported, forward.keys);
    QCOMPARE(exportedDeleted, forward.deleted);
    QStringList seen = forward.keys;
    seen.removeDuplicates();
    QCOMPARE(seen.size(), forward.keys.size());
    QCOMPARE(forward.deleted, 1);
    QCOMPARE(rs.recordCount(), 299);
    // Each other row is where it was.
    QStringList withoutMoved = forward.keys;
    QStringList expectedWithoutMoved = expected;
    const QString moved = expected[249]; // [250] before the removal above
    QCOMPARE(forward.keys.count(moved), 1);
    withoutMoved.removeAll(moved);
    expectedWithoutMoved.removeAll(moved);
    QCOMPARE(withoutMoved, expectedWithoutMoved);
}

void tst_store::exportReadsALargeResultThroughOnce_data()
{
    QTest::addColumn<int>("looked");
    QTest::newRow("just opened") << -1;
    QTest::newRow("after a look far ahead") << 200;
    QTest::newRow("after a look at the end") << 299;
}

void tst_store::exportReadsALargeResultThroughOnce()
{
    // A large numbered result whose keys are taken as it is browsed: an export reads the rows
    // after the keys taken in order, whole, and takes their keys as browsing would.
    QFETCH(int, looked);
    KeyMode mode(true);
    addScores(300);
    QStringList expected = keysOf(QStringLiteral("select 编号 from 学生成绩表 order by 学号, 编号"));
    DataControl rs(std::make_shared<Connection>());
    rs.setRecordSource(QStringLiteral(" select * from 学生成绩表  order by 学号   "));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 300);
    if (looked >= 0)
        QCOMPARE(rs.valueAt(looked, rs.fieldIndex(QStringLiteral("编号"))).toString(), expected[looked]);
    // Meanwhile another user adds a row (not of this result) and deletes one.
    addScores(1);
    TestDb::exec(QStringLiteral("delete from 学生成绩表 where 编号=%1").arg(expected[150]));
    expected.removeAt(150);

    QStringList exported;
    int places = 0;
    QHash<QString, QString> rowsAsRead; // 编号 -> the row's values, as one text
    auto asText = [](const QVector<QVariant>& row) {
        QStringList values;
        for (const QVariant& v : row)
            values << (v.isNull() ? QStringLiteral("NULL") : v.toString());
        return values.join(u'|');
    };
    rs.forEachRow([&](const QVector<QVariant>& row) {
        ++places;
        if (!row.isEmpty()) {
            exported << row.value(rs.fieldIndex(QStringLiteral("编号"))).toString();
            rowsAsRead.insert(exported.last(), asText(row));
        }
        return true;
    });
    QCOMPARE(places, 300);
    QCOMPARE(exported, expected);
    // Every value as a row-by-row read gives it.
    for (const auto& row : TestDb::admin().select(QStringLiteral("select * from 学生成绩表")).rows)
        if (rowsAsRead.contains(row[0].toString()))
            QCOMPARE(rowsAsRead.value(row[0].toString()), asText(row));
    // Browsing finds what the export found, in the same places.
    const Walk walk = walkForward(rs, QStringLiteral("编号"));
    QCOMPARE(walk.keys, exported);
    QCOMPARE(walk.deleted, 1);
}

namespace {

// Two score rows for each of 300 (student, course) pairs: a grouped result of 300 rows without a
// key of its own, whose order by 学号 has ties that 课程名 breaks.
void addGroupedScores()
{
    const QStringList courses { QStringLiteral("高等数学"), QStringLiteral("线性代数"), QStringLiteral("大学英语") };
    QStringList rows;
    for (int i = 0; i < 600; ++i)
        rows << QStringLiteral("('%1', '%2', 'C001', %3, 5, 1, 1, '2006-06-10')")
                    .arg(2006100 + (i / 2) / 3)
                    .arg(courses[(i / 2) % 3])
                    .arg(60 + i % 40);
    for (int at = 0; at < rows.size(); at += 300)
        TestDb::exec("insert into 学生成绩表 (学号, 课程名, 课程号, 成绩, 学分, 院系号, 班级号, 考试时间) values "
            + rows.mid(at, 300).join(", "));
}

QStringList rowTexts(const QVector<QVector<QVariant>>& rows)
{
    QStringList out;
    for (const auto& row : rows) {
        QStringList cells;
        for (const QVariant& v : row)
            cells << v.toString();
        out << cells.join(u'|');
    }
    return out;
}

QStringList walkRows(DataControl& rs)
{
    QStringList out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        QStringList cells;
        for (int c = 0; c < rs.fieldCount(); ++c)
            cells << rs.field(rs.fieldName(c)).toString();
        out << cells.join(u'|');
    }
    return out;
}

} // namespace

void tst_store::groupedResultCountedBesideTheWindow_data()
{
    QTest::addColumn<QString>("meanwhile");
    for (const char* meanwhile : { "browse at once", "their insert", "refresh", "reader fails" })
        QTest::newRow(meanwhile) << QString::fromLatin1(meanwhile);
}

void tst_store::groupedResultCountedBesideTheWindow()
{
    QFETCH(QString, meanwhile);
    addGroupedScores();
    const QString statement = QStringLiteral("select 学号, 课程名, count(*) as 次数 from 学生成绩表 where 考试时间 is not null "
                                             "group by 学号, 课程名");
    auto whole = [&](const QString& order) {
        return rowTexts(TestDb::admin().select(statement + QStringLiteral(" order by ") + order).rows);
    };
    // PostgreSQL gives the first groups of the order early and groups the whole beside the window;
    // SQLite groups everything before its first group, and the result is read whole at once.
    const bool early = TestDb::engine() == store::Engine::PostgreSQL;
    ReaderGate gate(meanwhile == QLatin1String("reader fails"), 1);
    DataControl rs(std::make_shared<Connection>());
    QSignalSpy counted(&rs, &DataControl::counted);
    rs.setRecordSource(statement);
    rs.setResultOrder(QStringLiteral("学号, 课程名"));
    rs.refresh();
    QStringList expected = whole(QStringLiteral("学号, 课程名"));
    QCOMPARE(expected.size(), 300);

    // The first rows are there before the count, and are those of the whole grouping.
    QCOMPARE(rs.countKnown(), !early);
    QCOMPARE(rs.model()->rowCount(), early ? DataControl::PageSize : 300);
    for (int row : { 0, 1, 49 }) {
        QStringList cells;
        for (int c = 0; c < 3; ++c)
            cells << rs.valueAt(row, c).toString();
        QCOMPARE(cells.join(u'|'), expected[row]);
    }
    if (early)
        QVERIFY(gate.reached());

    if (meanwhile == QLatin1String("their insert")) {
        // Written after the first block was read and before the whole is: the whole holds it, and
        // the rows shown are then all of the whole, the first block's place included.
        TestDb::exec("insert into 学生成绩表 (学号, 课程名, 课程号, 成绩, 学分, 院系号, 班级号, 考试时间) values "
                     "('2006000', '高等数学', 'C001', 70, 5, 1, 1, '2006-06-10'), "
                     "('2099999', '高等数学', 'C001', 70, 5, 1, 1, '2006-06-10')");
        if (early)
            expected = whole(QStringLiteral("学号, 课程名"));
    } else if (meanwhile == QLatin1String("refresh")) {
        // A refresh starts over: the whole still being read for the first is never taken.
        rs.setResultOrder(QStringLiteral("学号 desc, 课程名"));
        rs.refresh();
        expected = whole(QStringLiteral("学号 desc, 课程名"));
        QCOMPARE(rs.valueAt(0, 0).toString(), expected[0].section(u'|', 0, 0));
    }
    gate.letGo();

    if (meanwhile != QLatin1String("browse at once")) {
        // The count comes by itself, told once, with the rows after the first block.
        QTRY_VERIFY(rs.countKnown());
        QCOMPARE(counted.size(), early ? 1 : 0);
        QCOMPARE(rs.model()->rowCount(), expected.size());
        QTest::qWait(100); // a whole read for the result before a refresh would come by now
    }
    // Browsing past the first block (waiting for the whole where it has not come) reaches every
    // row of the whole grouping once, in its order.
    QCOMPARE(walkRows(rs), expected);
    QCOMPARE(rs.recordCount(), expected.size());
    QCOMPARE(rs.model()->rowCount(), expected.size());
    QCOMPARE(counted.size(), early ? 1 : 0);
    rs.moveLast();
    QCOMPARE(QStringList({ rs.field(QStringLiteral("学号")).toString(), rs.field(QStringLiteral("课程名")).toString(),
                 rs.field(QStringLiteral("次数")).toString() })
                 .join(u'|'),
        expected.last());

    // A refresh starts over, with what is there now.
    TestDb::exec(QStringLiteral("delete from 学生成绩表 where 学号 = '2006100'"));
    rs.setResultOrder(QStringLiteral("学号, 课程名"));
    rs.refresh();
    QCOMPARE(walkRows(rs), whole(QStringLiteral("学号, 课程名")));
}

void tst_store::wholeTableCountKeptByTheServer()
{
    // A record set over a whole table, counted after each kind of change another session makes.
    const bool server = TestDb::engine() == store::Engine::PostgreSQL;
    const QString table = QStringLiteral("奖励记录信息表");
    auto counted = [&] {
        DataControl rs(std::make_shared<Connection>());
        rs.setRecordSource(QStringLiteral("select * from ") + table);
        rs.refresh();
        return rs.recordCount();
    };
    auto parts = [&] { return TestDb::value(store::RowCounts::partsExpression(table).prepend("select ")).toInt(); };
    auto insertRows = [&](int n) {
        QStringList values;
        for (int i = 0; i < n; ++i)
            values << QStringLiteral("('%1', 1)").arg(2006000 + i);
        TestDb::exec(QStringLiteral("insert into %1 (学号, 级别代码) values %2").arg(table, values.join(", ")));
    };
    if (server) // a table is counted once, when its triggers are made
        QCOMPARE(parts(), 1);

    insertRows(300);
    QCOMPARE(counted(), 300);
    TestDb::exec(QStringLiteral("delete from %1 where 编号 % 20 = 0").arg(table));
    QCOMPARE(counted(), 285);
    for (int i = 0; i < store::RowCounts::kCompactAbove + 10; ++i)
        insertRows(1);
    QCOMPARE(counted(), 285 + store::RowCounts::kCompactAbove + 10);
    if (server) // the reader that counted folded the parts into one
        QTRY_COMPARE(parts(), 1);
    {
        // Rows added in a transaction that is rolled back leave no part behind.
        store::Transaction transaction(TestDb::admin());
        insertRows(40);
    }
    QCOMPARE(counted(), 285 + store::RowCounts::kCompactAbove + 10);
    TestDb::exec(QStringLiteral("delete from ") + table);
    QCOMPARE(counted(), 0);
    insertRows(120);
    QCOMPARE(counted(), 120);
    if (!server)
        return;

    TestDb::exec(QStringLiteral("truncate ") + table);
    insertRows(60);
    QCOMPARE(counted(), 60);

    // Two readers folding at once: the second takes only what the first does not hold, and
    // neither waits for the other.
    for (int i = 0; i < 5; ++i)
        insertRows(1);
    Connection first, second;
    first.begin();
    store::RowCounts::compact(first, table);
    insertRows(2);
    QElapsedTimer clock;
    clock.start();
    store::RowCounts::compact(second, table);
    QVERIFY(clock.elapsed() < 5000);
    first.commit();
    QCOMPARE(counted(), 67);
    QCOMPARE(parts(), 2);

    // A table without its triggers (a database restored from a copy made before them) is
    // counted by the engine, and init --if-missing makes them again with the table's count.
    for (const char* trigger : { "计行增", "计行减", "计行清" })
        TestDb::exec(QStringLiteral("drop trigger %1_%2 on %1").arg(table, QString::fromUtf8(trigger)));
    insertRows(3);
    QCOMPARE(counted(), 70);
    store::Setup::addMissing(TestDb::admin());
    QCOMPARE(parts(), 1);
    insertRows(3);
    QCOMPARE(counted(), 73);
    // Made already, nothing is asked again: the program's role, which owns nothing, may run it.
    Connection program;
    store::RowCounts::install(program);
    QCOMPARE(counted(), 73);
}

void tst_store::textKeysHoldingAnyCharacter()
{
    // Keys that hold what joins or quotes keys on their way from the server: every row once,
    // each key as stored.
    const QStringList odd { QStringLiteral("a\u0001b"), QStringLiteral("a,b"), QStringLiteral("\"{a}\""),
        QStringLiteral("a\\b"), QStringLiteral(" "), QStringLiteral("NULL") };
    QStringList values;
    for (int i = 0; i < 120; ++i)
        values << QStringLiteral("(%1, '学生', '男', 1, 1, 1)").arg(Sql::quote(i < odd.size() ? odd[i] : QString::number(2006000 + i)));
    TestDb::exec("insert into 学生个人信息表 (学号, 姓名, 性别, 所在院系编号, 所在班级编号, 学籍情况) values " + values.join(", "));
    for (bool blocks : { false, true }) {
        KeyMode mode(blocks);
        DataControl rs(std::make_shared<Connection>());
        rs.setRecordSource(QStringLiteral("select * from 学生个人信息表 order by 学号"));
        rs.refresh();
        QCOMPARE(rs.recordCount(), 120);
        const QStringList expected = keysOf(QStringLiteral("select 学号 from 学生个人信息表 order by 学号"));
        QCOMPARE(walkForward(rs, QStringLiteral("学号")).keys, expected);
        for (const QString& key : odd)
            QVERIFY(expected.contains(key));
    }
}

void tst_store::wholeResultKeepsEveryValue()
{
    // A whole result read in one statement (a summary, an export's blocks) gives every value as a
    // row-by-row read does: nulls, empty texts, and texts holding what joins or marks values on
    // their way from the server.
    const QStringList remarks { QString(), QString(""), QStringLiteral("a\u0001b"), QStringLiteral("\u0002"),
        QStringLiteral("a,b"), QStringLiteral("{\"x\"}"), QStringLiteral("a\\b"), QStringLiteral("NULL"), QStringLiteral("说明") };
    const QString statement = QStringLiteral("select 学号, 备注, 出生日期, 所在班级编号 from 学生个人信息表 order by 学号");
    Connection db;
    for (int i = 0; i < remarks.size(); ++i) {
        TestDb::addStudent(QString::number(2006001 + i), QStringLiteral("学生"));
        TestDb::exec(QStringLiteral("update 学生个人信息表 set 备注 = %1, 出生日期 = %2 where 学号 = '%3'")
                         .arg(remarks[i].isNull() ? QStringLiteral("NULL") : Sql::quote(remarks[i]),
                             i % 2 ? QStringLiteral("NULL") : QStringLiteral("'1988-0%1-15'").arg(i / 2 + 1))
                         .arg(2006001 + i));
        if (i == 1) {
            // One row alone, its remark empty: the whole column is one empty text.
            const auto one = db.selectAll(QStringLiteral("select 备注 from 学生个人信息表 where 学号 = '2006002'"));
            QCOMPARE(one.rows.size(), 1);
            QVERIFY(!one.rows[0][0].isNull());
            QCOMPARE(one.rows[0][0].toString(), QString(""));
        }
    }
    const auto whole = db.selectAll(statement);
    const auto byRow = db.select(statement);
    QCOMPARE(whole.fields, byRow.fields);
    QCOMPARE(whole.rows.size(), remarks.size());
    for (int r = 0; r < remarks.size(); ++r) {
        QCOMPARE(whole.rows[r][1].isNull(), remarks[r].isNull());
        if (!remarks[r].isNull())
            QCOMPARE(whole.rows[r][1].toString(), remarks[r]);
        for (int c = 0; c < byRow.fields.size(); ++c) {
            QCOMPARE(whole.rows[r][c].isNull(), byRow.rows[r][c].isNull());
            if (!byRow.rows[r][c].isNull())
                QCOMPARE(whole.rows[r][c], byRow.rows[r][c]);
        }
    }
}

void tst_store::valuesComeAsTheProgramUsesThem()
{
    // Whole numbers as int where they fit; in a date column a date in any form the engines give
    // as a date, and a text that is no date (an impossible day, another script) kept as it is;
    // every text as it is, whether it comes again or not.
    Connection db;
    const auto numbers = db.select(QStringLiteral(
        "select 7 as 学分, 3000000000 as 编号, -2147483649 as 院系号, 2.5 as 成绩, null as 课程号"));
    QCOMPARE(numbers.rows.size(), 1);
    const QVector<QVariant>& row = numbers.rows[0];
    QCOMPARE(row[0].typeId(), int(QMetaType::Int));
    QCOMPARE(row[0].toInt(), 7);
    QCOMPARE(row[1].typeId(), int(QMetaType::LongLong));
    QCOMPARE(row[1].toLongLong(), 3000000000LL);
    QCOMPARE(row[2].toLongLong(), -2147483649LL);
    QCOMPARE(row[3].toDouble(), 2.5);
    QVERIFY(row[4].isNull());

    const QString longZeros = QStringLiteral("  2006-05-19 00:00:00.") + QString(30, u'0');
    const QVector<std::pair<QString, QVariant>> dates {
        { QStringLiteral("2006-05-19"), QDate(2006, 5, 19) },
        { QStringLiteral("2006-5-9"), QDate(2006, 5, 9) },
        { QStringLiteral("1988-02-30"), QStringLiteral("1988-02-30") },
        { QStringLiteral("2006年5月9日"), QStringLiteral("2006年5月9日") },
        { longZeros, QDate(2006, 5, 19) },
        { QString(40, u'x'), QString(40, u'x') },
    };
    QStringList parts;
    for (int i = 0; i < dates.size(); ++i)
        parts << QStringLiteral("select %1 as n, %2 as 考试时间").arg(i).arg(Sql::quote(dates[i].first));
    const auto read = db.select(parts.join(QStringLiteral(" union all ")) + QStringLiteral(" order by n"));
    QCOMPARE(read.rows.size(), dates.size());
    for (int i = 0; i < dates.size(); ++i)
        QCOMPARE(read.rows[i][1], dates[i].second);

    // Texts that come again and texts that never do, of the same lengths: each row has its own.
    const auto texts = db.select(QStringLiteral(
        "with recursive n(i) as (select 1000 union all select i + 1 from n where i < 3999) "
        "select i, 'T' || (i % 7) as 课程名, '学生' || i as 姓名 from n order by i"));
    QCOMPARE(texts.rows.size(), 3000);
    for (const QVector<QVariant>& row : texts.rows) {
        const int i = row[0].toInt();
        QCOMPARE(row[1].toString(), QStringLiteral("T%1").arg(i % 7));
        QCOMPARE(row[2].toString(), QStringLiteral("学生%1").arg(i));
    }
}

void tst_store::joinedResultWritesItsOwnTable()
{
    QStringList values;
    for (int i = 0; i < 80; ++i)
        values << QStringLiteral("('%1', %2, '2006-%3-01')").arg(2006000 + i).arg(1 + i % 3).arg(1 + i % 12, 2, 10, QChar('0'));
    TestDb::exec("insert into 学籍变更信息表 (学号, 变更代码, 记录时间) values " + values.join(", "));
    const QString statusName = TestDb::value(QStringLiteral("select 全称 from 学籍变更代码表 where 代码=1")).toString();
    DataControl rs(std::make_shared<Connection>());
    rs.setRecordSource(QStringLiteral("select * from 学籍变更信息表 as a join 学籍变更代码表 as b on a.变更代码=b.代码 order by a.学号"));
    rs.refresh();
    QCOMPARE(rs.recordCount(), 80);
    QVERIFY(rs.isUpdatable());
    rs.moveTo(60);
    const QVariant key = rs.field(QStringLiteral("编号"));
    QVERIFY(!thrownText([&] { rs.setField(QStringLiteral("全称"), QStringLiteral("改名")); }).isEmpty());
    rs.setField(QStringLiteral("记录时间"), QDate(2007, 1, 2));
    rs.update();
    QCOMPARE(TestDb::value(QStringLiteral("select 记录时间 from 学籍变更信息表 where 编号=%1").arg(key.toInt())).toDate(),
        QDate(2007, 1, 2));
    QCOMPARE(TestDb::count(QStringLiteral("学籍变更信息表 where 记录时间='2007-01-02'")), 1);
    QCOMPARE(TestDb::value(QStringLiteral("select 全称 from 学籍变更代码表 where 代码=1")).toString(), statusName);
    // The joined columns are still shown with the row.
    QVERIFY(!rs.field(QStringLiteral("全称")).toString().isEmpty());
}

void tst_store::sqliteWriterWaitsForAnother()
{
    if (TestDb::engine() != store::Engine::SQLite)
        QSKIP("the engine's own locking: PostgreSQL locks rows, not the database");
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    auto db = std::make_shared<Connection>();
    DataControl rs(db);
    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表 where 学号='2006001'"));
    rs.refresh();

    // Another workstation holds the write lock for a moment, then commits.
    std::atomic<bool> holding { false };
    std::thread other([&] {
        sqlite3* lite = nullptr;
        sqlite3_open(TestDb::admin().sqliteFile().toUtf8().constData(), &lite);
        sqlite3_busy_timeout(lite, 5000);
        sqlite3_exec(lite, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_exec(lite, "UPDATE 学生个人信息表 SET 籍贯='上海' WHERE 学号='2006001'", nullptr, nullptr, nullptr);
        holding = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        sqlite3_exec(lite, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(lite);
    });
    while (!holding)
        std::this_thread::yield();
    // A save that reads before it writes, as the student window's does: it waits, then stores.
    QString failure;
    try {
        store::Transaction transaction(*db);
        db->select(QStringLiteral("select count(*) from 学籍变更信息表"));
        rs.setField(QStringLiteral("联系电话"), QStringLiteral("123"));
        rs.update();
        transaction.commit();
    } catch (const DbError& error) {
        failure = error.text();
    }
    other.join();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(TestDb::value(QStringLiteral("select 籍贯 || 联系电话 from 学生个人信息表")).toString(), QStringLiteral("上海123"));
}

namespace {

DbError thrownError(const std::function<void()>& work)
{
    try {
        work();
    } catch (const DbError& error) {
        return error;
    }
    return DbError(QString());
}

int credits(const QString& course)
{
    return TestDb::value(QStringLiteral("select 学时 from 学生课程表 where 课程号='%1'").arg(course)).toInt();
}

} // namespace

void tst_store::aGridDoesNotAskALostServerCellByCell()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    for (int i = 0; i < 200; ++i)
        TestDb::addStudent(QStringLiteral("2006%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("学生%1").arg(i));
    PgProxy proxy(TestDb::pgSocketFile());
    TestDb::addProxySource(QStringLiteral("OrlentaProxy"), proxy.port());
    auto db = std::make_shared<Connection>(QStringLiteral("DSN=OrlentaProxy"));
    DataControl rs(db);
    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表 order by 学号"));
    rs.refresh();
    store::RecordModel* model = rs.model();
    QCOMPARE(model->rowCount(), 200);

    // The server goes while a screen of rows not read yet is painted: one try, not one per cell.
    proxy.refuse(true);
    proxy.cutAll();
    const int before = proxy.attempts();
    for (int row = 150; row < 170; ++row)
        for (int column = 0; column < model->columnCount(); ++column)
            QVERIFY(!model->data(model->index(row, column), Qt::DisplayRole).toString().startsWith(QLatin1Char('2')));
    QVERIFY2(proxy.attempts() - before <= 2, qPrintable(QString::number(proxy.attempts() - before)));
    // Rows read before still show.
    QCOMPARE(model->data(model->index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("2006000"));

    // Back again: a refresh shows every row.
    proxy.refuse(false);
    rs.refresh();
    QCOMPARE(model->data(model->index(160, 0), Qt::DisplayRole).toString(), QStringLiteral("2006160"));
}

void tst_store::aWriteIsNeverSentTwice()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server and a network to lose: the SQLite file has neither");
    PgProxy proxy(TestDb::pgSocketFile());
    TestDb::addProxySource(QStringLiteral("OrlentaProxy"), proxy.port());
    auto db = std::make_shared<Connection>(QStringLiteral("DSN=OrlentaProxy"));
    DataControl rs(db);
    rs.setRecordSource(QStringLiteral("select * from 学生课程表"));
    rs.refresh();

    // The reply to a stored row is lost: the row is there once, with its change record (they are
    // one statement), and the user is told that the outcome is unknown.
    rs.addNew();
    rs.setField(QStringLiteral("课程号"), QStringLiteral("C900"));
    rs.setField(QStringLiteral("课程名"), QStringLiteral("测试课程"));
    rs.setField(QStringLiteral("学时"), 10);
    proxy.loseReplyTo("INSERT INTO 学生课程表");
    DbError lost = thrownError([&] { rs.update(); });
    QCOMPARE(lost.kind(), DbError::Kind::OutcomeUnknown);
    QVERIFY2(lost.text().contains(QStringLiteral("无法确定")) && lost.text().contains(QStringLiteral("刷新")), qPrintable(lost.text()));
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表 where 课程号='C900'")), 1);
    QCOMPARE(TestDb::count(QStringLiteral("操作记录表 where 表名='学生课程表' and 键='C900'")), 1);
    // Nothing of it stays pending to be sent again when the user moves on.
    QCOMPARE(rs.editMode(), DataControl::EditMode::None);
    rs.moveFirst();
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表 where 课程号='C900'")), 1);

    // An increment whose reply is lost is applied once.
    proxy.loseReplyTo("学时 = 学时 + 1");
    lost = thrownError([&] { db->execute(QStringLiteral("update 学生课程表 set 学时 = 学时 + 1 where 课程号='C900'")); });
    QCOMPARE(lost.kind(), DbError::Kind::OutcomeUnknown);
    QCOMPARE(credits(QStringLiteral("C900")), 11);

    // A read whose reply is lost is simply asked again, on a new session.
    proxy.loseReplyTo("select 课程名 from 学生课程表");
    QCOMPARE(db->select(QStringLiteral("select 课程名 from 学生课程表 where 课程号='C900'")).rows.value(0).value(0).toString(),
        QStringLiteral("测试课程"));

    // The server restarts while the window is idle: the next write is sent once, and stored.
    proxy.cutAll();
    db->execute(QStringLiteral("update 学生课程表 set 学时 = 学时 + 1 where 课程号='C900'"));
    QCOMPARE(credits(QStringLiteral("C900")), 12);

    // Inside a transaction the loss means nothing was stored.
    {
        store::Transaction transaction(*db);
        db->execute(QStringLiteral("insert into 学生课程表 (课程号, 课程名) values ('C901', '甲')"));
        proxy.cutAll();
        lost = thrownError([&] { db->execute(QStringLiteral("insert into 学生课程表 (课程号, 课程名) values ('C902', '乙')")); });
    }
    QCOMPARE(lost.kind(), DbError::Kind::ConnectionLost);
    QVERIFY2(lost.text().contains(QStringLiteral("没有保存")), qPrintable(lost.text()));
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表 where 课程号 in ('C901', 'C902')")), 0);
    // ... unless the commit itself went and only its reply was lost.
    {
        store::Transaction transaction(*db);
        db->execute(QStringLiteral("insert into 学生课程表 (课程号, 课程名) values ('C903', '丙')"));
        proxy.loseReplyTo("COMMIT");
        lost = thrownError([&] { transaction.commit(); });
    }
    QCOMPARE(lost.kind(), DbError::Kind::OutcomeUnknown);
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表 where 课程号='C903'")), 1);

    // The server is gone: every failure says so in Chinese, with the driver's text; nothing is
    // written; once it is back the next action works.
    proxy.refuse(true);
    proxy.cutAll();
    for (int attempt = 0; attempt < 2; ++attempt) {
        lost = thrownError([&] { db->select(QStringLiteral("select count(*) from 学生课程表")); });
        QCOMPARE(lost.kind(), DbError::Kind::ConnectionLost);
        QVERIFY2(lost.text().startsWith(QStringLiteral("与数据库服务器的连接已断开")), qPrintable(lost.text()));
        QVERIFY2(lost.text().contains(QStringLiteral("详细信息")), qPrintable(lost.text()));
    }
    lost = thrownError([&] { db->execute(QStringLiteral("update 学生课程表 set 学时 = 0")); });
    QCOMPARE(lost.kind(), DbError::Kind::ConnectionLost);
    QCOMPARE(credits(QStringLiteral("C900")), 12);
    proxy.refuse(false);
    QCOMPARE(db->select(QStringLiteral("select count(*) from 学生课程表")).rows.value(0).value(0).toInt(), 2);
    rs.refresh();
    QCOMPARE(rs.recordCount(), 2);
    TestDb::restoreSources();
}

void tst_store::rowDeletedByAnotherUserIsRefused()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    TestDb::addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    DataControl mine(std::make_shared<Connection>());
    mine.setRecordSource(QStringLiteral("select * from 学生个人信息表 order by 学号"));
    mine.refresh();
    TestDb::exec(QStringLiteral("delete from 学生个人信息表 where 学号='2006001'"));
    mine.setField(QStringLiteral("姓名"), QStringLiteral("王五"));
    QVERIFY(!thrownText([&] { mine.update(); }).isEmpty());
    mine.cancel();
    QVERIFY(!thrownText([&] { mine.remove(); }).isEmpty());
    QCOMPARE(TestDb::value("select 姓名 from 学生个人信息表 where 学号='2006002'").toString(), QStringLiteral("李四"));
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表")), 1);
}

void tst_store::transactionStoresAllOrNothing()
{
    auto db = std::make_shared<Connection>();
    DataControl students(db), awards(db);
    students.setRecordSource(QStringLiteral("select * from 学生个人信息表"));
    awards.setRecordSource(QStringLiteral("select * from 奖励记录信息表"));
    students.refresh();
    awards.refresh();
    try {
        store::Transaction transaction(*db);
        students.addNew();
        students.setField(QStringLiteral("学号"), QStringLiteral("2006001"));
        students.update();
        awards.addNew();
        awards.setField(QStringLiteral("学号"), QStringLiteral("2006001"));
        awards.setField(QStringLiteral("级别代码"), QStringLiteral("not a code"));
        awards.update(); // refused: the transaction never commits
        transaction.commit();
        QFAIL("the award row must be refused");
    } catch (const DbError&) {
    }
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表")), 0);
    QCOMPARE(TestDb::count(QStringLiteral("奖励记录信息表")), 0);
    QVERIFY(!db->inTransaction());

    {
        store::Transaction transaction(*db);
        awards.cancel();
        awards.addNew();
        awards.setField(QStringLiteral("学号"), QStringLiteral("2006001"));
        awards.setField(QStringLiteral("级别代码"), 0);
        awards.update();
        transaction.commit();
    }
    QCOMPARE(TestDb::count(QStringLiteral("奖励记录信息表")), 1);
}

void tst_store::idleRecordSetHoldsNothing()
{
    addScores(600);
    auto db = std::make_shared<Connection>();
    DataControl rs(db);
    rs.setRecordSource(QStringLiteral(" select * from 学生成绩表  order by 学号   "));
    rs.refresh();
    rs.moveTo(300);
    QVERIFY(rs.recordCount() == 600);
    if (db->engine() == store::Engine::PostgreSQL) {
        const int pid = db->select(QStringLiteral("select pg_backend_pid()")).rows[0][0].toInt();
        const QString state
            = TestDb::value(QStringLiteral("select state from pg_stat_activity where pid=%1").arg(pid)).toString();
        QCOMPARE(state, QStringLiteral("idle"));
    }
    // Another session writes at once: nothing of the open record set holds a lock.
    QElapsedTimer clock;
    clock.start();
    TestDb::exec(QStringLiteral("update 学生成绩表 set 成绩 = 100 where 编号 = 1"));
    TestDb::exec(QStringLiteral("delete from 学生成绩表 where 编号 = 2"));
    QVERIFY(clock.elapsed() < 2000);
}

void tst_store::statementAnalysis()
{
    auto shape = Sql::analyse(QStringLiteral(" select * from 学生成绩表  order by 学号   "));
    QVERIFY(shape.isSelect && shape.pageable);
    QVERIFY(shape.table && shape.table->name == QStringLiteral("学生成绩表"));
    QCOMPARE(shape.orderTerms, QStringList { QStringLiteral("学号") });
    QCOMPARE(shape.head, QStringLiteral(" select * from 学生成绩表  "));

    // A table joined to others on their keys: every row is one row of the first table.
    shape = Sql::analyse(QStringLiteral("select * from 学籍变更信息表 as a join 学籍变更代码表 as b on a.变更代码=b.代码 "
                                        "where 记录时间 between '2006-1-1' and '2006-12-31' order by a.学号"));
    QVERIFY(shape.table && shape.table->name == QStringLiteral("学籍变更信息表") && shape.joined);
    QCOMPARE(shape.alias, QStringLiteral("a"));
    QCOMPARE(shape.from, QStringLiteral("学籍变更信息表 as a join 学籍变更代码表 as b on a.变更代码=b.代码"));
    QCOMPARE(shape.where, QStringLiteral("记录时间 between '2006-1-1' and '2006-12-31'"));
    // Joined on another column than the key, or grouped: no key of its own.
    QVERIFY(!Sql::analyse(QStringLiteral("select * from 学生成绩表 as a join 班级代码表 as b on a.班级号=b.全称")).table);
    QVERIFY(!Sql::analyse(QStringLiteral("select * from 学生成绩表 as a join 学生个人信息表 as c on a.学号=c.姓名")).table);
    QVERIFY(!Sql::analyse(QStringLiteral("select a.学号, sum(成绩) from 学生成绩表 as a group by a.学号")).table);
    QVERIFY(!Sql::analyse(QStringLiteral("select * from 学生成绩表, 班级代码表")).table);
    shape = Sql::analyse(QStringLiteral("select * from 学生个人信息表 where 学号 in (select 学号 from 学生成绩表) order by 姓名 desc, 学号"));
    QVERIFY(shape.table);
    QCOMPARE(shape.orderTerms, (QStringList { QStringLiteral("姓名 desc"), QStringLiteral("学号") }));
    QCOMPARE(Sql::reversedTerms(shape.orderTerms), (QStringList { QStringLiteral("姓名 asc"), QStringLiteral("学号 desc") }));
    QCOMPARE(Sql::reversedTerms({ QStringLiteral("a nulls first") }), QStringList { QStringLiteral("a desc nulls last") });
    shape = Sql::analyse(QStringLiteral("select * from 学生成绩表 limit 5"));
    QVERIFY(!shape.pageable);
    QVERIFY(!Sql::analyse(QStringLiteral("update 学生成绩表 set 成绩=1")).isSelect);
    // A quote inside a literal is no end of it, and "order by" inside one is no clause.
    shape = Sql::analyse(QStringLiteral("select * from 学生个人信息表 where 姓名='a'' order by x'"));
    QVERIFY(shape.orderTerms.isEmpty());

    // Keys come from PostgreSQL as one array in its text form.
    QCOMPARE(Sql::parseArray(QStringLiteral("{2006001,\"a, b\",\"say \\\"hi\\\"\",\"back\\\\slash\",NULL,\"{}\"}")),
        (QStringList { QStringLiteral("2006001"), QStringLiteral("a, b"), QStringLiteral("say \"hi\""),
            QStringLiteral("back\\slash"), QString(), QStringLiteral("{}") }));
    QCOMPARE(Sql::parseArray(QStringLiteral("{}")), QStringList());

    QCOMPARE(Sql::adapt(QStringLiteral("select * from 学生成绩表 where 学号=2006001"), store::Engine::PostgreSQL),
        QStringLiteral("select * from 学生成绩表 where 学号='2006001'"));
    QCOMPARE(Sql::adapt(QStringLiteral("select * from 学生成绩表 where 考试时间 between '2006-5-19' and '2006-5-9'"),
                 store::Engine::SQLite),
        QStringLiteral("select * from 学生成绩表 where 考试时间 between '2006-05-19' and '2006-05-09'"));
    QCOMPARE(Sql::adapt(QStringLiteral("select * from 学生成绩表 where 备注='2006-5-19' and 成绩=5"), store::Engine::SQLite),
        QStringLiteral("select * from 学生成绩表 where 备注='2006-5-19' and 成绩=5"));
}

void tst_store::displayTexts()
{
    QCOMPARE(store::displayText(QDate(2006, 5, 9)), QStringLiteral("2006-5-9"));
    QCOMPARE(store::displayText(85.0), QStringLiteral("85"));
    QCOMPARE(store::displayText(85.5), QStringLiteral("85.5"));
    QCOMPARE(store::displayText(QVariant()), QString());
    QCOMPARE(Sql::parseDate(QStringLiteral("2006-5-19")), QDate(2006, 5, 19));
    QCOMPARE(Sql::parseDate(QStringLiteral("2006/05/19")), QDate(2006, 5, 19));
    QVERIFY(!Sql::parseDate(QStringLiteral("19.5.2006")).isValid());
    // The form both engines give is read by a shorter way, and a date that cannot be stays invalid.
    QCOMPARE(Sql::parseDate(QStringLiteral("2006-05-19")), QDate(2006, 5, 19));
    QVERIFY(!Sql::parseDate(QStringLiteral("2006-02-30")).isValid());
    QVERIFY(!Sql::parseDate(QStringLiteral("2006-0a-19")).isValid());
    QCOMPARE(Sql::parseDate(QStringLiteral("2006-05-19 00:00:00")), QDate(2006, 5, 19));
}

QTEST_GUILESS_MAIN(tst_store)
// A window's session and a reader's may wait on their servers at the same time: each wait is
// ended after its own time, whichever began first, and only its own socket is shut down.
void tst_store::waitsOnSeveralSessionsAreEachEnded()
{
    auto connected = [] {
        int fds[2] = { -1, -1 };
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
        return std::pair { fds[0], fds[1] };
    };
    const auto [longSide, longPeer] = connected();
    const auto [shortSide, shortPeer] = connected();
    QVERIFY(longSide >= 0 && shortSide >= 0);
    auto closeAll = qScopeGuard([&] {
        for (int fd : { longSide, longPeer, shortSide, shortPeer })
            ::close(fd);
    });
    auto socketOf = [](int fd) {
        struct stat status {};
        ::fstat(fd, &status);
        return store::ServerWatch::Socket { fd, status.st_ino };
    };
    // True when the socket was shut down: a read then ends at once instead of waiting.
    auto shutDown = [](int fd) {
        char byte;
        return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
    };

    store::ServerWatch::Guard longWait(socketOf(longSide), 60000); // begun first, a long time
    bool shortFired = false;
    std::thread reader([&] {
        store::ServerWatch::Guard shortWait(socketOf(shortSide), 200);
        QElapsedTimer clock;
        clock.start();
        while (!shortWait.fired() && clock.elapsed() < 5000)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        shortFired = shortWait.fired();
    });
    reader.join();
    QVERIFY(shortFired);
    QVERIFY(shutDown(shortSide));
    QVERIFY(!longWait.fired());
    QVERIFY(!shutDown(longSide));
}

#include "tst_store.moc"
