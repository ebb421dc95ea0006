// Passwords kept as hashes, the change record and the sign-in limit: in the store, through the
// windows, through orlenta-db, and (on PostgreSQL) through the program's own limited role.

#include "support/Controls.h"
#include "support/Gui.h"
#include "support/TestDb.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "shell/BasVal.h"
#include "store/ChangeLog.h"
#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Password.h"
#include "store/Setup.h"
#include "store/SignInGuard.h"
#include "store/Sql.h"
#include "store/UserQuery.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"
#include "store/ui/GridExport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Controls;
using store::ChangeLog;
using store::DataControl;
using store::DbError;
using store::Password::Kind;
using store::Sql::quote;

namespace {

const QString kLog = QStringLiteral("操作记录表");

int records(const QString& condition = QString())
{
    return TestDb::count(condition.isEmpty() ? kLog : kLog + QStringLiteral(" where ") + condition);
}

// The records that match, oldest first: 操作, 表名, 键, 学号, 字段, 原值, 新值, 用户, 工作站, 时间.
QVector<QStringList> recordRows(const QString& condition)
{
    QVector<QStringList> out;
    const auto rows = TestDb::admin().select(
        QStringLiteral("select 操作, 表名, 键, 学号, 字段, 原值, 新值, 用户, 工作站, 时间 from 操作记录表 where %1 order by 编号")
            .arg(condition));
    for (const auto& row : rows.rows) {
        QStringList texts;
        for (const QVariant& v : row)
            texts << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        out << texts;
    }
    return out;
}

void addAccount(const QString& name, const QString& password, const QString& style = QStringLiteral("一般用户"))
{
    TestDb::exec(QStringLiteral("insert into 管理员身份认证表 (name, pwd, style) values (%1, %2, %3)")
                     .arg(quote(name), quote(password), quote(style)));
}

QVariant storedPwd(const QString& name)
{
    return TestDb::value(QStringLiteral("select pwd from 管理员身份认证表 where name=") + quote(name));
}

QVariant studentPassword(const QString& number)
{
    return TestDb::value(QStringLiteral("select 密码 from 学生个人信息表 where 学号=") + quote(number));
}

// A sign-in record written some seconds ago, as another workstation would have written it.
void pastSignIn(const QString& table, const QString& name, int secondsAgo, const QString& reason)
{
    TestDb::exec(QStringLiteral("insert into 操作记录表 (时间, 用户, 工作站, 操作, 表名, 键, 新值) values (%1, %2, 'pc', %3, %4, %2, %5)")
                     .arg(ChangeLog::clockExpression(TestDb::engine(), -secondsAgo), quote(name),
                         quote(reason.isEmpty() ? QStringLiteral("登录") : QStringLiteral("登录失败")), quote(table),
                         reason.isEmpty() ? QStringLiteral("NULL") : quote(reason)));
}

const QString kStaff = QStringLiteral("管理员身份认证表");
const QString kStudents = QStringLiteral("学生个人信息表");

platform::Form* openSignIn(bool student)
{
    platform::Form* cload = platform::Forms::show(QStringLiteral("frmCload"));
    Gui::activate(cload);
    if (student)
        c<QRadioButton>(cload, "optStudent")->setChecked(true);
    press(cload, "cmdOk");
    platform::Form* load = Gui::form(student ? QStringLiteral("frmsload") : QStringLiteral("frmLoad"));
    Gui::activate(load);
    return load;
}

void signIn(QWidget* load, const QString& name, const QString& password)
{
    type(load, "txtname", name);
    type(load, "txtpwd", password);
    press(load, "cmdok");
}

// The program ends and starts again: a new sign-in window with its own count of three tries.
platform::Form* restart(bool student)
{
    platform::Forms::discardAll();
    Gui::settle();
    platform::Program::reset();
    platform::MsgBox::clear();
    return openSignIn(student);
}

// orlenta-db, on the test's own data source.
int orlentaDb(const QStringList& args, QString* output = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(ORLENTA_DB), args);
    if (!p.waitForFinished(120000))
        return -1;
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class tst_trust : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init()
    {
        Gui::begin();
        ChangeLog::setUser(QStringLiteral("张老师"));
        ChangeLog::setWorkstation(QStringLiteral("教务处-1"));
        ChangeLog::setOrigin(QString());
    }
    void cleanup()
    {
        Gui::end();
        store::SignInGuard::setLimits(5, 900, 900);
    }

    void rowChangesAreRecordedWithWhoAndWhere();
    void aSaveThatFailsLeavesNoRecord();
    void passwordsAreStoredAsHashesAndNeverRecorded();
    void passwordTextsAreHashedExactly_data();
    void passwordTextsAreHashedExactly();
    void unknownStoredValuesNeverMatch();
    void longValuesAreRecordedWhole();
    void recordsCannotBeChangedOrDeleted();
    void theApplicationRoleHasNoMoreThanItNeeds();
    void anOlderDatabaseGetsTheRecordTable();
    void initHashesItsAccountsAndRecordsWhatItMade();
    void hashPasswordsReplacesPlainTextsOnce();

    void wrongPasswordsLockANameForAWhile();
    void theLockEndsAndASuccessClearsTheCount();

    void signInsAreRecordedAndPlainPasswordsHashed_data();
    void signInsAreRecordedAndPlainPasswordsHashed();
    void fiveWrongPasswordsAcrossRunsLockTheName_data();
    void fiveWrongPasswordsAcrossRunsLockTheName();
    void windowSavesAreRecordedInTheirTransaction();
    void theRecordWindowFiltersNewestFirst();
    void theRecordWindowIsForAdministratorsOnly();
    void scoreHistoryFromTheScoreGrid();
};

// ---- the store ---------------------------------------------------------------------------------

