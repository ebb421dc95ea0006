#include "support/Controls.h"
#include "support/Gui.h"
#include "support/PgProxy.h"
#include "support/TestDb.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "scores/frmchenggl.h"
#include "store/DataControl.h"
#include "store/RecordModel.h"
#include "store/Sql.h"
#include "store/ui/DataCombo.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>
#include <QToolBar>

using platform::MsgBox;
using Answer = platform::MsgBox::Answer;
using store::Sql::quote;
using namespace Controls;

namespace {

const QString kNotFound = QStringLiteral("没有有效记录!");
const QString kNothingToBrowse = QStringLiteral("当前没有有效记录供浏览!");
const QString kNotSaved = QStringLiteral("此操作不支持保存功能!");
const QString kNoSummary = QStringLiteral("抱歉没有有效记录!");

// Class codes as `orlenta-db init` numbers them: two classes a year, 2003 to 2006, per department.
constexpr int kComputing = 1;      // 计算机科学与技术学院
constexpr int kMaths = 2;          // 数学与统计学院
constexpr int kComputing2003a = 1; // 计算机2003级1班
constexpr int kComputing2003b = 2; // 计算机2003级2班
constexpr int kMaths2003a = 9;     // 数学2003级1班

void addCourse(const QString& number, const QString& name, int hours, double credits)
{
    TestDb::exec(QStringLiteral("insert into 学生课程表 (课程号, 课程名, 学时, 学分) values (%1, %2, %3, %4)")
                     .arg(quote(number), quote(name))
                     .arg(hours)
                     .arg(credits));
}

void addScore(const QString& number, const QString& course, double score, const QDate& date, int department = kComputing,
    int classCode = kComputing2003a, int credits = 3)
{
    TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 课程号, 成绩, 学分, 院系号, 班级号, 考试时间) "
                                "values (%1, %2, 'C000', %3, %4, %5, %6, %7)")
                     .arg(quote(number), quote(course))
                     .arg(score)
                     .arg(credits)
                     .arg(department)
                     .arg(classCode)
                     .arg(quote(date.toString(QStringLiteral("yyyy-MM-dd")))));
}

int scoreRows(const QString& condition = QString())
{
    return TestDb::count(condition.isEmpty() ? QStringLiteral("学生成绩表") : QStringLiteral("学生成绩表 where ") + condition);
}

// The texts a grid shows in one field, row by row.
QStringList column(store::DataControl* data, const QString& field)
{
    QStringList out;
    const int at = data->fieldIndex(field);
    for (int row = 0; row < data->model()->rowCount(); ++row)
        out << data->model()->data(data->model()->index(row, at), Qt::DisplayRole).toString();
    return out;
}

// The rows a grid shows, each as its shown texts joined by "|".
QStringList gridRows(store::DataControl* data)
{
    QStringList out;
    for (int row = 0; row < data->model()->rowCount(); ++row) {
        QStringList cells;
        for (int col = 0; col < data->fieldCount(); ++col)
            cells << data->model()->data(data->model()->index(row, col), Qt::DisplayRole).toString();
        out << cells.join('|');
    }
    return out;
}

bool editCell(store::DataControl* data, int row, const QString& field, const QVariant& value)
{
    return data->model()->setData(data->model()->index(row, data->fieldIndex(field)), value, Qt::EditRole);
}

bool editable(store::DataControl* data, const QString& field)
{
    return data->model()->flags(data->model()->index(0, data->fieldIndex(field))) & Qt::ItemIsEditable;
}

// A student of the computing department with three scores, and one of maths with one.
void scoreFixture()
{
    TestDb::addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), kMaths, kMaths2003a);
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    TestDb::addStudent(QStringLiteral("2006003"), QStringLiteral("王五"), kComputing, kComputing2003b);
    addScore(QStringLiteral("2006002"), QStringLiteral("高等数学"), 66, QDate(2006, 6, 20), kMaths, kMaths2003a);
    addScore(QStringLiteral("2006001"), QStringLiteral("高等数学"), 85.5, QDate(2006, 6, 20));
    addScore(QStringLiteral("2006001"), QStringLiteral("线性代数"), 69.5, QDate(2007, 1, 12));
    addScore(QStringLiteral("2006003"), QStringLiteral("高等数学"), 90, QDate(2006, 6, 21), kComputing, kComputing2003b);
    addCourse(QStringLiteral("C012"), QStringLiteral("软件工程"), 48, 2.5);
    addCourse(QStringLiteral("C005"), QStringLiteral("大学物理"), 64, 3.5);
    addCourse(QStringLiteral("C001"), QStringLiteral("高等数学"), 96, 5);
}

// Scores of a student as "课程名 成绩 学分 院系号 班级号 考试时间 课程号", in row number order.
QStringList storedScores(const QString& number)
{
    QStringList out;
    const auto rows = TestDb::admin().select(
        QStringLiteral("select 课程名, 成绩, 学分, 院系号, 班级号, 考试时间, 课程号 from 学生成绩表 where 学号=") + quote(number)
        + QStringLiteral(" order by 编号"));
    for (const auto& row : rows.rows) {
        QStringList cells;
        for (const QVariant& v : row)
            cells << (v.typeId() == QMetaType::QDate ? store::Sql::dateText(v.toDate()) : v.toString());
        out << cells.join(' ');
    }
    return out;
}

// The score window, with a score being added: the course, the score and the date filled in.
void fillScore(QWidget* w, const QString& course, const QString& score, const QDate& date)
{
    press(w, "cmdAdd");
    pick(w, "dcbKm", course);
    type(w, "txtCheng", score);
    c<store::DatePicker>(w, "dpkKd")->setValue(date);
}

struct ButtonState {
    bool add, del, edit, save, cancel;
    bool operator==(const ButtonState&) const = default;
};
ButtonState buttons(QWidget* w)
{
    return { enabled(w, "cmdAdd"), enabled(w, "cmdDelet"), enabled(w, "cmdEdit"), enabled(w, "cmdUpgrate"),
        enabled(w, "cmdClear") };
}
constexpr ButtonState kBrowsing { true, true, true, false, false };
constexpr ButtonState kNothingFound { false, false, false, false, false };
constexpr ButtonState kAdding { false, false, false, true, true };
constexpr ButtonState kEditing { false, false, true, true, false };

} // namespace

namespace QTest {
template <>
char* toString(const ButtonState& s)
{
    return qstrdup(QStringLiteral("添加 %1 删除 %2 编辑 %3 保存 %4 取消 %5")
                       .arg(s.add)
                       .arg(s.del)
                       .arg(s.edit)
                       .arg(s.save)
                       .arg(s.cancel)
                       .toUtf8()
                       .constData());
}
} // namespace QTest

class tst_scores : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }

    void mainWindowOffersTheScoreWindows();
    void scoreWindowOpensOnTheFirstScoreRow();
    void emptyScoreTableStopsTheActivation();
    void searchByNumber();
    void searchByName();
    void searchByDepartmentAndClass();
    void placeholderRowsFoundByStudentOnly();
    void quotesInSearchesAreText();
    void browsingStopsAtBothEnds();
    void addCopiesTheCourseAndTheStudentsCodes();
    void gridClickChangesTheStudentOfAnAdd();
    void badScoreTakesTheFailurePath_data();
    void badScoreTakesTheFailurePath();
    void addForAnUnknownStudentOrCourseWritesNothing();
    void cancelDropsTheNewRow();
    void searchWhileAddingAbandonsTheAdd();
    void datesAcrossTheCenturies();
    void editChangesOnlyScoreAndDate();
    void editThroughTheCellEditors();
    void searchWritesAScoreStillBeingTyped();
    void deleteAsksFirst();
    void serverRestartAndOutage();

    void courseWindowStates();
    void courseWindowRefusalsKeepTheRowPending();
    void courseWindowWithoutTheServer();
    void scoreGridAfterAnOutage();
    void courseChangesAndTheScoreWindow();

    void summaryOpensWithOneRowPerStudentAndClass();
    void summaryStatementsAsWritten();
    void summaryByStudentClassAndBoth();
    void summaryNumbersReadAlikeOnBothEngines();
    void summaryDatesAndResets();
    void summaryWithoutTheServer();
    void summaryFindsNothing();
    void summaryOfManyStudentsCountedBesideTheWindow();

    void screens();
};

// ---- main window --------------------------------------------------------------------------

void tst_scores::mainWindowOffersTheScoreWindows()
{
    platform::Form* main = platform::Forms::show(QStringLiteral("frmmain"));
    QVERIFY(main->findChild<QAction*>(QStringLiteral("chegl"))->isEnabled());
    const QList<QAction*> tools = main->findChild<QToolBar*>(QStringLiteral("tbrOpe"))->actions();
    for (int index : { 2, 3, 4 }) // 课程管理, 成绩分类汇总, 输入成绩
        QVERIFY2(tools.at(index)->isEnabled(), qPrintable(tools.at(index)->text()));

    // The menu item and toolbar button 5 open the same window and leave nothing else loaded.
    main->findChild<QAction*>(QStringLiteral("chegl"))->trigger();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmchenggl") });
    Gui::form(QStringLiteral("frmchenggl"))->close();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
    const QStringList opened { QStringLiteral("frmkgl"), QStringLiteral("frmchz"), QStringLiteral("frmchenggl") };
    for (int i = 0; i < 3; ++i) {
        Gui::form(QStringLiteral("frmmain"))->findChild<QToolBar*>(QStringLiteral("tbrOpe"))->actions().at(2 + i)->trigger();
        Gui::settle();
        QCOMPARE(Gui::loadedWindows(), QStringList { opened[i] });
        Gui::form(opened[i])->close();
        Gui::settle();
        QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
    }
    QVERIFY(Gui::boxes().isEmpty());
}

