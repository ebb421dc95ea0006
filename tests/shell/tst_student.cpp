#include "support/Gui.h"
#include "support/TestDb.h"

#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "shell/BasVal.h"
#include "shell/frmsload.h"
#include "store/DataControl.h"
#include "store/Sql.h"
#include "store/ui/DataGrid.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using platform::MsgBox;
using Answer = platform::MsgBox::Answer;
using store::ColumnType;
using store::Sql::literal;
using store::Sql::quote;

namespace {

struct Student {
    QString number = QStringLiteral("2006001");
    QVariant password = QStringLiteral("2006001"); // a new student's password is the number
    QVariant department = 2;
    QVariant klass = 3;
    QVariant status = 1;
    QString name = QStringLiteral("李明");
};

void addStudent(const Student& s)
{
    TestDb::exec(QStringLiteral("insert into 学生个人信息表 (学号, 姓名, 性别, 密码, 出生日期, 籍贯, 联系电话, 联系地址, "
                                "所在院系编号, 所在班级编号, 学籍情况, 政治面貌, 备注) values (%1, %2, '男', %3, %4, '江苏南京', "
                                "'025-1234567', '南京市鼓楼区1号', %5, %6, %7, '团员', %8)")
                     .arg(quote(s.number), quote(s.name), literal(s.password, ColumnType::Text),
                         literal(QDate(1986, 5, 9), ColumnType::Date), literal(s.department, ColumnType::SmallInt),
                         literal(s.klass, ColumnType::SmallInt), literal(s.status, ColumnType::SmallInt),
                         quote(QStringLiteral("第一行\n第二行"))));
}

void addScore(const QString& number, const QString& course, double score, const QDate& date)
{
    TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 成绩, 考试时间) values (%1, %2, %3, %4)")
                     .arg(quote(number), quote(course), literal(score, ColumnType::Real), literal(date, ColumnType::Date)));
}

QVariant storedPassword(const QString& number = QStringLiteral("2006001"))
{
    return TestDb::value(QStringLiteral("select 密码 from 学生个人信息表 where 学号=") + quote(number));
}

// From the identity window, with the student identity chosen, to the student sign-in.
platform::Form* openStudentSignIn()
{
    platform::Form* cload = platform::Forms::show(QStringLiteral("frmCload"));
    Gui::activate(cload);
    Gui::control<QRadioButton>(cload, QStringLiteral("optStudent"))->setChecked(true);
    Gui::press(cload, QStringLiteral("cmdOk"));
    platform::Form* sload = Gui::form(QStringLiteral("frmsload"));
    if (!sload)
        qWarning("no student sign-in; loaded: %s", qPrintable(Gui::loadedWindows().join(' ')));
    Gui::activate(sload);
    return sload;
}

void signIn(QWidget* sload, const QString& number, const QString& password)
{
    Gui::type(sload, QStringLiteral("txtname"), number);
    Gui::type(sload, QStringLiteral("txtpwd"), password);
    Gui::press(sload, QStringLiteral("cmdok"));
}

int failures(QWidget* sload) { return static_cast<frmsload*>(sload)->failures(); }

// Signs the student in and brings the own window to the front.
platform::Form* openOwnWindow(const QString& number = QStringLiteral("2006001"),
    const QString& password = QStringLiteral("2006001"))
{
    signIn(openStudentSignIn(), number, password);
    platform::Form* own = Gui::form(QStringLiteral("frmStudent"));
    if (own)
        Gui::activate(own);
    return own;
}

void changePassword(QWidget* own, const QString& next, const QString& confirmation)
{
    Gui::type(own, QStringLiteral("txtMm"), next);
    Gui::type(own, QStringLiteral("txtXmm"), confirmation);
    Gui::press(own, QStringLiteral("cmdYes"));
}

// Another window of the program comes to the front and goes; the own window is active again.
void bringBack(platform::Form* own)
{
    platform::Form* about = platform::Forms::show(QStringLiteral("frmAbout"));
    Gui::activate(about);
    platform::Forms::unload(about);
    Gui::activate(own);
}

store::DataControl* scores(QWidget* own) { return own->findChild<store::DataControl*>(QStringLiteral("rs_Cjl")); }

} // namespace