void tst_trust::rowChangesAreRecordedWithWhoAndWhere()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    const int before = records();
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 学生成绩表"));
    rs.refresh();
    rs.addNew();
    rs.setField(QStringLiteral("学号"), QStringLiteral("2006001"));
    rs.setField(QStringLiteral("课程名"), QStringLiteral("高等数学"));
    rs.setField(QStringLiteral("成绩"), 85);
    rs.setField(QStringLiteral("考试时间"), QDate(2007, 1, 15));
    rs.update();
    const QString key = rs.field(QStringLiteral("编号")).toString();
    QCOMPARE(records(), before + 1);
    const QString row = QStringLiteral("表名='学生成绩表' and 键=") + quote(key);
    auto rows = recordRows(row);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].mid(0, 5), (QStringList { "新增", "学生成绩表", key, "2006001", "<null>" }));
    QCOMPARE(rows[0][5], QStringLiteral("<null>"));
    for (const char* part : { "学号=2006001", "课程名=高等数学", "成绩=85", "考试时间=2007-1-15" })
        QVERIFY2(rows[0][6].contains(QString::fromUtf8(part)), qPrintable(rows[0][6]));
    QCOMPARE(rows[0].mid(7, 2), (QStringList { "张老师", "教务处-1" }));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")).match(rows[0][9]).hasMatch(),
        qPrintable(rows[0][9]));
    QVERIFY(rows[0][9].startsWith(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));

    // An update: one record for each column it changed, with the values before and after.
    rs.setField(QStringLiteral("成绩"), 90.5);
    rs.setField(QStringLiteral("考试时间"), QDate(2007, 1, 16));
    rs.setField(QStringLiteral("课程名"), QStringLiteral("高等数学")); // as it was: no record
    rs.update();
    rows = recordRows(row);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[1].mid(0, 7), (QStringList { "修改", "学生成绩表", key, "2006001", "成绩", "85", "90.5" }));
    QCOMPARE(rows[2].mid(0, 7), (QStringList { "修改", "学生成绩表", key, "2006001", "考试时间", "2007-1-15", "2007-1-16" }));

    // Saving what is stored changes nothing and records nothing.
    rs.setField(QStringLiteral("成绩"), 90.5);
    rs.update();
    QCOMPARE(recordRows(row).size(), 3);

    // A writer other than the windows says so after the workstation.
    ChangeLog::setOrigin(QStringLiteral("导入"));
    rs.remove();
    rows = recordRows(row);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[3].mid(0, 4), (QStringList { "删除", "学生成绩表", key, "2006001" }));
    QVERIFY2(rows[3][5].contains(QStringLiteral("成绩=90.5")), qPrintable(rows[3][5]));
    QCOMPARE(rows[3][6], QStringLiteral("<null>"));
    QCOMPARE(rows[3][8], QStringLiteral("教务处-1 (导入)"));

    // A table keyed by a text: the key is that text, and no student.
    DataControl courses;
    courses.setRecordSource(QStringLiteral("select * from 学生课程表"));
    courses.refresh();
    courses.addNew();
    courses.setField(QStringLiteral("课程号"), QStringLiteral("C'01"));
    courses.setField(QStringLiteral("课程名"), QStringLiteral("程序设计"));
    courses.update();
    rows = recordRows(QStringLiteral("表名='学生课程表'"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].mid(0, 4), (QStringList { "新增", "学生课程表", "C'01", "<null>" }));
}

void tst_trust::aSaveThatFailsLeavesNoRecord()
{
    TestDb::exec(QStringLiteral("insert into 学生课程表 (课程号, 课程名, 学时) values ('C001', '高等数学', 96)"));
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    const int before = records();

    // The table refuses the row: a second course of the same number.
    DataControl courses;
    courses.setRecordSource(QStringLiteral("select * from 学生课程表"));
    courses.refresh();
    courses.addNew();
    courses.setField(QStringLiteral("课程号"), QStringLiteral("C001"));
    QVERIFY(!thrownText([&] { courses.update(); }).isEmpty());
    courses.cancel();
    QCOMPARE(records(), before);

    // Another user changed the same column since it was read.
    courses.refresh();
    TestDb::exec(QStringLiteral("update 学生课程表 set 学时 = 64"));
    courses.setField(QStringLiteral("学时"), 48);
    QVERIFY(thrownText([&] { courses.update(); }).contains(QStringLiteral("其他用户")));
    courses.cancel();
    QCOMPARE(records(), before);

    // A save of two rows in one transaction whose second write is refused: neither row nor any
    // record stays, though the first write had recorded itself.
    DataControl status, student;
    status.setRecordSource(QStringLiteral("select * from 学籍变更信息表"));
    status.refresh();
    student.setRecordSource(QStringLiteral("select * from 学生个人信息表"));
    student.refresh();
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 姓名 = '张三丰'"));
    try {
        store::Transaction transaction(student.connection());
        status.addNew();
        status.setField(QStringLiteral("学号"), QStringLiteral("2006001"));
        status.setField(QStringLiteral("变更代码"), 2);
        status.update();
        student.setField(QStringLiteral("姓名"), QStringLiteral("张四"));
        student.update();
        transaction.commit();
        QFAIL("the second write should have been refused");
    } catch (const DbError& error) {
        QVERIFY(error.text().contains(QStringLiteral("其他用户")));
    }
    QCOMPARE(TestDb::count(QStringLiteral("学籍变更信息表")), 0);
    QCOMPARE(records(), before);

    // The same save that goes through: its records are stored by its commit, with it.
    student.refresh();
    {
        store::Transaction transaction(student.connection());
        status.addNew();
        status.setField(QStringLiteral("学号"), QStringLiteral("2006001"));
        status.setField(QStringLiteral("变更代码"), 2);
        status.update();
        student.setField(QStringLiteral("姓名"), QStringLiteral("张四"));
        student.update();
        QCOMPARE(records(), before); // another session sees nothing yet
        transaction.commit();
    }
    QCOMPARE(records(QStringLiteral("操作='新增' and 表名='学籍变更信息表' and 学号='2006001'")), 1);
    QCOMPARE(records(QStringLiteral("操作='修改' and 字段='姓名' and 原值='张三丰' and 新值='张四'")), 1);
    QCOMPARE(records(), before + 2);
}