// ---- score window: search and browse ------------------------------------------------------

void tst_scores::scoreWindowOpensOnTheFirstScoreRow()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    QCOMPARE(w->windowTitle(), QStringLiteral("学生成绩管理窗体"));
    QCOMPARE(panel(w, 1), QStringLiteral("<>请注意:\"添加\"、\"编辑\"考试信息时,红色标注的地方为可输入处!"));
    QCOMPARE(panel(w, 2), QStringLiteral("当前共有有效记录:"));
    QCOMPARE(panel(w, 3), QStringLiteral("4"));
    QCOMPARE(panel(w, 4), QStringLiteral("条"));
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    QCOMPARE(c<QLabel>(w, "lblTs")->text(), QStringLiteral("<>以下为您查询的的结果"));
    QCOMPARE(c<QGroupBox>(w, "famCx")->title(), QStringLiteral("查询"));
    QCOMPARE(c<QGroupBox>(w, "schengjiFrame")->title(), QStringLiteral("学生成绩信息"));

    QVERIFY(c<QRadioButton>(w, "optXh")->isChecked());
    QVERIFY(focused(w, "txtXh"));
    QVERIFY(text(w, "txtXh").isEmpty() && !locked(w, "txtXh"));
    QVERIFY(locked(w, "txtXm") && locked(w, "txtXuehao"));
    QVERIFY(c<store::DataCombo>(w, "dcbBj")->isLocked() && c<store::DataCombo>(w, "dcbYx")->isLocked());
    QCOMPARE(buttons(w), kBrowsing);
    for (const char* input : { "dcbKm", "txtCheng", "dpkKd" })
        QVERIFY2(!enabled(w, input), input);
    QCOMPARE(c<store::DatePicker>(w, "dpkKd")->value(), QDate::currentDate());
    for (const char* label : { "lblXh", "lblKm", "lblCheng", "lblKd" })
        QCOMPARE(c<QLabel>(w, label)->palette().color(QPalette::WindowText), QColor(192, 0, 0));

    auto* grid = c<store::DataGrid>(w, "dgdChengji");
    QCOMPARE(shownCaptions(grid), (QStringList { "学号", "课程名", "成绩", "院系号", "班级号", "考试时间" }));
    QVERIFY(!grid->allowUpdate() && grid->isEnabled());
    QCOMPARE(column(rs(w, "rs_Kj"), QStringLiteral("学号")), (QStringList { "2006001", "2006001", "2006002", "2006003" }));
    QCOMPARE(column(rs(w, "rs_Kj"), QStringLiteral("成绩")), (QStringList { "85.5", "69.5", "66", "90" }));
    QCOMPARE(column(rs(w, "rs_Kj"), QStringLiteral("考试时间")), (QStringList { "2006-6-20", "2007-1-12", "2006-6-20", "2006-6-21" }));
    QVERIFY(Gui::boxes().isEmpty());

    w->close();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_scores::emptyScoreTableStopsTheActivation()
{
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    for (const char* option : { "optXh", "optXm", "optBj", "optXy" })
        QVERIFY(!c<QRadioButton>(w, option)->isChecked());
    QVERIFY(panel(w, 3).isEmpty());
    QVERIFY(text(w, "txtXuehao").isEmpty());
    QVERIFY(Gui::boxes().isEmpty());

    // "查询(&F)" with no criterion chosen finds nothing.
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("提示"));
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(buttons(w), kNothingFound);
    QVERIFY(focused(w, "txtXm"));
    press(w, "cmdNext");
    QCOMPARE(Gui::boxTexts().last(), kNothingToBrowse);
}

void tst_scores::searchByNumber()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    type(w, "txtXh", QStringLiteral("  2006003 "));
    press(w, "cmdFind");
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(column(rs(w, "rs_Kj"), QStringLiteral("学号")), QStringList { "2006003" });
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006003"));
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QCOMPARE(buttons(w), kBrowsing);

    // Part of a number is no number.
    type(w, "txtXh", QStringLiteral("200600"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
    QCOMPARE(buttons(w), kNothingFound);
    QVERIFY(text(w, "txtXh").isEmpty() && text(w, "txtXuehao").isEmpty());
    QVERIFY(focused(w, "txtXh"));
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(rs(w, "rs_Kj")->recordCount(), 0);

    // Found again: the management buttons come back.
    type(w, "txtXh", QStringLiteral("2006001"));
    press(w, "cmdFind");
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(buttons(w), kBrowsing);
}

void tst_scores::searchByName()
{
    scoreFixture();
    TestDb::addStudent(QStringLiteral("2006009"), QStringLiteral("赵六")); // no scores
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    choose(w, "optXm");
    QVERIFY(focused(w, "txtXm"));
    QVERIFY(!locked(w, "txtXm") && locked(w, "txtXh"));
    type(w, "txtXm", QStringLiteral(" 李四 "));
    press(w, "cmdFind");
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(column(rs(w, "rs_Kj"), QStringLiteral("学号")), QStringList { "2006002" });
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006002"));
    QCOMPARE(panel(w, 3), QStringLiteral("1"));

    // A student without scores: one message, an empty grid, the name box empty and focused.
    type(w, "txtXm", QStringLiteral("赵六"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });
    QCOMPARE(rs(w, "rs_Kj")->recordCount(), 0);
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QVERIFY(text(w, "txtXm").isEmpty() && text(w, "txtXuehao").isEmpty());
    QVERIFY(focused(w, "txtXm"));
    QCOMPARE(buttons(w), kNothingFound);

    // Part of a name finds nobody.
    type(w, "txtXm", QStringLiteral("李"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts().size(), 2);
    QCOMPARE(rs(w, "rs_Kj")->recordCount(), 0);
}

void tst_scores::searchByDepartmentAndClass()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    choose(w, "optXy");
    QVERIFY(!c<store::DataCombo>(w, "dcbYx")->isLocked() && c<store::DataCombo>(w, "dcbBj")->isLocked());
    QVERIFY(locked(w, "txtXh") && locked(w, "txtXm"));
    pick(w, "dcbYx", QStringLiteral(" 计算机科学与技术学院 "));
    press(w, "cmdFind");
    QVERIFY(Gui::boxes().isEmpty());
    // Both classes of the department.
    QCOMPARE(column(rs(w, "rs_Kj"), QStringLiteral("学号")), (QStringList { "2006001", "2006001", "2006003" }));
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    QCOMPARE(panel(w, 3), QStringLiteral("3"));
    QCOMPARE(rs(w, "rs_Yxd")->recordSource(), QStringLiteral("select * from 院系代码表"));
    QCOMPARE(rs(w, "rs_Yxd")->recordCount(), 12); // the list offers every department again

    choose(w, "optBj");
    pick(w, "dcbBj", QStringLiteral("计算机2003级2班"));
    press(w, "cmdFind");
    QCOMPARE(column(rs(w, "rs_Kj"), QStringLiteral("学号")), QStringList { "2006003" });
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006003"));
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QCOMPARE(rs(w, "rs_Bjd")->recordSource(), QStringLiteral("select * from 班级代码表"));
    QCOMPARE(buttons(w), kBrowsing);

    // A class without scores, and a name that is no class.
    pick(w, "dcbBj", QStringLiteral("计算机2004级1班"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });
    QCOMPARE(rs(w, "rs_Kj")->recordCount(), 0);
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(buttons(w), kNothingFound);
    QVERIFY(focused(w, "txtXm"));
    pick(w, "dcbBj", QStringLiteral("没有这个班"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts().size(), 2);
    // The list keeps the statement that found nothing until its option is chosen again.
    QCOMPARE(rs(w, "rs_Bjd")->recordCount(), 0);
    choose(w, "optXh");
    choose(w, "optBj");
    QVERIFY(rs(w, "rs_Bjd")->recordCount() > 0);
}

void tst_scores::placeholderRowsFoundByStudentOnly()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    TestDb::addPlaceholderScore(QStringLiteral("2006001"), QDate(2006, 9, 1));
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    type(w, "txtXh", QStringLiteral("2006001"));
    press(w, "cmdFind");
    QCOMPARE(gridRows(rs(w, "rs_Kj")).size(), 1);
    QCOMPARE(column(rs(w, "rs_Kj"), QStringLiteral("课程名")), QStringList { "0" });
    QCOMPARE(column(rs(w, "rs_Kj"), QStringLiteral("院系号")), QStringList { "" });
    choose(w, "optXm");
    type(w, "txtXm", QStringLiteral("张三"));
    press(w, "cmdFind");
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QVERIFY(Gui::boxes().isEmpty());

    choose(w, "optXy");
    pick(w, "dcbYx", QStringLiteral("计算机科学与技术学院"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });
    choose(w, "optBj");
    pick(w, "dcbBj", QStringLiteral("计算机2003级1班"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), (QStringList { kNotFound, kNotFound }));
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
}

void tst_scores::quotesInSearchesAreText()
{
    scoreFixture();
    TestDb::addStudent(QStringLiteral("2006'7"), QStringLiteral("O'Neil"));
    addScore(QStringLiteral("2006'7"), QStringLiteral("高等数学"), 70, QDate(2006, 6, 20));
    platform::Form* w = open(QStringLiteral("frmchenggl"));

    // A quote is a character like any other: it finds the row that has it, or nothing.
    type(w, "txtXh", QStringLiteral("2006'7"));
    press(w, "cmdFind");
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006'7"));
    type(w, "txtXh", QStringLiteral("2006001' or '1'='1"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });

    choose(w, "optXm");
    type(w, "txtXm", QStringLiteral("O'Neil"));
    press(w, "cmdFind");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006'7"));
    type(w, "txtXm", QStringLiteral("x' or 姓名 like '%"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), (QStringList { kNotFound, kNotFound }));

    choose(w, "optBj");
    pick(w, "dcbBj", QStringLiteral("计算机2003级1班' or '1'='1"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), (QStringList { kNotFound, kNotFound, kNotFound }));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("提示"));
    QCOMPARE(rs(w, "rs_Kj")->recordCount(), 0);
}