class tst_student : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }

    void studentSignsInWithTheTrimmedNumber();
    void emptyAndUnknownNumbers();
    void passwordsAreComparedTrimmedAndExactly_data();
    void passwordsAreComparedTrimmedAndExactly();
    void twoWrongPasswordsThenTheRightOneEnds();
    void quotesAndInjectionsStayData();
    void exitQuestionAndKeyboard();

    void ownRecordAndScoresByFullName();
    void codesWithoutARowLeaveTheNameEmpty_data();
    void codesWithoutARowLeaveTheNameEmpty();
    void noScoresToBrowse();
    void browsingStopsAtBothEnds();
    void passwordChange_data();
    void passwordChange();
    void emptyPasswordQuestion();
    void refusedWriteIsToldAndNeverCalledSuccess();
    void longFieldsAreShownWhole();
    void nextSignInTakesTheNewPassword();
    void closingTheOwnWindowEndsTheProgram();
    void screens();
};

void tst_student::studentSignsInWithTheTrimmedNumber()
{
    addStudent({});
    BasVal::UserStyle = QStringLiteral("一般用户");
    platform::Form* sload = openStudentSignIn();
    QCOMPARE(sload->focusWidget(), Gui::control<QLineEdit>(sload, QStringLiteral("txtname")));
    QCOMPARE(Gui::control<QLineEdit>(sload, QStringLiteral("txtpwd"))->echoMode(), QLineEdit::Password);

    signIn(sload, QStringLiteral("  2006001 "), QStringLiteral(" 2006001  "));
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(BasVal::UserName, QStringLiteral("2006001"));
    QCOMPARE(BasVal::UserStyle, QStringLiteral("一般用户")); // the student sign-in leaves it alone
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmStudent") });
    QVERIFY(Gui::form(QStringLiteral("frmStudent"))->isVisible());
}

void tst_student::emptyAndUnknownNumbers()
{
    addStudent({});
    platform::Form* sload = openStudentSignIn();
    signIn(sload, QString(), QStringLiteral("2006001"));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("请把用户名和密码输全!") });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("提示"));
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
    QCOMPARE(Gui::text(sload, QStringLiteral("txtpwd")), QString());
    QCOMPARE(sload->focusWidget(), Gui::control<QLineEdit>(sload, QStringLiteral("txtname")));

    // Blanks are a number to look up; neither they nor unknown numbers count as failures.
    for (const QString& number : { QStringLiteral("   "), QStringLiteral("2006002"), QStringLiteral("20060010"),
             QStringLiteral("x"), QStringLiteral("2006 001") }) {
        signIn(sload, number, QStringLiteral("2006001"));
        QCOMPARE(Gui::boxTexts().last(), QStringLiteral("抱歉您的用户名不存在!"));
        QCOMPARE(Gui::boxes().last().title, QStringLiteral("抱歉"));
        QCOMPARE(Gui::text(sload, QStringLiteral("txtname")), QString());
    }
    QCOMPARE(failures(sload), 0);
    QVERIFY(!Gui::programEnded());
    signIn(sload, QStringLiteral("2006001"), QStringLiteral("2006001"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmStudent") });
}

void tst_student::passwordsAreComparedTrimmedAndExactly_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("blanks around") << QVariant(" Ab1 ") << "Ab1  " << true;
    QTest::newRow("case") << QVariant("Ab1") << "ab1" << false;
    QTest::newRow("inner blank") << QVariant("A b1") << "Ab1" << false;
    QTest::newRow("empty stored, empty box") << QVariant("") << "" << true;
    QTest::newRow("blanks stored, empty box") << QVariant("   ") << "" << true;
    QTest::newRow("empty stored, text typed") << QVariant("") << "x" << false;
    QTest::newRow("null stored, empty box") << QVariant() << "" << false;
    QTest::newRow("null stored, blanks typed") << QVariant() << "  " << false;
}

void tst_student::passwordsAreComparedTrimmedAndExactly()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    Student s;
    s.password = stored;
    addStudent(s);
    platform::Form* sload = openStudentSignIn();
    signIn(sload, s.number, typed);
    if (accepted) {
        QVERIFY(Gui::boxes().isEmpty());
        QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmStudent") });
    } else {
        QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("您的用户名或密码有误,请重行输入!") });
        QCOMPARE(Gui::boxes().last().title, QStringLiteral("错误"));
        QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Exclamation);
        QCOMPARE(failures(sload), 1);
        QCOMPARE(Gui::text(sload, QStringLiteral("txtname")), QString());
        QCOMPARE(Gui::text(sload, QStringLiteral("txtpwd")), QString());
        QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmsload") });
    }
}

