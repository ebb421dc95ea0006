#include "support/Gui.h"
#include "support/TestDb.h"

#include "platform/Forms.h"
#include "platform/HelpViewer.h"
#include "platform/MsgBox.h"
#include "platform/Program.h"
#include "platform/StatusPanels.h"
#include "platform/SystemInfo.h"
#include "shell/BasVal.h"
#include "shell/frmLoad.h"
#include "shell/frmmain.h"
#include "store/DbError.h"
#include "store/DataControl.h"
#include "store/Sql.h"
#include "store/ui/DataGrid.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using platform::MsgBox;
using Answer = platform::MsgBox::Answer;

namespace {

platform::Form* startProgram()
{
    platform::Form* cload = platform::Forms::show(QStringLiteral("frmCload"));
    Gui::activate(cload);
    return cload;
}

// From the identity window to the staff sign-in.
platform::Form* openStaffSignIn()
{
    platform::Form* cload = startProgram();
    Gui::press(cload, QStringLiteral("cmdOk"));
    platform::Form* load = Gui::form(QStringLiteral("frmLoad"));
    Gui::activate(load);
    return load;
}

void signIn(QWidget* load, const QString& name, const QString& password)
{
    Gui::type(load, QStringLiteral("txtname"), name);
    Gui::type(load, QStringLiteral("txtpwd"), password);
    Gui::press(load, QStringLiteral("cmdok"));
}

void addAccount(const QString& name, const QString& password, const QString& style)
{
    TestDb::exec(QStringLiteral("insert into 管理员身份认证表 (name, pwd, style) values (%1, %2, %3)")
                     .arg(store::Sql::quote(name), store::Sql::quote(password), store::Sql::quote(style)));
}

QAction* action(QWidget* window, const QString& name) { return window->findChild<QAction*>(name); }

} // namespace

class tst_shell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }

    void identityWindowOpensWithStaffChosen();
    void identityWindowHandsOverToStudentSignIn();
    void identityExitQuestion();
    void identityCloseBoxEndsWithoutQuestion();

    void staffSignsInAndReachesMainWindow();
    void emptyNameIsRefusedButBlanksAreLookedUp();
    void passwordsAreComparedTrimmedAndExactly_data();
    void passwordsAreComparedTrimmedAndExactly();
    void nullPasswordNeverSignsIn();
    void injectedNameNeverSignsIn();
    void nameWithAQuoteSignsIn();
    void longNamesAndPasswordsSignInWhole();
    void twoWrongPasswordsThenAnyAttemptEnds();
    void unknownNamesNeverReachTheLimit();
    void signInExitQuestion();
    void signInKeyboard();
    void refusedLookUpKeepsTheWindowUsable();

    void userTypeDecidesTheAdministratorItem_data();
    void userTypeDecidesTheAdministratorItem();
    void menuAndToolbar();
    void toolbarExitEndsAtOnce();
    void clockAndStatusBar();
    void helpOpensTheSignInTopic();
    void aboutBoxBesideTheMainWindow();
    void aboutSystemInformation();
    void closingMainWindowEndsTheProgram();

    void gridFollowsRowsThatComeAndGo();
    void lifecycleActivation();
    void untrappedFailureKeepsTheWindow();
    void screens();
};

