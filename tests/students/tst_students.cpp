#include "support/Controls.h"
#include "support/Gui.h"
#include "support/PgProxy.h"
#include "support/TestDb.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "shell/frmmain.h"
#include "store/DataControl.h"
#include "store/Sql.h"
#include "store/ui/DataCombo.h"
#include "store/ui/DataGrid.h"
#include "store/ui/DatePicker.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>

using platform::MsgBox;
using Answer = platform::MsgBox::Answer;
using store::Sql::quote;
using namespace Controls;

namespace {

const QString kNotFound = QStringLiteral("没有有效记录!");
const QString kNothingToBrowse = QStringLiteral("当前没有有效记录供浏览!");
const QString kSaved = QStringLiteral("信息保存成功!");

void addStudent(const QString& number, const QString& name, int department = 1, int classCode = 1, int status = 1)
{
    TestDb::exec(QStringLiteral("insert into 学生个人信息表 (学号, 姓名, 性别, 密码, 出生日期, 籍贯, 联系电话, 联系地址, "
                                "所在院系编号, 所在班级编号, 学籍情况, 政治面貌, 备注) values (%1, %2, '男', %1, '1988-03-07', "
                                "'江苏', '025-1234', '南京', %3, %4, %5, '团员', '原备注')")
                     .arg(quote(number), quote(name))
                     .arg(department)
                     .arg(classCode)
                     .arg(status));
}

QVariant studentField(const QString& number, const QString& column)
{
    return TestDb::value(QStringLiteral("select %1 from 学生个人信息表 where 学号=").arg(column) + quote(number));
}

int rows(const QString& table) { return TestDb::count(table); }

QStringList fullNames(QWidget* window) { return { text(window, "txtYx"), text(window, "txtBj"), text(window, "txtXj") }; }

// The student window, found a student by number.
void findNumber(QWidget* window, const QString& number)
{
    choose(window, "optXh");
    type(window, "txtXh", number);
    press(window, "cmdFind");
}

// What a new student needs besides its number and name.
void fillNewStudent(QWidget* add, const QString& number, const QString& name)
{
    type(add, "txtXuehao", number);
    type(add, "txtXinming", name);
    c<QComboBox>(add, "cbsex")->setCurrentIndex(1);
    pick(add, "dcbXj", QStringLiteral("在读"));
    pick(add, "dcbXueyuan", QStringLiteral("数学与统计学院"));
    pick(add, "dcbClass", QStringLiteral("数学2003级1班"));
}

} // namespace

class tst_students : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }

    void studentWindowOpensOnTheFirstStudent();
    void optionsPrepareTheSearch();
    void searchByNumberAndName();
    void searchByDepartmentAndClass();
    void browsingStopsAtBothEnds();
    void gridClickNarrowsTheStudentsRows();
    void editStateAndReset();
    void saveWritesTheStudentAndAStatusRow();
    void saveRefusesEmptyRequiredFields();
    void saveWithoutCodeChoicesWritesNothing();
    void refusedSaveWritesNoStatusRow();
    void editedTextsAreStoredWhole();
    void deleteAsksAndRemovesOnlyTheStudent();
    void failedSaveLeavesNothingPending();
    void serverGoneDuringSaveLeavesNothingPending();
    void editorsKeepWhatTheyCannotShow();

    void newStudentIsStoredWithItsPlaceholderRows();
    void newStudentFromTheMainWindow();
    void newStudentRequiredFields();
    void newStudentWithoutCodesStoresNothing();
    void newStudentWithATakenNumberStoresNothing();
    void newStudentFailingHalfWayStoresNothing();
    void newStudentResetKeepsTheChoices();
    void newStudentWithoutTheServer();
    void newStudentQuotesAndLongTexts();

    void allStudentsBrowser();
    void screens();
};

// ---- search and browse --------------------------------------------------------------------

void tst_students::studentWindowOpensOnTheFirstStudent()
{
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), 2, 9, 2);
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    QCOMPARE(w->windowTitle(), QStringLiteral("学生信息查询窗体"));
    QCOMPARE(panel(w, 1), QStringLiteral("<>请注意:\"编辑\"学生信息时,红色标注的信息不可缺少!添加完新信息自动刷新!"));
    QCOMPARE(panel(w, 2), QStringLiteral("当前共有有效记录:"));
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    QCOMPARE(text(w, "txtBarth"), QStringLiteral("1988-3-7"));
    QCOMPARE(text(w, "txtMemo"), QStringLiteral("原备注"));
    QCOMPARE(fullNames(w), (QStringList { QStringLiteral("计算机科学与技术学院"), QStringLiteral("计算机2003级1班"), QStringLiteral("在读") }));
    for (const char* option : { "optXh", "optXm", "optBj", "optXy" })
        QVERIFY(!c<QRadioButton>(w, option)->isChecked());
    QVERIFY(locked(w, "txtXh") && locked(w, "txtXm"));
    QVERIFY(c<store::DataCombo>(w, "dcbBj")->isLocked() && c<store::DataCombo>(w, "dcbYx")->isLocked());
    for (const char* box : { "txtXuehao", "txtXinming", "txtXb", "txtBarth", "txtJg", "txtYx", "txtBj", "txtPhone",
             "txtAddress", "txtZm", "txtXj", "txtMemo" })
        QVERIFY2(locked(w, box), box);
    QVERIFY(enabled(w, "cmdAdd") && enabled(w, "cmdDelet") && enabled(w, "cmdEdit"));
    QVERIFY(!enabled(w, "cmdUpgrate") && !enabled(w, "cmdClear"));
    for (const char* editor : { "dpkBarth", "cbmian", "dcbXueyuan", "dcbClass", "dcbXj" })
        QVERIFY2(!c<QWidget>(w, editor)->isVisible(), editor);
    QCOMPARE(c<QLabel>(w, "lblXuehao")->palette().color(QPalette::WindowText), QColor(192, 0, 0));
    QCOMPARE(c<QLabel>(w, "lblJg")->palette().color(QPalette::WindowText), QApplication::palette().color(QPalette::WindowText));

    auto* grid = c<store::DataGrid>(w, "dgdXinf");
    QStringList captions;
    for (int i = 0; i < grid->model()->columnCount(); ++i)
        if (!grid->isColumnHidden(grid->horizontalHeader()->logicalIndex(i)))
            captions << grid->model()->headerData(grid->horizontalHeader()->logicalIndex(i), Qt::Horizontal).toString();
    QCOMPARE(captions, (QStringList { QStringLiteral("学号"), QStringLiteral("姓名") }));
    QVERIFY(!grid->allowUpdate());
    QVERIFY(Gui::boxes().isEmpty());

    // Closing brings the main window back.
    w->close();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_students::optionsPrepareTheSearch()
{
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    type(w, "txtXm", QStringLiteral("旧"));
    choose(w, "optXh");
    QVERIFY(!locked(w, "txtXh"));
    QVERIFY(locked(w, "txtXm"));
    QCOMPARE(text(w, "txtXm"), QString());
    QCOMPARE(QApplication::focusWidget(), c<QWidget>(w, "txtXh"));
    QCOMPARE(rs(w, "rs_Yxc")->recordSource(), QStringLiteral("select * from 院系代码表"));

    type(w, "txtXh", QStringLiteral("2006"));
    choose(w, "optXm");
    QVERIFY(!locked(w, "txtXm") && locked(w, "txtXh"));
    QCOMPARE(text(w, "txtXh"), QString());
    QCOMPARE(QApplication::focusWidget(), c<QWidget>(w, "txtXm"));

    choose(w, "optBj");
    QVERIFY(!c<store::DataCombo>(w, "dcbBj")->isLocked());
    QVERIFY(c<store::DataCombo>(w, "dcbYx")->isLocked() && locked(w, "txtXh") && locked(w, "txtXm"));
    QCOMPARE(rs(w, "rs_Bjc")->recordSource(), QStringLiteral("select * from 班级代码表"));

    choose(w, "optXy");
    QVERIFY(!c<store::DataCombo>(w, "dcbYx")->isLocked() && c<store::DataCombo>(w, "dcbBj")->isLocked());

    // With no criterion chosen the button does nothing.
    platform::Forms::unload(w);
    Gui::settle();
    w = open(QStringLiteral("frmsinfgl"));
    const QString before = rs(w, "rs_Sinf")->recordSource();
    press(w, "cmdFind");
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(rs(w, "rs_Sinf")->recordSource(), before);
}