void tst_student::twoWrongPasswordsThenTheRightOneEnds()
{
    addStudent({});
    platform::Form* sload = openStudentSignIn();
    signIn(sload, QStringLiteral("2006001"), QStringLiteral("wrong"));
    signIn(sload, QStringLiteral("2006009"), QStringLiteral("x")); // unknown: not counted
    signIn(sload, QStringLiteral("2006001"), QStringLiteral("wrong again"));
    QCOMPARE(failures(sload), 2);
    QVERIFY(!Gui::programEnded());
    BasVal::UserName.clear();
    signIn(sload, QStringLiteral("2006001"), QStringLiteral("2006001")); // right, but too late
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("您不是合法用户,请与系统管理员联系!"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("抱歉"));
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
    QVERIFY(Gui::programEnded());
    QVERIFY(Gui::loadedWindows().isEmpty());
    QCOMPARE(BasVal::UserName, QString());
}

void tst_student::quotesAndInjectionsStayData()
{
    addStudent({});
    Student quoted;
    quoted.number = QStringLiteral("12'34");
    quoted.password = QStringLiteral("it's");
    addStudent(quoted);
    platform::Form* sload = openStudentSignIn();
    for (const QString& number : { QStringLiteral("' or '1'='1"), QStringLiteral("2006001'--"),
             QStringLiteral("2006001' or 学号<>'"), QStringLiteral("x'; delete from 学生个人信息表; --") }) {
        signIn(sload, number, QStringLiteral("' or '1'='1"));
        QCOMPARE(Gui::boxTexts().last(), QStringLiteral("抱歉您的用户名不存在!"));
    }
    QCOMPARE(failures(sload), 0);
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表")), 2);

    // A number with a quote in it is looked up as it is, here and in the own window.
    signIn(sload, QStringLiteral(" 12'34 "), QStringLiteral("it's"));
    QCOMPARE(BasVal::UserName, QStringLiteral("12'34"));
    platform::Form* own = Gui::form(QStringLiteral("frmStudent"));
    QVERIFY(own);
    Gui::activate(own);
    QCOMPARE(Gui::text(own, QStringLiteral("txtXuehao")), QStringLiteral("12'34"));
    changePassword(own, QStringLiteral("a'b"), QStringLiteral("a'b"));
    QVERIFY(TestDb::isHashOf(storedPassword(QStringLiteral("12'34")), QStringLiteral("a'b")));
    QCOMPARE(storedPassword().toString(), QStringLiteral("2006001"));
}

void tst_student::exitQuestionAndKeyboard()
{
    addStudent({});
    platform::Form* sload = openStudentSignIn();
    auto* number = Gui::control<QLineEdit>(sload, QStringLiteral("txtname"));
    auto* pwd = Gui::control<QLineEdit>(sload, QStringLiteral("txtpwd"));
    auto* ok = Gui::control<QPushButton>(sload, QStringLiteral("cmdok"));

    Gui::type(sload, QStringLiteral("txtname"), QStringLiteral("2006001"));
    Gui::type(sload, QStringLiteral("txtpwd"), QStringLiteral("x"));
    const int beeps = platform::Program::beeps();
    Gui::answer(Answer::No);
    Gui::press(sload, QStringLiteral("cmdcancel"));
    QCOMPARE(platform::Program::beeps(), beeps + 1);
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("确认退出系统吗?") });
    QCOMPARE(number->text(), QString());
    QCOMPARE(pwd->text(), QString());
    QCOMPARE(sload->focusWidget(), number);

    QTest::keyClicks(number, QStringLiteral("2006001"));
    QTest::keyClick(number, Qt::Key_Down);
    QCOMPARE(sload->focusWidget(), pwd);
    QTest::keyClick(pwd, Qt::Key_Up);
    QCOMPARE(sload->focusWidget(), number);
    QTest::keyClick(number, Qt::Key_Return);
    QTest::keyClicks(pwd, QStringLiteral("2006001"));
    QTest::keyClick(pwd, Qt::Key_Return); // only moves to 确定
    QCOMPARE(sload->focusWidget(), ok);
    QVERIFY(Gui::form(QStringLiteral("frmsload")));
    QTest::keyClick(ok, Qt::Key_Up);
    QCOMPARE(sload->focusWidget(), pwd);
    QTest::keyClick(pwd, Qt::Key_Down);

    Gui::answer(Answer::Yes);
    Gui::press(sload, QStringLiteral("cmdcancel"));
    QVERIFY(Gui::programEnded());
    QVERIFY(Gui::loadedWindows().isEmpty());
}