void tst_shell::identityWindowOpensWithStaffChosen()
{
    platform::Form* cload = startProgram();
    QCOMPARE(cload->windowTitle(), QStringLiteral("欢迎登陆"));
    auto* teacher = Gui::control<QRadioButton>(cload, QStringLiteral("optTeacher"));
    QVERIFY(teacher->isChecked());
    QCOMPARE(teacher->text(), QStringLiteral("教务管理人员"));
    QCOMPARE(Gui::control<QRadioButton>(cload, QStringLiteral("optStudent"))->text(), QStringLiteral("普通学生"));
    QCOMPARE(cload->focusWidget(), teacher);
    Gui::press(cload, QStringLiteral("cmdOk"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmLoad") });
    QVERIFY(Gui::form(QStringLiteral("frmLoad"))->isVisible());
    QVERIFY(!Gui::programEnded());
}

void tst_shell::identityWindowHandsOverToStudentSignIn()
{
    platform::Form* cload = startProgram();
    Gui::control<QRadioButton>(cload, QStringLiteral("optStudent"))->setChecked(true);
    Gui::press(cload, QStringLiteral("cmdOk"));
    QVERIFY(!Gui::form(QStringLiteral("frmCload")));
    if (platform::Forms::isAvailable(QStringLiteral("frmsload")))
        QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmsload") });
}

void tst_shell::identityExitQuestion()
{
    platform::Form* cload = startProgram();
    auto* student = Gui::control<QRadioButton>(cload, QStringLiteral("optStudent"));
    student->setChecked(true);
    const int beeps = platform::Program::beeps();
    Gui::answer(Answer::No);
    Gui::press(cload, QStringLiteral("cmdExit"));
    QCOMPARE(platform::Program::beeps(), beeps + 1);
    QCOMPARE(Gui::boxes().size(), 1);
    const auto& box = Gui::boxes().last();
    QCOMPARE(box.text, QStringLiteral("确认退出系统吗?"));
    QCOMPARE(box.title, QStringLiteral("退出"));
    QCOMPARE(box.icon, MsgBox::Icon::Question);
    QCOMPARE(box.buttons, MsgBox::Buttons::YesNo);
    QVERIFY(student->isChecked());
    QVERIFY(Gui::form(QStringLiteral("frmCload")));

    Gui::answer(Answer::Yes);
    Gui::press(cload, QStringLiteral("cmdExit"));
    QVERIFY(Gui::loadedWindows().isEmpty());
    QVERIFY(Gui::programEnded());
}

void tst_shell::identityCloseBoxEndsWithoutQuestion()
{
    platform::Form* cload = startProgram();
    cload->close();
    Gui::settle();
    QVERIFY(Gui::boxes().isEmpty());
    QVERIFY(Gui::programEnded());
}

void tst_shell::staffSignsInAndReachesMainWindow()
{
    platform::Form* load = openStaffSignIn();
    QCOMPARE(load->windowTitle(), QStringLiteral("系统用户登陆窗口"));
    QCOMPARE(Gui::control<QLabel>(load, QStringLiteral("lbpwd"))->text(), QStringLiteral("密  码："));
    QCOMPARE(load->focusWidget(), Gui::control<QLineEdit>(load, QStringLiteral("txtname")));
    QCOMPARE(Gui::control<QLineEdit>(load, QStringLiteral("txtpwd"))->echoMode(), QLineEdit::Password);
    signIn(load, QStringLiteral("  admin "), QStringLiteral(" admin  "));
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(BasVal::UserName, QStringLiteral("admin"));
    QCOMPARE(BasVal::UserStyle, QStringLiteral("系统管理员"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
    QVERIFY(Gui::form(QStringLiteral("frmmain"))->isVisible());
}

void tst_shell::emptyNameIsRefusedButBlanksAreLookedUp()
{
    platform::Form* load = openStaffSignIn();
    signIn(load, QString(), QStringLiteral("admin"));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("请把用户名和密码输全!") });
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("提示"));
    QCOMPARE(Gui::text(load, QStringLiteral("txtpwd")), QString());
    QCOMPARE(load->focusWidget(), Gui::control<QLineEdit>(load, QStringLiteral("txtname")));

    signIn(load, QStringLiteral("   "), QString());
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("抱歉您的用户名不存在!"));

    // An account with the empty name exists: blanks find it.
    addAccount(QString(), QString(), QStringLiteral("一般用户"));
    signIn(load, QStringLiteral("   "), QString());
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_shell::passwordsAreComparedTrimmedAndExactly_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("same") << "Secret" << "Secret" << true;
    QTest::newRow("blanks around") << " Secret " << "Secret   " << true;
    QTest::newRow("case") << "Secret" << "secret" << false;
    QTest::newRow("inner blank") << "Sec ret" << "Secret" << false;
    QTest::newRow("empty stored, empty typed") << "" << "" << true;
    QTest::newRow("blanks stored, empty typed") << "   " << "" << true;
    QTest::newRow("empty stored, text typed") << "" << "x" << false;
    QTest::newRow("chinese") << "密码一" << "密码一" << true;
}