void tst_students::searchByNumberAndName()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), 2, 9, 2);
    addStudent(QStringLiteral("2006003"), QStringLiteral("李四"), 3, 17, 1);
    addStudent(QStringLiteral("2006'04"), QStringLiteral("O'Brien"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));

    findNumber(w, QStringLiteral("  2006002 "));
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006002"));
    QCOMPARE(fullNames(w), (QStringList { QStringLiteral("数学与统计学院"), QStringLiteral("数学2003级1班"), QStringLiteral("休学") }));
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QVERIFY(enabled(w, "cmdDelet") && enabled(w, "cmdEdit"));

    // An exact match: a part of the number finds nothing, and the box is ready for another try.
    findNumber(w, QStringLiteral("200600"));
    QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("提示"));
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(fullNames(w), (QStringList { QString(), QString(), QString() }));
    QCOMPARE(text(w, "txtXuehao"), QString());
    QVERIFY(!enabled(w, "cmdDelet") && !enabled(w, "cmdEdit"));
    QCOMPARE(text(w, "txtXh"), QString());
    QCOMPARE(QApplication::focusWidget(), c<QWidget>(w, "txtXh"));

    findNumber(w, QStringLiteral("2006'04"));
    QCOMPARE(text(w, "txtXinming"), QStringLiteral("O'Brien"));
    QVERIFY(enabled(w, "cmdEdit"));

    choose(w, "optXm");
    type(w, "txtXm", QStringLiteral(" 李四 "));
    press(w, "cmdFind");
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006002"));
    type(w, "txtXm", QStringLiteral("O'Brien"));
    press(w, "cmdFind");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006'04"));
    QCOMPARE(Gui::boxes().size(), 1);

    type(w, "txtXm", QStringLiteral("李"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts().last(), kNotFound);
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(text(w, "txtXm"), QString());
    QCOMPARE(QApplication::focusWidget(), c<QWidget>(w, "txtXm"));

    // A name that tries to end its literal matches nobody.
    type(w, "txtXm", QStringLiteral("x' or '1'='1"));
    press(w, "cmdFind");
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
}

void tst_students::searchByDepartmentAndClass()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), 2, 9, 1);
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), 1, 9, 2);
    addStudent(QStringLiteral("2006003"), QStringLiteral("王五"), 2, 10, 1);
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    auto* departments = c<store::DataCombo>(w, "dcbYx");

    choose(w, "optXy");
    pick(w, "dcbYx", QStringLiteral("数学与统计学院"));
    press(w, "cmdFind");
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    QCOMPARE(text(w, "txtYx"), QStringLiteral("数学与统计学院"));
    QCOMPARE(rs(w, "rs_Yxc")->recordSource(), QStringLiteral("select * from 院系代码表 order by 学院编码"));
    QCOMPARE(departments->count(), 12);
    QCOMPARE(departments->itemText(0), QStringLiteral("计算机科学与技术学院"));

    // A department without students.
    pick(w, "dcbYx", QStringLiteral("法学院"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts(), QStringList { kNotFound });
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(fullNames(w), (QStringList { QString(), QString(), QString() }));
    QVERIFY(!enabled(w, "cmdDelet") && !enabled(w, "cmdEdit"));
    QCOMPARE(departments->count(), 12);
    QCOMPARE(departments->itemText(11), QStringLiteral("艺术学院"));

    // Nothing chosen: the list is named, and the students found before stay.
    pick(w, "dcbYx", QString());
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("请在“所属院系”列表中选择院系!"));
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(departments->count(), 12);

    choose(w, "optBj");
    pick(w, "dcbBj", QStringLiteral("数学2003级1班"));
    press(w, "cmdFind");
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    QCOMPARE(text(w, "txtBj"), QStringLiteral("数学2003级1班"));
    QVERIFY(enabled(w, "cmdDelet") && enabled(w, "cmdEdit"));
    QCOMPARE(rs(w, "rs_Bjc")->recordSource(), QStringLiteral("select * from 班级代码表 order by 班级代码"));
    pick(w, "dcbBj", QStringLiteral("不存在的班"));
    press(w, "cmdFind");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("请在“所属班级”列表中选择班级!"));
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
}

void tst_students::browsingStopsAtBothEnds()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), 1, 1, 1);
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), 2, 9, 2);
    addStudent(QStringLiteral("2006003"), QStringLiteral("王五"), 3, 17, 3);
    platform::Form* w = open(QStringLiteral("frmsinfgl"));

    press(w, "cmdLast");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006003"));
    QCOMPARE(text(w, "txtXj"), QStringLiteral("复学"));
    press(w, "cmdNext");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006003"));
    QCOMPARE(text(w, "txtYx"), QStringLiteral("物理与电子工程学院"));
    press(w, "cmdPreive");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006002"));
    QCOMPARE(text(w, "txtXj"), QStringLiteral("休学"));
    press(w, "cmdFirst");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    press(w, "cmdPreive");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    QCOMPARE(text(w, "txtXj"), QStringLiteral("在读"));
    press(w, "cmdNext");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006002"));
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(rs(w, "rs_Sinf")->currentRow(), 1);

    // A student without codes shows no full names; browsing goes on.
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 学籍情况=NULL, 所在院系编号=NULL where 学号='2006003'"));
    findNumber(w, QStringLiteral("2006003"));
    QCOMPARE(fullNames(w), (QStringList { QString(), QStringLiteral("物理2003级1班"), QString() }));
    QVERIFY(Gui::boxes().isEmpty());

    findNumber(w, QStringLiteral("none"));
    platform::MsgBox::clear();
    for (const char* button : { "cmdFirst", "cmdPreive", "cmdNext", "cmdLast" })
        press(w, button);
    QCOMPARE(Gui::boxTexts(), QStringList(4, kNothingToBrowse));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("提示"));
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
}