void tst_scores::browsingStopsAtBothEnds()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    store::DataControl* scores = rs(w, "rs_Kj");
    auto* grid = c<store::DataGrid>(w, "dgdChengji");
    press(w, "cmdPreive");
    QCOMPARE(scores->currentRow(), 0);
    press(w, "cmdNext");
    press(w, "cmdNext");
    QCOMPARE(scores->currentRow(), 2);
    QCOMPARE(grid->currentIndex().row(), 2);
    press(w, "cmdLast");
    QCOMPARE(scores->currentRow(), 3);
    press(w, "cmdNext");
    QCOMPARE(scores->currentRow(), 3);
    QVERIFY(!scores->eof());
    press(w, "cmdFirst");
    QCOMPARE(scores->currentRow(), 0);
    QVERIFY(Gui::boxes().isEmpty());
    // Browsing leaves the student of an add as it was; a click in the grid changes it.
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    press(w, "cmdLast");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    clickRow(grid, 2);
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006002"));

    type(w, "txtXh", QStringLiteral("none"));
    press(w, "cmdFind");
    for (const char* b : { "cmdFirst", "cmdPreive", "cmdNext", "cmdLast" }) {
        press(w, b);
        QCOMPARE(Gui::boxTexts().last(), kNothingToBrowse);
    }
    QCOMPARE(Gui::boxTexts().size(), 5);
    // A click in an empty grid: nothing happens, nothing is said.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    Gui::settle();
    QCOMPARE(Gui::boxTexts().size(), 5);
    QVERIFY(text(w, "txtXuehao").isEmpty());
}

// ---- score window: editing ----------------------------------------------------------------

void tst_scores::addCopiesTheCourseAndTheStudentsCodes()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    // Activation put the first student in 学号 order into the input area.
    press(w, "cmdAdd");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("现在可以为该生添加记录!") });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("提示"));
    QCOMPARE(buttons(w), kAdding);
    for (const char* input : { "dcbKm", "txtCheng", "dpkKd" })
        QVERIFY2(enabled(w, input), input);
    QVERIFY(focused(w, "txtCheng"));
    QCOMPARE(rs(w, "rs_Km")->recordSource(), QStringLiteral("select * from 学生课程表 "));
    QCOMPARE(rs(w, "rs_Km")->recordCount(), 3);
    QCOMPARE(rs(w, "rs_Kj")->editMode(), store::DataControl::EditMode::Add);
    QCOMPARE(rs(w, "rs_Kj")->recordCount(), 5); // the empty new row shows in the grid

    // Blanks around the course name: looked up trimmed, stored as shown.
    pick(w, "dcbKm", QStringLiteral(" 软件工程 "));
    type(w, "txtCheng", QStringLiteral(" 77.5 "));
    c<store::DatePicker>(w, "dpkKd")->setValue(QDate(2007, 6, 25));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("保存"));
    QCOMPARE(panel(w, 3), QStringLiteral("5"));
    QCOMPARE(buttons(w), kBrowsing);
    QVERIFY(focused(w, "cmdAdd"));
    for (const char* input : { "dcbKm", "txtCheng", "dpkKd" })
        QVERIFY2(!enabled(w, input), input);

    // 2.5 credits are stored as 2, 3.5 as 4.
    fillScore(w, QStringLiteral("大学物理"), QStringLiteral("60"), QDate(2007, 6, 26));
    press(w, "cmdUpgrate");
    QCOMPARE(storedScores(QStringLiteral("2006001")),
        (QStringList { "高等数学 85.5 3 1 1 2006-6-20 C000", "线性代数 69.5 3 1 1 2007-1-12 C000",
            " 软件工程  77.5 2 1 1 2007-6-25 C012", "大学物理 60 4 1 1 2007-6-26 C005" }));
    QCOMPARE(panel(w, 3), QStringLiteral("6"));
    QCOMPARE(Gui::boxTexts().size(), 4);

    // A course stored with blanks around its name is found: the names agree once trimmed.
    addCourse(QStringLiteral("C020"), QStringLiteral(" 高数 "), 64, 4);
    fillScore(w, QStringLiteral(" 高数 "), QStringLiteral("88"), QDate(2007, 6, 27));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(storedScores(QStringLiteral("2006001")).last(), QStringLiteral(" 高数  88 4 1 1 2007-6-27 C020"));
}

void tst_scores::gridClickChangesTheStudentOfAnAdd()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    auto* grid = c<store::DataGrid>(w, "dgdChengji");
    fillScore(w, QStringLiteral("高等数学"), QStringLiteral("88"), QDate(2007, 1, 15));
    // A click on the empty new row leaves the student as it is.
    clickRow(grid, 4);
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    // Browsing does not change the student; a click on 李四's row does.
    press(w, "cmdLast");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    clickRow(grid, 2);
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006002"));
    QCOMPARE(buttons(w), kAdding);
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    // The score is a new row of 李四's with the maths codes; no row was written over.
    QCOMPARE(storedScores(QStringLiteral("2006002")),
        (QStringList { "高等数学 66 3 2 9 2006-6-20 C000", "高等数学 88 5 2 9 2007-1-15 C001" }));
    QCOMPARE(scoreRows(), 5);
    QCOMPARE(storedScores(QStringLiteral("2006003")), QStringList { "高等数学 90 3 1 2 2006-6-21 C000" });
}

void tst_scores::badScoreTakesTheFailurePath_data()
{
    QTest::addColumn<QString>("score");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "   ";
    QTest::newRow("letters") << "abc";
    QTest::newRow("full-width digits") << "８５";
    QTest::newRow("too large") << "1e999";
    QTest::newRow("not a number") << "nan";
    QTest::newRow("number and text") << "85分";
}

void tst_scores::badScoreTakesTheFailurePath()
{
    QFETCH(QString, score);
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    fillScore(w, QStringLiteral("高等数学"), score, QDate(2007, 1, 15));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), kNotSaved);
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("注意"));
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
    QCOMPARE(scoreRows(), 4);
    QCOMPARE(rs(w, "rs_Kj")->recordCount(), 4); // the new row is gone
    QCOMPARE(rs(w, "rs_Kj")->editMode(), store::DataControl::EditMode::None);
    QCOMPARE(buttons(w), kBrowsing);
    QVERIFY(focused(w, "cmdAdd"));
    // The input area stays as it was; only "添加(&A)" leads on.
    for (const char* input : { "dcbKm", "txtCheng", "dpkKd" })
        QVERIFY2(enabled(w, input), input);
    press(w, "cmdAdd");
    type(w, "txtCheng", QStringLiteral("59"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(scoreRows(), 5);
}

void tst_scores::addForAnUnknownStudentOrCourseWritesNothing()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    // A course that is not in the catalogue, and no course at all.
    for (const QString& course : { QStringLiteral("没有的课"), QString() }) {
        fillScore(w, course, QStringLiteral("80"), QDate(2007, 1, 15));
        press(w, "cmdUpgrate");
        QCOMPARE(Gui::boxTexts().last(), kNotSaved);
    }
    // A score row whose student is no longer stored: the click takes its number.
    TestDb::exec(QStringLiteral("delete from 学生个人信息表 where 学号='2006003'"));
    press(w, "cmdAdd");
    clickRow(c<store::DataGrid>(w, "dgdChengji"), 3);
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006003"));
    pick(w, "dcbKm", QStringLiteral("高等数学"));
    type(w, "txtCheng", QStringLiteral("80"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), kNotSaved);
    QCOMPARE(scoreRows(), 4);
}

void tst_scores::cancelDropsTheNewRow()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    fillScore(w, QStringLiteral("高等数学"), QStringLiteral("80"), QDate(2001, 1, 1));
    press(w, "cmdClear");
    QCOMPARE(rs(w, "rs_Kj")->recordCount(), 4);
    QCOMPARE(scoreRows(), 4);
    QCOMPARE(buttons(w), kBrowsing);
    QVERIFY(text(w, "txtCheng").isEmpty());
    QVERIFY(!enabled(w, "txtCheng") && !enabled(w, "dcbKm"));
    QVERIFY(enabled(w, "dpkKd"));
    QCOMPARE(c<store::DatePicker>(w, "dpkKd")->value(), QDate::currentDate());
    QVERIFY(focused(w, "cmdAdd"));
    QCOMPARE(Gui::boxTexts().size(), 1);
}