void tst_shell::passwordsAreComparedTrimmedAndExactly()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    addAccount(QStringLiteral("王老师"), stored, QStringLiteral("一般用户"));
    platform::Form* load = openStaffSignIn();
    signIn(load, QStringLiteral("王老师"), typed);
    if (accepted) {
        QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
        QCOMPARE(BasVal::UserStyle, QStringLiteral("一般用户"));
    } else {
        QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("您的用户名或密码有误,请重行输入!") });
        QCOMPARE(Gui::boxes().last().title, QStringLiteral("错误"));
        QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Exclamation);
        QCOMPARE(static_cast<frmLoad*>(load)->failures(), 1);
        QCOMPARE(Gui::text(load, QStringLiteral("txtname")), QString());
    }
}

void tst_shell::nullPasswordNeverSignsIn()
{
    TestDb::exec(QStringLiteral("insert into 管理员身份认证表 (name, pwd, style) values ('nopwd', NULL, '一般用户')"));
    platform::Form* load = openStaffSignIn();
    signIn(load, QStringLiteral("nopwd"), QString());
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("您的用户名或密码有误,请重行输入!") });
    QCOMPARE(static_cast<frmLoad*>(load)->failures(), 1);
}

void tst_shell::injectedNameNeverSignsIn()
{
    platform::Form* load = openStaffSignIn();
    for (const QString& name : { QStringLiteral("' or '1'='1"), QStringLiteral("admin'--"), QStringLiteral("x' or name<>'") }) {
        signIn(load, name, QStringLiteral("' or '1'='1"));
        QCOMPARE(Gui::boxTexts().last(), QStringLiteral("抱歉您的用户名不存在!"));
    }
    QCOMPARE(static_cast<frmLoad*>(load)->failures(), 0);
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 1);
    QVERIFY(Gui::form(QStringLiteral("frmLoad")));
}