void tst_trust::passwordsAreStoredAsHashesAndNeverRecorded()
{
    DataControl accounts;
    accounts.setRecordSource(QStringLiteral("select * from 管理员身份认证表"));
    accounts.refresh();
    accounts.addNew();
    accounts.setField(QStringLiteral("name"), QStringLiteral("新人"));
    accounts.setField(QStringLiteral("pwd"), QStringLiteral("秘密 1"));
    accounts.setField(QStringLiteral("style"), QStringLiteral("一般用户"));
    accounts.update();
    QVERIFY(TestDb::isHashOf(storedPwd(QStringLiteral("新人")), QStringLiteral("秘密 1")));
    // What the record set holds afterwards is what is stored.
    QCOMPARE(accounts.field(QStringLiteral("pwd")), storedPwd(QStringLiteral("新人")));
    auto rows = recordRows(QStringLiteral("表名='管理员身份认证表' and 操作='新增' and 新值 like '%新人%'"));
    QCOMPARE(rows.size(), 1);
    QVERIFY2(rows[0][6].contains(QStringLiteral("pwd=(已修改)")), qPrintable(rows[0][6]));

    accounts.setField(QStringLiteral("pwd"), QStringLiteral("另一个"));
    accounts.update();
    QVERIFY(TestDb::isHashOf(storedPwd(QStringLiteral("新人")), QStringLiteral("另一个")));
    rows = recordRows(QStringLiteral("表名='管理员身份认证表' and 操作='修改'"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].mid(4, 3), (QStringList { "pwd", "<null>", "(已修改)" }));

    // A hash put in as it is stays that hash (copied from another account, say); null stays null.
    const QVariant adminHash = storedPwd(QStringLiteral("admin"));
    accounts.setField(QStringLiteral("pwd"), adminHash);
    accounts.update();
    QCOMPARE(storedPwd(QStringLiteral("新人")), adminHash);
    accounts.setField(QStringLiteral("pwd"), QVariant());
    accounts.update();
    QVERIFY(storedPwd(QStringLiteral("新人")).isNull());

    // A new student's first password is the number and stays so; any other is hashed, and so is
    // the number once it is set again.
    DataControl students;
    students.setRecordSource(QStringLiteral("select * from 学生个人信息表"));
    students.refresh();
    students.addNew();
    students.setField(QStringLiteral("学号"), QStringLiteral("2006001"));
    students.setField(QStringLiteral("密码"), QStringLiteral("2006001"));
    students.update();
    QCOMPARE(studentPassword(QStringLiteral("2006001")).toString(), QStringLiteral("2006001"));
    students.addNew();
    students.setField(QStringLiteral("学号"), QStringLiteral("2006002"));
    students.setField(QStringLiteral("密码"), QStringLiteral("自选"));
    students.update();
    QVERIFY(TestDb::isHashOf(studentPassword(QStringLiteral("2006002")), QStringLiteral("自选")));
    students.moveFirst();
    students.setField(QStringLiteral("密码"), QStringLiteral(" 2006001 "));
    students.update();
    QVERIFY(TestDb::isHashOf(studentPassword(QStringLiteral("2006001")), QStringLiteral(" 2006001 ")));

    // No record holds a password or its hash.
    QCOMPARE(records(QStringLiteral("原值 like '%秘密%' or 新值 like '%秘密%' or 新值 like '%自选%' or 原值 like '%$argon2%' "
                                    "or 新值 like '%$argon2%' or 新值 like '%密码=2006001%'")),
        0);
}

void tst_trust::passwordTextsAreHashedExactly_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("10,000 characters") << QString(10000, QChar(u'码'));
    QTest::newRow("emoji") << QStringLiteral("密码🔑😀x");
    QTest::newRow("NUL inside") << (QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
    QTest::newRow("spaces only") << QStringLiteral("   ");
    QTest::newRow("empty") << QString();
    QTest::newRow("quotes and like") << QStringLiteral("it's 100%_\\");
}

void tst_trust::passwordTextsAreHashedExactly()
{
    QFETCH(QString, password);
    const QString hash = store::Password::hash(password);
    QCOMPARE(store::Password::kindOf(hash), Kind::Hash);
    QVERIFY(hash.startsWith(QStringLiteral("$argon2id$")));
    QVERIFY(!store::Password::needsRehash(hash));
    QVERIFY(store::Password::matches(hash, password));
    QVERIFY(!store::Password::matches(hash, password + QStringLiteral("x")));
    if (!password.isEmpty()) {
        QVERIFY(!hash.contains(password));
        QVERIFY(!store::Password::matches(hash, password.chopped(1)));
        QVERIFY(!store::Password::matches(hash, QString()));
    }
    if (password.contains(QChar(0)))
        QVERIFY(!store::Password::matches(hash, QString(password).remove(QChar(0))));
    // Two hashes of one text differ (each has its salt) and both match it.
    const QString again = store::Password::hash(password);
    QVERIFY(again != hash);
    QVERIFY(store::Password::matches(again, password));
}

void tst_trust::unknownStoredValuesNeverMatch()
{
    for (const QString& stored : { QStringLiteral("$2b$10$abcdefghijklmnopqrstuuQ5f7sWd3dUkzMbzlQ0c9PpA4uQx6"),
             QStringLiteral("$6$salt$hash"), QStringLiteral("$argon2id$v=19$m=65536,t=2,p=1$broken"),
             QStringLiteral("$scrypt$x") }) {
        QCOMPARE(store::Password::kindOf(stored), Kind::Foreign);
        QVERIFY2(!store::Password::matches(stored, stored), qPrintable(stored));
        QVERIFY(!store::Password::matches(stored, QString()));
        QVERIFY(!store::Password::needsRehash(stored));
    }
    QCOMPARE(store::Password::kindOf(QVariant()), Kind::Missing);
    QVERIFY(!store::Password::matches(QVariant(), QString()));
    // A plain text matches itself trimmed, as the sign-in compares it, and asks for a hash.
    QCOMPARE(store::Password::kindOf(QStringLiteral(" pw ")), Kind::Plain);
    QVERIFY(store::Password::matches(QStringLiteral(" pw "), QStringLiteral("pw")));
    QVERIFY(!store::Password::matches(QStringLiteral(" pw "), QStringLiteral("PW")));
    QVERIFY(store::Password::needsRehash(QStringLiteral("pw")));
}

void tst_trust::longValuesAreRecordedWhole()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    const QString memo = longText(12000);
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表"));
    rs.refresh();
    rs.setField(QStringLiteral("备注"), memo);
    rs.update();
    rs.setField(QStringLiteral("备注"), memo + QStringLiteral("!"));
    rs.update();
    const auto rows = recordRows(QStringLiteral("字段='备注'"));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0][5], QStringLiteral("<null>"));
    QCOMPARE(rows[0][6], memo);
    QCOMPARE(rows[1][5], memo);
    QCOMPARE(rows[1][6], memo + QStringLiteral("!"));
}