void tst_student::ownRecordAndScoresByFullName()
{
    addStudent({});
    Student other;
    other.number = QStringLiteral("2006002");
    addStudent(other);
    addScore(QStringLiteral("2006001"), QStringLiteral("高等数学"), 88, QDate(2006, 1, 9));
    addScore(QStringLiteral("2006002"), QStringLiteral("大学英语"), 60, QDate(2006, 1, 10));
    addScore(QStringLiteral("2006001"), QStringLiteral("线性代数"), 92.5, QDate(2006, 6, 20));

    platform::Form* own = openOwnWindow();
    QVERIFY(own);
    QVERIFY(Gui::boxes().isEmpty());

    const QList<QPair<QString, QString>> shown {
        { "txtXuehao", "2006001" }, { "txtXinming", "李明" }, { "txtXb", "男" }, { "txtCd", "1986-5-9" },
        { "txtJg", "江苏南京" }, { "txtXy", "数学与统计学院" },
        { "txtClass", TestDb::value("select 全称 from 班级代码表 where 班级代码=3").toString() },
        { "txtPhone", "025-1234567" }, { "txtAddress", "南京市鼓楼区1号" }, { "txtMian", "团员" }, { "txtXueji", "在读" },
        { "txtMemo", "第一行\n第二行" },
    };
    for (const auto& [box, text] : shown) {
        QCOMPARE(Gui::text(own, box), text);
        QWidget* control = own->findChild<QWidget*>(box);
        QVERIFY2(control->property("readOnly").toBool(), qPrintable(box));
    }

    // Only the own scores, with the grid's columns, and not editable there.
    auto* grid = Gui::control<store::DataGrid>(own, QStringLiteral("dgdCinf"));
    QCOMPARE(grid->model()->rowCount(), 2);
    QStringList captions;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (!grid->isColumnHidden(c))
            captions << grid->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(captions, (QStringList { "编号", "学号", "考试科目", "成绩", "考试时间" }));
    QVERIFY(!grid->allowUpdate());
    QCOMPARE(Gui::text(own, QStringLiteral("txtKm")), QStringLiteral("高等数学"));
    QCOMPARE(Gui::text(own, QStringLiteral("Text1")), QStringLiteral("2006-1-9"));
    QCOMPARE(Gui::text(own, QStringLiteral("Text2")), QStringLiteral("88"));

    // Coming back to the window reads the rows again.
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 姓名='李明明', 学籍情况=2 where 学号='2006001'"));
    addScore(QStringLiteral("2006001"), QStringLiteral("概率论"), 75, QDate(2007, 1, 15));
    QCOMPARE(Gui::text(own, QStringLiteral("txtXinming")), QStringLiteral("李明"));
    bringBack(own);
    QCOMPARE(Gui::text(own, QStringLiteral("txtXinming")), QStringLiteral("李明明"));
    QCOMPARE(Gui::text(own, QStringLiteral("txtXueji")), QStringLiteral("休学"));
    QCOMPARE(grid->model()->rowCount(), 3);
    QVERIFY(Gui::boxes().isEmpty());
}

void tst_student::codesWithoutARowLeaveTheNameEmpty_data()
{
    QTest::addColumn<QVariant>("department");
    QTest::addColumn<QVariant>("klass");
    QTest::addColumn<QVariant>("status");
    QTest::newRow("null department") << QVariant() << QVariant(3) << QVariant(1);
    QTest::newRow("null class") << QVariant(2) << QVariant() << QVariant(1);
    QTest::newRow("null status") << QVariant(2) << QVariant(3) << QVariant();
    QTest::newRow("all null") << QVariant() << QVariant() << QVariant();
    QTest::newRow("codes with no row") << QVariant(999) << QVariant(-1) << QVariant(0);
}

