#include "support/Controls.h"
#include "support/Gui.h"
#include "support/PgProxy.h"
#include "support/TestDb.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "shell/BasVal.h"
#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Sql.h"
#include "store/UserQuery.h"
#include "store/ui/DataCombo.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDate>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>
#include <QToolBar>
#include <atomic>
#include <thread>

using platform::MsgBox;
using store::DbError;
using store::Sql::quote;
using namespace Controls;
namespace UserQuery = store::UserQuery;

namespace {

const QString kNotFound = QStringLiteral("抱歉,没有该生信息!");
const QString kNoChanges = QStringLiteral("抱歉当前没有有效记录!");
const QString kNothingToBrowse = QStringLiteral("当前没有有效记录供浏览!");

bool sqlite() { return TestDb::engine() == store::Engine::SQLite; }

void addRecord(const QString& table, const QString& number, int level, const QString& date, const QString& memo)
{
    TestDb::exec(QStringLiteral("insert into %1 (学号, 级别代码, 记录时间, 备注) values (%2, %3, %4, %5)")
                     .arg(table, quote(number))
                     .arg(level)
                     .arg(store::Sql::literal(date, store::ColumnType::Date), quote(memo)));
}

void addChange(const QString& number, int code, const QString& date)
{
    TestDb::exec(QStringLiteral("insert into 学籍变更信息表 (学号, 变更代码, 记录时间) values (%1, %2, %3)")
                     .arg(quote(number))
                     .arg(code)
                     .arg(store::Sql::literal(date, store::ColumnType::Date)));
}

// Every stored row of a table, each as one text, in the order of its key.
QStringList storedRows(const QString& table)
{
    QStringList out;
    for (const auto& row : TestDb::admin().select(QStringLiteral("select * from %1 order by 编号").arg(table)).rows) {
        QStringList values;
        for (const QVariant& v : row)
            values << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        out << values.join(QLatin1Char('|'));
    }
    return out;
}

int rows(const QString& tableAndCondition) { return TestDb::count(tableAndCondition); }

QString cell(store::DataGrid* grid, int row, const QString& field)
{
    auto* source = grid->dataSource();
    return grid->model()->index(row, source->fieldIndex(field)).data().toString();
}

// The one text with every kind of input a box must keep: quotes, a backslash, the pattern
// characters of like and glob, an emoji and a character beyond the Basic Multilingual Plane.
QString awkward() { return QStringLiteral("O'Neil \"引号\" C:\\路径 50%_折扣 *?[x] 😀 𠀀"); }

// The award window and the punishment window are one design over two sets of tables.
struct Design {
    QString window, records, levels, recordsRs, levelsRs, grid, levelGrid, codeBox, nameBox, codeWord, levelsTitle;
    QString thirdLevel;
};
Design design(const QString& window)
{
    if (window == QLatin1String("frmaward"))
        return { window, "奖励记录信息表", "奖励等级代码表", "rs_awardi", "rs_awardd", "dgdAward", "dgdJi", "txtAd", "txtAm",
            "奖励代码", "奖励级别代码名称表", "校一等奖学金" };
    return { window, "处罚等级记录表", "处罚等级代码表", "rs_chufai", "rs_chufad", "dgdChufa", "dgdCf", "txtCd", "txtCm",
        "处罚代码", "处罚级别代码名称表", "记过" };
}

#define DESIGN_DATA                                                                                                    \
    QTest::addColumn<QString>("window");                                                                               \
    QTest::newRow("award") << QStringLiteral("frmaward");                                                              \
    QTest::newRow("punishment") << QStringLiteral("frmchufa");

#define FETCH_DESIGN                                                                                                   \
    QFETCH(QString, window);                                                                                           \
    const Design d = design(window);                                                                                   \
    auto grid = [&](QWidget* w) { return Gui::control<store::DataGrid>(w, d.grid); };                                  \
    auto records = [&](QWidget* w) { return Gui::control<store::DataControl>(w, d.recordsRs); };               \
    Q_UNUSED(grid);                                                                                                    \
    Q_UNUSED(records);

void findNumber(QWidget* w, const QString& number)
{
    choose(w, "optXh");
    type(w, "txtXh", number);
    press(w, "cmdFind");
}

void findName(QWidget* w, const QString& name)
{
    choose(w, "optXm");
    type(w, "txtXm", name);
    press(w, "cmdFind");
}

// ---- the user-defined query ---------------------------------------------------------------

QStringList offeredByDefault()
{
    QStringList out;
    for (const auto& row : TestDb::admin().select(QStringLiteral("select 表名 from 全表名")).rows)
        out << row[0].toString();
    return out;
}

UserQuery::Choice choiceOf(const QString& table, const QString& field, const QString& comparison, const QString& keyword)
{
    UserQuery::Choice choice;
    choice.offered = offeredByDefault();
    choice.table = table;
    const auto result = TestDb::admin().select(QStringLiteral("select * from %1 where 1=0").arg(table.trimmed()));
    choice.fields = result.fields;
    choice.field = field;
    choice.comparison = comparison;
    choice.keyword = keyword;
    return choice;
}

QString built(const QString& table, const QString& field, const QString& comparison, const QString& keyword)
{
    return UserQuery::statement(choiceOf(table, field, comparison, keyword), TestDb::engine());
}

QString refusal(const std::function<void()>& work)
{
    try {
        work();
    } catch (const DbError& error) {
        return error.text();
    }
    return {};
}

// Scores whose values the comparisons tell apart: texts differing in case and holding pattern
// characters, whole and half numbers, dates with one-digit months and days.
void addQueryScores()
{
    TestDb::exec(QStringLiteral(
        "insert into 学生成绩表 (学号, 课程名, 成绩, 学分, 考试时间) values "
        "('s1', '高等数学', 85, 5, '2006-05-09'), ('s2', '数据结构', 85.5, 4, '2006-05-19'), "
        "('s3', 'ABC', 60, 3, '2006-05-10'), ('s4', 'abc', 100, 2, '2006-12-01'), "
        "('s5', '50%_折扣\\', NULL, NULL, NULL), ('s6', 'x*y?[z]', 5, 1, '2005-01-02')"));
}

QStringList numbersFound(const QString& statement)
{
    QStringList out;
    store::DataControl rs;
    rs.setRecordSource(statement);
    rs.refresh();
    for (int i = 0; i < rs.recordCount(); ++i)
        out << rs.valueAt(i, rs.fieldIndex(QStringLiteral("学号"))).toString();
    out.sort();
    return out;
}

// The query window with a table chosen (by a click in the list) and its choices made.
void chooseQuery(QWidget* w, const QString& table, const QString& field, const QString& comparison, const QString& keyword)
{
    auto* tables = c<store::DataCombo>(w, "dcbBm");
    tables->setText(table);
    QTest::mouseClick(tables->lineEdit(), Qt::LeftButton);
    Gui::settle();
    auto* fields = c<QComboBox>(w, "cbLn");
    fields->setCurrentIndex(field.isEmpty() ? -1 : fields->findText(field));
    auto* comparisons = c<QComboBox>(w, "cbKey");
    comparisons->setCurrentIndex(comparison.isEmpty() ? -1 : comparisons->findText(comparison));
    type(w, "txtTj", keyword);
}

platform::Form* runQuery(QWidget* w, const QString& table, const QString& field, const QString& comparison,
    const QString& keyword)
{
    chooseQuery(w, table, field, comparison, keyword);
    press(w, "cmdCx");
    platform::Form* results = Gui::form(QStringLiteral("frmZcj"));
    if (results)
        Gui::activate(results);
    return results;
}

// Closing the results brings the query window back, which then becomes active.
void closeResults(platform::Form* results)
{
    results->close();
    Gui::settle();
    Gui::activate(Gui::form(QStringLiteral("frmyzj")));
}

} // namespace

class tst_records : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }

    // The statement of the user-defined query, in the store.
    void userQueryStatementTexts();
    void userQueryRefusals();
    void userQueryComparisonsGiveTheSameRows_data();
    void userQueryComparisonsGiveTheSameRows();
    void userQueryNeverOffersTheStaffAccounts();

    // Awards and punishments.
    void recordWindowOpens_data() { DESIGN_DATA }
    void recordWindowOpens();
    void searchByNumberAndName_data() { DESIGN_DATA }
    void searchByNumberAndName();
    void keysMoveToTheSearchButtonWithoutSearching_data() { DESIGN_DATA }
    void keysMoveToTheSearchButtonWithoutSearching();
    void gridTakesTheStudent_data() { DESIGN_DATA }
    void gridTakesTheStudent();
    void levelClickFillsCodeAndName_data() { DESIGN_DATA }
    void levelClickFillsCodeAndName();
    void addSaveAndTheirStates_data() { DESIGN_DATA }
    void addSaveAndTheirStates();
    void resetAndASaveAfterIt_data() { DESIGN_DATA }
    void resetAndASaveAfterIt();
    void saveWithoutStudentOrLevelWritesNothing_data() { DESIGN_DATA }
    void saveWithoutStudentOrLevelWritesNothing();
    void searchAbandonsAPendingRecord_data() { DESIGN_DATA }
    void searchAbandonsAPendingRecord();
    void awkwardInputIsKeptWhole_data() { DESIGN_DATA }
    void awkwardInputIsKeptWhole();
    void serverRestartAndOutage_data() { DESIGN_DATA }
    void serverRestartAndOutage();
    void heldReplyIsToldWithinTheWait();
    void busySaveCanBeWaitedForAgain();
    void newStudentIsFoundThroughThePlaceholder();

    // Status changes.
    void statusWindowOpens();
    void statusByDateRange();
    void statusByNumber();
    void statusFullNameIsReadOnly();
    void statusGridEditWritesOnlyTheChangeRow();
    void statusEditWithoutTheServer();
    void statusEditTypedIsHandedOver();

    // User-defined query.
    void queryWindowOpens();
    void queryStatementRules();
    void queryRefusalsKeepTheQueryWindow();
    void queryNeverReadsTheStaffAccounts();
    void queryResultsBrowsePastBothEnds();

    void mainWindowOpensEveryWindow();
    void screens();
};

// ---- the user-defined query's statement ----------------------------------------------------