void tst_students::gridClickNarrowsTheStudentsRows()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), 1, 1, 1);
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), 2, 9, 2);
    addStudent(QStringLiteral("2006003"), QStringLiteral("王五"), 3, 17, 3);
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    auto* grid = c<store::DataGrid>(w, "dgdXinf");

    clickRow(grid, 1);
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006002"));
    QCOMPARE(text(w, "txtYx"), QStringLiteral("数学与统计学院"));
    QCOMPARE(rs(w, "rs_chengji")->recordSource(), QStringLiteral("select * from 学生成绩表 where 学号=2006002"));
    QCOMPARE(rs(w, "rs_award")->recordSource(), QStringLiteral("select * from 奖励记录信息表 where 学号=2006002"));
    QCOMPARE(rs(w, "rs_chufa")->recordSource(), QStringLiteral("select * from 处罚等级记录表 where 学号=2006002"));
    QVERIFY(rs(w, "rs_chengji")->isOpen());

    // Moving by keyboard: the full names follow the current student too.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    Gui::settle();
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006003"));
    QCOMPARE(text(w, "txtYx"), QStringLiteral("物理与电子工程学院"));
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(panel(w, 3), QStringLiteral("3"));
}

// ---- editing ------------------------------------------------------------------------------

void tst_students::editStateAndReset()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), 2, 9, 2);
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));

    press(w, "cmdEdit");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("可以编辑信息!") });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("注意"));
    QVERIFY(!enabled(w, "cmdAdd") && !enabled(w, "cmdDelet"));
    QVERIFY(enabled(w, "cmdEdit") && enabled(w, "cmdUpgrate") && enabled(w, "cmdClear"));
    for (const char* box : { "txtXuehao", "txtXinming", "txtXb", "txtJg", "txtPhone", "txtAddress" })
        QVERIFY2(!locked(w, box), box);
    QVERIFY(locked(w, "txtMemo"));
    for (const char* box : { "txtBarth", "txtZm", "txtYx", "txtBj", "txtXj" })
        QVERIFY2(!c<QWidget>(w, box)->isVisible(), box);
    for (const char* editor : { "dpkBarth", "cbmian", "dcbXueyuan", "dcbClass", "dcbXj" })
        QVERIFY2(c<QWidget>(w, editor)->isVisible(), editor);
    QVERIFY(!enabled(w, "dgdXinf") && !enabled(w, "famLl") && !enabled(w, "cmdFind"));
    // The editors start from the student's stored values.
    QCOMPARE(c<store::DatePicker>(w, "dpkBarth")->value(), QDate(1988, 3, 7));
    QCOMPARE(c<QComboBox>(w, "cbmian")->currentText(), QStringLiteral("团员"));
    QCOMPARE(c<store::DataCombo>(w, "dcbXueyuan")->text(), QStringLiteral("数学与统计学院"));
    QCOMPARE(c<store::DataCombo>(w, "dcbClass")->text(), QStringLiteral("数学2003级1班"));
    QCOMPARE(c<store::DataCombo>(w, "dcbXj")->text(), QStringLiteral("休学"));
    QCOMPARE(c<store::DataCombo>(w, "dcbXj")->count(), 10);

    press(w, "cmdEdit");
    QCOMPARE(Gui::boxes().size(), 2);
    QVERIFY(enabled(w, "cmdUpgrate"));

    type(w, "txtXinming", QStringLiteral("改过的名字"));
    press(w, "cmdClear");
    QVERIFY(enabled(w, "cmdAdd") && enabled(w, "cmdDelet") && enabled(w, "cmdEdit"));
    QVERIFY(!enabled(w, "cmdUpgrate") && !enabled(w, "cmdClear"));
    QVERIFY(locked(w, "txtXinming"));
    QVERIFY(c<QWidget>(w, "txtYx")->isVisible() && !c<QWidget>(w, "dcbXueyuan")->isVisible());
    QCOMPARE(text(w, "txtXinming"), QStringLiteral("张三"));
    QCOMPARE(QApplication::focusWidget(), c<QWidget>(w, "cmdAdd"));
    QVERIFY(enabled(w, "dgdXinf") && enabled(w, "famLl") && enabled(w, "cmdFind"));
    press(w, "cmdNext");
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006002"));
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("姓名")).toString(), QStringLiteral("张三"));
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 0);
}

void tst_students::saveWritesTheStudentAndAStatusRow()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdNext");
    press(w, "cmdEdit");
    type(w, "txtXinming", QStringLiteral("  李四光 "));
    type(w, "txtJg", QStringLiteral(" 湖北 "));
    type(w, "txtPhone", QStringLiteral("027-5555"));
    type(w, "txtAddress", QStringLiteral("武汉"));
    pick(w, "dcbClass", QStringLiteral("计算机2003级2班"));
    pick(w, "dcbXj", QStringLiteral("休学"));
    press(w, "cmdUpgrate");

    QCOMPARE(Gui::boxTexts(), (QStringList { QStringLiteral("可以编辑信息!"), kSaved }));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("成功"));
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
    const QString number = QStringLiteral("2006002");
    QCOMPARE(studentField(number, QStringLiteral("姓名")).toString(), QStringLiteral("李四光"));
    QCOMPARE(studentField(number, QStringLiteral("籍贯")).toString(), QStringLiteral("湖北"));
    QCOMPARE(studentField(number, QStringLiteral("联系电话")).toString(), QStringLiteral("027-5555"));
    QCOMPARE(studentField(number, QStringLiteral("联系地址")).toString(), QStringLiteral("武汉"));
    QCOMPARE(studentField(number, QStringLiteral("所在班级编号")).toInt(), 2);
    QCOMPARE(studentField(number, QStringLiteral("学籍情况")).toInt(), 2);
    // What was not touched keeps its stored value.
    QCOMPARE(studentField(number, QStringLiteral("出生日期")).toDate(), QDate(1988, 3, 7));
    QCOMPARE(studentField(number, QStringLiteral("政治面貌")).toString(), QStringLiteral("团员"));
    QCOMPARE(studentField(number, QStringLiteral("所在院系编号")).toInt(), 1);
    QCOMPARE(studentField(number, QStringLiteral("备注")).toString(), QStringLiteral("原备注"));
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("姓名")).toString(), QStringLiteral("张三"));

    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 1);
    QCOMPARE(TestDb::value(QStringLiteral("select 学号 from 学籍变更信息表")).toString(), number);
    QCOMPARE(TestDb::value(QStringLiteral("select 变更代码 from 学籍变更信息表")).toInt(), 2);
    QCOMPARE(TestDb::value(QStringLiteral("select 记录时间 from 学籍变更信息表")).toDate(), QDate::currentDate());

    // Back in the browse state on the first row of the statement; the count is as it was.
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));
    QCOMPARE(text(w, "txtXj"), QStringLiteral("在读"));
    QCOMPARE(panel(w, 3), QStringLiteral("2"));
    QVERIFY(!enabled(w, "cmdUpgrate") && enabled(w, "cmdAdd") && enabled(w, "dgdXinf"));

    // Saving again without a change logs another row with the unchanged code; a changed picker
    // date and political status are stored.
    press(w, "cmdEdit");
    c<store::DatePicker>(w, "dpkBarth")->setValue(QDate(1990, 12, 31));
    c<QComboBox>(w, "cbmian")->setCurrentIndex(2);
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), kSaved);
    QCOMPARE(rows(QStringLiteral("学籍变更信息表 where 学号='2006001' and 变更代码=1")), 1);
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("出生日期")).toDate(), QDate(1990, 12, 31));
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("政治面貌")).toString(), QStringLiteral("党员"));

    // A student found by number whose number is changed leaves an empty result; the window goes on.
    findNumber(w, QStringLiteral("2006001"));
    press(w, "cmdEdit");
    type(w, "txtXuehao", QStringLiteral("2006009"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), kSaved);
    QCOMPARE(rows(QStringLiteral("学生个人信息表 where 学号='2006009'")), 1);
    QCOMPARE(fullNames(w), (QStringList { QString(), QString(), QString() }));
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 3);
}