void tst_trust::recordsCannotBeChangedOrDeleted()
{
    const int before = records();
    QVERIFY(before > 0); // what init made
    for (const QString& statement : { QStringLiteral("update 操作记录表 set 用户 = 'x'"), QStringLiteral("delete from 操作记录表") }) {
        // Not even the tables' owner may.
        const QString refusal = thrownText([&] { TestDb::exec(statement); });
        QVERIFY2(refusal.contains(QStringLiteral("操作记录只能添加")), qPrintable(refusal));
    }
    QCOMPARE(records(), before);
    QCOMPARE(records(QStringLiteral("用户 = 'x'")), 0);

    // A record set over the table reads it and never writes it back.
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 操作记录表"));
    rs.refresh();
    QVERIFY(rs.recordCount() > 0);
    QVERIFY(!rs.isUpdatable());
    QVERIFY(!thrownText([&] { rs.setField(QStringLiteral("用户"), QStringLiteral("x")); }).isEmpty());
    QVERIFY(!thrownText([&] { rs.remove(); }).isEmpty());
    QVERIFY(!thrownText([&] { rs.addNew(); }).isEmpty());

    // The user-defined query never offers it, even where the list of tables names it.
    TestDb::exec(QStringLiteral("insert into 全表名 (表名) values ('操作记录表')"));
    QVERIFY(!store::UserQuery::isOffered(kLog));
    DataControl offered;
    offered.setRecordSource(store::UserQuery::tableListStatement());
    offered.refresh();
    for (int i = 0; i < offered.recordCount(); ++i)
        QVERIFY(offered.valueAt(i, 0).toString() != kLog);
    QVERIFY(!thrownText([&] { store::UserQuery::fieldListStatement(kLog, { kLog }); }).isEmpty());
}

void tst_trust::theApplicationRoleHasNoMoreThanItNeeds()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("roles are PostgreSQL's");
    // The program's own session: the application role.
    store::Connection program;
    QCOMPARE(program.select(QStringLiteral("select current_user")).rows.value(0).value(0).toString(), TestDb::appRole());
    QCOMPARE(TestDb::value(QStringLiteral("select tableowner from pg_tables where tablename = '学生成绩表'")).toString(),
        QStringLiteral("postgres"));

    // What the program does it may do: write rows and add records.
    program.execute(QStringLiteral("insert into 学生课程表 (课程号, 课程名) values ('C1', '甲')"));
    program.execute(QStringLiteral("update 学生课程表 set 学时 = 1"));
    {
        store::Transaction transaction(program);
        ChangeLog::Entry entry;
        entry.table = QStringLiteral("学生课程表");
        entry.key = QStringLiteral("C1");
        ChangeLog::write(program, { entry });
        transaction.commit();
    }
    QVERIFY(program.select(QStringLiteral("select count(*) from 操作记录表")).rows.value(0).value(0).toInt() > 0);
    program.execute(QStringLiteral("delete from 学生课程表"));

    // Nothing more: no changing or deleting records, no DDL, no writing the list of tables.
    for (const char* statement : { "update 操作记录表 set 用户 = 'x'", "delete from 操作记录表", "truncate 操作记录表",
             "drop table 学生成绩表", "alter table 学生课程表 add column x integer", "create table 另一个表 (a integer)",
             "drop trigger 操作记录表_不改 on 操作记录表", "insert into 全表名 (表名) values ('x')",
             "create index 课程_x on 学生课程表 (学时)" }) {
        const QString refusal = thrownText([&] { program.execute(QString::fromUtf8(statement)); });
        QVERIFY2(!refusal.isEmpty(), statement);
    }
    QCOMPARE(records(QStringLiteral("用户 = 'x'")), 0);
}

void tst_trust::anOlderDatabaseGetsTheRecordTable()
{
    store::Connection& owner = TestDb::admin();
    owner.execute(QStringLiteral("drop table 操作记录表"));
    QCOMPARE(store::Setup::addMissingTables(owner), QStringList { kLog });
    if (!TestDb::appRole().isEmpty())
        store::Setup::grantAppRole(owner, TestDb::appRole());
    QCOMPARE(store::Setup::addMissingTables(owner), QStringList());
    QCOMPARE(records(), 0);

    // It records, and guards its records, as one made by init does.
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 学生个人信息表"));
    rs.refresh();
    rs.setField(QStringLiteral("姓名"), QStringLiteral("张三丰"));
    rs.update();
    QCOMPARE(records(QStringLiteral("字段='姓名' and 新值='张三丰'")), 1);
    QVERIFY(!thrownText([&] { TestDb::exec(QStringLiteral("delete from 操作记录表")); }).isEmpty());
}

void tst_trust::initHashesItsAccountsAndRecordsWhatItMade()
{
    QVERIFY(TestDb::isHashOf(storedPwd(QStringLiteral("admin")), QStringLiteral("admin")));
    QCOMPARE(records(QStringLiteral("操作='新增' and 表名='管理员身份认证表' and 新值='初始化: 1 行'")), 1);
    QCOMPARE(records(QStringLiteral("操作='新增' and 表名='院系代码表' and 新值 like '初始化: %'")), 1);
    QCOMPARE(records(QStringLiteral("新值 like '%admin%'")), 0);

    store::Setup::fillDemo(TestDb::admin(), 3);
    QVERIFY(TestDb::isHashOf(storedPwd(QStringLiteral("teacher")), QStringLiteral("teacher")));
    QCOMPARE(records(QStringLiteral("表名='学生个人信息表' and 新值='演示数据: 3 行'")), 1);
    QCOMPARE(records(QStringLiteral("表名='学生成绩表' and 新值='演示数据: 60 行'")), 1);
}