void tst_scores::searchWhileAddingAbandonsTheAdd()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    fillScore(w, QStringLiteral("高等数学"), QStringLiteral("80"), QDate(2007, 1, 15));
    type(w, "txtXh", QStringLiteral("2006003"));
    press(w, "cmdFind");
    QCOMPARE(rs(w, "rs_Kj")->editMode(), store::DataControl::EditMode::None);
    QCOMPARE(column(rs(w, "rs_Kj"), QStringLiteral("学号")), QStringList { "2006003" });
    QCOMPARE(buttons(w), kBrowsing);
    QVERIFY(!enabled(w, "txtCheng") && !enabled(w, "dcbKm"));
    // "保存(&S)" is no longer there to write the abandoned score over the row found.
    press(w, "cmdUpgrate");
    QCOMPARE(storedScores(QStringLiteral("2006003")), QStringList { "高等数学 90 3 1 2 2006-6-21 C000" });
    QCOMPARE(scoreRows(), 4);
}

void tst_scores::datesAcrossTheCenturies()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    for (const QDate& date : { QDate(1900, 1, 1), QDate(1999, 12, 31), QDate(2000, 2, 29), QDate(2100, 12, 31) }) {
        fillScore(w, QStringLiteral("高等数学"), QStringLiteral("70"), date);
        press(w, "cmdUpgrate");
        QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
        QCOMPARE(TestDb::count(QStringLiteral("学生成绩表 where 考试时间 = ") + quote(store::Sql::dateText(date))), 1);
    }
    // The summary finds each of them by a one-day range.
    w->close();
    Gui::settle();
    platform::Form* summary = open(QStringLiteral("frmchz"));
    c<QCheckBox>(summary, "chkXh")->setChecked(true);
    type(summary, "txtXh", QStringLiteral("2006001"));
    for (const QDate& date : { QDate(1900, 1, 1), QDate(2000, 2, 29), QDate(2100, 12, 31) }) {
        c<store::DatePicker>(summary, "dpkFd")->setValue(date);
        c<store::DatePicker>(summary, "dpkTd")->setValue(date);
        press(summary, "cmdHz");
        QCOMPARE(column(rs(summary, "rs_Cj"), QStringLiteral("总成绩")), QStringList { "70" });
    }
}

void tst_scores::editChangesOnlyScoreAndDate()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    store::DataControl* scores = rs(w, "rs_Kj");
    QVERIFY(!editCell(scores, 0, QStringLiteral("成绩"), QStringLiteral("99"))); // read-only before 编辑
    press(w, "cmdEdit");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("可以修改记录,请直接在在表中修改,只能修改成绩和考试时间!") });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("注意"));
    QCOMPARE(buttons(w), kEditing);
    for (const char* field : { "学号", "课程名", "院系号", "班级号", "课程号", "学分", "编号" })
        QVERIFY2(!editable(scores, QString::fromUtf8(field)), field);
    QVERIFY(editable(scores, QStringLiteral("成绩")) && editable(scores, QStringLiteral("考试时间")));

    QVERIFY(editCell(scores, 1, QStringLiteral("成绩"), QStringLiteral("71")));
    QVERIFY(editCell(scores, 1, QStringLiteral("考试时间"), QDate(2007, 1, 13)));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("保存"));
    QCOMPARE(storedScores(QStringLiteral("2006001")),
        (QStringList { "高等数学 85.5 3 1 1 2006-6-20 C000", "线性代数 71 3 1 1 2007-1-13 C000" }));
    QCOMPARE(buttons(w), kBrowsing);
    QVERIFY(!c<store::DataGrid>(w, "dgdChengji")->allowUpdate());
    QVERIFY(focused(w, "cmdAdd"));

    // A score the column does not take: the failure path, nothing written; 编辑 works again.
    press(w, "cmdEdit");
    QVERIFY(editCell(scores, 0, QStringLiteral("成绩"), QStringLiteral("八十")));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), kNotSaved);
    QCOMPARE(TestDb::value(QStringLiteral("select 成绩 from 学生成绩表 where 课程名='高等数学' and 学号='2006001'")).toDouble(), 85.5);
    QCOMPARE(buttons(w), kBrowsing);
    // The grid stays editable after the failure; an add from here writes the score, not an empty row.
    fillScore(w, QStringLiteral("高等数学"), QStringLiteral("50"), QDate(2007, 6, 1));
    QVERIFY(!c<store::DataGrid>(w, "dgdChengji")->allowUpdate());
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(scoreRows(), 5);
    QCOMPARE(scoreRows(QStringLiteral("成绩 is null")), 0);
}

void tst_scores::editThroughTheCellEditors()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    store::DataControl* scores = rs(w, "rs_Kj");
    auto* grid = c<store::DataGrid>(w, "dgdChengji");
    press(w, "cmdEdit");

    // The score cell starts from the text the grid shows and takes what is typed.
    const QModelIndex score = scores->model()->index(0, scores->fieldIndex(QStringLiteral("成绩")));
    grid->setCurrentIndex(score);
    grid->edit(score);
    Gui::settle();
    auto* box = grid->findChild<QLineEdit*>(QStringLiteral("cellText"));
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("85.5"));
    box->setText(QStringLiteral("86.25"));
    QTest::keyClick(box, Qt::Key_Return);
    Gui::settle();

    // The date cell is picked.
    const QModelIndex date = scores->model()->index(0, scores->fieldIndex(QStringLiteral("考试时间")));
    grid->setCurrentIndex(date);
    grid->edit(date);
    Gui::settle();
    auto* picker = grid->findChild<store::DatePicker*>(QStringLiteral("cellDate"));
    QVERIFY(picker);
    QCOMPARE(picker->value(), QDate(2006, 6, 20));
    picker->setValue(QDate(1999, 12, 31));
    QTest::keyClick(picker, Qt::Key_Return);
    Gui::settle();

    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(storedScores(QStringLiteral("2006001")).first(), QStringLiteral("高等数学 86.25 3 1 1 1999-12-31 C000"));

    // A cell still open when "保存(&S)" is pressed by its access key is saved with the row.
    press(w, "cmdEdit");
    grid->setFocus();
    grid->setCurrentIndex(score);
    grid->edit(score);
    Gui::settle();
    box = grid->findChild<QLineEdit*>(QStringLiteral("cellText"));
    QVERIFY(box && box->hasFocus());
    box->setText(QStringLiteral("60"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(storedScores(QStringLiteral("2006001")).first(), QStringLiteral("高等数学 60 3 1 1 1999-12-31 C000"));
}

void tst_scores::searchWritesAScoreStillBeingTyped()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    auto* grid = c<store::DataGrid>(w, "dgdChengji");
    type(w, "txtXh", QStringLiteral("2006001"));
    press(w, "cmdFind");
    const QString score = QStringLiteral("成绩");

    // 85.5 -> 99, and 查询 pressed by its access key while the cell is still open: written as
    // leaving the row would write it, then the search runs and the editing ends.
    press(w, "cmdEdit");
    typeInCell(grid, 0, score, QStringLiteral("99"));
    accessKey(w, Qt::Key_F);
    QCOMPARE(Gui::boxes().size(), 1); // the 编辑 notice only
    QCOMPARE(storedScores(QStringLiteral("2006001")).first(), QStringLiteral("高等数学 99 3 1 1 2006-6-20 C000"));
    QCOMPARE(column(rs(w, "rs_Kj"), score).first(), QStringLiteral("99"));
    QCOMPARE(buttons(w), kBrowsing);
    QVERIFY(!grid->allowUpdate());

    // A score the column refuses is told, not written, and the search still runs.
    press(w, "cmdEdit");
    typeInCell(grid, 0, score, QStringLiteral("八十"));
    type(w, "txtXh", QStringLiteral("2006003"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxes().size(), 3);
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("“成绩”的值类型不对：这里只能填写数字。"));
    QCOMPARE(storedScores(QStringLiteral("2006001")).first(), QStringLiteral("高等数学 99 3 1 1 2006-6-20 C000"));
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QCOMPARE(buttons(w), kBrowsing);
    QVERIFY(!grid->allowUpdate());
}

void tst_scores::deleteAsksFirst()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    const int beeps = platform::Program::beeps();
    press(w, "cmdNext");
    Gui::answer(Answer::Cancel);
    press(w, "cmdDelet");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("要删除此条信息吗?") });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("询问"));
    QCOMPARE(Gui::boxes().last().buttons, MsgBox::Buttons::OkCancel);
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Question);
    QCOMPARE(platform::Program::beeps(), beeps + 1);
    QCOMPARE(scoreRows(), 4);

    // OK deletes the grid's current row, whatever the input area holds.
    clickRow(c<store::DataGrid>(w, "dgdChengji"), 3);
    Gui::answer(Answer::Ok);
    press(w, "cmdDelet");
    QCOMPARE(scoreRows(), 3);
    QCOMPARE(scoreRows(QStringLiteral("学号='2006003'")), 0);
    QCOMPARE(panel(w, 3), QStringLiteral("3"));

    // The only row of a result.
    type(w, "txtXh", QStringLiteral("2006002"));
    press(w, "cmdFind");
    Gui::answer(Answer::Ok);
    press(w, "cmdDelet");
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(rs(w, "rs_Kj")->recordCount(), 0);
    // Nothing left to delete: silent.
    const int shown = Gui::boxTexts().size();
    Gui::answer(Answer::Ok);
    press(w, "cmdDelet");
    QCOMPARE(Gui::boxTexts().size(), shown + 1); // the question only
    QCOMPARE(scoreRows(), 2);
}