void tst_students::saveRefusesEmptyRequiredFields()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdEdit");
    type(w, "txtXuehao", QString());
    type(w, "txtXinming", QStringLiteral("新名字"));
    type(w, "txtXb", QString());
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().mid(1), (QStringList { QStringLiteral("学号不能为空!"), QStringLiteral("性别不能为空!") }));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("注意"));
    QVERIFY(!enabled(w, "cmdUpgrate") && enabled(w, "cmdEdit"));
    // The stored values are shown again, and nothing is pending that a move could write.
    QCOMPARE(text(w, "txtXinming"), QStringLiteral("张三"));
    press(w, "cmdNext");
    press(w, "cmdFirst");
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("姓名")).toString(), QStringLiteral("张三"));
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("性别")).toString(), QStringLiteral("男"));
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 0);

    // Blanks only are no name.
    press(w, "cmdEdit");
    type(w, "txtXinming", QStringLiteral("   "));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("姓名不能为空!"));
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("姓名")).toString(), QStringLiteral("张三"));
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 0);
}

void tst_students::saveWithoutCodeChoicesWritesNothing()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    struct Case {
        const char* combo;
        QString message;
    };
    const Case cases[] = {
        { "dcbXueyuan", QStringLiteral("请在“所属学院”列表中选择学院!") },
        { "dcbClass", QStringLiteral("请在“所在班级”列表中选择班级!") },
        { "dcbXj", QStringLiteral("请在“学籍情况”列表中选择学籍情况!") },
    };
    for (const Case& test : cases) {
        platform::MsgBox::clear();
        press(w, "cmdEdit");
        type(w, "txtXinming", QStringLiteral("新名字"));
        pick(w, test.combo, QStringLiteral("不在列表中"));
        press(w, "cmdUpgrate");
        QCOMPARE(Gui::boxTexts().last(), test.message);
        QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::None);
        QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
        QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("姓名")).toString(), QStringLiteral("张三"));
        QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 0);
        QCOMPARE(text(w, "txtXinming"), QStringLiteral("张三"));
        QCOMPARE(text(w, "txtYx"), QStringLiteral("计算机科学与技术学院"));
        QVERIFY(!enabled(w, "cmdUpgrate"));
    }
}

void tst_students::refusedSaveWritesNoStatusRow()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));

    // A number that another student has: the table refuses the row, the status row goes too.
    press(w, "cmdNext");
    press(w, "cmdEdit");
    type(w, "txtXuehao", QStringLiteral(" 2006001 "));
    type(w, "txtXinming", QStringLiteral("改名"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("学号为“2006001”的学生已经存在,不能重复保存!信息未保存。"));
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 0);
    QCOMPARE(studentField(QStringLiteral("2006002"), QStringLiteral("姓名")).toString(), QStringLiteral("李四"));
    QCOMPARE(rows(QStringLiteral("学生个人信息表")), 2);
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006001"));

    // A column that another user changed meanwhile is refused, and nothing is logged.
    press(w, "cmdEdit");
    type(w, "txtPhone", QStringLiteral("110"));
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 联系电话='119', 籍贯='上海' where 学号='2006001'"));
    press(w, "cmdUpgrate");
    QVERIFY(Gui::boxTexts().last().endsWith(QStringLiteral("信息未保存。")));
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 0);
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("联系电话")).toString(), QStringLiteral("119"));

    // Read again, the same edit is stored.
    press(w, "cmdEdit");
    type(w, "txtPhone", QStringLiteral("110"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), kSaved);
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("联系电话")).toString(), QStringLiteral("110"));
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("籍贯")).toString(), QStringLiteral("上海"));
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 1);
}

void tst_students::editedTextsAreStoredWhole()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdEdit");
    const QString address = longText(40000);
    type(w, "txtAddress", address);
    type(w, "txtXinming", QStringLiteral("O'Neil"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), kSaved);
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("联系地址")).toString(), address.trimmed());
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("姓名")).toString(), QStringLiteral("O'Neil"));
    QCOMPARE(text(w, "txtAddress"), address.trimmed());
}

void tst_students::failedSaveLeavesNothingPending()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdEdit");
    type(w, "txtPhone", QStringLiteral("110"));
    // The status table goes from under the save: its row is refused, and so is reading it again.
    TestDb::exec(QStringLiteral("alter table 学籍变更信息表 rename to 学籍变更信息表旧"));
    press(w, "cmdUpgrate");
    QVERIFY(Gui::boxTexts().last().endsWith(QStringLiteral("信息未保存。")));
    TestDb::exec(QStringLiteral("alter table 学籍变更信息表旧 rename to 学籍变更信息表"));
    // Browsing on never writes what the failed save left behind.
    press(w, "cmdNext");
    press(w, "cmdPreive");
    QCOMPARE(text(w, "txtPhone"), QStringLiteral("025-1234"));
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("联系电话")).toString(), QStringLiteral("025-1234"));
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 0);
    QVERIFY(!enabled(w, "cmdUpgrate") && enabled(w, "cmdEdit"));
}

void tst_students::serverGoneDuringSaveLeavesNothingPending()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    PgProxy proxy(TestDb::pgSocketFile());
    TestDb::addProxySource(QStringLiteral("Orlenta"), proxy.port());
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    QCOMPARE(proxy.sessions(), 1);
    press(w, "cmdEdit");
    type(w, "txtPhone", QStringLiteral("110"));
    // The server goes down as the status row is sent, and stays down while the window recovers.
    proxy.loseReplyTo("INSERT INTO 学籍变更信息表", true);
    press(w, "cmdUpgrate");
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("与数据库服务器的连接已断开")), qPrintable(Gui::boxTexts().last()));
    QVERIFY(!Gui::boxTexts().contains(kSaved));
    QCOMPARE(text(w, "txtYx"), QString()); // no names of a student that is not shown
    QCOMPARE(panel(w, 3), QStringLiteral("0"));

    // The server is back: browsing on writes nothing, and a new search shows the stored row.
    proxy.refuse(false);
    press(w, "cmdNext");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("当前没有有效记录供浏览!"));
    findNumber(w, QStringLiteral("2006001"));
    QCOMPARE(text(w, "txtPhone"), QStringLiteral("025-1234"));
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("联系电话")).toString(), QStringLiteral("025-1234"));
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 0);
    platform::Forms::discardAll();
    TestDb::restoreSources();
}