void tst_student::codesWithoutARowLeaveTheNameEmpty()
{
    QFETCH(QVariant, department);
    QFETCH(QVariant, klass);
    QFETCH(QVariant, status);
    Student s;
    s.department = department;
    s.klass = klass;
    s.status = status;
    addStudent(s);
    platform::Form* own = openOwnWindow();
    QVERIFY(own);
    QVERIFY2(Gui::boxes().isEmpty(), qPrintable(Gui::boxTexts().join(' ')));
    QCOMPARE(Gui::text(own, QStringLiteral("txtXinming")), QStringLiteral("李明"));
    auto name = [](const QString& statement, const QVariant& code) {
        return code.isNull() ? QString() : TestDb::value(statement + code.toString()).toString();
    };
    QCOMPARE(Gui::text(own, QStringLiteral("txtXy")), name("select 全称 from 院系代码表 where 学院编码=", department));
    QCOMPARE(Gui::text(own, QStringLiteral("txtClass")), name("select 全称 from 班级代码表 where 班级代码=", klass));
    QCOMPARE(Gui::text(own, QStringLiteral("txtXueji")), name("select 全称 from 学籍变更代码表 where 代码=", status));
}

void tst_student::noScoresToBrowse()
{
    addStudent({});
    Student other;
    other.number = QStringLiteral("2006002");
    addStudent(other);
    addScore(QStringLiteral("2006002"), QStringLiteral("大学英语"), 60, QDate(2006, 1, 10));
    platform::Form* own = openOwnWindow();
    QCOMPARE(Gui::control<store::DataGrid>(own, QStringLiteral("dgdCinf"))->model()->rowCount(), 0);
    for (const char* button : { "cmdFirst", "cmdPreive", "cmdNext", "cmdLast" }) {
        Gui::press(own, QString::fromLatin1(button));
        QCOMPARE(Gui::boxTexts().last(), QStringLiteral("当前没有有效记录供浏览!"));
        QCOMPARE(Gui::boxes().last().title, QStringLiteral("提示"));
    }
    QCOMPARE(Gui::boxes().size(), 4);
}

void tst_student::browsingStopsAtBothEnds()
{
    addStudent({});
    addScore(QStringLiteral("2006001"), QStringLiteral("高等数学"), 88, QDate(2006, 1, 9));
    addScore(QStringLiteral("2006001"), QStringLiteral("线性代数"), 92, QDate(2006, 6, 20));
    addScore(QStringLiteral("2006001"), QStringLiteral("概率论"), 75, QDate(2007, 1, 15));
    platform::Form* own = openOwnWindow();
    store::DataControl* rs = scores(own);
    auto at = [&](const char* button) {
        Gui::press(own, QString::fromLatin1(button));
        return qMakePair(rs->currentRow(), Gui::text(own, QStringLiteral("txtKm")));
    };
    QCOMPARE(at("cmdPreive"), qMakePair(0, QStringLiteral("高等数学"))); // before the first: stays on it
    QCOMPARE(at("cmdLast"), qMakePair(2, QStringLiteral("概率论")));
    QCOMPARE(at("cmdNext"), qMakePair(2, QStringLiteral("概率论"))); // past the last: stays on it
    QCOMPARE(at("cmdNext"), qMakePair(2, QStringLiteral("概率论")));
    QCOMPARE(at("cmdPreive"), qMakePair(1, QStringLiteral("线性代数")));
    QCOMPARE(at("cmdFirst"), qMakePair(0, QStringLiteral("高等数学")));
    QCOMPARE(at("cmdNext"), qMakePair(1, QStringLiteral("线性代数")));
    QCOMPARE(Gui::text(own, QStringLiteral("Text2")), QStringLiteral("92"));
    QCOMPARE(Gui::control<store::DataGrid>(own, QStringLiteral("dgdCinf"))->currentIndex().row(), 1);
    QVERIFY(Gui::boxes().isEmpty());
}

void tst_student::passwordChange_data()
{
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("mismatch");
    QTest::newRow("same text") << "新密码1" << "新密码1" << "新密码1" << false;
    QTest::newRow("trailing blank in one box") << "abc " << "abc" << "2006001" << true;
    QTest::newRow("case differs") << "Abc" << "abc" << "2006001" << true;
    QTest::newRow("trailing blank in both") << "abc " << "abc " << "abc" << false;
    QTest::newRow("blanks around in both") << "  abc  " << "  abc  " << "abc" << false;
    QTest::newRow("blanks only") << "   " << "   " << "" << false;
}