void tst_records::userQueryStatementTexts()
{
    const QString people = QStringLiteral("学生个人信息表");
    QCOMPARE(built(people, {}, {}, QStringLiteral("ignored")), QStringLiteral("select * from 学生个人信息表"));
    QCOMPARE(built(QStringLiteral(" 学生个人信息表 "), {}, {}, QStringLiteral("x")), QStringLiteral("select * from 学生个人信息表"));
    QCOMPARE(built(people, QStringLiteral("姓名"), {}, QStringLiteral(" 张三 ")),
        QStringLiteral("select * from 学生个人信息表 where 姓名='张三'"));
    QCOMPARE(built(people, QStringLiteral("姓名"), {}, QStringLiteral("   ")), QStringLiteral("select * from 学生个人信息表 where 姓名=''"));
    QCOMPARE(built(people, QStringLiteral("姓名"), QStringLiteral("="), QStringLiteral("张三")),
        QStringLiteral("select * from 学生个人信息表 where 姓名 = '张三'"));
    QCOMPARE(built(people, QStringLiteral("姓名"), QStringLiteral("<"), QStringLiteral("张")),
        QStringLiteral("select * from 学生个人信息表 where 姓名 < '张'"));
    QCOMPARE(built(QStringLiteral("学生成绩表"), QStringLiteral("成绩"), QStringLiteral(">"), QStringLiteral("60")),
        QStringLiteral("select * from 学生成绩表 where 成绩 > '60'"));
    // A keyword that tries to end its literal is one literal.
    QCOMPARE(built(people, QStringLiteral("姓名"), {}, QStringLiteral("' or '1'='1")),
        QStringLiteral("select * from 学生个人信息表 where 姓名=''' or ''1''=''1'"));
    // A date is written as the program writes dates.
    QCOMPARE(built(QStringLiteral("学籍变更信息表"), QStringLiteral("记录时间"), QStringLiteral("<"), QStringLiteral("2006-05-09")),
        QStringLiteral("select * from 学籍变更信息表 where 记录时间 < '2006-5-9'"));

    // "like": PostgreSQL's like as written; on SQLite the case-exact instr. Number and date
    // columns are searched in the text the program shows for them.
    if (sqlite()) {
        QCOMPARE(built(people, QStringLiteral("姓名"), QStringLiteral("like"), QStringLiteral("张")),
            QStringLiteral("select * from 学生个人信息表 where instr(姓名, '张') > 0"));
        QCOMPARE(built(people, QStringLiteral("姓名"), QStringLiteral("like"), QStringLiteral("*?['")),
            QStringLiteral("select * from 学生个人信息表 where instr(姓名, '*?[''') > 0"));
        QCOMPARE(built(QStringLiteral("学生成绩表"), QStringLiteral("学分"), QStringLiteral("like"), QStringLiteral("5")),
            QStringLiteral("select * from 学生成绩表 where instr(cast(学分 as text), '5') > 0"));
    } else {
        QCOMPARE(built(people, QStringLiteral("姓名"), QStringLiteral("like"), QStringLiteral("张")),
            QStringLiteral("select * from 学生个人信息表 where 姓名 like '%张%'"));
        QCOMPARE(built(people, QStringLiteral("姓名"), QStringLiteral("like"), QStringLiteral("5%_\\")),
            QStringLiteral("select * from 学生个人信息表 where 姓名 like '%5\\%\\_\\\\%' escape '\\'"));
        QCOMPARE(built(QStringLiteral("学生成绩表"), QStringLiteral("学分"), QStringLiteral("like"), QStringLiteral("5")),
            QStringLiteral("select * from 学生成绩表 where cast(学分 as text) like '%5%'"));
        QCOMPARE(built(QStringLiteral("学生成绩表"), QStringLiteral("考试时间"), QStringLiteral("like"), QStringLiteral("5")),
            QStringLiteral("select * from 学生成绩表 where to_char(考试时间, 'YYYY-FMMM-FMDD') like '%5%'"));
    }
}

void tst_records::userQueryRefusals()
{
    const QString scores = QStringLiteral("学生成绩表");
    struct Case {
        const char* field;
        const char* comparison;
        const char* keyword;
        const char* message;
    };
    const Case cases[] = {
        { "", "like", "x", "已选择查询关键字,请先选择要检索的字段!" },
        { "密码", "=", "x", "请在“该表所具有的字段”列表中选择字段!" }, // not a field of this table
        { "成绩", "between", "1", "请在“查询关键字”列表中选择比较方式!" },
        { "成绩", "<", "abc", "“成绩”字段只能与数字比较,请输入数字!" },
        { "成绩", "", "abc", "“成绩”字段只能与数字比较,请输入数字!" },
        { "成绩", ">", "' or '1'='1", "“成绩”字段只能与数字比较,请输入数字!" },
        { "成绩", "=", "1e400", "“成绩”字段只能与数字比较,请输入数字!" },
        { "学分", "=", "1.5", "“学分”字段只能与整数比较,请输入整数!" },
        { "学分", ">", "40000", "查询条件超出了“学分”字段的取值范围(-32768 到 32767)!" },
        { "编号", "<", "99999999999", "查询条件超出了“编号”字段的取值范围(-2147483648 到 2147483647)!" },
        { "考试时间", "<", "2006", "“考试时间”字段只能与日期比较,请输入日期,如2006-5-19!" },
        { "考试时间", "=", "2006-2-30", "“考试时间”字段只能与日期比较,请输入日期,如2006-5-19!" },
    };
    for (const Case& each : cases)
        QCOMPARE(refusal([&] { built(scores, QString::fromUtf8(each.field), QString::fromUtf8(each.comparison), QString::fromUtf8(each.keyword)); }),
            QString::fromUtf8(each.message));

    // Only a table of the list, and only a plain name, reaches a statement.
    const QString chooseTable = QStringLiteral("请在列表中选择检索用表!");
    for (const QString& table : { QStringLiteral("学生成绩表 where 1=1"), QStringLiteral("学生成绩表;drop table 全表名"),
             QStringLiteral("成绩排序临时表"), QString(), QStringLiteral("管理员身份认证表") }) {
        UserQuery::Choice choice = choiceOf(scores, {}, {}, QStringLiteral("x"));
        choice.table = table;
        QCOMPARE(refusal([&] { UserQuery::statement(choice, TestDb::engine()); }), chooseTable);
        QCOMPARE(refusal([&] { UserQuery::fieldListStatement(table, offeredByDefault()); }), chooseTable);
    }
    // A field name that is not a plain name never does either, even when a result had it.
    UserQuery::Choice odd = choiceOf(scores, QStringLiteral("成绩 or 1=1"), QStringLiteral("="), QStringLiteral("1"));
    odd.fields << odd.field;
    QCOMPARE(refusal([&] { UserQuery::statement(odd, TestDb::engine()); }), QStringLiteral("请在“该表所具有的字段”列表中选择字段!"));
    // Not refused: a word searched for in a number column's text finds nothing.
    QCOMPARE(refusal([&] { built(scores, QStringLiteral("成绩"), QStringLiteral("like"), QStringLiteral("abc")); }), QString());
}

void tst_records::userQueryComparisonsGiveTheSameRows_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("comparison");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("found");
    auto row = [](const char* name, const char* field, const char* comparison, const QString& keyword, const QStringList& found) {
        QTest::newRow(name) << QString::fromUtf8(field) << QString::fromUtf8(comparison) << keyword << found;
    };
    // Texts: a piece anywhere, every character as itself, case as typed.
    row("text like", "课程名", "like", "数", { "s1", "s2" });
    row("text like keeps case", "课程名", "like", "a", { "s4" });
    row("text like percent", "课程名", "like", "%", { "s5" });
    row("text like underscore", "课程名", "like", "_", { "s5" });
    row("text like backslash", "课程名", "like", "\\", { "s5" });
    row("text like star and query", "课程名", "like", "*y?", { "s6" });
    row("text like bracket", "课程名", "like", "[z]", { "s6" });
    row("text like blanks", "课程名", "like", "  ", { "s1", "s2", "s3", "s4", "s5", "s6" });
    row("text like quote", "课程名", "like", "' or '1'='1", {});
    // A keyword of some 50,000 bytes (past SQLite's own like and glob) is searched like any other.
    row("text like very long", "课程名", "like", QString(17000, QChar(0x6570)), {});
    row("text less", "课程名", "<", "B", { "s3", "s5" });
    row("text equal", "课程名", "=", "abc", { "s4" });
    // Numbers: like searches the number as the program shows it (85, not 85.0).
    row("real like half", "成绩", "like", ".5", { "s2" });
    row("real like digits", "成绩", "like", "85", { "s1", "s2" });
    row("real like zero", "成绩", "like", "0", { "s3", "s4" });
    row("real like 5", "成绩", "like", "5", { "s1", "s2", "s6" });
    row("real like word", "成绩", "like", "abc", {});
    row("real less", "成绩", "<", "85.5", { "s1", "s3", "s6" });
    row("real greater", "成绩", ">", "85", { "s2", "s4" });
    row("real equal", "成绩", "=", "85", { "s1" });
    row("real no comparison", "成绩", "", " 85.5 ", { "s2" });
    row("smallint like", "学分", "like", "5", { "s1" });
    row("smallint less", "学分", "<", "3", { "s4", "s6" });
    row("smallint negative", "学分", ">", "-1", { "s1", "s2", "s3", "s4", "s6" });
    // Dates: like searches 2006-5-19; compared as dates, typed with or without leading zeros.
    row("date like", "考试时间", "like", "2006-5-1", { "s2", "s3" });
    row("date like month", "考试时间", "like", "-5-", { "s1", "s2", "s3" });
    row("date like zeros", "考试时间", "like", "-05", {});
    row("date less", "考试时间", "<", "2006-5-10", { "s1", "s6" });
    row("date greater", "考试时间", ">", "2006-5-9", { "s2", "s3", "s4" });
    row("date greater zeros", "考试时间", ">", "2006-05-09", { "s2", "s3", "s4" });
    row("date equal", "考试时间", "=", "2006-5-19", { "s2" });
    row("date no comparison", "考试时间", "", "2006/5/9", { "s1" });
}

void tst_records::userQueryComparisonsGiveTheSameRows()
{
    QFETCH(QString, field);
    QFETCH(QString, comparison);
    QFETCH(QString, keyword);
    QFETCH(QStringList, found);
    addQueryScores();
    const QString statement = built(QStringLiteral("学生成绩表"), field, comparison, keyword);
    QCOMPARE(numbersFound(statement), found);
}