void tst_trust::hashPasswordsReplacesPlainTextsOnce()
{
    addAccount(QStringLiteral("teacher"), QStringLiteral(" teach "));
    const QVariant adminHash = storedPwd(QStringLiteral("admin"));
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三")); // the first password
    TestDb::addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 密码 = 'abc' where 学号 = '2006002'"));
    const int before = records();

    QString output;
    QCOMPARE(orlentaDb({ QStringLiteral("hash-passwords") }, &output), 0);
    QVERIFY2(output.contains(QStringLiteral("系统用户: 1 / 1")) && output.contains(QStringLiteral("学生: 1 / 1")), qPrintable(output));
    QVERIFY(TestDb::isHashOf(storedPwd(QStringLiteral("teacher")), QStringLiteral("teach")));
    QCOMPARE(storedPwd(QStringLiteral("admin")), adminHash);
    QVERIFY(TestDb::isHashOf(studentPassword(QStringLiteral("2006002")), QStringLiteral("abc")));
    QCOMPARE(studentPassword(QStringLiteral("2006001")).toString(), QStringLiteral("2006001"));
    const auto rows = recordRows(QStringLiteral("操作='修改'"));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].mid(0, 8), (QStringList { "修改", "管理员身份认证表", rows[0][2], "<null>", "pwd", "<null>", "(已修改)", "orlenta-db" }));
    QCOMPARE(rows[1].mid(0, 8), (QStringList { "修改", "学生个人信息表", "2006002", "2006002", "密码", "<null>", "(已修改)", "orlenta-db" }));
    QCOMPARE(records(), before + 2);

    // Again: nothing left to do, nothing written.
    const QVariant teacherHash = storedPwd(QStringLiteral("teacher"));
    QCOMPARE(orlentaDb({ QStringLiteral("hash-passwords") }, &output), 0);
    QVERIFY2(output.contains(QStringLiteral("完成：0 个系统用户、0 个学生")), qPrintable(output));
    QCOMPARE(storedPwd(QStringLiteral("teacher")), teacherHash);
    QCOMPARE(records(), before + 2);

    // The students' first passwords too, when asked.
    QCOMPARE(orlentaDb({ QStringLiteral("hash-passwords"), QStringLiteral("--first-passwords") }, &output), 0);
    QVERIFY(TestDb::isHashOf(studentPassword(QStringLiteral("2006001")), QStringLiteral("2006001")));
    QCOMPARE(records(), before + 3);
}

// ---- the sign-in limit --------------------------------------------------------------------------

void tst_trust::wrongPasswordsLockANameForAWhile()
{
    using store::SignInGuard;
    store::Connection& db = TestDb::admin();
    const QString wrong = SignInGuard::wrongPassword();
    auto refused = [&](const QString& table, const QString& name) { return SignInGuard::secondsRefused(db, table, name); };

    for (int i = 4; i >= 1; --i)
        pastSignIn(kStaff, QStringLiteral("teacher"), i * 60, wrong);
    QCOMPARE(refused(kStaff, QStringLiteral("teacher")), 0);
    // The fifth within fifteen minutes: refused for fifteen minutes from it.
    pastSignIn(kStaff, QStringLiteral("teacher"), 0, wrong);
    const int seconds = refused(kStaff, QStringLiteral("teacher"));
    QVERIFY2(seconds > 890 && seconds <= 900, qPrintable(QString::number(seconds)));
    QCOMPARE(SignInGuard::refusalText(seconds), QStringLiteral("该用户登录失败次数过多，已被锁定。请 15 分钟后再试。"));
    // Per name and per kind of user.
    QCOMPARE(refused(kStudents, QStringLiteral("teacher")), 0);
    QCOMPARE(refused(kStaff, QStringLiteral("Teacher")), 0);
    QCOMPARE(refused(kStaff, QStringLiteral("admin")), 0);

    // Refusals while refused are recorded but are no failures of their own.
    for (int i = 0; i < 3; ++i)
        pastSignIn(kStudents, QStringLiteral("2006001"), 10, SignInGuard::refused());
    for (int i = 0; i < 4; ++i)
        pastSignIn(kStudents, QStringLiteral("2006001"), 20, wrong);
    QCOMPARE(refused(kStudents, QStringLiteral("2006001")), 0);
    // A name with no account is no wrong password.
    pastSignIn(kStudents, QStringLiteral("2006001"), 5, SignInGuard::noSuchName());
    QCOMPARE(refused(kStudents, QStringLiteral("2006001")), 0);

    // Five spread over more than fifteen minutes refuse nothing.
    for (int ago : { 1200, 700, 600, 500, 60 })
        pastSignIn(kStaff, QStringLiteral("spread"), ago, wrong);
    QCOMPARE(refused(kStaff, QStringLiteral("spread")), 0);

    // Five in a minute, the last fourteen minutes ago: one more minute.
    for (int ago : { 900, 880, 860, 850, 840 })
        pastSignIn(kStaff, QStringLiteral("nearly"), ago, wrong);
    const int left = refused(kStaff, QStringLiteral("nearly"));
    QVERIFY2(left > 50 && left <= 60, qPrintable(QString::number(left)));
    QCOMPARE(SignInGuard::refusalText(left), QStringLiteral("该用户登录失败次数过多，已被锁定。请 1 分钟后再试。"));
    QCOMPARE(SignInGuard::refusalText(30), QStringLiteral("该用户登录失败次数过多，已被锁定。请 30 秒后再试。"));

    // Fifteen minutes after the fifth, the name is free again.
    for (int ago : { 1000, 990, 980, 970, 960 })
        pastSignIn(kStaff, QStringLiteral("served"), ago, wrong);
    QCOMPARE(refused(kStaff, QStringLiteral("served")), 0);
}