void tst_scores::serverRestartAndOutage()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    scoreFixture();
    PgProxy proxy(TestDb::pgSocketFile());
    auto restore = throughProxy(proxy);
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    const QString lost = QStringLiteral("与数据库服务器的连接已断开");

    // The server restarts between two actions: the search and the save simply work, and the
    // save is written once.
    proxy.cutAll();
    type(w, "txtXh", QStringLiteral("2006001"));
    press(w, "cmdFind");
    QVERIFY2(Gui::boxes().isEmpty(), qPrintable(Gui::boxTexts().join('|')));
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    proxy.cutAll();
    fillScore(w, QStringLiteral("大学物理"), QStringLiteral("60"), QDate(2007, 6, 26));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(scoreRows(QStringLiteral("课程名='大学物理'")), 1);

    // The server is down: a save and a search are told so in Chinese, once each and truly (not
    // "此操作不支持保存功能!" nor "没有有效记录!"), nothing is written, and the window stays usable.
    fillScore(w, QStringLiteral("软件工程"), QStringLiteral("70"), QDate(2007, 6, 27));
    proxy.refuse(true);
    proxy.cutAll();
    const auto toldOnce = [&](int before) {
        QVERIFY2(Gui::boxes().size() == before + 1, qPrintable(Gui::boxTexts().join('|')));
        QVERIFY2(Gui::boxTexts().last().startsWith(lost), qPrintable(Gui::boxTexts().last()));
    };
    int before = Gui::boxes().size();
    press(w, "cmdUpgrate");
    toldOnce(before);
    QCOMPARE(buttons(w), kBrowsing);
    before = Gui::boxes().size();
    type(w, "txtXh", QStringLiteral("2006003"));
    press(w, "cmdFind");
    toldOnce(before);
    QCOMPARE(Gui::boxTexts().count(QStringLiteral("保存成功!")), 1);

    // Back again: the next search works without restarting anything.
    proxy.refuse(false);
    type(w, "txtXh", QStringLiteral("2006003"));
    press(w, "cmdFind");
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QCOMPARE(scoreRows(QStringLiteral("课程名='软件工程'")), 0);

    // The reply to a committed insert is lost: the user is told the outcome is unknown, the
    // row is stored once, and a new search shows it.
    fillScore(w, QStringLiteral("软件工程"), QStringLiteral("71"), QDate(2007, 6, 28));
    proxy.loseReplyTo("INSERT INTO 学生成绩表");
    before = Gui::boxes().size();
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxes().size(), before + 1);
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("保存时与数据库服务器的连接断开了")), qPrintable(Gui::boxTexts().last()));
    QCOMPARE(scoreRows(QStringLiteral("课程名='软件工程'")), 1);
    // Nothing invites a second copy: 保存 is off until the next 添加.
    QCOMPARE(buttons(w), kBrowsing);
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxes().size(), before + 1);
    QCOMPARE(scoreRows(QStringLiteral("课程名='软件工程'")), 1);
    type(w, "txtXh", QStringLiteral("2006003"));
    press(w, "cmdFind");
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(scoreRows(QStringLiteral("课程名='软件工程'")), 1);
}

// ---- course window ------------------------------------------------------------------------

void tst_scores::courseWindowStates()
{
    addCourse(QStringLiteral("C002"), QStringLiteral("线性代数"), 48, 3);
    addCourse(QStringLiteral("C001"), QStringLiteral("高等数学"), 96, 5);
    platform::Form* w = open(QStringLiteral("frmkgl"));
    QCOMPARE(w->windowTitle(), QStringLiteral("课程管理窗体"));
    store::DataControl* courses = rs(w, "rs_Kgl");
    auto* grid = c<store::DataGrid>(w, "dtgGlk");
    QCOMPARE(shownCaptions(grid), (QStringList { "课程名", "课程号", "学时", "学分" }));
    QCOMPARE(column(courses, QStringLiteral("课程号")), (QStringList { "C001", "C002" }));
    QCOMPARE(column(courses, QStringLiteral("学分")), (QStringList { "5", "3" }));
    QCOMPARE(c<QPushButton>(w, "cmdSave")->text(), QStringLiteral("保存&S)"));
    QCOMPARE(c<QPushButton>(w, "cmdExit")->text(), QStringLiteral(" 取消(&Q)"));
    QVERIFY(!enabled(w, "cmdSave"));
    QVERIFY(!editCell(courses, 0, QStringLiteral("课程名"), QStringLiteral("x")));

    // 添加 then 取消 answered No: the row and the edit flag stay; Yes: both go, 保存 stays enabled.
    press(w, "cmdAdd");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("可以添加新课程信息!") });
    QVERIFY(enabled(w, "cmdSave") && grid->allowUpdate());
    QCOMPARE(courses->editMode(), store::DataControl::EditMode::Add);
    QVERIFY(editCell(courses, 2, QStringLiteral("课程号"), QStringLiteral("C003")));
    Gui::answer(Answer::No);
    press(w, "cmdExit");
    QCOMPARE(Gui::boxes().last().text, QStringLiteral("是否取消此次操作!"));
    QCOMPARE(Gui::boxes().last().buttons, MsgBox::Buttons::YesNo);
    QCOMPARE(courses->editMode(), store::DataControl::EditMode::Add);
    QVERIFY(grid->allowUpdate());
    Gui::answer(Answer::Yes);
    press(w, "cmdExit");
    QCOMPARE(courses->recordCount(), 2);
    QVERIFY(!grid->allowUpdate());
    QVERIFY(enabled(w, "cmdSave"));
    for (const char* b : { "cmdAdd", "cmdEdit", "cmdDelet", "cmdExit" })
        QVERIFY(enabled(w, b));
    // The abandoned state's 保存 saves nothing and still says so.
    press(w, "cmdSave");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表")), 2);
    QVERIFY(!enabled(w, "cmdSave"));

    // A course typed in and saved.
    press(w, "cmdAdd");
    QVERIFY(editCell(courses, 2, QStringLiteral("课程名"), QStringLiteral("大学物理")));
    QVERIFY(editCell(courses, 2, QStringLiteral("课程号"), QStringLiteral("C000")));
    QVERIFY(editCell(courses, 2, QStringLiteral("学时"), QStringLiteral("64")));
    QVERIFY(editCell(courses, 2, QStringLiteral("学分"), QStringLiteral("3.5")));
    press(w, "cmdSave");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(column(courses, QStringLiteral("课程号")), (QStringList { "C000", "C001", "C002" }));
    QCOMPARE(column(courses, QStringLiteral("学分")), (QStringList { "3.5", "5", "3" }));
    QVERIFY(!enabled(w, "cmdSave") && !grid->allowUpdate());

    // 删除: Cancel keeps the course, OK deletes the grid's current row.
    Gui::answer(Answer::Cancel);
    press(w, "cmdDelet");
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表")), 3);
    clickRow(grid, 1);
    Gui::answer(Answer::Ok);
    press(w, "cmdDelet");
    QCOMPARE(Gui::boxes().last().text, QStringLiteral("要删除此条信息吗?"));
    QCOMPARE(column(courses, QStringLiteral("课程号")), (QStringList { "C000", "C002" }));

    // A name still being typed when 保存 is pressed by its access key is saved with the row.
    press(w, "cmdEdit");
    typeInCell(grid, 0, QStringLiteral("课程名"), QStringLiteral("物理"));
    accessKey(w, Qt::Key_S);
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(TestDb::value(QStringLiteral("select 课程名 from 学生课程表 where 课程号='C000'")).toString(), QStringLiteral("物理"));

    // Closing with a pending course writes nothing.
    press(w, "cmdAdd");
    QVERIFY(editCell(courses, 2, QStringLiteral("课程号"), QStringLiteral("C009")));
    w->close();
    Gui::settle();
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表")), 2);
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_scores::courseWindowRefusalsKeepTheRowPending()
{
    addCourse(QStringLiteral("C001"), QStringLiteral("高等数学"), 96, 5);
    platform::Form* w = open(QStringLiteral("frmkgl"));
    store::DataControl* courses = rs(w, "rs_Kgl");
    press(w, "cmdAdd");
    QVERIFY(editCell(courses, 1, QStringLiteral("课程号"), QStringLiteral("C001")));
    QVERIFY(editCell(courses, 1, QStringLiteral("课程名"), QStringLiteral("线性代数")));
    QVERIFY(editCell(courses, 1, QStringLiteral("学时"), QStringLiteral("四十八")));
    QVERIFY(editCell(courses, 1, QStringLiteral("学分"), QStringLiteral("3")));
    const int before = Gui::boxes().size();

    // Each refusal is told in Chinese by its kind, naming the column, alike on both engines (the
    // database's words, where there are any, below); the row stays as typed.
    press(w, "cmdSave");
    QCOMPARE(Gui::boxes().size(), before + 1);
    QCOMPARE(Gui::boxes().last().text, QStringLiteral("“学时”的值类型不对：这里只能填写整数。"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
    QCOMPARE(courses->editMode(), store::DataControl::EditMode::Add);
    QVERIFY(enabled(w, "cmdSave") && c<store::DataGrid>(w, "dtgGlk")->allowUpdate());
    // Hours of 2.5 are no whole number: refused, not stored as 2 (nor as 3).
    QVERIFY(editCell(courses, 1, QStringLiteral("学时"), QStringLiteral("2.5")));
    press(w, "cmdSave");
    QCOMPARE(Gui::boxes().last().text, QStringLiteral("“学时”的值类型不对：这里只能填写整数。"));
    QVERIFY(editCell(courses, 1, QStringLiteral("学时"), QStringLiteral("48")));
    press(w, "cmdSave"); // the course number is taken
    QCOMPARE(Gui::boxes().size(), before + 3);
    QVERIFY2(Gui::boxes().last().text.startsWith(QStringLiteral("“课程号”的值已经存在，不能重复。\n\n详细信息：")),
        qPrintable(Gui::boxes().last().text));
    QCOMPARE(courses->editMode(), store::DataControl::EditMode::Add);
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表")), 1);
    QVERIFY(editCell(courses, 1, QStringLiteral("学分"), QStringLiteral("3学分")));
    QVERIFY(editCell(courses, 1, QStringLiteral("课程号"), QStringLiteral("C002")));
    press(w, "cmdSave");
    QCOMPARE(Gui::boxes().last().text, QStringLiteral("“学分”的值类型不对：这里只能填写数字。"));
    QVERIFY(editCell(courses, 1, QStringLiteral("学分"), QStringLiteral("3")));
    press(w, "cmdSave");
    QCOMPARE(Gui::boxes().last().text, QStringLiteral("保存成功!"));
    QCOMPARE(TestDb::value(QStringLiteral("select 学时 from 学生课程表 where 课程号='C002'")).toInt(), 48);

    // A change refused the same way, then abandoned.
    press(w, "cmdEdit");
    QCOMPARE(Gui::boxes().last().text, QStringLiteral("可以修改请在表格中直接修改!"));
    QVERIFY(editCell(courses, 1, QStringLiteral("课程号"), QStringLiteral("C001")));
    press(w, "cmdSave");
    QVERIFY(Gui::boxes().last().text != QStringLiteral("保存成功!"));
    QCOMPARE(courses->editMode(), store::DataControl::EditMode::Edit);
    Gui::answer(Answer::Yes);
    press(w, "cmdExit");
    QCOMPARE(column(courses, QStringLiteral("课程号")), (QStringList { "C001", "C002" }));
}

void tst_scores::courseWindowWithoutTheServer()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    addCourse(QStringLiteral("C001"), QStringLiteral("高等数学"), 96, 5);
    PgProxy proxy(TestDb::pgSocketFile());
    auto restore = throughProxy(proxy);
    platform::Form* w = open(QStringLiteral("frmkgl"));
    store::DataControl* courses = rs(w, "rs_Kgl");
    auto* grid = c<store::DataGrid>(w, "dtgGlk");
    auto hours = [] { return TestDb::value(QStringLiteral("select 学时 from 学生课程表 where 课程号='C001'")).toInt(); };
    const QString unknown = QStringLiteral("保存时与数据库服务器的连接断开了");

    // The reply to a change is lost: told unknown; the grid shows what the table holds, and the
    // window is as after a save.
    press(w, "cmdEdit");
    QVERIFY(editCell(courses, 0, QStringLiteral("学时"), QStringLiteral("50")));
    proxy.loseReplyTo("UPDATE 学生课程表");
    press(w, "cmdSave");
    QVERIFY2(Gui::boxTexts().last().startsWith(unknown), qPrintable(Gui::boxTexts().last()));
    QCOMPARE(hours(), 50);
    QCOMPARE(column(courses, QStringLiteral("学时")), QStringList { QStringLiteral("50") });
    QVERIFY(!enabled(w, "cmdSave") && !grid->allowUpdate());
    // Changing the row again is no conflict with anybody: the user's own save was read back.
    press(w, "cmdEdit");
    QVERIFY(editCell(courses, 0, QStringLiteral("学时"), QStringLiteral("52")));
    press(w, "cmdSave");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("保存成功!"));
    QCOMPARE(hours(), 52);

    // The reply to a new course is lost: it is listed once, and 保存 cannot send it again.
    press(w, "cmdAdd");
    QVERIFY(editCell(courses, 1, QStringLiteral("课程号"), QStringLiteral("C002")));
    QVERIFY(editCell(courses, 1, QStringLiteral("课程名"), QStringLiteral("线性代数")));
    proxy.loseReplyTo("INSERT INTO 学生课程表");
    press(w, "cmdSave");
    QVERIFY2(Gui::boxTexts().last().startsWith(unknown), qPrintable(Gui::boxTexts().last()));
    const int told = Gui::boxes().size();
    press(w, "cmdSave");
    QCOMPARE(Gui::boxes().size(), told);
    QCOMPARE(column(courses, QStringLiteral("课程号")), (QStringList { "C001", "C002" }));
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表")), 2);
}