void tst_students::editorsKeepWhatTheyCannotShow()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    addStudent(QStringLiteral("2006003"), QStringLiteral("王五"));
    addStudent(QStringLiteral("2006004"), QStringLiteral("赵六"));
    // No birth date, a political status not in the list, a class without a full name; dates
    // before and after the picker's range.
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 出生日期=NULL, 政治面貌='无党派人士', 所在班级编号=99 where 学号='2006002'"));
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 出生日期='1850-05-05', 政治面貌=NULL where 学号='2006003'"));
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 出生日期='3100-01-02' where 学号='2006004'"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    auto* picker = c<store::DatePicker>(w, "dpkBarth");

    // Student A is edited and reset; B, who has no birth date, is saved with a new phone.
    press(w, "cmdEdit");
    QCOMPARE(picker->value(), QDate(1988, 3, 7));
    press(w, "cmdClear");
    press(w, "cmdNext");
    press(w, "cmdEdit");
    QCOMPARE(picker->text().trimmed(), QString());
    type(w, "txtPhone", QStringLiteral("120"));
    press(w, "cmdUpgrate");
    QCOMPARE(Gui::boxTexts().last(), kSaved);
    QVERIFY(studentField(QStringLiteral("2006002"), QStringLiteral("出生日期")).isNull());
    QCOMPARE(studentField(QStringLiteral("2006002"), QStringLiteral("政治面貌")).toString(), QStringLiteral("无党派人士"));
    QCOMPARE(studentField(QStringLiteral("2006002"), QStringLiteral("所在班级编号")).toInt(), 99);
    QCOMPARE(studentField(QStringLiteral("2006002"), QStringLiteral("联系电话")).toString(), QStringLiteral("120"));

    // Dates the picker cannot reach are shown as they are and kept.
    for (const auto& [number, birth] : { std::pair { "2006003", QDate(1850, 5, 5) }, std::pair { "2006004", QDate(3100, 1, 2) } }) {
        findNumber(w, QString::fromLatin1(number));
        press(w, "cmdEdit");
        QCOMPARE(picker->text(), store::Sql::dateText(birth));
        type(w, "txtJg", QStringLiteral("北京"));
        press(w, "cmdUpgrate");
        QCOMPARE(Gui::boxTexts().last(), kSaved);
        QCOMPARE(studentField(QString::fromLatin1(number), QStringLiteral("出生日期")).toDate(), birth);
    }
    QVERIFY(studentField(QStringLiteral("2006003"), QStringLiteral("政治面貌")).isNull());

    // A date the user picks is stored; pressing 编辑 again keeps what was chosen.
    findNumber(w, QStringLiteral("2006003"));
    press(w, "cmdEdit");
    picker->setDate(QDate(1999, 9, 9));
    c<QComboBox>(w, "cbmian")->setCurrentIndex(2);
    press(w, "cmdEdit");
    QCOMPARE(picker->value(), QDate(1999, 9, 9));
    press(w, "cmdUpgrate");
    QCOMPARE(studentField(QStringLiteral("2006003"), QStringLiteral("出生日期")).toDate(), QDate(1999, 9, 9));
    QCOMPARE(studentField(QStringLiteral("2006003"), QStringLiteral("政治面貌")).toString(), QStringLiteral("党员"));
}

void tst_students::deleteAsksAndRemovesOnlyTheStudent()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), 1, 1, 1);
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), 2, 9, 2);
    TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 成绩, 考试时间) values ('2006001', '高等数学', 90, '2006-06-20')"));
    TestDb::exec(QStringLiteral("insert into 奖励记录信息表 (学号, 级别代码) values ('2006001', 1)"));
    TestDb::exec(QStringLiteral("insert into 学籍变更信息表 (学号, 变更代码, 记录时间) values ('2006001', 1, '2006-09-01')"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));

    const int beeps = platform::Program::beeps();
    Gui::answer(Answer::Cancel);
    press(w, "cmdDelet");
    QCOMPARE(platform::Program::beeps(), beeps + 1);
    QCOMPARE(Gui::boxes().size(), 1);
    const auto question = Gui::boxes().last();
    QCOMPARE(question.text, QStringLiteral("要删除此条信息吗?"));
    QCOMPARE(question.title, QStringLiteral("询问"));
    QCOMPARE(question.icon, MsgBox::Icon::Question);
    QCOMPARE(question.buttons, MsgBox::Buttons::OkCancel);
    QCOMPARE(rows(QStringLiteral("学生个人信息表")), 2);
    QCOMPARE(panel(w, 3), QStringLiteral("2"));

    Gui::answer(Answer::Ok);
    press(w, "cmdDelet");
    QCOMPARE(Gui::boxes().size(), 2);
    QCOMPARE(rows(QStringLiteral("学生个人信息表")), 1);
    QCOMPARE(rows(QStringLiteral("学生个人信息表 where 学号='2006001'")), 0);
    QCOMPARE(panel(w, 3), QStringLiteral("1"));
    QCOMPARE(text(w, "txtXuehao"), QStringLiteral("2006002"));
    QCOMPARE(text(w, "txtYx"), QStringLiteral("数学与统计学院"));
    // The student's scores, awards and status changes stay.
    QCOMPARE(rows(QStringLiteral("学生成绩表")), 1);
    QCOMPARE(rows(QStringLiteral("奖励记录信息表")), 1);
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 1);

    Gui::answer(Answer::Ok);
    press(w, "cmdDelet");
    QCOMPARE(rows(QStringLiteral("学生个人信息表")), 0);
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
    QCOMPARE(fullNames(w), (QStringList { QString(), QString(), QString() }));

    // Nothing left to delete: silent.
    Gui::answer(Answer::Ok);
    press(w, "cmdDelet");
    QCOMPARE(Gui::boxes().size(), 4);
    QCOMPARE(panel(w, 3), QStringLiteral("0"));
}

// ---- new students -------------------------------------------------------------------------