void tst_records::userQueryNeverOffersTheStaffAccounts()
{
    for (const char* name : { "管理员身份认证表", "管理员身份认证表 ", "public.管理员身份认证表" })
        TestDb::exec(QStringLiteral("insert into 全表名 (表名) values (%1)").arg(quote(QString::fromUtf8(name))));
    QStringList listed;
    for (const auto& row : TestDb::admin().select(UserQuery::tableListStatement()).rows)
        listed << row[0].toString();
    QCOMPARE(listed.size(), 11);
    QVERIFY(!listed.join(QString()).contains(QStringLiteral("管理员")));
    QVERIFY(UserQuery::isOffered(QStringLiteral(" 学生成绩表 ")));
    for (const char* name : { "管理员身份认证表", " 管理员身份认证表", "public.管理员身份认证表", "学生成绩表 t", "2表", "" })
        QVERIFY2(!UserQuery::isOffered(QString::fromUtf8(name)), name);
    // Listed or not, it is not read.
    QCOMPARE(refusal([] { UserQuery::fieldListStatement(QStringLiteral("管理员身份认证表"), { QStringLiteral("管理员身份认证表") }); }),
        QStringLiteral("请在列表中选择检索用表!"));
}

// ---- awards and punishments ---------------------------------------------------------------

void tst_records::recordWindowOpens()
{
    FETCH_DESIGN
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    addRecord(d.records, QStringLiteral("2006002"), 1, QStringLiteral("2006-5-9"), QStringLiteral("第二"));
    addRecord(d.records, QStringLiteral("2006001"), 2, QStringLiteral("2006-5-19"), QStringLiteral("第一"));

    // Loaded, before it is first active.
    platform::Form* w = platform::Forms::load(window);
    const bool award = window == QLatin1String("frmaward");
    QCOMPARE(w->windowTitle(), award ? QStringLiteral("学生奖励记录管理窗体") : QStringLiteral("学生处罚记录管理窗体"));
    QCOMPARE(locked(w, "txtXh"), !award);
    QCOMPARE(locked(w, "txtXm"), !award);
    QVERIFY(!c<QRadioButton>(w, "optXh")->isChecked() && !c<QRadioButton>(w, "optXm")->isChecked());
    QCOMPARE(c<store::DatePicker>(w, "dpkAd")->value(), QDate::currentDate());
    QCOMPARE(rs(w, "rs_Xinf")->recordSource(), QStringLiteral("select * from 学生个人信息表"));
    QCOMPARE(records(w)->recordSource(), QStringLiteral("select * from %1 order by 学号").arg(d.records));
    QCOMPARE(rs(w, d.levelsRs.toUtf8().constData())->recordSource(), QStringLiteral("select * from ") + d.levels);

    platform::Forms::show(w);
    Gui::activate(w);
    QCOMPARE(c<QLabel>(w, "lblts1")->text(), award ? QStringLiteral("<>请在以下选择学生") : QStringLiteral("<>清在以下选择学生"));
    QCOMPARE(c<QLabel>(w, "lblts2")->text(),
        award ? QStringLiteral("<>以下为该生历次奖励情况") : QStringLiteral("<>以下为该生历次处罚情况"));
    QCOMPARE(c<QGroupBox>(w, "famAdd")->title(), QStringLiteral("信息添加区"));
    QCOMPARE(c<QGroupBox>(w, "faminf")->title(), QStringLiteral("信息浏览区"));
    QCOMPARE(c<QGroupBox>(w, award ? "famJdm" : "famCdm")->title(), d.levelsTitle);
    QCOMPARE(c<QLabel>(w, award ? "lblAdata" : "lblCdata")->text(), award ? QStringLiteral("奖励日期:") : QStringLiteral("处罚日期:"));
    QCOMPARE(panel(w, 1), QStringLiteral("<>请注意:添加信息时请在\"信息添加区\"添加完整信息!"));
    QCOMPARE(panel(w, 2), QStringLiteral("当前共有记录:"));
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(panel(w, 4), QStringLiteral("条"));
    // Activation chooses the search by number and takes the first student of the records.
    QVERIFY(c<QRadioButton>(w, "optXh")->isChecked());
    QVERIFY(!locked(w, "txtXh") && locked(w, "txtXm"));
    QVERIFY(focused(w, "txtXh"));
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006001"));
    QCOMPARE(text(w, d.codeBox.toUtf8().constData()), QStringLiteral("1"));
    for (const char* box : { "txtXue", "txtMemo" })
        QVERIFY2(locked(w, box), box);
    QVERIFY(locked(w, d.codeBox.toUtf8().constData()) && locked(w, d.nameBox.toUtf8().constData()));
    QVERIFY(enabled(w, "cmdAdd") && !enabled(w, "cmdUpgrate") && !enabled(w, "cmdClear"));
    QVERIFY(enabled(w, "dpkAd") && grid(w)->isEnabled());
    QCOMPARE(shownCaptions(grid(w)), (QStringList { "学号", "级别代码", "记录时间", "备注" }));
    QCOMPARE(cell(grid(w), 1, QStringLiteral("记录时间")), QStringLiteral("2006-5-9"));
    QCOMPARE(shownCaptions(c<store::DataGrid>(w, d.levelGrid.toUtf8().constData())), (QStringList { "代码", "全称" }));
    // Both grids are for reading: records are only added through the form.
    QVERIFY(!grid(w)->allowUpdate() && !c<store::DataGrid>(w, d.levelGrid.toUtf8().constData())->allowUpdate());
    QVERIFY(!(grid(w)->model()->flags(grid(w)->model()->index(0, 1)) & Qt::ItemIsEditable));
    QVERIFY(Gui::boxes().isEmpty());

    w->close();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });

    // With no record at all there is no student to take: told, and the window goes on.
    TestDb::exec(QStringLiteral("delete from ") + d.records);
    w = open(window);
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(text(w, "txtXue"), QString());
    QVERIFY(c<QRadioButton>(w, "optXh")->isChecked());
}

void tst_records::searchByNumberAndName()
{
    FETCH_DESIGN
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    TestDb::addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    TestDb::addStudent(QStringLiteral("2006003"), QStringLiteral("王五")); // no record of this kind
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2006-5-9"), QStringLiteral("a"));
    addRecord(d.records, QStringLiteral("2006002"), 2, QStringLiteral("2006-5-10"), QStringLiteral("b"));
    addRecord(d.records, QStringLiteral("2006002"), 3, QStringLiteral("2006-5-11"), QStringLiteral("c"));
    platform::Form* w = open(window);

    findNumber(w, QStringLiteral("  2006002 "));
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(records(w)->recordSource(), QStringLiteral("select * from %1 where 学号='2006002'").arg(d.records));
    QCOMPARE(grid(w)->model()->rowCount(), 2);
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006002"));

    // Not found: told, the box is ready again, the grid is empty; the student taken stays.
    for (const QString& number : { QStringLiteral("2006003"), QStringLiteral("200600"), QStringLiteral("' or '1'='1") }) {
        MsgBox::clear();
        findNumber(w, number);
        QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });
        QCOMPARE(Gui::boxes().last().title, QStringLiteral("抱歉"));
        QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
        QCOMPARE(panel(w, 3), QStringLiteral("0"));
        QCOMPARE(text(w, "txtXh"), QString());
        QVERIFY(focused(w, "txtXh"));
        QCOMPARE(grid(w)->model()->rowCount(), 0);
        QCOMPARE(text(w, "txtXue"), QStringLiteral("2006002"));
    }

    MsgBox::clear();
    findName(w, QStringLiteral(" 张三 "));
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(rs(w, "rs_Xinf")->recordSource(), QStringLiteral("select 学号 from 学生个人信息表 where 姓名='张三'"));
    QCOMPARE(records(w)->recordSource(), QStringLiteral("select * from %1 where 学号='2006001'").arg(d.records));
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006001"));
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QVERIFY(locked(w, "txtXh") && !locked(w, "txtXm"));

    // No student of that name: the grid keeps its rows.
    findName(w, QStringLiteral("张"));
    QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(grid(w)->model()->rowCount(), 1);
    QVERIFY(c<QRadioButton>(w, "optXm")->isChecked());
    QCOMPARE(text(w, "txtXm"), QString());
    QVERIFY(focused(w, "txtXm"));

    // A student without a record of this kind is not found by name either; the grid is empty.
    findName(w, QStringLiteral("王五"));
    QCOMPARE(Gui::boxTexts().size(), 2);
    QCOMPARE(grid(w)->model()->rowCount(), 0);
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006001"));
}

void tst_records::keysMoveToTheSearchButtonWithoutSearching()
{
    FETCH_DESIGN
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2006-5-9"), QStringLiteral("a"));
    platform::Form* w = open(window);
    const QString before = records(w)->recordSource();
    for (const char* box : { "txtXh", "txtXm" }) {
        for (Qt::Key key : { Qt::Key_Return, Qt::Key_Right }) {
            choose(w, box == QByteArray("txtXh") ? "optXh" : "optXm");
            type(w, box, QStringLiteral("2006001"));
            c<QLineEdit>(w, box)->setFocus();
            QTest::keyClick(c<QLineEdit>(w, box), key);
            Gui::settle();
            QVERIFY2(focused(w, "cmdFind"), box);
            QCOMPARE(records(w)->recordSource(), before);
        }
    }
    // Other keys type as usual.
    choose(w, "optXh");
    QTest::keyClicks(c<QLineEdit>(w, "txtXh"), QStringLiteral("20"));
    QCOMPARE(text(w, "txtXh"), QStringLiteral("20"));
    QVERIFY(Gui::boxes().isEmpty());
}