void tst_trust::theLockEndsAndASuccessClearsTheCount()
{
    using store::SignInGuard;
    store::Connection& db = TestDb::admin();
    const QString wrong = SignInGuard::wrongPassword();
    // Four failures, a success, four more: the success cleared the first four.
    for (int i = 0; i < 4; ++i)
        pastSignIn(kStaff, QStringLiteral("teacher"), 100, wrong);
    pastSignIn(kStaff, QStringLiteral("teacher"), 50, QString());
    for (int i = 0; i < 4; ++i)
        pastSignIn(kStaff, QStringLiteral("teacher"), 10, wrong);
    QCOMPARE(SignInGuard::secondsRefused(db, kStaff, QStringLiteral("teacher")), 0);

    // The clock runs: with the times shortened, the refusal ends by itself.
    SignInGuard::setLimits(2, 60, 2);
    ChangeLog::signIn(db, kStaff, QStringLiteral("short"), false, wrong);
    ChangeLog::signIn(db, kStaff, QStringLiteral("short"), false, wrong);
    QVERIFY(SignInGuard::secondsRefused(db, kStaff, QStringLiteral("short")) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(SignInGuard::secondsRefused(db, kStaff, QStringLiteral("short")) == 0, 5000);
}

// The rows of a test run once for a staff account and once for a student.
static void staffAndStudent()
{
    QTest::addColumn<bool>("student");
    QTest::newRow("staff") << false;
    QTest::newRow("student") << true;
}

// ---- through the windows ------------------------------------------------------------------------

void tst_trust::signInsAreRecordedAndPlainPasswordsHashed_data()
{
    staffAndStudent();
}

void tst_trust::signInsAreRecordedAndPlainPasswordsHashed()
{
    QFETCH(bool, student);
    const QString table = student ? kStudents : kStaff;
    const QString name = student ? QStringLiteral("2006001") : QStringLiteral("teacher");
    // As an older database keeps it: the password as typed.
    if (student) {
        TestDb::addStudent(name, QStringLiteral("张三"));
        TestDb::exec(QStringLiteral("update 学生个人信息表 set 密码 = ' pw ' where 学号 = '2006001'"));
    } else {
        addAccount(name, QStringLiteral(" pw "));
    }
    auto stored = [&] { return student ? studentPassword(name) : storedPwd(name); };
    const QString signIns = QStringLiteral("表名=%1 and 操作 like '登录%'").arg(quote(table));

    platform::Form* load = openSignIn(student);
    signIn(load, name, QStringLiteral("PW"));
    signIn(load, QStringLiteral("nobody"), QStringLiteral("pw"));
    QCOMPARE(stored().toString(), QStringLiteral(" pw "));
    signIn(load, QStringLiteral(" ") + name, QStringLiteral("pw "));
    QVERIFY(Gui::form(student ? QStringLiteral("frmStudent") : QStringLiteral("frmmain")));
    QCOMPARE(ChangeLog::user(), name);

    auto rows = recordRows(signIns);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].mid(0, 3) + rows[0].mid(6, 2), (QStringList { "登录失败", table, name, "密码错误", name }));
    QCOMPARE(rows[1].mid(0, 3) + rows[1].mid(6, 2), (QStringList { "登录失败", table, "nobody", "用户名不存在", "nobody" }));
    QCOMPARE(rows[2].mid(0, 3) + rows[2].mid(6, 2), (QStringList { "登录", table, name, "<null>", name }));
    QCOMPARE(rows[2][8], QStringLiteral("教务处-1"));
    // No attempt's password is recorded.
    QCOMPARE(records(QStringLiteral("原值 like '%pw%' or 新值 like '%pw%' or 原值 like '%PW%' or 新值 like '%PW%'")), 0);

    // The password as typed is now its hash, changed by the user who signed in.
    QVERIFY(TestDb::isHashOf(stored(), QStringLiteral("pw")));
    rows = recordRows(QStringLiteral("表名=%1 and 操作='修改'").arg(quote(table)));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][7], name);
    QCOMPARE(rows[0][6], QStringLiteral("(已修改)"));

    // The next run signs in against the hash and leaves it as it is.
    const QVariant hash = stored();
    load = restart(student);
    signIn(load, name, QStringLiteral("pw"));
    QVERIFY(Gui::form(student ? QStringLiteral("frmStudent") : QStringLiteral("frmmain")));
    QCOMPARE(stored(), hash);
    QCOMPARE(records(QStringLiteral("表名=%1 and 操作='修改'").arg(quote(table))), 1);
}

void tst_trust::fiveWrongPasswordsAcrossRunsLockTheName_data()
{
    staffAndStudent();
}

void tst_trust::fiveWrongPasswordsAcrossRunsLockTheName()
{
    QFETCH(bool, student);
    const QString name = student ? QStringLiteral("2006001") : QStringLiteral("teacher");
    const QString password = student ? QStringLiteral("2006001") : QStringLiteral("right");
    if (student)
        TestDb::addStudent(name, QStringLiteral("张三"));
    else
        addAccount(name, password);
    // A script starts the program again after every two wrong passwords.
    platform::Form* load = openSignIn(student);
    for (int attempt = 1; attempt <= 5; ++attempt) {
        signIn(load, name, QStringLiteral("guess%1").arg(attempt));
        QCOMPARE(Gui::boxTexts().last(), QStringLiteral("您的用户名或密码有误,请重行输入!"));
        if (attempt % 2 == 0)
            load = restart(student);
    }
    QVERIFY(!Gui::programEnded());

    // Now even the right password is refused, with how long to wait, and the refusal recorded.
    signIn(load, name, password);
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("该用户登录失败次数过多，已被锁定。请 15 分钟后再试。"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("抱歉"));
    QCOMPARE(Gui::boxes().last().icon, platform::MsgBox::Icon::Information);
    QCOMPARE(text(load, "txtname"), QString());
    QCOMPARE(text(load, "txtpwd"), QString());
    QVERIFY(Gui::form(student ? QStringLiteral("frmsload") : QStringLiteral("frmLoad")));
    QCOMPARE(records(QStringLiteral("操作='登录失败' and 用户=%1 and 新值='已锁定'").arg(quote(name))), 1);
    QCOMPARE(records(QStringLiteral("操作='登录' and 用户=%1").arg(quote(name))), 0);
    // A refusal is no wrong password: the window's own count of tries stays where it was.
    signIn(load, name, password);
    QVERIFY(!Gui::programEnded());
    QCOMPARE(records(QStringLiteral("新值='已锁定'")), 2);
    if (!student) {
        // Another name is not refused.
        signIn(load, QStringLiteral("admin"), QStringLiteral("admin"));
        QVERIFY(Gui::form(QStringLiteral("frmmain")));
    }
}