void tst_students::newStudentIsStoredWithItsPlaceholderRows()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdAdd");
    platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
    QVERIFY(add && add->isVisible());
    QVERIFY(!w->isVisible());
    QCOMPARE(add->windowTitle(), QStringLiteral("学生信息添加窗体"));
    Gui::activate(add);
    QCOMPARE(c<store::DatePicker>(add, "dpkBarth")->value(), QDate::currentDate());
    QCOMPARE(c<QComboBox>(add, "cbsex")->currentIndex(), -1);
    QCOMPARE(c<QLabel>(add, "lblHint")->text(), QStringLiteral("<>红色为必填字段"));
    QCOMPARE(c<QLabel>(add, "lblsex")->palette().color(QPalette::WindowText), QColor(192, 0, 0));

    fillNewStudent(add, QStringLiteral(" 2006100 "), QStringLiteral(" 王五 "));
    type(add, "txtJg", QStringLiteral(" 浙江 "));
    type(add, "txtPhone", QStringLiteral("0571-1"));
    type(add, "txtAddress", QStringLiteral("杭州 "));
    type(add, "txtMemo", QStringLiteral("第一行\n第二行\n"));
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts(), QStringList { kSaved });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("成功"));
    Gui::settle();
    QVERIFY(!Gui::form(QStringLiteral("frmAdd")));
    QVERIFY(w->isVisible());

    const QString number = QStringLiteral("2006100");
    QCOMPARE(rows(QStringLiteral("学生个人信息表")), 2);
    QCOMPARE(rows(QStringLiteral("学生个人信息表 where 学号='2006100'")), 1);
    QCOMPARE(studentField(number, QStringLiteral("姓名")).toString(), QStringLiteral("王五"));
    QCOMPARE(studentField(number, QStringLiteral("性别")).toString(), QStringLiteral("女"));
    QCOMPARE(studentField(number, QStringLiteral("密码")).toString(), number);
    QCOMPARE(studentField(number, QStringLiteral("出生日期")).toDate(), QDate::currentDate());
    QCOMPARE(studentField(number, QStringLiteral("籍贯")).toString(), QStringLiteral("浙江"));
    QCOMPARE(studentField(number, QStringLiteral("联系地址")).toString(), QStringLiteral("杭州"));
    QCOMPARE(studentField(number, QStringLiteral("备注")).toString(), QStringLiteral("第一行\n第二行"));
    QCOMPARE(studentField(number, QStringLiteral("所在院系编号")).toInt(), 2);
    QCOMPARE(studentField(number, QStringLiteral("所在班级编号")).toInt(), 9);
    QCOMPARE(studentField(number, QStringLiteral("学籍情况")).toInt(), 1);
    QCOMPARE(studentField(number, QStringLiteral("政治面貌")).toString(), QString());

    QCOMPARE(rows(QStringLiteral("处罚等级记录表")), 1);
    QCOMPARE(rows(QStringLiteral("处罚等级记录表 where 学号='2006100' and 级别代码=0 and 记录时间 is null")), 1);
    QCOMPARE(rows(QStringLiteral("奖励记录信息表")), 1);
    QCOMPARE(rows(QStringLiteral("奖励记录信息表 where 学号='2006100' and 级别代码=0")), 1);
    QCOMPARE(rows(QStringLiteral("学生成绩表")), 1);
    QCOMPARE(rows(QStringLiteral("学生成绩表 where 学号='2006100' and 课程名='0' and 成绩=0 and 课程号 is null")), 1);
    QCOMPARE(TestDb::value(QStringLiteral("select 考试时间 from 学生成绩表")).toDate(), QDate::currentDate());
    QCOMPARE(rows(QStringLiteral("学籍变更信息表")), 0);

    // Back in the student window, its statement is run again and lists the new student.
    Gui::activate(w);
    QCOMPARE(rs(w, "rs_Sinf")->recordCount(), 2);
    press(w, "cmdLast");
    QCOMPARE(text(w, "txtXuehao"), number);
    QCOMPARE(text(w, "txtYx"), QStringLiteral("数学与统计学院"));
    QCOMPARE(rs(w, "rs_Sinf")->editMode(), store::DataControl::EditMode::None);

    // The new student signs in with the number as password.
    if (platform::Forms::isAvailable(QStringLiteral("frmsload"))) {
        platform::Forms::discardAll();
        Gui::settle();
        platform::Form* cload = open(QStringLiteral("frmCload"));
        choose(cload, "optStudent");
        press(cload, "cmdOk");
        platform::Form* sload = Gui::form(QStringLiteral("frmsload"));
        QVERIFY(sload);
        Gui::activate(sload);
        type(sload, "txtname", number);
        type(sload, "txtpwd", number);
        press(sload, "cmdok");
        QVERIFY(Gui::form(QStringLiteral("frmStudent")));
    }
}

void tst_students::newStudentFromTheMainWindow()
{
    platform::Form* main = open(QStringLiteral("frmmain"));
    QAction* add = main->findChild<QAction*>(QStringLiteral("tbrOpe2"));
    QVERIFY(add->isEnabled());
    add->trigger();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), (QStringList { QStringLiteral("frmAdd"), QStringLiteral("frmsinfgl") }));
    platform::Form* w = Gui::form(QStringLiteral("frmsinfgl"));
    platform::Form* form = Gui::form(QStringLiteral("frmAdd"));
    QVERIFY(form->isVisible() && !w->isVisible());
    QCOMPARE(rs(w, "rs_Sinf")->editMode(), store::DataControl::EditMode::Add);
    QCOMPARE(rs(w, "rs_chengji")->editMode(), store::DataControl::EditMode::Add);

    // Closed without saving: nothing is stored, the student window comes forward.
    Gui::activate(form);
    fillNewStudent(form, QStringLiteral("2006200"), QStringLiteral("赵六"));
    form->close();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmsinfgl") });
    QVERIFY(w->isVisible());
    for (const char* table : { "学生个人信息表", "学生成绩表", "奖励记录信息表", "处罚等级记录表" })
        QCOMPARE(rows(QString::fromUtf8(table)), 0);
    for (const char* name : { "rs_Sinf", "rs_chengji", "rs_award", "rs_chufa" })
        QCOMPARE(rs(w, name)->editMode(), store::DataControl::EditMode::None);
    QVERIFY(Gui::boxes().isEmpty());
    QVERIFY(!Gui::programEnded());

    // From the main window a second time: this time the student is saved.
    w->close();
    Gui::settle();
    main = Gui::form(QStringLiteral("frmmain"));
    QVERIFY(main);
    main->findChild<QAction*>(QStringLiteral("tbrOpe2"))->trigger();
    Gui::settle();
    form = Gui::form(QStringLiteral("frmAdd"));
    Gui::activate(form);
    fillNewStudent(form, QStringLiteral("2006200"), QStringLiteral("赵六"));
    press(form, "cmdSave");
    QCOMPARE(Gui::boxTexts(), QStringList { kSaved });
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmsinfgl") });
    for (const char* table : { "学生个人信息表", "学生成绩表", "奖励记录信息表", "处罚等级记录表" })
        QCOMPARE(rows(QString::fromUtf8(table)), 1);

    // Toolbar button 1 opens the all-students browser.
    Gui::form(QStringLiteral("frmsinfgl"))->close();
    Gui::settle();
    Gui::form(QStringLiteral("frmmain"))->findChild<QAction*>(QStringLiteral("tbrOpe1"))->trigger();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmallinf") });
}

void tst_students::newStudentRequiredFields()
{
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdAdd");
    platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
    Gui::activate(add);

    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("学号不能为空!") });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("注意"));
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
    QCOMPARE(QApplication::focusWidget(), c<QWidget>(add, "txtXuehao"));

    type(add, "txtXuehao", QStringLiteral("   "));
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("学号不能为空!"));

    type(add, "txtXuehao", QStringLiteral("2006300"));
    type(add, "txtXinming", QStringLiteral(" "));
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("姓名不能为空!"));
    QCOMPARE(QApplication::focusWidget(), c<QWidget>(add, "txtXinming"));

    type(add, "txtXinming", QStringLiteral("孙七"));
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("性别不能为空!"));
    QCOMPARE(Gui::boxes().size(), 4);
    QVERIFY(Gui::form(QStringLiteral("frmAdd")));
    QCOMPARE(rs(w, "rs_Sinf")->editMode(), store::DataControl::EditMode::Add);
    QCOMPARE(rows(QStringLiteral("学生个人信息表")), 0);

    // The fresh pending rows take the completed student, once.
    fillNewStudent(add, QStringLiteral("2006300"), QStringLiteral("孙七"));
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts().last(), kSaved);
    for (const char* table : { "学生个人信息表", "学生成绩表", "奖励记录信息表", "处罚等级记录表" })
        QCOMPARE(rows(QString::fromUtf8(table)), 1);
    QCOMPARE(studentField(QStringLiteral("2006300"), QStringLiteral("姓名")).toString(), QStringLiteral("孙七"));
}