void tst_records::gridTakesTheStudent()
{
    FETCH_DESIGN
    addRecord(d.records, QStringLiteral("2006002"), 1, QStringLiteral("2006-5-9"), QStringLiteral("b"));
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2006-5-9"), QStringLiteral("a"));
    addRecord(d.records, QStringLiteral("2006003"), 1, QStringLiteral("2006-5-9"), QStringLiteral("c"));
    platform::Form* w = open(window);
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006001"));
    clickRow(grid(w), 2);
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006003"));
    grid(w)->setFocus();
    QTest::keyClick(grid(w), Qt::Key_Up);
    Gui::settle();
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006002"));
    QTest::keyClick(grid(w), Qt::Key_Down);
    Gui::settle();
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006003"));
    QVERIFY(Gui::boxes().isEmpty());

    // A click in an empty grid is told and changes nothing; the window goes on.
    findNumber(w, QStringLiteral("none"));
    MsgBox::clear();
    QTest::mouseClick(grid(w)->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    Gui::settle();
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006003"));
    findNumber(w, QStringLiteral("2006001"));
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006001"));
}

void tst_records::levelClickFillsCodeAndName()
{
    FETCH_DESIGN
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2006-5-9"), QStringLiteral("a"));
    platform::Form* w = open(window);
    auto* levels = c<store::DataGrid>(w, d.levelGrid.toUtf8().constData());
    clickRow(levels, 2);
    QCOMPARE(text(w, d.codeBox.toUtf8().constData()), QStringLiteral("3"));
    QCOMPARE(text(w, d.nameBox.toUtf8().constData()), d.thirdLevel);
    clickRow(levels, 0);
    QCOMPARE(text(w, d.codeBox.toUtf8().constData()), QStringLiteral("1"));
    // Choosing writes nothing into the level table.
    QCOMPARE(rows(d.levels + QStringLiteral(" where 代码=3 and 全称=") + quote(d.thirdLevel)), 1);
    QVERIFY(Gui::boxes().isEmpty());
}

void tst_records::addSaveAndTheirStates()
{
    FETCH_DESIGN
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2005-5-9"), QStringLiteral("a"));
    addRecord(d.records, QStringLiteral("2006002"), 2, QStringLiteral("2005-5-9"), QStringLiteral("b"));
    platform::Form* w = open(window);
    findNumber(w, QStringLiteral("2006002"));
    clickRow(c<store::DataGrid>(w, d.levelGrid.toUtf8().constData()), 2);
    const QStringList before = storedRows(d.records);

    press(w, "cmdAdd");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("现在可以为该生添加新记录!") });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("可以添加"));
    QVERIFY(!grid(w)->isEnabled());
    QVERIFY(!locked(w, "txtMemo") && focused(w, "txtMemo"));
    QVERIFY(enabled(w, "dpkAd") && enabled(w, "cmdUpgrate") && enabled(w, "cmdClear"));
    QCOMPARE(records(w)->editMode(), store::DataControl::EditMode::Add);
    QCOMPARE(storedRows(d.records), before);
    // The search frame stays usable.
    QVERIFY(enabled(w, "famCx") && enabled(w, "cmdFind"));

    c<store::DatePicker>(w, "dpkAd")->setValue(QDate(2006, 5, 9));
    type(w, "txtMemo", QStringLiteral("  表现突出\n "));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("成功"));
    QCOMPARE(rows(d.records), 3);
    const QString added = QStringLiteral(" where 学号='2006002' and 级别代码=3 and 记录时间=") + store::Sql::literal(QDate(2006, 5, 9), store::ColumnType::Date)
        + QStringLiteral(" and 备注='表现突出'");
    QCOMPARE(rows(d.records + added), 1);
    QCOMPARE(storedRows(d.records).mid(0, 2), before);
    // The grid shows the record among the rows of the last search; the count is not updated.
    QCOMPARE(grid(w)->model()->rowCount(), 2);
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006002"));
    QCOMPARE(text(w, "txtMemo"), QString());
    QVERIFY(locked(w, "txtMemo") && !enabled(w, "dpkAd") && grid(w)->isEnabled());
    QVERIFY(!enabled(w, "cmdUpgrate") && !enabled(w, "cmdClear") && enabled(w, "cmdAdd"));

    // A remark of blanks only is stored as an empty text.
    press(w, "cmdAdd");
    type(w, "txtMemo", QStringLiteral("   "));
    press(w, "cmdUpgrate");
    QCOMPARE(rows(d.records + QStringLiteral(" where 学号='2006002' and 备注=''")), 1);
    QCOMPARE(rows(d.records), 4);
}

void tst_records::resetAndASaveAfterIt()
{
    FETCH_DESIGN
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2005-5-9"), QStringLiteral("a"));
    addRecord(d.records, QStringLiteral("2006002"), 2, QStringLiteral("2005-5-9"), QStringLiteral("b"));
    platform::Form* w = open(window);
    findNumber(w, QStringLiteral("2006002"));
    const QStringList before = storedRows(d.records);

    press(w, "cmdAdd");
    c<store::DatePicker>(w, "dpkAd")->setValue(QDate(2001, 1, 1));
    type(w, "txtMemo", QStringLiteral("不要的"));
    press(w, "cmdClear");
    QCOMPARE(records(w)->editMode(), store::DataControl::EditMode::None);
    QCOMPARE(records(w)->recordSource(), QStringLiteral("select * from %1 where 学号='2006002'").arg(d.records));
    QCOMPARE(records(w)->currentRow(), 0);
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006002"));
    QVERIFY(grid(w)->isEnabled());
    QCOMPARE(text(w, "txtMemo"), QString());
    QVERIFY(!locked(w, "txtMemo") && focused(w, "txtMemo"));
    QCOMPARE(c<store::DatePicker>(w, "dpkAd")->value(), QDate::currentDate());
    QVERIFY(enabled(w, "dpkAd") && enabled(w, "cmdUpgrate") && enabled(w, "cmdClear"));
    QCOMPARE(storedRows(d.records), before);

    // A save now adds a record; the row current after the reset is not written over.
    type(w, "txtMemo", QStringLiteral("补记"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    const QStringList after = storedRows(d.records);
    QCOMPARE(after.size(), 3);
    QCOMPARE(after.mid(0, 2), before);
    QCOMPARE(rows(d.records + QStringLiteral(" where 学号='2006002' and 备注='补记' and 级别代码=1")), 1);

    // A reset where the last search found nothing clears the form all the same.
    findNumber(w, QStringLiteral("none"));
    press(w, "cmdAdd");
    MsgBox::clear();
    press(w, "cmdClear");
    QCOMPARE(Gui::boxes().size(), 1); // no row to take the student from
    QVERIFY(grid(w)->isEnabled() && !locked(w, "txtMemo"));
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006002"));
    QCOMPARE(rows(d.records), 3);
}

void tst_records::saveWithoutStudentOrLevelWritesNothing()
{
    FETCH_DESIGN
    // No record at all: no student is taken.
    platform::Form* w = open(window);
    MsgBox::clear();
    press(w, "cmdAdd");
    type(w, "txtMemo", QStringLiteral("谁的?"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("学生学号不能为空!请先查询学生,再为该生添加记录。"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("注意"));
    QCOMPARE(rows(d.records), 0);
    QVERIFY(enabled(w, "cmdUpgrate"));
    w->close();
    Gui::settle();

    // No level to choose.
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2005-5-9"), QStringLiteral("a"));
    TestDb::exec(QStringLiteral("delete from ") + d.levels);
    w = open(window);
    QCOMPARE(text(w, d.codeBox.toUtf8().constData()), QString());
    press(w, "cmdAdd");
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("%1不能为空!请在“%2”中选择级别。").arg(d.codeWord, d.levelsTitle));
    QCOMPARE(rows(d.records), 1);

    // A save the table refuses is told; nothing is stored and the window goes on.
    TestDb::exec(QStringLiteral("insert into %1 (代码, 全称) values (1, '级别')").arg(d.levels));
    w->close();
    Gui::settle();
    w = open(window);
    TestDb::exec(QStringLiteral("alter table %1 rename to 离开的表").arg(d.records));
    press(w, "cmdAdd");
    MsgBox::clear();
    press(w, "cmdUpgrate");
    TestDb::exec(QStringLiteral("alter table 离开的表 rename to %1").arg(d.records));
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
    QVERIFY(!Gui::boxTexts().contains(QStringLiteral("保存成功!")));
    QCOMPARE(rows(d.records), 1);
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(rows(d.records), 2);
}

void tst_records::searchAbandonsAPendingRecord()
{
    FETCH_DESIGN
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2005-5-9"), QStringLiteral("a"));
    addRecord(d.records, QStringLiteral("2006002"), 2, QStringLiteral("2005-5-9"), QStringLiteral("b"));
    platform::Form* w = open(window);
    press(w, "cmdAdd");
    type(w, "txtMemo", QStringLiteral("不会保存"));
    findNumber(w, QStringLiteral("2006002"));
    QCOMPARE(records(w)->editMode(), store::DataControl::EditMode::None);
    QCOMPARE(grid(w)->model()->rowCount(), 1);
    QVERIFY(grid(w)->isEnabled() && locked(w, "txtMemo"));
    QVERIFY(!enabled(w, "cmdUpgrate") && !enabled(w, "cmdClear"));
    QCOMPARE(text(w, "txtXue"), QStringLiteral("2006002"));
    QCOMPARE(rows(d.records), 2);
    // Closing with a record pending stores nothing either.
    press(w, "cmdAdd");
    type(w, "txtMemo", QStringLiteral("也不会保存"));
    w->close();
    Gui::settle();
    QCOMPARE(rows(d.records), 2);
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_records::awkwardInputIsKeptWhole()
{
    FETCH_DESIGN
    const QString number = QStringLiteral("2006'😀\\%_1");
    const QString name = awkward();
    TestDb::addStudent(number, name);
    addRecord(d.records, number, 1, QStringLiteral("2005-5-9"), QStringLiteral("a"));
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2005-5-9"), QStringLiteral("a"));
    platform::Form* w = open(window);

    findNumber(w, number);
    QCOMPARE(text(w, "txtXue"), number);
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    // Pattern characters are no wildcards here.
    findNumber(w, QStringLiteral("2006%"));
    QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });
    findName(w, name);
    QCOMPARE(text(w, "txtXue"), number);
    findName(w, QStringLiteral("x' or '1'='1"));
    QCOMPARE(Gui::boxTexts().size(), 2);

    findNumber(w, number);
    for (const QString& memo : { awkward(), longText(10000) }) {
        press(w, "cmdAdd");
        type(w, "txtMemo", memo);
        press(w, "cmdUpgrate");
        QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
        QCOMPARE(rows(d.records + QStringLiteral(" where 学号=%1 and 备注=%2").arg(quote(number), quote(memo))), 1);
    }
    QCOMPARE(TestDb::value(QStringLiteral("select max(length(备注)) from ") + d.records).toInt(), 10000);
    QCOMPARE(grid(w)->model()->rowCount(), 3);
    QCOMPARE(cell(grid(w), 1, QStringLiteral("备注")), awkward());
}

void tst_records::serverRestartAndOutage()
{
    FETCH_DESIGN
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2005-5-9"), QStringLiteral("a"));
    addRecord(d.records, QStringLiteral("2006002"), 2, QStringLiteral("2005-5-9"), QStringLiteral("b"));
    PgProxy proxy(TestDb::pgSocketFile());
    auto restore = throughProxy(proxy);
    platform::Form* w = open(window);
    const QString lost = QStringLiteral("与数据库服务器的连接已断开");
    auto addOne = [&](const QString& memo) {
        press(w, "cmdAdd");
        c<store::DatePicker>(w, "dpkAd")->setValue(QDate(2006, 5, 9));
        type(w, "txtMemo", memo);
        press(w, "cmdUpgrate");
    };
    auto stored = [&](const QString& memo) { return rows(d.records + QStringLiteral(" where 备注=") + store::Sql::quote(memo)); };

    // A server restart between two actions goes unnoticed; the save is written once.
    proxy.cutAll();
    findNumber(w, QStringLiteral("2006002"));
    QVERIFY2(Gui::boxes().isEmpty(), qPrintable(Gui::boxTexts().join('|')));
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    clickRow(c<store::DataGrid>(w, d.levelGrid.toUtf8().constData()), 1);
    proxy.cutAll();
    addOne(QStringLiteral("重启之后"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(stored(QStringLiteral("重启之后")), 1);

    // The server is down: told in Chinese, nothing written, the window still answers.
    proxy.refuse(true);
    proxy.cutAll();
    // One message each, and it is the true one, not "抱歉,没有该生信息!".
    const auto toldOnce = [&](int before) {
        QCOMPARE(Gui::boxes().size(), before + 1);
        QVERIFY2(Gui::boxTexts().last().startsWith(lost), qPrintable(Gui::boxTexts().last()));
    };
    int before = Gui::boxes().size();
    addOne(QStringLiteral("服务器停了"));
    toldOnce(before + 1); // after "现在可以为该生添加新记录!"
    before = Gui::boxes().size();
    findNumber(w, QStringLiteral("2006001"));
    toldOnce(before);
    QCOMPARE(Gui::boxTexts().count(QStringLiteral("保存成功!")), 1);

    // Back again: the next action works (the records the failed search was to read are read
    // now, never "对象关闭时，不允许操作。"), and the save that failed was never written.
    proxy.refuse(false);
    before = Gui::boxes().size();
    press(w, "cmdAdd");
    QCOMPARE(Gui::boxTexts().mid(before), QStringList { QStringLiteral("现在可以为该生添加新记录!") });
    findNumber(w, QStringLiteral("2006001"));
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QCOMPARE(stored(QStringLiteral("服务器停了")), 0);

    // The reply to a committed insert is lost: the outcome is told as unknown, the record is
    // stored once and a new search shows it.
    proxy.loseReplyTo("INSERT INTO " + d.records.toUtf8());
    addOne(QStringLiteral("回复丢了"));
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("保存时与数据库服务器的连接断开了")), qPrintable(Gui::boxTexts().last()));
    QCOMPARE(stored(QStringLiteral("回复丢了")), 1);
    // The grid reads what the table holds and the form is as after a save: a second press of
    // 保存 cannot store the record again.
    QCOMPARE(grid(w)->model()->rowCount(), 2);
    QVERIFY(!enabled(w, "cmdUpgrate") && locked(w, "txtMemo") && text(w, "txtMemo").isEmpty());
    press(w, "cmdUpgrate");
    QCOMPARE(stored(QStringLiteral("回复丢了")), 1);
    findNumber(w, QStringLiteral("2006001"));
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(stored(QStringLiteral("回复丢了")), 1);
}

void tst_records::heldReplyIsToldWithinTheWait()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    const Design d = design(QStringLiteral("frmaward"));
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2005-5-9"), QStringLiteral("a"));
    PgProxy proxy(TestDb::pgSocketFile());
    auto restore = throughProxy(proxy);
    // The program gives a server that does not answer one second here, not forty.
    qputenv("ORLENTA_SERVER_REPLY_MS", "1000");
    auto unset = qScopeGuard([] { qunsetenv("ORLENTA_SERVER_REPLY_MS"); });
    platform::Form* w = open(d.window);
    findNumber(w, QStringLiteral("2006001"));
    auto stored = [&](const char* memo) { return rows(d.records + QStringLiteral(" where 备注=") + quote(QString::fromUtf8(memo))); };
    QElapsedTimer clock;

    // The save reaches the server and its reply never comes, while the connection
    // stays open: told as a save of unknown outcome once the wait is over, the record stored once,
    // the grid read again, and nothing that invites a second press.
    press(w, "cmdAdd");
    type(w, "txtMemo", QStringLiteral("没有回音"));
    proxy.holdReplyTo("INSERT INTO " + d.records.toUtf8());
    clock.start();
    press(w, "cmdUpgrate");
    const qint64 waited = clock.elapsed();
    qInfo("a held reply to a save was told after %lld ms", waited);
    QVERIFY2(waited >= 900 && waited < 5000, qPrintable(QString::number(waited)));
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("保存时与数据库服务器的连接断开了")), qPrintable(Gui::boxTexts().last()));
    QVERIFY2(Gui::boxTexts().last().contains(QStringLiteral("没有应答")), qPrintable(Gui::boxTexts().last()));
    QCOMPARE(stored("没有回音"), 1);
    QCOMPARE(c<store::DataGrid>(w, "dgdAward")->model()->rowCount(), 2);
    QVERIFY(!enabled(w, "cmdUpgrate"));

    // A search whose reply never comes is told as a lost connection, not asked again (it could
    // wait as long once more); the next search works.
    const int before = Gui::boxes().size();
    proxy.holdReplyTo("where 学号=");
    clock.start();
    findNumber(w, QStringLiteral("2006001"));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(Gui::boxes().size(), before + 1);
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("与数据库服务器的连接已断开")), qPrintable(Gui::boxTexts().last()));
    findNumber(w, QStringLiteral("2006001"));
    QCOMPARE(Gui::boxes().size(), before + 1);
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
}