void tst_shell::nameWithAQuoteSignsIn()
{
    addAccount(QStringLiteral("O'Neil"), QStringLiteral("it's"), QStringLiteral("一般用户"));
    platform::Form* load = openStaffSignIn();
    signIn(load, QStringLiteral("O'Neil"), QStringLiteral("it's"));
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(BasVal::UserName, QStringLiteral("O'Neil"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_shell::longNamesAndPasswordsSignInWhole()
{
    // Names and passwords beyond a line edit's own 32,767 characters are compared whole: a
    // password cut short must not sign in.
    QString name(40000, QChar(u'名'));
    QString password(40000, QChar(u'密'));
    addAccount(name, password, QStringLiteral("一般用户"));
    platform::Form* load = openStaffSignIn();
    signIn(load, name, password.left(39999));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("您的用户名或密码有误,请重行输入!") });
    // A NUL pasted with the password is dropped as it comes: the box holds what was stored.
    Gui::type(load, QStringLiteral("txtname"), name);
    Gui::type(load, QStringLiteral("txtpwd"), password.left(20000) + QChar(0) + password.mid(20000));
    QCOMPARE(Gui::text(load, QStringLiteral("txtpwd")), password);
    Gui::press(load, QStringLiteral("cmdok"));
    QCOMPARE(BasVal::UserName, name);
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_shell::twoWrongPasswordsThenAnyAttemptEnds()
{
    platform::Form* load = openStaffSignIn();
    signIn(load, QStringLiteral("admin"), QStringLiteral("wrong"));
    signIn(load, QStringLiteral("admin"), QStringLiteral("wrong again"));
    QVERIFY(!Gui::programEnded());
    signIn(load, QStringLiteral("admin"), QStringLiteral("admin")); // right, but too late
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("您不是合法用户,请与系统管理员联系!"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("抱歉"));
    QVERIFY(Gui::programEnded());
    QVERIFY(Gui::loadedWindows().isEmpty());
    QVERIFY(BasVal::UserStyle != QStringLiteral("系统管理员") || BasVal::UserName != QStringLiteral("admin"));
}

void tst_shell::unknownNamesNeverReachTheLimit()
{
    platform::Form* load = openStaffSignIn();
    for (int i = 0; i < 5; ++i)
        signIn(load, QStringLiteral("nobody%1").arg(i), QStringLiteral("x"));
    QVERIFY(!Gui::programEnded());
    QCOMPARE(static_cast<frmLoad*>(load)->failures(), 0);
    signIn(load, QStringLiteral("admin"), QStringLiteral("admin"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_shell::signInExitQuestion()
{
    platform::Form* load = openStaffSignIn();
    Gui::type(load, QStringLiteral("txtname"), QStringLiteral("admin"));
    Gui::answer(Answer::No);
    Gui::press(load, QStringLiteral("cmdcancel"));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("确认退出系统吗?") });
    QCOMPARE(Gui::text(load, QStringLiteral("txtname")), QString());
    QVERIFY(Gui::form(QStringLiteral("frmLoad")));
    Gui::answer(Answer::Yes);
    Gui::press(load, QStringLiteral("cmdcancel"));
    QVERIFY(Gui::programEnded());
}

void tst_shell::signInKeyboard()
{
    platform::Form* load = openStaffSignIn();
    auto* name = Gui::control<QLineEdit>(load, QStringLiteral("txtname"));
    auto* pwd = Gui::control<QLineEdit>(load, QStringLiteral("txtpwd"));
    auto* ok = Gui::control<QPushButton>(load, QStringLiteral("cmdok"));
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("admin"));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(load->focusWidget(), pwd);
    QTest::keyClick(pwd, Qt::Key_Up);
    QCOMPARE(load->focusWidget(), name);
    QTest::keyClick(name, Qt::Key_Down);
    QTest::keyClicks(pwd, QStringLiteral("admin"));
    QTest::keyClick(pwd, Qt::Key_Return); // only moves to 确定
    QCOMPARE(load->focusWidget(), ok);
    QVERIFY(Gui::form(QStringLiteral("frmLoad")));
    QTest::keyClick(ok, Qt::Key_Up);
    QCOMPARE(load->focusWidget(), pwd);
    QTest::keyClick(pwd, Qt::Key_Down);
    QTest::keyClick(ok, Qt::Key_Return); // the second Enter presses it
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_shell::refusedLookUpKeepsTheWindowUsable()
{
    platform::Form* load = openStaffSignIn();
    TestDb::exec(QStringLiteral("drop table 管理员身份认证表"));
    signIn(load, QStringLiteral("admin"), QStringLiteral("admin"));
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
    QVERIFY(Gui::boxes().last().text.contains(QStringLiteral("管理员身份认证表")));
    QVERIFY(Gui::form(QStringLiteral("frmLoad"))->isVisible());
    QVERIFY(!Gui::programEnded());
}

void tst_shell::userTypeDecidesTheAdministratorItem_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("administrator") << "系统管理员" << true;
    QTest::newRow("ordinary") << "一般用户" << false;
    QTest::newRow("inner blank") << "系统 管理员" << false;
    QTest::newRow("other text") << "系统管理员2" << false;
    QTest::newRow("latin case") << "Admin" << false;
    QTest::newRow("blanks around are trimmed") << "  系统管理员 " << true;
}

void tst_shell::userTypeDecidesTheAdministratorItem()
{
    QFETCH(QString, style);
    QFETCH(bool, enabled);
    addAccount(QStringLiteral("u"), QStringLiteral("p"), style);
    signIn(openStaffSignIn(), QStringLiteral("u"), QStringLiteral("p"));
    platform::Form* main = Gui::form(QStringLiteral("frmmain"));
    QVERIFY(main);
    QAction* syss = action(main, QStringLiteral("syss"));
    QCOMPARE(syss->isEnabled(), enabled && platform::Forms::isAvailable(QStringLiteral("frmGly")));
    QCOMPARE(syss->text(), QStringLiteral("系统管理员窗口"));
    QCOMPARE(syss->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
    // Everything else is the same for both types.
    QCOMPARE(action(main, QStringLiteral("sysp"))->isEnabled(), platform::Forms::isAvailable(QStringLiteral("frmputong")));
    QVERIFY(action(main, QStringLiteral("help"))->isEnabled());
    QVERIFY(action(main, QStringLiteral("aboutv"))->isEnabled());
}

void tst_shell::menuAndToolbar()
{
    BasVal::UserStyle = QStringLiteral("系统管理员");
    platform::Form* main = platform::Forms::show(QStringLiteral("frmmain"));
    QCOMPARE(main->windowTitle(), QStringLiteral("Orlenta"));
    const QList<QPair<QString, QString>> items {
        { "infgl", "学生信息管理窗口" }, { "chegl", "学生成绩管理窗口" }, { "jfj", "学生奖励窗口" }, { "jff", "学生处罚窗口" },
        { "xjgl", "学生学籍管理窗口" }, { "sysp", "普通管理员管理窗口" }, { "syss", "系统管理员窗口" }, { "help", "帮助" },
        { "aboutv", "系统版本" },
    };
    for (const auto& [name, text] : items)
        QCOMPARE(action(main, name)->text(), text);
    QCOMPARE(action(main, QStringLiteral("infgl"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
    QCOMPARE(action(main, QStringLiteral("xjgl"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QStringList menus;
    for (QAction* top : main->menuBar()->actions())
        menus << top->text();
    QCOMPARE(menus, (QStringList { "学生信息管理(&X)", "学生成绩管理(&C)", "学生奖罚管理(&J)", "学生学籍管理(&M)", "系统管理(&S)", "关于&A)" }));

    auto* toolbar = main->findChild<QToolBar*>(QStringLiteral("tbrOpe"));
    QStringList buttons;
    for (QAction* a : toolbar->actions())
        buttons << a->text();
    QCOMPARE(buttons, (QStringList { "列出所有学生信息", "增加学生", "课程管理", "成绩分类汇总", "输入成绩", "用户自定义查询", "用户管理", "退出" }));
    QCOMPARE(toolbar->iconSize(), QSize(60, 40));
    // A window this build does not have is offered but disabled; the toolbar never offers frmGly.
    QCOMPARE(toolbar->actions().at(2)->isEnabled(), platform::Forms::isAvailable(QStringLiteral("frmkgl")));
    QVERIFY(toolbar->actions().at(7)->isEnabled());

    // An index outside 1 to 8 does nothing.
    static_cast<frmmain*>(main)->tbrOpe_ButtonClick(0);
    static_cast<frmmain*>(main)->tbrOpe_ButtonClick(9);
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_shell::toolbarExitEndsAtOnce()
{
    platform::Form* main = platform::Forms::show(QStringLiteral("frmmain"));
    platform::Forms::show(QStringLiteral("frmAbout"));
    main->findChild<QToolBar*>(QStringLiteral("tbrOpe"))->actions().at(7)->trigger();
    QVERIFY(Gui::programEnded());
    QVERIFY(Gui::boxes().isEmpty());
    QVERIFY(Gui::loadedWindows().isEmpty());
}

void tst_shell::clockAndStatusBar()
{
    auto* main = static_cast<frmmain*>(platform::Forms::show(QStringLiteral("frmmain")));
    platform::StatusPanels* panels = main->statusPanels();
    QCOMPARE(panels->count(), 6);
    QCOMPARE(panels->text(1), QStringLiteral("<>欢迎使用本系统,谢谢您的支持!"));
    QCOMPARE(panels->label(1)->toolTip(), panels->text(1));
    QCOMPARE(panels->text(3), QStringLiteral("当前日期:"));
    QCOMPARE(panels->text(5), QStringLiteral("当前时间:"));
    QVERIFY(panels->text(4).contains(QString::number(QDate::currentDate().year() % 100)));
    const QString first = panels->text(6);
    QVERIFY(!first.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(panels->text(6) != first, 2500); // it ticks once a second
    // With room enough every panel is at least as wide as its millimetres.
    main->resize(1600, main->height());
    Gui::settle();
    const double mmToPixels = panels->label(1)->logicalDpiX() / 25.4;
    QVERIFY(panels->label(2)->width() >= int(59 * mmToPixels));
    for (int i = 3; i <= 6; ++i)
        QVERIFY(panels->label(i)->width() >= int(25 * mmToPixels));
}

void tst_shell::helpOpensTheSignInTopic()
{
    platform::Form* main = platform::Forms::show(QStringLiteral("frmmain"));
    action(main, QStringLiteral("help"))->trigger();
    QVERIFY(platform::HelpViewer::lastFile().endsWith(QStringLiteral("/MyHelp.chm")));
    QCOMPARE(platform::HelpViewer::lastTopic(), QStringLiteral("用户登录窗体.htm"));
    QVERIFY2(platform::HelpViewer::isShowingPage(), "the help file beside the program has the sign-in topic");
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
    // A missing help file is told in the viewer, and the call still returns.
    platform::HelpViewer::displayTopic(main, QStringLiteral("/nowhere/MyHelp.chm"), QStringLiteral("用户登录窗体.htm"));
    QVERIFY(!platform::HelpViewer::isShowingPage());
    platform::HelpViewer::closeAll();
}

void tst_shell::aboutBoxBesideTheMainWindow()
{
    platform::Form* main = platform::Forms::show(QStringLiteral("frmmain"));
    action(main, QStringLiteral("aboutv"))->trigger();
    Gui::settle();
    platform::Form* about = Gui::form(QStringLiteral("frmAbout"));
    QVERIFY(about && about->isVisible());
    QVERIFY(main->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("关于 Orlenta"));
    QCOMPARE(Gui::control<QLabel>(about, QStringLiteral("lblTitle"))->text(), QStringLiteral("Orlenta"));
    QCOMPARE(Gui::control<QLabel>(about, QStringLiteral("lblVersion"))->text(), QStringLiteral("版本 1.0.0"));
    QCOMPARE(Gui::control<QLabel>(about, QStringLiteral("Label1"))->text(), QStringLiteral("后台开发:SQL Sever 2000"));
    QCOMPARE(Gui::control<QPushButton>(about, QStringLiteral("cmdSysInfo"))->text(), QStringLiteral("系统信息(&S)..."));
    Gui::press(about, QStringLiteral("cmdOK"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
    QVERIFY(!Gui::programEnded());
}

void tst_shell::aboutSystemInformation()
{
    const QStringList known = platform::SystemInfo::candidates();
    platform::Form* about = platform::Forms::show(QStringLiteral("frmAbout"));
    platform::SystemInfo::setCandidates({ QStringLiteral("orlenta-no-such-viewer") });
    Gui::press(about, QStringLiteral("cmdSysInfo"));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("此时系统信息不可用") });
    QCOMPARE(Gui::boxes().last().buttons, MsgBox::Buttons::Ok);
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));

    // A viewer on the PATH is started.
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("started"));
    const QString viewer = dir.filePath(QStringLiteral("orlenta-test-viewer"));
    QFile script(viewer);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(marker).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir.path().toUtf8() + ':' + path);
    platform::SystemInfo::setCandidates({ QStringLiteral("orlenta-test-viewer") });
    Gui::press(about, QStringLiteral("cmdSysInfo"));
    qputenv("PATH", path);
    platform::SystemInfo::setCandidates(known);
    QCOMPARE(Gui::boxes().size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
}

void tst_shell::closingMainWindowEndsTheProgram()
{
    platform::Form* main = platform::Forms::show(QStringLiteral("frmmain"));
    platform::Forms::show(QStringLiteral("frmAbout")); // the About box does not keep it alive
    main->close();
    Gui::settle();
    QVERIFY(Gui::boxes().isEmpty());
    QVERIFY(Gui::programEnded());
    QVERIFY(Gui::loadedWindows().isEmpty());
}

void tst_shell::gridFollowsRowsThatComeAndGo()
{
    for (const char* name : { "甲", "乙", "丙" })
        addAccount(QString::fromUtf8(name), QStringLiteral("p"), QStringLiteral("一般用户"));
    store::DataControl rs;
    rs.setRecordSource(QStringLiteral("select * from 管理员身份认证表 order by 编号"));
    rs.refresh();
    store::DataGrid grid;
    grid.setDataSource(&rs);
    grid.show();
    Gui::settle();

    // A new row filled in and then abandoned is not stored by the grid's own moves.
    rs.addNew();
    QCOMPARE(grid.currentIndex().row(), 4);
    rs.setField(QStringLiteral("name"), QStringLiteral("丁"));
    rs.cancel();
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 4);
    rs.addNew();
    rs.cancel(); // an empty one likewise, once
    QCOMPARE(rs.recordCount(), 4);

    // Deleting a middle row: the next row takes its place, none is skipped.
    rs.moveTo(1);
    const QVariant after = rs.valueAt(2, rs.fieldIndex(QStringLiteral("name")));
    rs.remove();
    rs.moveNext();
    QCOMPARE(rs.field(QStringLiteral("name")), after);
    QCOMPARE(grid.currentIndex().row(), 1);

    // A row chosen in the grid is the record set's current row.
    grid.setCurrentIndex(grid.model()->index(2, 0));
    QCOMPARE(rs.currentRow(), 2);
}

// A test window that counts its lifecycle events.
class Counting : public platform::Form {
public:
    int loads = 0, activations = 0, unloads = 0;
    void Form_Load() override { ++loads; }
    void Form_Activate() override { ++activations; }
    void Form_Unload() override { ++unloads; }
};
class frmCountA : public Counting {
    Q_OBJECT
};
class frmCountB : public Counting {
    Q_OBJECT
};

void tst_shell::lifecycleActivation()
{
    platform::Forms::add<frmCountA>();
    platform::Forms::add<frmCountB>();
    auto* a = platform::Forms::show<frmCountA>();
    Gui::activate(a);
    QCOMPARE(a->loads, 1);
    QCOMPARE(a->activations, 1);
    QCOMPARE(platform::Forms::load<frmCountA>(), a); // loading a loaded window gives the same one
    QCOMPARE(a->loads, 1);

    // Another window becomes active, then this one again: activated once more.
    auto* b = platform::Forms::show<frmCountB>();
    Gui::activate(b);
    Gui::activate(a);
    QCOMPARE(a->activations, 2);
    QCOMPARE(b->activations, 1);

    // Leaving the program's windows and coming back to the same one is no activation.
    QWidget outside;
    outside.show();
    Gui::activate(&outside);
    Gui::activate(a);
    QCOMPARE(a->activations, 2);

    platform::Forms::hide(a);
    Gui::activate(b);
    platform::Forms::show(a);
    Gui::activate(a);
    QCOMPARE(a->activations, 3);

    platform::Forms::unload(a);
    Gui::settle();
    QVERIFY(!Gui::programEnded()); // b is still loaded
    QVERIFY(!platform::Forms::find<frmCountA>());
    auto* again = platform::Forms::load<frmCountA>(); // a fresh window, loaded again
    QCOMPARE(again->loads, 1);
    platform::Forms::unload(again);
    b->close();
    Gui::settle();
    QVERIFY(Gui::programEnded());
}

class frmFailing : public platform::Form {
    Q_OBJECT
public:
    frmFailing()
    {
        auto* button = new QPushButton(QStringLiteral("x"), this);
        button->setObjectName(QStringLiteral("cmdFail"));
        setCentralWidget(button);
        on(button, &QPushButton::clicked, &frmFailing::cmdFail_Click);
    }
    void cmdFail_Click() { throw store::DbError(QStringLiteral("数据库拒绝了语句")); }
};

void tst_shell::untrappedFailureKeepsTheWindow()
{
    platform::Forms::add<frmFailing>();
    auto* form = platform::Forms::show<frmFailing>();
    Gui::press(form, QStringLiteral("cmdFail"));
    Gui::press(form, QStringLiteral("cmdFail"));
    QCOMPARE(Gui::boxTexts(), (QStringList { QStringLiteral("数据库拒绝了语句"), QStringLiteral("数据库拒绝了语句") }));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
    QVERIFY(form->isVisible());
    QVERIFY(!Gui::programEnded());
}

void tst_shell::screens()
{
    for (const char* name : { "frmCload", "frmLoad", "frmmain", "frmAbout" }) {
        platform::Form* form = platform::Forms::show(QString::fromLatin1(name));
        Gui::settle();
        Gui::snapshot(form, QString::fromLatin1(name));
    }
}

QTEST_MAIN(tst_shell)
#include "tst_shell.moc"