void tst_trust::windowSavesAreRecordedInTheirTransaction()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    ChangeLog::setUser(QStringLiteral("教务员"));

    // An edited student: the changed columns and the status row, in one save.
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdEdit");
    type(w, "txtXinming", QStringLiteral("张三丰"));
    type(w, "txtPhone", QStringLiteral("025-9999"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("信息保存成功!"));
    // (籍贯 and 联系地址 were null and are stored empty: changes too.)
    QCOMPARE(records(QStringLiteral("操作='修改' and 表名='学生个人信息表' and 键='2006001' and 用户='教务员'")), 4);
    QCOMPARE(records(QStringLiteral("操作='修改' and 字段='姓名' and 原值='张三' and 新值='张三丰'")), 1);
    QCOMPARE(records(QStringLiteral("操作='修改' and 字段='联系电话' and 原值 is null and 新值='025-9999'")), 1);
    QCOMPARE(records(QStringLiteral("操作='新增' and 表名='学籍变更信息表' and 学号='2006001'")), 1);

    // A new student: its four rows, each recorded; its first password shown as changed, never as
    // the number.
    press(w, "cmdAdd");
    platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
    type(add, "txtXuehao", QStringLiteral("2006100"));
    type(add, "txtXinming", QStringLiteral("王五"));
    c<QComboBox>(add, "cbsex")->setCurrentIndex(0);
    pick(add, "dcbXj", QStringLiteral("在读"));
    pick(add, "dcbXueyuan", QStringLiteral("数学与统计学院"));
    pick(add, "dcbClass", QStringLiteral("数学2003级1班"));
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("信息保存成功!"));
    for (const char* table : { "学生个人信息表", "处罚等级记录表", "奖励记录信息表", "学生成绩表" })
        QCOMPARE(records(QStringLiteral("操作='新增' and 学号='2006100' and 表名='%1'").arg(QString::fromUtf8(table))), 1);
    QCOMPARE(records(QStringLiteral("新值 like '%密码=(已修改)%' and 键='2006100'")), 1);
    QCOMPARE(records(QStringLiteral("新值 like '%密码=2006100%'")), 0);

    // A new student whose save fails half-way: neither rows nor records.
    Gui::settle();
    Gui::activate(w);
    const int before = records();
    press(w, "cmdAdd");
    add = Gui::form(QStringLiteral("frmAdd"));
    type(add, "txtXuehao", QStringLiteral("2006200"));
    type(add, "txtXinming", QStringLiteral("吴九"));
    c<QComboBox>(add, "cbsex")->setCurrentIndex(0);
    pick(add, "dcbXj", QStringLiteral("在读"));
    pick(add, "dcbXueyuan", QStringLiteral("数学与统计学院"));
    pick(add, "dcbClass", QStringLiteral("数学2003级1班"));
    TestDb::exec(QStringLiteral("alter table 学生成绩表 rename to 学生成绩表_离开"));
    press(add, "cmdSave");
    TestDb::exec(QStringLiteral("alter table 学生成绩表_离开 rename to 学生成绩表"));
    QCOMPARE(Gui::boxTexts().count(QStringLiteral("信息保存成功!")), 2); // the two saves before
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表 where 学号='2006200'")), 0);
    QCOMPARE(records(), before);
    platform::Forms::discardAll();
    Gui::settle();

    // A staff account added, and one refused for its taken name.
    platform::Form* gly = open(QStringLiteral("frmGly"));
    for (const QString& name : { QStringLiteral("新人"), QStringLiteral("admin") }) {
        press(gly, "cmdAdd");
        platform::Form* one = Gui::form(QStringLiteral("frmglyadd"));
        type(one, "txtName", name);
        type(one, "txtPass", QStringLiteral("pass"));
        c<QComboBox>(one, "cbstyle")->setCurrentIndex(1);
        press(one, "cmdSave");
        if (Gui::form(QStringLiteral("frmglyadd")))
            platform::Forms::unload(QStringLiteral("frmglyadd"));
        Gui::settle();
    }
    QCOMPARE(records(QStringLiteral("表名='管理员身份认证表' and 操作='新增' and 新值 like '%name=新人%'")), 1);
    QCOMPARE(records(QStringLiteral("表名='管理员身份认证表' and 操作='新增' and 新值 like '%name=admin%'")), 0);
}

void tst_trust::theRecordWindowFiltersNewestFirst()
{
    // Records of two users on two days and three tables.
    auto record = [](const QString& user, const QString& table, const QString& key, const QString& student, int daysAgo) {
        TestDb::exec(QStringLiteral("insert into 操作记录表 (时间, 用户, 工作站, 操作, 表名, 键, 学号) values (%1, %2, 'pc', '修改', %3, %4, %5)")
                         .arg(quote(QDate::currentDate().addDays(-daysAgo).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 10:00:00")),
                             quote(user), quote(table), quote(key), student.isEmpty() ? QStringLiteral("NULL") : quote(student)));
    };
    TestDb::exec(QStringLiteral("insert into 操作记录表 (时间, 用户) values ('2000-01-01 00:00:00', 'old')")); // keeps init's apart
    const int initial = records();
    record(QStringLiteral("张老师"), QStringLiteral("学生成绩表"), QStringLiteral("7"), QStringLiteral("2006001"), 2);
    record(QStringLiteral("李老师"), QStringLiteral("学生成绩表"), QStringLiteral("8"), QStringLiteral("2006002"), 1);
    record(QStringLiteral("张老师"), QStringLiteral("学生个人信息表"), QStringLiteral("2006001"), QStringLiteral("2006001"), 1);
    record(QStringLiteral("李老师"), QStringLiteral("学生课程表"), QStringLiteral("C001"), QString(), 0);

    platform::Form* w = open(QStringLiteral("frmczjl"));
    QCOMPARE(w->windowTitle(), QStringLiteral("操作记录"));
    store::DataControl* log = rs(w, "rs_Czjl");
    auto* grid = c<store::DataGrid>(w, "dgdCzjl");
    QCOMPARE(log->recordCount(), initial + 4);
    QCOMPARE(panel(w, 2), QString::number(initial + 4));
    // Newest first.
    QCOMPARE(log->valueAt(0, log->fieldIndex(QStringLiteral("键"))).toString(), QStringLiteral("C001"));
    QCOMPARE(log->valueAt(1, log->fieldIndex(QStringLiteral("键"))).toString(), QStringLiteral("2006001"));
    QCOMPARE(shownCaptions(grid).mid(0, 5), (QStringList { "编号", "时间", "用户", "工作站", "操作" }));
    // Nothing in it can be changed.
    QVERIFY(!grid->allowUpdate());
    QVERIFY(!log->isUpdatable());
    QVERIFY(!(grid->model()->flags(grid->model()->index(0, 2)) & Qt::ItemIsEditable));

    auto found = [&] { return log->recordCount(); };
    type(w, "txtYh", QStringLiteral(" 张老师 "));
    press(w, "cmdFind");
    QCOMPARE(found(), 2);
    c<QComboBox>(w, "cbBm")->setCurrentText(QStringLiteral("学生成绩表"));
    press(w, "cmdFind");
    QCOMPARE(found(), 1);
    type(w, "txtYh", QString());
    press(w, "cmdFind");
    QCOMPARE(found(), 2);
    type(w, "txtXh", QStringLiteral("2006002"));
    press(w, "cmdFind");
    QCOMPARE(found(), 1);
    QCOMPARE(log->valueAt(0, log->fieldIndex(QStringLiteral("用户"))).toString(), QStringLiteral("李老师"));
    type(w, "txtXh", QString());
    c<QComboBox>(w, "cbBm")->setCurrentIndex(0); // every table
    type(w, "txtJ", QStringLiteral("C001"));
    press(w, "cmdFind");
    QCOMPARE(found(), 1);
    type(w, "txtJ", QString());

    // Days: both ends belong to the range.
    QVERIFY(!c<store::DatePicker>(w, "dpkFd")->isEnabled());
    c<QCheckBox>(w, "chkRq")->setChecked(true);
    QVERIFY(c<store::DatePicker>(w, "dpkFd")->isEnabled());
    c<store::DatePicker>(w, "dpkFd")->setValue(QDate::currentDate().addDays(-2));
    c<store::DatePicker>(w, "dpkTd")->setValue(QDate::currentDate().addDays(-1));
    press(w, "cmdFind");
    QCOMPARE(found(), 3);
    c<store::DatePicker>(w, "dpkFd")->setValue(QDate::currentDate().addDays(-1));
    press(w, "cmdFind");
    QCOMPARE(found(), 2);
    // A quote in a filter is a character like any other.
    c<QCheckBox>(w, "chkRq")->setChecked(false);
    type(w, "txtYh", QStringLiteral("x' or '1'='1"));
    press(w, "cmdFind");
    QCOMPARE(found(), 0);

    // The grid's menu exports what it shows.
    type(w, "txtYh", QStringLiteral("李老师"));
    press(w, "cmdFind");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    QCOMPARE(store::GridExport::write(grid, path, store::GridExport::Format::Csv), 2);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString csv = QString::fromUtf8(file.readAll());
    QVERIFY(csv.contains(QStringLiteral("学生课程表")) && csv.contains(QStringLiteral("李老师")) && !csv.contains(QStringLiteral("张老师")));
    Gui::snapshot(w, QStringLiteral("frmczjl"));
}

void tst_trust::theRecordWindowIsForAdministratorsOnly()
{
    for (const QString& style : { QStringLiteral("一般用户"), QStringLiteral("系统管理员") }) {
        BasVal::UserName = QStringLiteral("someone");
        BasVal::UserStyle = style;
        platform::Form* main = open(QStringLiteral("frmmain"));
        auto* item = main->findChild<QAction*>(QStringLiteral("sysczjl"));
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("操作记录"));
        QCOMPARE(item->isEnabled(), style == QStringLiteral("系统管理员"));
        item->trigger();
        Gui::settle();
        if (style == QStringLiteral("系统管理员")) {
            QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmczjl") });
            platform::Forms::unload(QStringLiteral("frmczjl"));
            Gui::settle();
            QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
        } else {
            QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
        }
        platform::Forms::discardAll();
        Gui::settle();
    }
}