void tst_records::busySaveCanBeWaitedForAgain()
{
    if (TestDb::engine() != store::Engine::SQLite)
        QSKIP("the SQLite file's write lock: PostgreSQL locks rows, not the database");
    const Design d = design(QStringLiteral("frmaward"));
    addRecord(d.records, QStringLiteral("2006001"), 1, QStringLiteral("2005-5-9"), QStringLiteral("a"));
    qputenv("ORLENTA_SQLITE_BUSY_MS", "300");
    auto restore = qScopeGuard([] {
        platform::Forms::discardAll();
        MsgBox::setObserver({});
        qunsetenv("ORLENTA_SQLITE_BUSY_MS");
    });
    platform::Form* w = open(d.window);
    findNumber(w, QStringLiteral("2006001"));
    auto stored = [&] { return rows(d.records + QStringLiteral(" where 备注='等了一会'")); };
    // Another workstation writes: it holds the write lock until the observer lets it go.
    auto other = TestDb::openAnother();
    other->begin();
    bool cursorWhileAsked = true;
    MsgBox::setObserver([&](const MsgBox::Shown& shown) {
        if (shown.buttons != MsgBox::Buttons::RetryCancel)
            return;
        cursorWhileAsked = QApplication::overrideCursor() != nullptr;
        if (shown.answer == MsgBox::Answer::Retry)
            other->rollback();
    });
    // The wait cursor is up while the save waits.
    std::atomic<bool> waitCursorSeen { false };
    std::atomic<bool> sampling { true };
    std::thread sampler([&] {
        while (sampling && !waitCursorSeen) {
            const QCursor* cursor = QApplication::overrideCursor();
            waitCursorSeen = cursor && cursor->shape() == Qt::WaitCursor;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });

    // The wait runs out: the user is asked, with 重试 and 取消, and waits once more; the other
    // writer is done meanwhile, and the record is stored.
    press(w, "cmdAdd");
    type(w, "txtMemo", QStringLiteral("等了一会"));
    Gui::answer(MsgBox::Answer::Retry);
    press(w, "cmdUpgrate");
    sampling = false;
    sampler.join();
    QVERIFY(waitCursorSeen);
    QVERIFY(!cursorWhileAsked);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(Gui::boxes().at(Gui::boxes().size() - 2).buttons, MsgBox::Buttons::RetryCancel);
    QVERIFY(Gui::boxes().at(Gui::boxes().size() - 2).text.startsWith(QStringLiteral("数据库正被其他用户写入，等待超时")));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(stored(), 1);

    // 取消: nothing is stored, nothing more is told, and what was typed stays for another try.
    other->begin();
    press(w, "cmdAdd");
    type(w, "txtMemo", QStringLiteral("放弃了"));
    const int before = Gui::boxes().size();
    Gui::answer(MsgBox::Answer::Cancel);
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxes().size(), before + 1);
    QCOMPARE(Gui::boxes().last().buttons, MsgBox::Buttons::RetryCancel);
    QCOMPARE(rows(d.records + QStringLiteral(" where 备注='放弃了'")), 0);
    QCOMPARE(text(w, "txtMemo"), QStringLiteral("放弃了"));
    QVERIFY(enabled(w, "cmdUpgrate"));
    other->rollback();
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(rows(d.records + QStringLiteral(" where 备注='放弃了'")), 1);
}

void tst_records::newStudentIsFoundThroughThePlaceholder()
{
    // A student entered through the new-student window, as staff do.
    platform::Form* students = open(QStringLiteral("frmsinfgl"));
    press(students, "cmdAdd");
    platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
    type(add, "txtXuehao", QStringLiteral("2006500"));
    type(add, "txtXinming", QStringLiteral("吴九"));
    c<QComboBox>(add, "cbsex")->setCurrentIndex(1);
    c<store::DataCombo>(add, "dcbXj")->setText(QStringLiteral("在读"));
    c<store::DataCombo>(add, "dcbXueyuan")->setText(QStringLiteral("数学与统计学院"));
    c<store::DataCombo>(add, "dcbClass")->setText(QStringLiteral("数学2003级1班"));
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("信息保存成功!") });
    platform::Forms::discardAll();
    Gui::settle();
    MsgBox::clear();

    for (const char* window : { "frmaward", "frmchufa" }) {
        const Design d = design(QString::fromUtf8(window));
        platform::Form* w = open(d.window);
        findNumber(w, QStringLiteral("2006500"));
        QVERIFY(Gui::boxes().isEmpty());
        QCOMPARE(panel(w, 3), QStringLiteral("1"));
        auto* records = Gui::control<store::DataGrid>(w, d.grid);
        QCOMPARE(cell(records, 0, QStringLiteral("级别代码")), QStringLiteral("0"));
        findName(w, QStringLiteral("吴九"));
        QCOMPARE(text(w, "txtXue"), QStringLiteral("2006500"));
        QVERIFY(Gui::boxes().isEmpty());
        w->close();
        Gui::settle();
    }
}

// ---- status changes -----------------------------------------------------------------------