void tst_students::newStudentWithoutCodesStoresNothing()
{
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdAdd");
    platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
    type(add, "txtXuehao", QStringLiteral("2006400"));
    type(add, "txtXinming", QStringLiteral("周八"));
    c<QComboBox>(add, "cbsex")->setCurrentIndex(0);
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("请在“所属学院”列表中选择学院!") });
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::None);
    Gui::settle();
    QVERIFY(!Gui::form(QStringLiteral("frmAdd")));
    QVERIFY(w->isVisible());
    for (const char* table : { "学生个人信息表", "学生成绩表", "奖励记录信息表", "处罚等级记录表" })
        QCOMPARE(rows(QString::fromUtf8(table)), 0);

    // A department but no class: the class list is named.
    press(w, "cmdAdd");
    add = Gui::form(QStringLiteral("frmAdd"));
    fillNewStudent(add, QStringLiteral("2006400"), QStringLiteral("周八"));
    pick(add, "dcbClass", QString());
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("请在“所在班级”列表中选择班级!"));
    QCOMPARE(rows(QStringLiteral("学生个人信息表")), 0);
}

void tst_students::newStudentWithATakenNumberStoresNothing()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdAdd");
    platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
    fillNewStudent(add, QStringLiteral(" 2006001"), QStringLiteral("冒名"));
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("学号为“2006001”的学生已经存在,不能重复保存!信息未保存。") });
    Gui::settle();
    QVERIFY(!Gui::form(QStringLiteral("frmAdd")));
    QCOMPARE(rows(QStringLiteral("学生个人信息表")), 1);
    QCOMPARE(studentField(QStringLiteral("2006001"), QStringLiteral("姓名")).toString(), QStringLiteral("张三"));
    for (const char* table : { "学生成绩表", "奖励记录信息表", "处罚等级记录表" })
        QCOMPARE(rows(QString::fromUtf8(table)), 0);
    QCOMPARE(rs(w, "rs_Sinf")->editMode(), store::DataControl::EditMode::None);
}

void tst_students::newStudentFailingHalfWayStoresNothing()
{
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdAdd");
    platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
    fillNewStudent(add, QStringLiteral("2006500"), QStringLiteral("吴九"));
    // The score table goes away after the student row and two placeholder rows are written.
    TestDb::exec(QStringLiteral("alter table 学生成绩表 rename to 学生成绩表_离开"));
    press(add, "cmdSave");
    TestDb::exec(QStringLiteral("alter table 学生成绩表_离开 rename to 学生成绩表"));
    QVERIFY(!Gui::boxTexts().isEmpty());
    QVERIFY2(Gui::boxTexts().first().endsWith(QStringLiteral("信息未保存。")), qPrintable(Gui::boxTexts().first()));
    QVERIFY(!Gui::boxTexts().contains(kSaved));
    Gui::settle();
    QVERIFY(!Gui::form(QStringLiteral("frmAdd")));
    QVERIFY(w->isVisible());
    for (const char* table : { "学生个人信息表", "学生成绩表", "奖励记录信息表", "处罚等级记录表" })
        QCOMPARE(rows(QString::fromUtf8(table)), 0);

    // The window is usable afterwards: the same student is stored in full.
    platform::MsgBox::clear();
    Gui::activate(w);
    press(w, "cmdAdd");
    add = Gui::form(QStringLiteral("frmAdd"));
    fillNewStudent(add, QStringLiteral("2006500"), QStringLiteral("吴九"));
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts(), QStringList { kSaved });
    for (const char* table : { "学生个人信息表", "学生成绩表", "奖励记录信息表", "处罚等级记录表" })
        QCOMPARE(rows(QString::fromUtf8(table)), 1);
}

void tst_students::newStudentResetKeepsTheChoices()
{
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdAdd");
    platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
    fillNewStudent(add, QStringLiteral("2006600"), QStringLiteral("郑十"));
    c<QComboBox>(add, "cbmian")->setCurrentIndex(1);
    c<store::DatePicker>(add, "dpkBarth")->setValue(QDate(1989, 1, 2));
    type(add, "txtJg", QStringLiteral("福建"));
    type(add, "txtMemo", QStringLiteral("备注"));
    press(add, "cmdClear");
    for (const char* box : { "txtXuehao", "txtXinming", "txtJg", "txtPhone", "txtAddress", "txtMemo" })
        QCOMPARE(text(add, box), QString());
    QCOMPARE(c<store::DatePicker>(add, "dpkBarth")->value(), QDate::currentDate());
    QCOMPARE(c<QComboBox>(add, "cbsex")->currentText(), QStringLiteral("女"));
    QCOMPARE(c<QComboBox>(add, "cbmian")->currentText(), QStringLiteral("团员"));
    QCOMPARE(rs(add, "rs_Bj")->recordSource(), QStringLiteral(" select * from 班级代码表 order by 班级代码"));
    QCOMPARE(c<store::DataCombo>(add, "dcbClass")->count(), 96);
    QCOMPARE(rs(w, "rs_Sinf")->editMode(), store::DataControl::EditMode::Add);
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(rows(QStringLiteral("学生个人信息表")), 0);
}