void tst_trust::scoreHistoryFromTheScoreGrid()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    // A score entered, then corrected twice by two users; another score beside it.
    DataControl scores;
    scores.setRecordSource(QStringLiteral("select * from 学生成绩表"));
    scores.refresh();
    for (const char* course : { "高等数学", "线性代数" }) {
        scores.addNew();
        scores.setField(QStringLiteral("学号"), QStringLiteral("2006001"));
        scores.setField(QStringLiteral("课程名"), QString::fromUtf8(course));
        scores.setField(QStringLiteral("成绩"), 60);
        scores.update();
    }
    scores.refresh();
    scores.setField(QStringLiteral("成绩"), 70);
    scores.update();
    ChangeLog::setUser(QStringLiteral("李老师"));
    scores.setField(QStringLiteral("成绩"), 75);
    scores.update();
    const QString key = scores.field(QStringLiteral("编号")).toString();
    const QString course = scores.field(QStringLiteral("课程名")).toString();

    platform::Form* w = open(QStringLiteral("frmchenggl"));
    auto* grid = c<store::DataGrid>(w, "dgdChengji");
    store::DataControl* rsKj = rs(w, "rs_Kj");
    int row = 0;
    while (rsKj->valueAt(row, rsKj->fieldIndex(QStringLiteral("编号"))).toString() != key)
        ++row;
    clickRow(grid, row);
    QAction* history = w->findChild<QAction*>(QStringLiteral("mnuXgjl"));
    QVERIFY(history && grid->actions().contains(history));
    QCOMPARE(history->text(), QStringLiteral("查看修改记录…"));
    history->trigger();
    Gui::settle();

    platform::Form* log = Gui::form(QStringLiteral("frmczjl"));
    QVERIFY(log && log->isVisible());
    QVERIFY(w->isVisible()); // beside the score window, which stays
    store::DataControl* rows = rs(log, "rs_Czjl");
    QCOMPARE(rows->recordCount(), 3);
    QCOMPARE(rows->valueAt(0, rows->fieldIndex(QStringLiteral("新值"))).toString(), QStringLiteral("75"));
    QCOMPARE(rows->valueAt(0, rows->fieldIndex(QStringLiteral("用户"))).toString(), QStringLiteral("李老师"));
    QCOMPARE(rows->valueAt(1, rows->fieldIndex(QStringLiteral("原值"))).toString(), QStringLiteral("60"));
    QCOMPARE(rows->valueAt(2, rows->fieldIndex(QStringLiteral("操作"))).toString(), QStringLiteral("新增"));
    QVERIFY(rows->valueAt(2, rows->fieldIndex(QStringLiteral("新值"))).toString().contains(course));
    // Fixed on that row.
    QVERIFY(!c<QGroupBox>(log, "famTj")->isEnabled());
    QVERIFY(c<QLabel>(log, "lblRow")->isVisible());
    QVERIFY(c<QLabel>(log, "lblRow")->text().contains(key));
    Gui::snapshot(log, QStringLiteral("frmczjl-row"));

    // Closed, it gives the score window back, not the main window.
    platform::Forms::unload(log);
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmchenggl") });

    // A score being added has no history yet.
    press(w, "cmdAdd");
    history->trigger();
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("请先在表中选择一条成绩记录。"));
    QVERIFY(!Gui::form(QStringLiteral("frmczjl")));
    press(w, "cmdClear");

    // The history goes with the score window.
    clickRow(grid, 0);
    history->trigger();
    Gui::settle();
    QVERIFY(Gui::form(QStringLiteral("frmczjl")));
    platform::Forms::unload(w);
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

QTEST_MAIN(tst_trust)
#include "tst_trust.moc"