void tst_records::statusWindowOpens()
{
    addChange(QStringLiteral("2006002"), 2, QStringLiteral("2006-5-9"));
    addChange(QStringLiteral("2006001"), 1, QStringLiteral("2006-5-19"));
    platform::Form* w = open(QStringLiteral("frmXjgl"));
    QCOMPARE(w->windowTitle(), QStringLiteral("学生学籍查询窗体"));
    QCOMPARE(c<QGroupBox>(w, "famInf")->title(), QStringLiteral("请选择查询项目、查询条件"));
    QCOMPARE(c<QRadioButton>(w, "optDate")->text(), QStringLiteral("所查日期范围:"));
    QCOMPARE(c<QRadioButton>(w, "optXh")->text(), QStringLiteral("所查学生学号:"));
    QCOMPARE(c<QLabel>(w, "lblts1")->text(), QStringLiteral("<>编辑信息时可直接在下表修改"));
    QVERIFY(!c<QRadioButton>(w, "optDate")->isChecked() && !c<QRadioButton>(w, "optXh")->isChecked());
    QVERIFY(locked(w, "txtXh"));
    QCOMPARE(c<store::DatePicker>(w, "dpkFd")->value(), QDate::currentDate());
    QCOMPARE(c<store::DatePicker>(w, "dpkTd")->value(), QDate::currentDate());
    QCOMPARE(rs(w, "rs_Xueji")->recordSource(),
        QStringLiteral("select * from 学籍变更信息表 as a join 学籍变更代码表 as b on a.变更代码=b.代码 order by a.学号"));
    auto* grid = c<store::DataGrid>(w, "dgdXj");
    QCOMPARE(shownCaptions(grid), (QStringList { "学号", "学籍情况", "记录时间" }));
    QCOMPARE(grid->model()->rowCount(), 2);
    QCOMPARE(cell(grid, 0, QStringLiteral("学号")), QStringLiteral("2006001"));
    QCOMPARE(cell(grid, 1, QStringLiteral("全称")), QStringLiteral("休学"));
    QCOMPARE(cell(grid, 1, QStringLiteral("记录时间")), QStringLiteral("2006-5-9"));

    // Neither option: the button does nothing.
    const QString before = rs(w, "rs_Xueji")->recordSource();
    press(w, "cmdFind");
    QCOMPARE(rs(w, "rs_Xueji")->recordSource(), before);
    QVERIFY(Gui::boxes().isEmpty());

    w->close();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_records::statusByDateRange()
{
    addChange(QStringLiteral("2006002"), 2, QStringLiteral("2006-5-9"));
    addChange(QStringLiteral("2006001"), 1, QStringLiteral("2006-5-19"));
    addChange(QStringLiteral("2006001"), 3, QStringLiteral("2006-5-8"));
    addChange(QStringLiteral("2006003"), 1, QStringLiteral("2006-5-10"));
    addChange(QStringLiteral("2006004"), 1, QStringLiteral("2006-12-1"));
    platform::Form* w = open(QStringLiteral("frmXjgl"));
    auto* from = c<store::DatePicker>(w, "dpkFd");
    auto* to = c<store::DatePicker>(w, "dpkTd");
    auto* grid = c<store::DataGrid>(w, "dgdXj");
    auto numbers = [&] {
        QStringList out;
        for (int i = 0; i < grid->model()->rowCount(); ++i)
            out << cell(grid, i, QStringLiteral("学号"));
        return out;
    };

    choose(w, "optDate");
    QVERIFY(from->isEnabled() && to->isEnabled() && locked(w, "txtXh"));
    // One day: exactly the changes of that day.
    from->setValue(QDate(2006, 5, 9));
    to->setValue(QDate(2006, 5, 9));
    press(w, "cmdFind");
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(rs(w, "rs_Xueji")->recordSource(),
        QStringLiteral("select * from 学籍变更信息表 as a join 学籍变更代码表 as b on a.变更代码=b.代码 where 记录时间 between "
                       "'2006-5-9' and '2006-5-9'order by a.学号 "));
    QCOMPARE(numbers(), QStringList { QStringLiteral("2006002") });
    QCOMPARE(cell(grid, 0, QStringLiteral("全称")), QStringLiteral("休学"));

    // Both ends belong to the range, whatever the number of digits of month and day.
    to->setValue(QDate(2006, 5, 19));
    press(w, "cmdFind");
    QCOMPARE(numbers(), (QStringList { "2006001", "2006002", "2006003" }));
    from->setValue(QDate(2006, 5, 10));
    to->setValue(QDate(2006, 12, 1));
    press(w, "cmdFind");
    QCOMPARE(numbers(), (QStringList { "2006001", "2006003", "2006004" }));

    // A date typed with a leading zero is the same date.
    from->setFocus();
    from->setSelectedSection(QDateTimeEdit::MonthSection);
    QTest::keyClicks(from, QStringLiteral("05"));
    from->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(from, QStringLiteral("09"));
    QCOMPARE(from->value(), QDate(2006, 5, 9));
    press(w, "cmdFind");
    QCOMPARE(numbers(), (QStringList { "2006001", "2006002", "2006003", "2006004" }));

    // A date the picker cannot hold is refused with a message and kept as typed, also when the
    // focus leaves it; nothing is searched with another date in its place.
    const QString searched = rs(w, "rs_Xueji")->recordSource();
    auto typeDate = [](store::DatePicker* picker, const QString& date) {
        picker->setFocus();
        picker->setSelectedSection(QDateTimeEdit::YearSection);
        QTest::keyClicks(picker, date); // each part in turn, as the picker moves on by itself
    };
    struct Typed {
        const char* digits;
        QString shown;
    };
    for (const Typed& typed : { Typed { "18991231", QStringLiteral("1899-12-31") }, Typed { "21000229", QStringLiteral("2100-02-29") },
             Typed { "30000101", QStringLiteral("3000-01-01") } }) {
        MsgBox::clear();
        from->setValue(QDate(2006, 5, 9));
        typeDate(from, QString::fromLatin1(typed.digits));
        c<QLineEdit>(w, "txtXh")->setFocus();
        QCOMPARE(from->text(), typed.shown);
        press(w, "cmdFind");
        QCOMPARE(Gui::boxes().size(), 1);
        QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("“%1”不是可以使用的日期").arg(typed.shown)), qPrintable(Gui::boxTexts().last()));
        QCOMPARE(rs(w, "rs_Xueji")->recordSource(), searched);
        QCOMPARE(from->text(), typed.shown);
    }
    // A date typed whole and right is taken as typed.
    typeDate(from, QStringLiteral("20060508"));
    MsgBox::clear();
    press(w, "cmdFind");
    QCOMPARE(numbers(), (QStringList { "2006001", "2006001", "2006002", "2006003", "2006004" }));

    // Nothing in the range; a start after the end is no range.
    MsgBox::clear();
    from->setValue(QDate(2006, 5, 20));
    to->setValue(QDate(2006, 5, 19));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), QStringList { kNoChanges });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("抱歉"));
    QCOMPARE(grid->model()->rowCount(), 0);
}

void tst_records::statusByNumber()
{
    addChange(QStringLiteral("2006002"), 2, QStringLiteral("2006-5-9"));
    addChange(QStringLiteral("2006001"), 1, QStringLiteral("2006-5-19"));
    addChange(QStringLiteral("2006001"), 3, QStringLiteral("2006-5-8"));
    platform::Form* w = open(QStringLiteral("frmXjgl"));
    auto* from = c<store::DatePicker>(w, "dpkFd");
    choose(w, "optDate");
    from->setValue(QDate(2006, 1, 1));
    choose(w, "optXh");
    QCOMPARE(from->value(), QDate::currentDate());
    QVERIFY(!from->isEnabled() && !enabled(w, "dpkTd"));
    QVERIFY(!locked(w, "txtXh") && focused(w, "txtXh"));

    type(w, "txtXh", QStringLiteral(" 2006001  "));
    press(w, "cmdFind");
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(rs(w, "rs_Xueji")->recordSource(),
        QStringLiteral("select * from 学籍变更信息表 as a join 学籍变更代码表 as b on a.变更代码=b.代码 where "
                       "学号='2006001'order by a.学号"));
    auto* grid = c<store::DataGrid>(w, "dgdXj");
    QCOMPARE(grid->model()->rowCount(), 2);
    QStringList statuses { cell(grid, 0, QStringLiteral("全称")), cell(grid, 1, QStringLiteral("全称")) };
    statuses.sort();
    QCOMPARE(statuses, (QStringList { "在读", "复学" }));

    for (const QString& number : { QStringLiteral("2006009"), QStringLiteral("' or '1'='1") }) {
        MsgBox::clear();
        type(w, "txtXh", number);
        press(w, "cmdFind");
        QCOMPARE(Gui::boxTexts(), QStringList { kNoChanges });
        QCOMPARE(text(w, "txtXh"), QString());
        QVERIFY(focused(w, "txtXh"));
        QCOMPARE(grid->model()->rowCount(), 0);
    }
    // Back to dates: the number box empties and takes no typing.
    choose(w, "optDate");
    QVERIFY(locked(w, "txtXh") && from->isEnabled());
}

void tst_records::statusFullNameIsReadOnly()
{
    addChange(QStringLiteral("2006001"), 2, QStringLiteral("2006-5-9"));
    platform::Form* w = open(QStringLiteral("frmXjgl"));
    auto* grid = c<store::DataGrid>(w, "dgdXj");
    auto* source = grid->dataSource();
    QVERIFY(grid->allowUpdate());
    const QModelIndex name = grid->model()->index(0, source->fieldIndex(QStringLiteral("全称")));
    QVERIFY(!(grid->model()->flags(name) & Qt::ItemIsEditable));
    QVERIFY(!grid->model()->setData(name, QStringLiteral("改名"), Qt::EditRole));
    press(w, "cmdFind");
    w->close();
    Gui::settle();
    QCOMPARE(TestDb::value(QStringLiteral("select 全称 from 学籍变更代码表 where 代码=2")).toString(), QStringLiteral("休学"));
}