void tst_students::newStudentWithoutTheServer()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    PgProxy proxy(TestDb::pgSocketFile());
    TestDb::addProxySource(QStringLiteral("Orlenta"), proxy.port());
    auto restore = qScopeGuard([] {
        platform::Forms::discardAll();
        TestDb::restoreSources();
    });
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    // The new-student window filled in; `meanwhile` happens to the server before 保存 is pressed.
    auto fillAndSave = [&](const QString& number, const std::function<void()>& meanwhile) {
        press(w, "cmdAdd");
        platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
        Gui::activate(add);
        fillNewStudent(add, number, QStringLiteral("王五"));
        meanwhile();
        press(add, "cmdSave");
        Gui::settle();
    };
    // The student and its three placeholder rows, each stored once.
    auto stored = [](const QString& number) {
        QList<int> out;
        for (const char* table : { "学生个人信息表", "处罚等级记录表", "奖励记录信息表", "学生成绩表" })
            out << rows(QStringLiteral("%1 where 学号='%2'").arg(QString::fromUtf8(table), number));
        return out;
    };

    // The server restarts: the new student is saved.
    fillAndSave(QStringLiteral("2006100"), [&] { proxy.cutAll(); });
    QCOMPARE(Gui::boxTexts(), QStringList { kSaved });
    QCOMPARE(stored(QStringLiteral("2006100")), (QList<int> { 1, 1, 1, 1 }));

    // The server is down: told once, though the window closes and its rows cannot be read
    // again; nothing is written, and the student window is back.
    fillAndSave(QStringLiteral("2006101"), [&] {
        proxy.refuse(true);
        proxy.cutAll();
    });
    QVERIFY2(Gui::boxes().size() == 2, qPrintable(Gui::boxTexts().join('|')));
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("与数据库服务器的连接已断开")), qPrintable(Gui::boxTexts().last()));
    QVERIFY(!Gui::form(QStringLiteral("frmAdd")));
    QVERIFY(w->isVisible());
    QCOMPARE(stored(QStringLiteral("2006101")), (QList<int> { 0, 0, 0, 0 }));

    // Back again: the same student is saved.
    proxy.refuse(false);
    fillAndSave(QStringLiteral("2006101"), [] {});
    QCOMPARE(Gui::boxTexts().last(), kSaved);
    QCOMPARE(stored(QStringLiteral("2006101")), (QList<int> { 1, 1, 1, 1 }));

    // The reply to the commit is lost: the outcome is told unknown, never as saved, and the
    // student is stored once.
    const int before = Gui::boxes().size();
    fillAndSave(QStringLiteral("2006102"), [&] { proxy.loseReplyTo("COMMIT"); });
    QVERIFY2(Gui::boxes().size() == before + 1, qPrintable(Gui::boxTexts().join('|')));
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("保存时与数据库服务器的连接断开了")), qPrintable(Gui::boxTexts().last()));
    QCOMPARE(stored(QStringLiteral("2006102")), (QList<int> { 1, 1, 1, 1 }));
}

void tst_students::newStudentQuotesAndLongTexts()
{
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    press(w, "cmdAdd");
    platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
    const QString address = longText(40000);
    const QString memo = longText(60000);
    fillNewStudent(add, QStringLiteral("2006'7"), QStringLiteral("O'Hara"));
    type(add, "txtAddress", address);
    type(add, "txtMemo", memo);
    press(add, "cmdSave");
    QCOMPARE(Gui::boxTexts(), QStringList { kSaved });
    const QString number = QStringLiteral("2006'7");
    QCOMPARE(studentField(number, QStringLiteral("姓名")).toString(), QStringLiteral("O'Hara"));
    QCOMPARE(studentField(number, QStringLiteral("密码")).toString(), number);
    QCOMPARE(studentField(number, QStringLiteral("联系地址")).toString(), address.trimmed());
    QCOMPARE(studentField(number, QStringLiteral("备注")).toString(), memo.trimmed());
    QCOMPARE(rows(QStringLiteral("处罚等级记录表 where 学号=") + quote(number)), 1);

    // Found by number and by name like any other.
    Gui::activate(w);
    findNumber(w, number);
    QCOMPARE(text(w, "txtXinming"), QStringLiteral("O'Hara"));
    QCOMPARE(text(w, "txtMemo"), memo.trimmed());
    choose(w, "optXm");
    type(w, "txtXm", QStringLiteral("O'Hara"));
    press(w, "cmdFind");
    QCOMPARE(text(w, "txtXuehao"), number);
    QCOMPARE(Gui::boxes().size(), 1);
}

// ---- all students -------------------------------------------------------------------------

void tst_students::allStudentsBrowser()
{
    platform::Form* all = open(QStringLiteral("frmallinf"));
    QCOMPARE(all->windowTitle(), QStringLiteral("全部学生信息浏览窗口"));
    auto* grid = c<store::DataGrid>(all, "dgdInf");
    QCOMPARE(grid->model()->rowCount(), 0);
    for (const char* box : { "txtXuehao", "txtXinming", "txtXb", "txtCd", "txtJg", "txtXy", "txtClass", "txtPhone",
             "txtAddress", "txtMian", "txtXueji", "txtMemo" }) {
        QCOMPARE(text(all, box), QString());
        QVERIFY2(locked(all, box), box);
    }
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
    auto* heading = c<QLabel>(all, "lblTitle");
    QCOMPARE(heading->text(), QStringLiteral("所有学生信息"));
    QCOMPARE(heading->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(heading->font().bold());
    QCOMPARE(heading->font().pointSizeF(), 26.25);
    QCOMPARE(c<QLabel>(all, "lblHint")->text(), QStringLiteral("<>单击下表进行学生信息浏览"));
    all->close();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });

    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), 99, 1, 1);
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), 2, 9, 2);
    all = open(QStringLiteral("frmallinf"));
    grid = c<store::DataGrid>(all, "dgdInf");
    QCOMPARE(grid->model()->rowCount(), 2);
    QStringList captions;
    for (int i = 0; i < grid->model()->columnCount(); ++i)
        captions << grid->model()->headerData(i, Qt::Horizontal).toString();
    QCOMPARE(captions.size(), 13);
    QCOMPARE(captions.first(), QStringLiteral("学号"));
    QVERIFY(captions.contains(QStringLiteral("所在院系编号")) && captions.contains(QStringLiteral("备注")));
    QCOMPARE(text(all, "txtXuehao"), QStringLiteral("2006001"));
    QCOMPARE(text(all, "txtXy"), QStringLiteral("99"));
    QCOMPARE(text(all, "txtCd"), QStringLiteral("1988-3-7"));
    QCOMPARE(text(all, "txtMian"), QStringLiteral("团员"));

    QTest::keyClick(grid, Qt::Key_Down);
    Gui::settle();
    QCOMPARE(text(all, "txtXuehao"), QStringLiteral("2006002"));
    QCOMPARE(text(all, "txtXy"), QStringLiteral("2"));
    QCOMPARE(text(all, "txtClass"), QStringLiteral("9"));
    QCOMPARE(text(all, "txtXueji"), QStringLiteral("2"));
    clickRow(grid, 0);
    QCOMPARE(text(all, "txtXinming"), QStringLiteral("张三"));

    // Read once: a student added meanwhile is not listed until the window is opened again.
    addStudent(QStringLiteral("2006003"), QStringLiteral("王五"));
    Gui::activate(all);
    QCOMPARE(grid->model()->rowCount(), 2);
    QVERIFY(Gui::boxes().isEmpty());
}

void tst_students::screens()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), 1, 1, 1);
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), 2, 9, 2);
    addStudent(QStringLiteral("2006003"), QStringLiteral("王五"), 3, 17, 3);
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    Gui::snapshot(w, QStringLiteral("frmsinfgl"));
    press(w, "cmdEdit");
    Gui::snapshot(w, QStringLiteral("frmsinfgl-edit"));
    press(w, "cmdClear");
    press(w, "cmdAdd");
    platform::Form* add = Gui::form(QStringLiteral("frmAdd"));
    Gui::activate(add);
    Gui::snapshot(add, QStringLiteral("frmAdd"));
    add->close();
    Gui::settle();
    w->close();
    Gui::settle();
    platform::Form* all = open(QStringLiteral("frmallinf"));
    Gui::snapshot(all, QStringLiteral("frmallinf"));
}

QTEST_MAIN(tst_students)
#include "tst_students.moc"