void tst_scores::scoreGridAfterAnOutage()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    QStringList values;
    for (int i = 0; i < 400; ++i)
        values << QStringLiteral("('2006%1', '高等数学', 'C001', %2, 5, 1, 1, '2006-06-20')").arg(i, 3, 10, QLatin1Char('0')).arg(i % 100);
    TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 课程号, 成绩, 学分, 院系号, 班级号, 考试时间) values ")
        + values.join(QStringLiteral(", ")));
    PgProxy proxy(TestDb::pgSocketFile());
    auto restore = throughProxy(proxy);
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    store::DataControl* scores = rs(w, "rs_Kj");
    auto* grid = c<store::DataGrid>(w, "dgdChengji");
    QCOMPARE(panel(w, 3), QStringLiteral("400"));
    const int number = scores->fieldIndex(QStringLiteral("学号"));
    auto shown = [&](int row) {
        QVariant value;
        return scores->cachedValue(row, number, value); // read for the grid, not for the test
    };

    // The server goes while the user scrolls: the loss is told once, however far they scroll.
    proxy.refuse(true);
    proxy.cutAll();
    const int before = Gui::boxes().size();
    for (int row : { 390, 200, 300 }) {
        grid->scrollTo(grid->model()->index(row, number));
        grid->viewport()->repaint();
        Gui::settle();
    }
    QCOMPARE(Gui::boxes().size(), before + 1);
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("与数据库服务器的连接已断开")), qPrintable(Gui::boxTexts().last()));
    QVERIFY(!shown(300));

    // Back again: the rows on the screen show by themselves, within a few seconds, untold.
    proxy.refuse(false);
    QTRY_VERIFY_WITH_TIMEOUT(shown(300), 8000);
    QCOMPARE(Gui::boxes().size(), before + 1);
    QCOMPARE(grid->model()->index(300, number).data().toString(), QStringLiteral("2006300"));
}

void tst_scores::courseChangesAndTheScoreWindow()
{
    scoreFixture();
    platform::Form* w = open(QStringLiteral("frmkgl"));
    store::DataControl* courses = rs(w, "rs_Kgl");
    // Rename 高等数学 (C001, the last in number order here) and add a course.
    press(w, "cmdEdit");
    const int maths = column(courses, QStringLiteral("课程号")).indexOf(QStringLiteral("C001"));
    QVERIFY(editCell(courses, maths, QStringLiteral("课程名"), QStringLiteral("数学分析")));
    press(w, "cmdSave");
    press(w, "cmdAdd");
    QVERIFY(editCell(courses, 3, QStringLiteral("课程号"), QStringLiteral("C100")));
    QVERIFY(editCell(courses, 3, QStringLiteral("课程名"), QStringLiteral("新课")));
    QVERIFY(editCell(courses, 3, QStringLiteral("学分"), QStringLiteral("1")));
    press(w, "cmdSave");
    QCOMPARE(TestDb::count(QStringLiteral("学生课程表")), 4);
    w->close();
    Gui::settle();
    // Existing score rows keep the old name.
    QCOMPARE(scoreRows(QStringLiteral("课程名='高等数学'")), 3);

    platform::Form* scoresWindow = open(QStringLiteral("frmchenggl"));
    press(scoresWindow, "cmdAdd");
    QVERIFY(column(rs(scoresWindow, "rs_Km"), QStringLiteral("课程名")).contains(QStringLiteral("新课")));
    QVERIFY(column(rs(scoresWindow, "rs_Km"), QStringLiteral("课程名")).contains(QStringLiteral("数学分析")));
}

// ---- summary ------------------------------------------------------------------------------

namespace {

// A small known set: 张三 in class 1 (three rows, one outside the range), 李四 in class 9, 王五
// with rows under two classes, a student with a placeholder row only.
void summaryFixture()
{
    TestDb::addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    TestDb::addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), kMaths, kMaths2003a);
    TestDb::addStudent(QStringLiteral("2006003"), QStringLiteral("王五"));
    TestDb::addStudent(QStringLiteral("2006004"), QStringLiteral("新生"));
    addScore(QStringLiteral("2006001"), QStringLiteral("高等数学"), 85.5, QDate(2006, 6, 20), kComputing, kComputing2003a, 5);
    addScore(QStringLiteral("2006001"), QStringLiteral("线性代数"), 69.5, QDate(2007, 1, 12), kComputing, kComputing2003a, 3);
    addScore(QStringLiteral("2006001"), QStringLiteral("体育"), 60, QDate(2009, 6, 1), kComputing, kComputing2003a, 1);
    addScore(QStringLiteral("2006002"), QStringLiteral("高等数学"), 70.1, QDate(2006, 6, 20), kMaths, kMaths2003a, 5);
    addScore(QStringLiteral("2006002"), QStringLiteral("线性代数"), 80.2, QDate(2006, 6, 21), kMaths, kMaths2003a, 3);
    addScore(QStringLiteral("2006002"), QStringLiteral("体育"), 90.3, QDate(2007, 1, 10), kMaths, kMaths2003a, 1);
    addScore(QStringLiteral("2006003"), QStringLiteral("高等数学"), 90, QDate(2006, 6, 20), kComputing, kComputing2003a, 5);
    addScore(QStringLiteral("2006003"), QStringLiteral("线性代数"), 77, QDate(2007, 1, 12), kComputing, kComputing2003b, 3);
    TestDb::addPlaceholderScore(QStringLiteral("2006004"), QDate(2006, 9, 1));
    addScore(QStringLiteral("2006001"), QStringLiteral("今天的课"), 99, QDate::currentDate(), kComputing, kComputing2003a, 2);
}