void tst_records::statusEditWithoutTheServer()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    addChange(QStringLiteral("2006001"), 2, QStringLiteral("2006-5-9"));
    addChange(QStringLiteral("2006002"), 1, QStringLiteral("2006-5-10"));
    PgProxy proxy(TestDb::pgSocketFile());
    auto restore = throughProxy(proxy);
    platform::Form* w = open(QStringLiteral("frmXjgl"));
    auto* grid = c<store::DataGrid>(w, "dgdXj");
    auto editNumber = [&](const QString& number) {
        const QModelIndex at = grid->model()->index(0, grid->dataSource()->fieldIndex(QStringLiteral("学号")));
        QVERIFY(grid->model()->setData(at, number, Qt::EditRole));
    };
    auto search = [&](const QString& number) {
        type(w, "txtXh", number);
        press(w, "cmdFind");
    };
    auto stored = [](const QString& number) { return TestDb::count(QStringLiteral("学籍变更信息表 where 学号='%1'").arg(number)); };
    choose(w, "optXh");

    // The server restarts with an edit pending: the search writes it, then finds it.
    editNumber(QStringLiteral("2006009"));
    proxy.cutAll();
    search(QStringLiteral("2006009"));
    QVERIFY2(Gui::boxes().isEmpty(), qPrintable(Gui::boxTexts().join('|')));
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(stored(QStringLiteral("2006009")), 1);

    // The server is down: the edit cannot be written, and that is told once (the search is not
    // tried, which would only tell it again); nothing is written.
    editNumber(QStringLiteral("2006008"));
    proxy.refuse(true);
    proxy.cutAll();
    search(QStringLiteral("2006008"));
    QVERIFY2(Gui::boxes().size() == 1, qPrintable(Gui::boxTexts().join('|')));
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("与数据库服务器的连接已断开")), qPrintable(Gui::boxTexts().last()));
    QCOMPARE(stored(QStringLiteral("2006008")), 0);

    // Back again: the next search works.
    proxy.refuse(false);
    search(QStringLiteral("2006009"));
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(grid->model()->rowCount(), 1);

    // The reply to the written edit is lost: its outcome is told unknown, and it is written once.
    editNumber(QStringLiteral("2006007"));
    proxy.loseReplyTo("UPDATE 学籍变更信息表");
    search(QStringLiteral("2006007"));
    QVERIFY2(Gui::boxes().size() == 2, qPrintable(Gui::boxTexts().join('|')));
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("保存时与数据库服务器的连接断开了")), qPrintable(Gui::boxTexts().last()));
    search(QStringLiteral("2006007"));
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(stored(QStringLiteral("2006007")), 1);
    QCOMPARE(TestDb::count(QStringLiteral("学籍变更信息表")), 2);
}

void tst_records::statusEditTypedIsHandedOver()
{
    addChange(QStringLiteral("2006001"), 2, QStringLiteral("2006-5-9"));
    addChange(QStringLiteral("2006002"), 1, QStringLiteral("2006-5-10"));
    auto stored = [](const char* number) { return rows(QStringLiteral("学籍变更信息表 where 学号='%1'").arg(QLatin1String(number))); };
    platform::Form* w = open(QStringLiteral("frmXjgl"));
    auto* grid = c<store::DataGrid>(w, "dgdXj");
    choose(w, "optXh");
    type(w, "txtXh", QStringLiteral("W5"));

    // A number still being typed in its cell when 查询 is pressed by its access key is written
    // first, and the search finds it.
    typeInCell(grid, 0, QStringLiteral("学号"), QStringLiteral("W5"));
    accessKey(w, Qt::Key_F);
    QVERIFY2(Gui::boxes().isEmpty(), qPrintable(Gui::boxTexts().join('|')));
    QCOMPARE(stored("W5"), 1);
    QCOMPARE(grid->model()->rowCount(), 1);

    // So is one still being typed when the window is closed by its close box.
    typeInCell(grid, 0, QStringLiteral("学号"), QStringLiteral("W6"));
    w->close();
    Gui::settle();
    QCOMPARE(stored("W6"), 1);
    QCOMPARE(stored("W5"), 0);
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

// Waits for keyed record sets over joins in the store: the grid writes the first table's row.
void tst_records::statusGridEditWritesOnlyTheChangeRow()
{
    addChange(QStringLiteral("2006001"), 2, QStringLiteral("2006-5-9"));
    addChange(QStringLiteral("2006002"), 2, QStringLiteral("2006-5-9"));
    addChange(QStringLiteral("2006003"), 1, QStringLiteral("2006-5-10"));
    const QStringList before = storedRows(QStringLiteral("学籍变更信息表"));
    const auto codesBefore = TestDb::admin().select(QStringLiteral("select * from 学籍变更代码表 order by 代码")).rows;
    platform::Form* w = open(QStringLiteral("frmXjgl"));
    auto* grid = c<store::DataGrid>(w, "dgdXj");
    auto* source = grid->dataSource();
    auto at = [&](int row, const char* field) { return grid->model()->index(row, source->fieldIndex(QString::fromUtf8(field))); };

    QVERIFY(grid->model()->flags(at(0, "学号")) & Qt::ItemIsEditable);
    QVERIFY(grid->model()->setData(at(0, "学号"), QStringLiteral("2006009"), Qt::EditRole));
    QVERIFY(grid->model()->setData(at(0, "记录时间"), QStringLiteral("2006-6-1"), Qt::EditRole));
    clickRow(grid, 1); // leaving the row writes it
    QVERIFY2(Gui::boxes().isEmpty(), qPrintable(Gui::boxTexts().join('\n')));
    QStringList after = storedRows(QStringLiteral("学籍变更信息表"));
    QCOMPARE(after.size(), 3);
    QCOMPARE(after.mid(1), before.mid(1));
    QCOMPARE(TestDb::value(QStringLiteral("select 学号 from 学籍变更信息表 where 变更代码=2 and 记录时间=")
                 + store::Sql::literal(QDate(2006, 6, 1), store::ColumnType::Date))
                 .toString(),
        QStringLiteral("2006009"));
    QCOMPARE(TestDb::admin().select(QStringLiteral("select * from 学籍变更代码表 order by 代码")).rows, codesBefore);

    // A row another user changed meanwhile is not written over; the search goes on.
    auto other = TestDb::openAnother();
    other->execute(QStringLiteral("update 学籍变更信息表 set 学号='2006007' where 学号='2006002'"));
    QVERIFY(grid->model()->setData(at(1, "学号"), QStringLiteral("2006008"), Qt::EditRole));
    press(w, "cmdFind");
    choose(w, "optXh");
    type(w, "txtXh", QStringLiteral("2006007"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(rows(QStringLiteral("学籍变更信息表 where 学号='2006008'")), 0);
}

// ---- user-defined query -------------------------------------------------------------------

void tst_records::queryWindowOpens()
{
    platform::Form* w = open(QStringLiteral("frmyzj"));
    QCOMPARE(w->windowTitle(), QStringLiteral("用户自定义查询窗口"));
    QCOMPARE(c<QGroupBox>(w, "famYzj")->title(), QStringLiteral("高级检索"));
    QCOMPARE(c<QLabel>(w, "lblBn")->text(), QStringLiteral("请选择检索用表:"));
    QCOMPARE(c<QLabel>(w, "lblLn")->text(), QStringLiteral("该表所具有的字段:"));
    QCOMPARE(c<QLabel>(w, "lbltiaojan")->text(), QStringLiteral("查询关键字:"));
    QCOMPARE(c<QLabel>(w, "lblTj")->text(), QStringLiteral("查询条件:"));
    QCOMPARE(c<QPushButton>(w, "cmdCx")->text(), QStringLiteral("检索(&F)"));
    QCOMPARE(c<QPushButton>(w, "cmdExit")->text(), QStringLiteral("离开(&E)"));

    // The first table of 全表名 as stored (not the first by name), with its own fields; nothing
    // chosen.
    auto* tables = c<store::DataCombo>(w, "dcbBm");
    QCOMPARE(tables->count(), 11);
    QCOMPARE(tables->text(), QStringLiteral("学生个人信息表"));
    const auto first = TestDb::admin().select(QStringLiteral("select * from %1 where 1=0").arg(tables->text()));
    auto* fields = c<QComboBox>(w, "cbLn");
    QVERIFY(!fields->isEditable());
    QCOMPARE(fields->count(), first.fields.size());
    QCOMPARE(fields->currentIndex(), -1);
    auto* comparisons = c<QComboBox>(w, "cbKey");
    QVERIFY(!comparisons->isEditable());
    QCOMPARE(comparisons->count(), 4);
    QCOMPARE((QStringList { comparisons->itemText(0), comparisons->itemText(1), comparisons->itemText(2), comparisons->itemText(3) }),
        (QStringList { "like", "<", ">", "=" }));
    QCOMPARE(comparisons->currentIndex(), -1);
    QCOMPARE(text(w, "txtTj"), QString());

    // A click in the list lists the fields of the table it shows.
    tables->setText(QStringLiteral("学生成绩表"));
    QCOMPARE(fields->count(), 0); // typed: not listed until clicked
    QTest::mouseClick(tables->lineEdit(), Qt::LeftButton);
    QCOMPARE(rs(w, "rs_Lm")->recordSource(), QStringLiteral("select * from 学生成绩表"));
    QStringList names;
    for (int i = 0; i < fields->count(); ++i)
        names << fields->itemText(i);
    QCOMPARE(names, (QStringList { "编号", "学号", "课程名", "课程号", "成绩", "学分", "院系号", "班级号", "考试时间" }));
    QCOMPARE(fields->currentIndex(), -1);
    QVERIFY(Gui::boxes().isEmpty());

    press(w, "cmdExit");
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_records::queryStatementRules()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    TestDb::addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    TestDb::addStudent(QStringLiteral("2006003"), QStringLiteral("张大三"));
    const QString people = QStringLiteral("学生个人信息表");
    platform::Form* w = open(QStringLiteral("frmyzj"));

    struct Rule {
        const char* field;
        const char* comparison;
        const char* keyword;
        QString statement;
        int found;
    };
    const Rule rules[] = {
        { "", "", "任意", QStringLiteral("select * from 学生个人信息表"), 3 },
        { "姓名", "", " 张三 ", QStringLiteral("select * from 学生个人信息表 where 姓名='张三'"), 1 },
        { "姓名", "like", "三",
            sqlite() ? QStringLiteral("select * from 学生个人信息表 where instr(姓名, '三') > 0")
                     : QStringLiteral("select * from 学生个人信息表 where 姓名 like '%三%'"),
            2 },
        { "学号", "<", "2006002", QStringLiteral("select * from 学生个人信息表 where 学号 < '2006002'"), 1 },
        { "学号", ">", "2006002", QStringLiteral("select * from 学生个人信息表 where 学号 > '2006002'"), 1 },
        { "学号", "=", "2006002", QStringLiteral("select * from 学生个人信息表 where 学号 = '2006002'"), 1 },
        { "姓名", "", "   ", QStringLiteral("select * from 学生个人信息表 where 姓名=''"), 0 },
        { "姓名", "", "' or '1'='1", QStringLiteral("select * from 学生个人信息表 where 姓名=''' or ''1''=''1'"), 0 },
    };
    for (const Rule& rule : rules) {
        platform::Form* results = runQuery(w, people, QString::fromUtf8(rule.field), QString::fromUtf8(rule.comparison),
            QString::fromUtf8(rule.keyword));
        QVERIFY2(results, rule.keyword);
        QVERIFY2(Gui::boxes().isEmpty(), qPrintable(Gui::boxTexts().join('\n')));
        QCOMPARE(BasVal::QueryStatement, rule.statement);
        QCOMPARE(rs(results, "rs_Zdc")->recordSource(), rule.statement);
        QCOMPARE(c<store::DataGrid>(results, "DataGrid1")->model()->rowCount(), rule.found);
        QVERIFY(results->isVisible() && !w->isVisible());
        QCOMPARE(results->windowTitle(), QStringLiteral("用户自定义查询结果窗口"));
        closeResults(results);
        // Back in the query window: the keyword and the field are empty, the statement too.
        QVERIFY(w->isVisible());
        QCOMPARE(text(w, "txtTj"), QString());
        QCOMPARE(c<QComboBox>(w, "cbLn")->currentIndex(), -1);
        QVERIFY(c<QComboBox>(w, "cbLn")->count() > 0);
        QCOMPARE(BasVal::QueryStatement, QString());
        QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmyzj") });
    }
}

void tst_records::queryRefusalsKeepTheQueryWindow()
{
    addQueryScores();
    platform::Form* w = open(QStringLiteral("frmyzj"));
    const QString scores = QStringLiteral("学生成绩表");

    // No keyword: asked for, and nothing else changes.
    chooseQuery(w, scores, QStringLiteral("成绩"), QStringLiteral("<"), QString());
    press(w, "cmdCx");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("请输入查询条件!") });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("注意"));
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
    QVERIFY(focused(w, "txtTj"));
    QCOMPARE(c<QComboBox>(w, "cbLn")->currentText(), QStringLiteral("成绩"));

    struct Refused {
        QString table, field, comparison, keyword, message;
    };
    const Refused refused[] = {
        { scores, {}, QStringLiteral("like"), QStringLiteral("x"), QStringLiteral("已选择查询关键字,请先选择要检索的字段!") },
        { scores, QStringLiteral("成绩"), QStringLiteral("<"), QStringLiteral("abc"), QStringLiteral("“成绩”字段只能与数字比较,请输入数字!") },
        { scores, QStringLiteral("考试时间"), QStringLiteral(">"), QStringLiteral("2006"),
            QStringLiteral("“考试时间”字段只能与日期比较,请输入日期,如2006-5-19!") },
        { QStringLiteral("学生成绩表 where 1=1"), {}, {}, QStringLiteral("x"), QStringLiteral("请在列表中选择检索用表!") },
    };
    for (const Refused& each : refused) {
        MsgBox::clear();
        chooseQuery(w, each.table, each.field, each.comparison, each.keyword);
        MsgBox::clear(); // a typed table is told when clicked; the search tells it again
        press(w, "cmdCx");
        QCOMPARE(Gui::boxTexts(), QStringList { each.message });
        QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
        QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::None);
        QCOMPARE(text(w, "txtTj"), QString());
        QVERIFY(focused(w, "txtTj"));
        QVERIFY(w->isVisible());
        QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmyzj") });
    }

    // A table of the list that the server does not have: told when listed and when searched.
    TestDb::exec(QStringLiteral("insert into 全表名 (表名) values ('不存在的表')"));
    platform::Forms::discardAll();
    Gui::settle();
    w = open(QStringLiteral("frmyzj"));
    MsgBox::clear();
    chooseQuery(w, QStringLiteral("不存在的表"), {}, {}, QStringLiteral("x"));
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(c<QComboBox>(w, "cbLn")->count(), 0);
    press(w, "cmdCx");
    QCOMPARE(Gui::boxes().size(), 2);
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
    QCOMPARE(text(w, "txtTj"), QString());
    QVERIFY(w->isVisible());
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmyzj") });

    // The window goes on: a search that works.
    MsgBox::clear();
    platform::Form* results = runQuery(w, scores, QStringLiteral("成绩"), QStringLiteral(">"), QStringLiteral("85"));
    QVERIFY(results);
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(c<store::DataGrid>(results, "DataGrid1")->model()->rowCount(), 2);
}