void tst_student::passwordChange()
{
    QFETCH(QString, next);
    QFETCH(QString, confirmation);
    QFETCH(QString, stored);
    QFETCH(bool, mismatch);
    addStudent({});
    platform::Form* own = openOwnWindow();
    changePassword(own, next, confirmation);
    if (mismatch) {
        QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("两次密码输入不符请确认!") });
        QCOMPARE(Gui::boxes().last().title, QStringLiteral("注意"));
        QCOMPARE(own->focusWidget(), Gui::control<QLineEdit>(own, QStringLiteral("txtMm")));
    } else {
        QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("密码更新成功!") });
        QCOMPARE(Gui::boxes().last().title, QStringLiteral("更新完成"));
        QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Information);
    }
    // A changed password is stored as its hash. A refused one leaves the first password, which
    // the sign-in replaced by its hash.
    auto storedAsExpected = [&] { return TestDb::isHashOf(storedPassword(), stored); };
    QVERIFY(storedAsExpected());
    QCOMPARE(Gui::text(own, QStringLiteral("txtMm")), QString());
    QCOMPARE(Gui::text(own, QStringLiteral("txtXmm")), QString());
    QVERIFY(Gui::form(QStringLiteral("frmStudent"))->isVisible());

    // 取消 only clears the boxes.
    Gui::type(own, QStringLiteral("txtMm"), QStringLiteral("x"));
    Gui::type(own, QStringLiteral("txtXmm"), QStringLiteral("x"));
    Gui::press(own, QStringLiteral("cmdNo"));
    QCOMPARE(Gui::text(own, QStringLiteral("txtMm")), QString());
    QCOMPARE(Gui::text(own, QStringLiteral("txtXmm")), QString());
    QCOMPARE(own->focusWidget(), Gui::control<QLineEdit>(own, QStringLiteral("txtMm")));
    QVERIFY(storedAsExpected());
}

void tst_student::emptyPasswordQuestion()
{
    addStudent({});
    platform::Form* own = openOwnWindow();

    // No: nothing is written and the focus goes to the new password.
    int beeps = platform::Program::beeps();
    Gui::answer(Answer::No);
    changePassword(own, QString(), QStringLiteral("x"));
    QCOMPARE(platform::Program::beeps(), beeps + 1);
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("确实不添加密码吗?") });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("询问"));
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Question);
    QCOMPARE(Gui::boxes().last().buttons, MsgBox::Buttons::YesNo);
    QVERIFY(TestDb::isHashOf(storedPassword(), QStringLiteral("2006001"))); // as the sign-in left it
    QCOMPARE(Gui::text(own, QStringLiteral("txtXmm")), QStringLiteral("x"));
    QCOMPARE(own->focusWidget(), Gui::control<QLineEdit>(own, QStringLiteral("txtMm")));

    // Yes with an empty confirmation: stored empty, and success is told twice.
    platform::MsgBox::clear();
    Gui::answer(Answer::Yes);
    changePassword(own, QString(), QString());
    QCOMPARE(Gui::boxTexts(), (QStringList { "确实不添加密码吗?", "密码更新成功!", "密码更新成功!" }));
    QVERIFY(TestDb::isHashOf(storedPassword(), QString()));

    // Yes with text in the confirmation: stored empty, success, then the mismatch.
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 密码='2006001' where 学号='2006001'"));
    bringBack(own); // re-reads the row written meanwhile
    platform::MsgBox::clear();
    Gui::answer(Answer::Yes);
    changePassword(own, QString(), QStringLiteral("x"));
    QCOMPARE(Gui::boxTexts(), (QStringList { "确实不添加密码吗?", "密码更新成功!", "两次密码输入不符请确认!" }));
    QVERIFY(TestDb::isHashOf(storedPassword(), QString()));
    QCOMPARE(Gui::text(own, QStringLiteral("txtXmm")), QString());

    // The empty password signs in with an empty box.
    platform::Forms::discardAll();
    signIn(openStudentSignIn(), QStringLiteral("2006001"), QString());
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmStudent") });
}