void setRange(QWidget* w, const QDate& from, const QDate& to)
{
    press(w, "cmdChose");
    c<store::DatePicker>(w, "dpkFd")->setValue(from);
    c<store::DatePicker>(w, "dpkTd")->setValue(to);
}

QStringList summaryRows(QWidget* w)
{
    QStringList out = gridRows(rs(w, "rs_Cj"));
    out.sort(); // the database chooses the order of the groups
    return out;
}

} // namespace

void tst_scores::summaryOpensWithOneRowPerStudentAndClass()
{
    summaryFixture();
    platform::Form* w = open(QStringLiteral("frmchz"));
    QCOMPARE(w->windowTitle(), QStringLiteral("成绩分类汇总窗口"));
    QCOMPARE(panel(w, 1), QStringLiteral("清先选择汇总日期范围!"));
    QCOMPARE(panel(w, 2), QStringLiteral("有效记录数:"));
    QCOMPARE(panel(w, 4), QStringLiteral("条"));
    QCOMPARE(shownCaptions(c<store::DataGrid>(w, "dgdCj")), (QStringList { "学号", "姓名", "班级名" }));
    // 王五 once per class; the placeholder row has no class and is not listed.
    QCOMPARE(summaryRows(w),
        (QStringList { "2006001|张三|计算机2003级1班", "2006002|李四|数学2003级1班", "2006003|王五|计算机2003级1班",
            "2006003|王五|计算机2003级2班" }));
    QCOMPARE(panel(w, 3), QStringLiteral("4"));
    QVERIFY(!QApplication::overrideCursor()); // the wait is over
    for (const char* picker : { "dpkFd", "dpkTd" }) {
        QCOMPARE(c<store::DatePicker>(w, picker)->value(), QDate::currentDate());
        QVERIFY(!enabled(w, picker));
    }
    QVERIFY(!c<QCheckBox>(w, "chkXh")->isChecked() && !c<QCheckBox>(w, "chkClass")->isChecked());
    QVERIFY(!enabled(w, "txtXh") && !enabled(w, "dcbClass"));
    QCOMPARE(rs(w, "rs_Lc")->recordSource(), QStringLiteral("select * from 成绩排序临时表"));
    QVERIFY(rs(w, "rs_Lc")->isOpen());
    QVERIFY(!c<store::DataGrid>(w, "dgdCj")->allowUpdate());
    QVERIFY(Gui::boxes().isEmpty());

    // Neither box checked: nothing happens.
    press(w, "cmdHz");
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(rs(w, "rs_Cj")->recordCount(), 4);

    w->close();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_scores::summaryStatementsAsWritten()
{
    platform::Form* w = open(QStringLiteral("frmchz"));
    const QString head = QStringLiteral("select a.学号,c.姓名,b.全称 as  班级名, sum(成绩) as 总成绩,");
    const QString joins = QStringLiteral(" from 学生成绩表 as a join 班级代码表 as b on a.班级号=b.班级代码 join 学生个人信息表 as c on a.学号=c.学号 where ");
    QCOMPARE(rs(w, "rs_Cj")->recordSource(),
        QStringLiteral("select a.学号,c.姓名,b.全称 as  班级名 from 学生成绩表 as a join 班级代码表 as b on a.班级号=b.班级代码 join "
                       "学生个人信息表 as c on a.学号=c.学号 group by a.学号,c.姓名,b.全称 "));
    setRange(w, QDate(2006, 5, 9), QDate(2007, 12, 31));
    c<QCheckBox>(w, "chkXh")->setChecked(true);
    type(w, "txtXh", QStringLiteral(" 2006001 "));
    press(w, "cmdHz");
    QCOMPARE(rs(w, "rs_Cj")->recordSource(),
        head + " avg(成绩) as 平均分,sum(学分) as 总学分" + joins
            + "a.学号='2006001' and a.考试时间  between '2006-5-9' and '2007-12-31' group by a.学号,c.姓名,b.全称 ");
    c<QCheckBox>(w, "chkClass")->setChecked(true);
    pick(w, "dcbClass", QStringLiteral("计算机2003级1班 "));
    type(w, "txtXh", QStringLiteral("2006001")); // the summary that found nothing emptied it
    press(w, "cmdHz");
    QCOMPARE(rs(w, "rs_Cj")->recordSource(),
        head + "avg(成绩) as 平均分,sum(学分) as 总学分" + joins
            + "a.学号='2006001' and b.全称='计算机2003级1班' and a.考试时间  between '2006-5-9' and '2007-12-31'group by "
              "a.学号,c.姓名,b.全称 ");
    c<QCheckBox>(w, "chkXh")->setChecked(false);
    press(w, "cmdHz");
    QCOMPARE(rs(w, "rs_Cj")->recordSource(),
        head + "avg(成绩) as 平均分,sum(学分) as 总学分" + joins
            + "b.全称='计算机2003级1班' and a.考试时间  between '2006-5-9' and '2007-12-31'group by b.全称,a.学号,c.姓名 ");
}

void tst_scores::summaryByStudentClassAndBoth()
{
    summaryFixture();
    platform::Form* w = open(QStringLiteral("frmchz"));
    // Right after opening, by number: only today's rows count.
    c<QCheckBox>(w, "chkXh")->setChecked(true);
    QVERIFY(enabled(w, "txtXh") && focused(w, "txtXh"));
    type(w, "txtXh", QStringLiteral("2006001"));
    press(w, "cmdHz");
    QCOMPARE(summaryRows(w), QStringList { "2006001|张三|计算机2003级1班|99|99|2" });
    QCOMPARE(shownCaptions(c<store::DataGrid>(w, "dgdCj")), (QStringList { "学号", "姓名", "班级名", "总成绩", "平均分", "总学分" }));
    QCOMPARE(panel(w, 3), QStringLiteral("1"));

    setRange(w, QDate(2006, 1, 1), QDate(2008, 12, 31));
    press(w, "cmdHz");
    QCOMPARE(summaryRows(w), QStringList { "2006001|张三|计算机2003级1班|155|77.5|8" });
    // A student whose rows carry two class codes is listed once per class.
    type(w, "txtXh", QStringLiteral("2006003"));
    press(w, "cmdHz");
    QCOMPARE(summaryRows(w),
        (QStringList { "2006003|王五|计算机2003级1班|90|90|5", "2006003|王五|计算机2003级2班|77|77|3" }));
    QCOMPARE(panel(w, 3), QStringLiteral("2"));

    // By class: one row per student of the class with scores in the range.
    c<QCheckBox>(w, "chkXh")->setChecked(false);
    QVERIFY(!enabled(w, "txtXh") && text(w, "txtXh").isEmpty());
    c<QCheckBox>(w, "chkClass")->setChecked(true);
    QVERIFY(enabled(w, "dcbClass"));
    pick(w, "dcbClass", QStringLiteral("计算机2003级1班"));
    press(w, "cmdHz");
    QCOMPARE(summaryRows(w),
        (QStringList { "2006001|张三|计算机2003级1班|155|77.5|8", "2006003|王五|计算机2003级1班|90|90|5" }));
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(rs(w, "rs_Bm")->recordSource(), QStringLiteral("select * from 班级代码表 order by 班级代码"));

    // Both.
    c<QCheckBox>(w, "chkXh")->setChecked(true);
    type(w, "txtXh", QStringLiteral("2006003"));
    pick(w, "dcbClass", QStringLiteral("计算机2003级2班"));
    press(w, "cmdHz");
    QCOMPARE(summaryRows(w), QStringList { "2006003|王五|计算机2003级2班|77|77|3" });
    QVERIFY(Gui::boxes().isEmpty());
}

void tst_scores::summaryNumbersReadAlikeOnBothEngines()
{
    summaryFixture();
    platform::Form* w = open(QStringLiteral("frmchz"));
    setRange(w, QDate(2006, 1, 1), QDate(2008, 12, 31));
    c<QCheckBox>(w, "chkXh")->setChecked(true);
    type(w, "txtXh", QStringLiteral("2006002"));
    press(w, "cmdHz");
    // 70.1 + 80.2 + 90.3: a sum and an average as a person writes them, on either engine.
    QCOMPARE(summaryRows(w), QStringList { "2006002|李四|数学2003级1班|240.6|80.2|9" });
    store::DataControl* result = rs(w, "rs_Cj");
    QCOMPARE(result->field(QStringLiteral("平均分")).toDouble(), 80.2);
    QCOMPARE(result->field(QStringLiteral("总学分")).toInt(), 9);
}

void tst_scores::summaryDatesAndResets()
{
    summaryFixture();
    platform::Form* w = open(QStringLiteral("frmchz"));
    // A range of one day includes that day's rows.
    setRange(w, QDate(2006, 6, 20), QDate(2006, 6, 20));
    c<QCheckBox>(w, "chkClass")->setChecked(true);
    pick(w, "dcbClass", QStringLiteral("计算机2003级1班"));
    press(w, "cmdHz");
    QCOMPARE(summaryRows(w),
        (QStringList { "2006001|张三|计算机2003级1班|85.5|85.5|5", "2006003|王五|计算机2003级1班|90|90|5" }));

    // 重置(&C) unchecks and disables both conditions and keeps the grid and the count.
    c<QCheckBox>(w, "chkXh")->setChecked(true);
    type(w, "txtXh", QStringLiteral("2006001"));
    press(w, "cmdCancel");
    QVERIFY(!c<QCheckBox>(w, "chkXh")->isChecked() && !c<QCheckBox>(w, "chkClass")->isChecked());
    QVERIFY(!enabled(w, "txtXh") && !enabled(w, "dcbClass"));
    QVERIFY(text(w, "txtXh").isEmpty());
    QCOMPARE(rs(w, "rs_Cj")->recordCount(), 2);
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(c<store::DatePicker>(w, "dpkFd")->value(), QDate(2006, 6, 20));

    // 重置 sets both dates to today, enabled or not.
    press(w, "cmdClear");
    QCOMPARE(c<store::DatePicker>(w, "dpkFd")->value(), QDate::currentDate());
    QCOMPARE(c<store::DatePicker>(w, "dpkTd")->value(), QDate::currentDate());
    w->close();
    Gui::settle();
    w = open(QStringLiteral("frmchz"));
    c<store::DatePicker>(w, "dpkFd")->setValue(QDate(2000, 1, 1));
    QVERIFY(!enabled(w, "dpkFd"));
    press(w, "cmdClear");
    QCOMPARE(c<store::DatePicker>(w, "dpkFd")->value(), QDate::currentDate());
    QVERIFY(!enabled(w, "dpkFd"));

    // A date the picker cannot hold is told, kept as typed, and summarises nothing.
    press(w, "cmdChose");
    auto* from = c<store::DatePicker>(w, "dpkFd");
    from->setFocus();
    from->setSelectedSection(QDateTimeEdit::YearSection);
    QTest::keyClicks(from, QStringLiteral("21000229"));
    c<QCheckBox>(w, "chkXh")->setChecked(true);
    type(w, "txtXh", QStringLiteral("2006001"));
    const QString summarised = rs(w, "rs_Cj")->recordSource();
    press(w, "cmdHz");
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("“2100-02-29”不是可以使用的日期")), qPrintable(Gui::boxTexts().last()));
    QCOMPARE(from->text(), QStringLiteral("2100-02-29"));
    QCOMPARE(rs(w, "rs_Cj")->recordSource(), summarised);
    c<QCheckBox>(w, "chkXh")->setChecked(false);
    MsgBox::clear();

    // The order of the dates is not checked: a first date after the last finds nothing.
    setRange(w, QDate(2008, 1, 1), QDate(2006, 1, 1));
    c<QCheckBox>(w, "chkXh")->setChecked(true);
    type(w, "txtXh", QStringLiteral("2006001"));
    press(w, "cmdHz");
    QCOMPARE(Gui::boxTexts(), QStringList { kNoSummary });
}