void tst_records::queryNeverReadsTheStaffAccounts()
{
    TestDb::exec(QStringLiteral("insert into 全表名 (表名) values ('管理员身份认证表')"));
    platform::Form* w = open(QStringLiteral("frmyzj"));
    auto* tables = c<store::DataCombo>(w, "dcbBm");
    QCOMPARE(tables->count(), 11);
    for (int i = 0; i < tables->count(); ++i)
        QVERIFY(tables->itemText(i) != QStringLiteral("管理员身份认证表"));

    // Typed, it is neither listed nor searched.
    chooseQuery(w, QStringLiteral("管理员身份认证表"), {}, {}, QStringLiteral("admin"));
    QCOMPARE(c<QComboBox>(w, "cbLn")->count(), 0);
    QCOMPARE(rs(w, "rs_Lm")->recordSource().contains(QStringLiteral("管理员")), false);
    press(w, "cmdCx");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("请在列表中选择检索用表!"));
    QCOMPARE(BasVal::QueryStatement, QString());
    QVERIFY(!Gui::form(QStringLiteral("frmZcj")));
}

void tst_records::queryResultsBrowsePastBothEnds()
{
    addQueryScores();
    platform::Form* w = open(QStringLiteral("frmyzj"));
    platform::Form* results = runQuery(w, QStringLiteral("学生成绩表"), QStringLiteral("成绩"), QStringLiteral(">"), QStringLiteral("50"));
    QVERIFY(results);
    auto* grid = c<store::DataGrid>(results, "DataGrid1");
    auto* source = rs(results, "rs_Zdc");
    QCOMPARE(grid->model()->rowCount(), 4);
    QCOMPARE(c<QGroupBox>(results, "famInf")->title(), QStringLiteral("自定义查询结果"));
    QCOMPARE(c<QGroupBox>(results, "famLl")->title(), QStringLiteral("信息浏览"));
    // For reading only.
    QVERIFY(!grid->allowUpdate());
    QVERIFY(!(grid->model()->flags(grid->model()->index(0, 2)) & Qt::ItemIsEditable));
    QCOMPARE(shownCaptions(grid).size(), 9);

    press(results, "cmdLast");
    QCOMPARE(source->currentRow(), 3);
    QCOMPARE(grid->currentIndex().row(), 3);
    press(results, "cmdNext");
    QCOMPARE(source->currentRow(), 3);
    press(results, "cmdPreive");
    QCOMPARE(source->currentRow(), 2);
    press(results, "cmdFirst");
    QCOMPARE(source->currentRow(), 0);
    press(results, "cmdPreive");
    QCOMPARE(source->currentRow(), 0);
    QCOMPARE(grid->currentIndex().row(), 0);
    press(results, "cmdNext");
    QCOMPARE(source->currentRow(), 1);
    QVERIFY(Gui::boxes().isEmpty());
    closeResults(results);

    // An empty result: every button says so.
    results = runQuery(w, QStringLiteral("学生成绩表"), QStringLiteral("成绩"), QStringLiteral(">"), QStringLiteral("1000"));
    QVERIFY(results);
    QCOMPARE(c<store::DataGrid>(results, "DataGrid1")->model()->rowCount(), 0);
    for (const char* button : { "cmdFirst", "cmdPreive", "cmdNext", "cmdLast" })
        press(results, button);
    QCOMPARE(Gui::boxTexts(), QStringList(4, kNothingToBrowse));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("提示"));
    closeResults(results);
    press(w, "cmdExit");
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

// ---- the main window ----------------------------------------------------------------------

void tst_records::mainWindowOpensEveryWindow()
{
    addRecord(QStringLiteral("奖励记录信息表"), QStringLiteral("2006001"), 1, QStringLiteral("2006-5-9"), QStringLiteral("a"));
    addRecord(QStringLiteral("处罚等级记录表"), QStringLiteral("2006001"), 1, QStringLiteral("2006-5-9"), QStringLiteral("a"));
    BasVal::UserStyle = QStringLiteral("一般用户");
    const QList<QPair<QString, QString>> items { { "jfj", "frmaward" }, { "jff", "frmchufa" }, { "xjgl", "frmXjgl" }, { "tbrOpe6", "frmyzj" } };
    for (const auto& [item, window] : items) {
        platform::Form* main = open(QStringLiteral("frmmain"));
        QAction* action = main->findChild<QAction*>(item);
        QVERIFY2(action && action->isEnabled(), qPrintable(item));
        action->trigger();
        Gui::settle();
        QCOMPARE(Gui::loadedWindows(), QStringList { window });
        platform::Form* opened = Gui::form(window);
        Gui::activate(opened);
        opened->close();
        Gui::settle();
        QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
        platform::Forms::discardAll();
        Gui::settle();
    }
    QVERIFY(Gui::boxes().isEmpty());
}

void tst_records::screens()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    for (const char* table : { "奖励记录信息表", "处罚等级记录表" }) {
        addRecord(QString::fromUtf8(table), QStringLiteral("2006001"), 1, QStringLiteral("2006-5-9"), QStringLiteral("学年评优"));
        addRecord(QString::fromUtf8(table), QStringLiteral("2006002"), 2, QStringLiteral("2006-5-19"), awkward());
    }
    addChange(QStringLiteral("2006001"), 1, QStringLiteral("2006-9-1"));
    addChange(QStringLiteral("2006002"), 2, QStringLiteral("2007-3-1"));
    for (const char* window : { "frmaward", "frmchufa", "frmXjgl" }) {
        platform::Form* w = open(QString::fromUtf8(window));
        Gui::snapshot(w, QString::fromUtf8(window));
        if (QByteArray(window) == "frmaward") {
            press(w, "cmdAdd");
            Gui::snapshot(w, QStringLiteral("frmaward-add"));
        }
        platform::Forms::discardAll();
        Gui::settle();
    }
    platform::Form* w = open(QStringLiteral("frmyzj"));
    Gui::snapshot(w, QStringLiteral("frmyzj"));
    platform::Form* results = runQuery(w, QStringLiteral("奖励记录信息表"), {}, {}, QStringLiteral("x"));
    Gui::snapshot(results, QStringLiteral("frmZcj"));
}

QTEST_MAIN(tst_records)
#include "tst_records.moc"