void tst_student::longFieldsAreShownWhole()
{
    addStudent({});
    const QString address = QString(40000, QChar(u'路'));
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 联系地址=%1").arg(quote(address)));
    platform::Form* own = openOwnWindow();
    QCOMPARE(Gui::text(own, QStringLiteral("txtAddress")), address);
}

void tst_student::refusedWriteIsToldAndNeverCalledSuccess()
{
    addStudent({});
    platform::Form* own = openOwnWindow();
    // Someone in the office changes the password after the window read it.
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 密码='office', 联系电话='13900000000' where 学号='2006001'"));
    changePassword(own, QStringLiteral("p1"), QStringLiteral("p1"));
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
    QCOMPARE(Gui::boxes().last().buttons, MsgBox::Buttons::Ok);
    QVERIFY(Gui::boxes().last().text.contains(QStringLiteral("其他用户")));
    QCOMPARE(storedPassword().toString(), QStringLiteral("office"));
    QCOMPARE(TestDb::value("select 联系电话 from 学生个人信息表 where 学号='2006001'").toString(), QStringLiteral("13900000000"));
    // The row is read again and the boxes are kept: pressing again stores the password.
    QCOMPARE(Gui::text(own, QStringLiteral("txtPhone")), QStringLiteral("13900000000"));
    QCOMPARE(Gui::text(own, QStringLiteral("txtMm")), QStringLiteral("p1"));
    Gui::press(own, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("密码更新成功!"));
    QVERIFY(TestDb::isHashOf(storedPassword(), QStringLiteral("p1")));

    // The empty password refused: neither success nor the comparison follows.
    platform::MsgBox::clear();
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 密码='p2' where 学号='2006001'"));
    Gui::answer(Answer::Yes);
    changePassword(own, QString(), QStringLiteral("x"));
    QCOMPARE(Gui::boxes().size(), 2);
    QCOMPARE(Gui::boxes().first().text, QStringLiteral("确实不添加密码吗?"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
    QCOMPARE(storedPassword().toString(), QStringLiteral("p2"));
    QVERIFY(!Gui::programEnded());
}

void tst_student::nextSignInTakesTheNewPassword()
{
    addStudent({});
    platform::Form* own = openOwnWindow();
    changePassword(own, QStringLiteral(" 新密码1 "), QStringLiteral(" 新密码1 "));
    QVERIFY(TestDb::isHashOf(storedPassword(), QStringLiteral("新密码1")));

    // The next run of the program.
    platform::Forms::discardAll();
    platform::MsgBox::clear();
    platform::Form* sload = openStudentSignIn();
    signIn(sload, QStringLiteral("2006001"), QStringLiteral("2006001"));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("您的用户名或密码有误,请重行输入!") });
    signIn(sload, QStringLiteral("2006001"), QStringLiteral("新密码1"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmStudent") });
}

void tst_student::closingTheOwnWindowEndsTheProgram()
{
    addStudent({});
    platform::Form* own = openOwnWindow();
    own->close();
    Gui::settle();
    QVERIFY(Gui::boxes().isEmpty());
    QVERIFY(Gui::programEnded());
    QVERIFY(Gui::loadedWindows().isEmpty());
}

void tst_student::screens()
{
    Student s;
    s.name = QStringLiteral("欧阳明月");
    addStudent(s);
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 备注=%1 where 学号='2006001'")
                     .arg(quote(QStringLiteral("2005-2006学年获校三等奖学金。\n担任班级学习委员。\n第三行\n第四行\n第五行"))));
    const char* courses[] = { "高等数学", "线性代数", "大学英语", "C语言程序设计", "数据结构", "大学物理", "概率论与数理统计" };
    int day = 0;
    for (const char* course : courses) {
        ++day;
        addScore(s.number, QString::fromUtf8(course), 60 + day * 4.5, QDate(2006, 1, day));
    }

    platform::Form* sload = openStudentSignIn();
    Gui::snapshot(sload, QStringLiteral("frmsload"));
    signIn(sload, s.number, QStringLiteral("2006001"));
    platform::Form* own = Gui::form(QStringLiteral("frmStudent"));
    QVERIFY(own);
    Gui::activate(own);
    Gui::snapshot(own, QStringLiteral("frmStudent"));
}

QTEST_MAIN(tst_student)
#include "tst_student.moc"