void tst_scores::summaryWithoutTheServer()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    summaryFixture();
    PgProxy proxy(TestDb::pgSocketFile());
    auto restore = throughProxy(proxy);
    platform::Form* w = open(QStringLiteral("frmchz"));
    setRange(w, QDate(2006, 1, 1), QDate(2008, 12, 31));
    c<QCheckBox>(w, "chkClass")->setChecked(true);
    pick(w, "dcbClass", QStringLiteral("计算机2003级1班"));
    press(w, "cmdHz");
    QCOMPARE(panel(w, 3), QStringLiteral("2"));

    // A summary the server cannot answer empties the grid: the count says so too.
    proxy.refuse(true);
    proxy.cutAll();
    press(w, "cmdHz");
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("与数据库服务器的连接已断开")), qPrintable(Gui::boxTexts().last()));
    QCOMPARE(c<store::DataGrid>(w, "dgdCj")->model()->rowCount(), 0);
    QCOMPARE(panel(w, 3), QStringLiteral("0"));

    proxy.refuse(false);
    press(w, "cmdHz");
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(summaryRows(w).size(), 2);
}

void tst_scores::summaryOfManyStudentsCountedBesideTheWindow()
{
    // More students than one block of the grid, in an order that is not the order of entry.
    QStringList expected;
    for (int i = 0; i < 120; ++i) {
        const QString number = QString::number(2006000 + (i * 37) % 120);
        TestDb::addStudent(number, QStringLiteral("学生%1").arg(number));
        addScore(number, QStringLiteral("高等数学"), 70, QDate(2006, 6, 20));
    }
    for (int i = 0; i < 120; ++i)
        expected << QStringLiteral("%1|学生%1|计算机2003级1班").arg(2006000 + i);

    platform::Form* w = open(QStringLiteral("frmchz"));
    store::DataControl* data = rs(w, "rs_Cj");
    // PostgreSQL shows the first rows while it groups the rest; the count is blank until then.
    // SQLite has grouped everything before its first row.
    if (TestDb::engine() == store::Engine::PostgreSQL && !data->countKnown()) {
        QCOMPARE(panel(w, 3), QString());
        QCOMPARE(data->model()->rowCount(), store::DataControl::PageSize);
        QVERIFY(!QApplication::overrideCursor());
    }
    QTRY_COMPARE(panel(w, 3), QStringLiteral("120"));
    // Every student once, in the order of their numbers.
    QCOMPARE(gridRows(data), expected);

    // A summary started while the opening list is still being counted is what the grid and the
    // count show: the opening list's count, coming later, is not taken.
    w->close();
    Gui::settle();
    w = open(QStringLiteral("frmchz"));
    data = rs(w, "rs_Cj");
    setRange(w, QDate(2006, 1, 1), QDate(2006, 12, 31));
    c<QCheckBox>(w, "chkXh")->setChecked(true);
    type(w, "txtXh", QStringLiteral("2006007"));
    press(w, "cmdHz");
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QTest::qWait(300);
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QCOMPARE(data->recordCount(), 1);
    QCOMPARE(data->field(QStringLiteral("学号")).toString(), QStringLiteral("2006007"));
}

void tst_scores::summaryFindsNothing()
{
    summaryFixture();
    platform::Form* w = open(QStringLiteral("frmchz"));
    setRange(w, QDate(2006, 1, 1), QDate(2008, 12, 31));
    // A number with a quote is a number like any other: nothing found, no failed statement.
    c<QCheckBox>(w, "chkXh")->setChecked(true);
    type(w, "txtXh", QStringLiteral("2006001' or '1'='1"));
    press(w, "cmdHz");
    QCOMPARE(Gui::boxTexts(), QStringList { kNoSummary });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("抱歉"));
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
    QVERIFY(text(w, "txtXh").isEmpty());
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(rs(w, "rs_Cj")->recordCount(), 0);

    // The placeholder row has no class: its student is in no summary.
    type(w, "txtXh", QStringLiteral("2006004"));
    setRange(w, QDate(2006, 9, 1), QDate(2006, 9, 1));
    press(w, "cmdHz");
    QCOMPARE(Gui::boxTexts().size(), 2);

    // A class name with a quote, and a class without scores: the class list is read again.
    c<QCheckBox>(w, "chkXh")->setChecked(false);
    c<QCheckBox>(w, "chkClass")->setChecked(true);
    for (const QString& name : { QStringLiteral("计算机2003级1班' or '1'='1"), QStringLiteral("艺术2006级2班") }) {
        pick(w, "dcbClass", name);
        press(w, "cmdHz");
        QCOMPARE(Gui::boxTexts().last(), kNoSummary);
        QCOMPARE(panel(w, 3), QStringLiteral("0"));
        QCOMPARE(rs(w, "rs_Bm")->recordCount(), 96);
    }
    QCOMPARE(Gui::boxTexts().size(), 4);
}

// ---- pictures -----------------------------------------------------------------------------

void tst_scores::screens()
{
    summaryFixture();
    addCourse(QStringLiteral("C001"), QStringLiteral("高等数学"), 96, 5);
    addCourse(QStringLiteral("C012"), QStringLiteral("软件工程"), 48, 2.5);
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    press(w, "cmdAdd");
    Gui::snapshot(w, QStringLiteral("frmchenggl"));
    w->close();
    Gui::settle();
    w = open(QStringLiteral("frmkgl"));
    Gui::snapshot(w, QStringLiteral("frmkgl"));
    w->close();
    Gui::settle();
    w = open(QStringLiteral("frmchz"));
    setRange(w, QDate(2006, 1, 1), QDate(2008, 12, 31));
    c<QCheckBox>(w, "chkClass")->setChecked(true);
    pick(w, "dcbClass", QStringLiteral("计算机2003级1班"));
    press(w, "cmdHz");
    Gui::snapshot(w, QStringLiteral("frmchz"));
}

QTEST_MAIN(tst_scores)
#include "tst_scores.moc"
