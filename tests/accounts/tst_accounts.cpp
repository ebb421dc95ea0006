#include "support/Controls.h"
#include "support/Gui.h"
#include "support/PgProxy.h"
#include "support/TestDb.h"

#include "platform/Forms.h"
#include "shell/BasVal.h"
#include "store/DataControl.h"
#include "store/ui/DataGrid.h"
#include "store/RecordModel.h"
#include "store/Sql.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTest>
#include <QToolBar>

using platform::MsgBox;
using Answer = platform::MsgBox::Answer;
using store::Sql::quote;

namespace {

void addAccount(const QString& name, const QString& password, const QString& style)
{
    TestDb::exec(QStringLiteral("insert into 管理员身份认证表 (name, pwd, style) values (%1, %2, %3)")
                     .arg(quote(name), quote(password), quote(style)));
}

QVariant stored(const QString& column, const QString& name)
{
    return TestDb::value(QStringLiteral("select %1 from 管理员身份认证表 where name=%2").arg(column, quote(name)));
}

platform::Form* mainWindow(const QString& name, const QString& style)
{
    BasVal::UserName = name;
    BasVal::UserStyle = style;
    platform::Form* main = platform::Forms::show(QStringLiteral("frmmain"));
    Gui::activate(main);
    return main;
}

platform::Form* open(QWidget* from, const QString& item, const QString& window)
{
    from->findChild<QAction*>(item)->trigger();
    Gui::settle();
    platform::Form* form = Gui::form(window);
    Gui::activate(form);
    return form;
}

platform::Form* openGly() { return open(mainWindow("admin", "系统管理员"), "syss", "frmGly"); }
platform::Form* openPassword(const QString& name) { return open(mainWindow(name, "一般用户"), "sysp", "frmputong"); }

store::DataControl* accounts(QWidget* gly) { return gly->findChild<store::DataControl*>(QStringLiteral("rs_gly")); }

platform::Form* openAdd(QWidget* gly)
{
    Gui::press(gly, QStringLiteral("cmdAdd"));
    platform::Form* add = Gui::form(QStringLiteral("frmglyadd"));
    Gui::activate(add);
    return add;
}

void fillIn(QWidget* add, const QString& name, const QString& password, int style)
{
    Gui::type(add, QStringLiteral("txtName"), name);
    Gui::type(add, QStringLiteral("txtPass"), password);
    Gui::control<QComboBox>(add, QStringLiteral("cbstyle"))->setCurrentIndex(style);
}

// Edits a cell of the grid as the user would, after 修改.
bool editCell(store::DataControl* rs, int row, const QString& field, const QString& value)
{
    return rs->model()->setData(rs->model()->index(row, rs->fieldIndex(field)), value, Qt::EditRole);
}

int rowOf(store::DataControl* rs, const QString& name)
{
    for (int row = 0; row < rs->recordCount(); ++row)
        if (rs->valueAt(row, rs->fieldIndex(QStringLiteral("name"))).toString() == name)
            return row;
    return -1;
}

void setPasswords(QWidget* window, const QString& first, const QString& second)
{
    Gui::type(window, QStringLiteral("txtMm"), first);
    Gui::type(window, QStringLiteral("txtXmm"), second);
}

} // namespace

class tst_accounts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }

    void administratorWindowFollowsTheUserType_data();
    void administratorWindowFollowsTheUserType();
    void addRefusesAMissingField_data();
    void addRefusesAMissingField();
    void addStoresTrimmedTextsAsTyped();
    void duplicateNameStoresNothing();
    void closingTheAddWindowStoresNothing();
    void deletionKeepsThePosition();
    void gridEditsAreSavedByUpdate();
    void refusedGridUpdateClaimsNoSuccess();
    void passwordComparedExactlyStoredTrimmed();
    void emptyPasswordQuestion();
    void nextSignInUsesTheNewPassword();
    void refusedPasswordWriteClaimsNoSuccess();
    void gridUpdateWithoutTheServer();
    void passwordChangeWithoutTheServer();
    void addingWhileAnotherUserWritesIsToldBusy();
    void keyboard();
    void textsAreTakenWholeAndWithoutNul();
    void screens();
};

void tst_accounts::administratorWindowFollowsTheUserType_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("opens");
    QTest::newRow("administrator") << "系统管理员" << true;
    QTest::newRow("ordinary") << "一般用户" << false;
    QTest::newRow("inner blank") << "系统 管理员" << false;
    QTest::newRow("latin case") << "系统管理员A" << false; // the type is matched character for character
}

void tst_accounts::administratorWindowFollowsTheUserType()
{
    QFETCH(QString, style);
    QFETCH(bool, opens);
    platform::Form* main = mainWindow(QStringLiteral("admin"), style);
    QTest::keyClick(main, Qt::Key_T, Qt::ControlModifier);
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QString::fromLatin1(opens ? "frmGly" : "frmmain") });
    if (opens) {
        platform::Form* gly = Gui::form(QStringLiteral("frmGly"));
        QCOMPARE(gly->windowTitle(), QStringLiteral("系统管理员窗口"));
        QCOMPARE(accounts(gly)->recordCount(), 1);
        gly->close();
        Gui::settle();
        QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
    }
    // The password change is open to every type, from the menu and from toolbar button 7.
    main = Gui::form(QStringLiteral("frmmain"));
    main->findChild<QToolBar*>(QStringLiteral("tbrOpe"))->actions().at(6)->trigger();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmputong") });
    Gui::form(QStringLiteral("frmputong"))->close();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
    QVERIFY(!Gui::programEnded());
}

void tst_accounts::addRefusesAMissingField_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("name") << "" << "p" << 0 << "用户名不能为空!" << "txtName";
    QTest::newRow("password") << "新人" << "" << 1 << "用户名密码不能为空!" << "txtPass";
    QTest::newRow("type") << "新人" << "p" << -1 << "用户类型不能为空!" << "cbstyle";
}

void tst_accounts::addRefusesAMissingField()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(int, style);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    platform::Form* gly = openGly();
    platform::Form* add = openAdd(gly);
    QVERIFY(!gly->isVisible());
    fillIn(add, name, password, style);
    Gui::press(add, QStringLiteral("cmdSave"));
    QCOMPARE(Gui::boxTexts(), (QStringList { "可以添加新用户!", message }));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("错误"));
    QCOMPARE(Gui::boxes().last().icon, MsgBox::Icon::Exclamation);
    QCOMPARE(add->focusWidget()->objectName(), focus);
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 1);
    // A fresh row waits: completing the form now stores one account with no leftovers.
    QCOMPARE(accounts(gly)->editMode(), store::DataControl::EditMode::Add);
    fillIn(add, QStringLiteral("新人"), QStringLiteral("p"), 1);
    Gui::press(add, QStringLiteral("cmdSave"));
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 2);
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("新人")), QStringLiteral("p")));
}

void tst_accounts::addStoresTrimmedTextsAsTyped()
{
    platform::Form* gly = openGly();
    const QList<QPair<QString, QString>> accepted { { " 张 三 ", "   " }, { "O'Neil", "it's" },
        { "x'); delete from 管理员身份认证表; --", "' or '1'='1" } };
    for (const auto& [name, password] : accepted) {
        platform::Form* add = openAdd(gly);
        fillIn(add, name, password, 1);
        Gui::press(add, QStringLiteral("cmdSave"));
        QVERIFY(!Gui::form(QStringLiteral("frmglyadd")));
        QVERIFY(gly->isVisible());
        QVERIFY(TestDb::isHashOf(stored("pwd", name.trimmed()), password.trimmed()));
        QCOMPARE(stored("style", name.trimmed()).toString(), QStringLiteral("一般用户"));
        QVERIFY(rowOf(accounts(gly), name.trimmed()) >= 0); // shown after the refresh
    }
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 4);
    QCOMPARE(Gui::boxTexts(), QStringList(3, QStringLiteral("可以添加新用户!")));
}

void tst_accounts::duplicateNameStoresNothing()
{
    platform::Form* gly = openGly();
    platform::Form* add = openAdd(gly);
    fillIn(add, QStringLiteral(" admin "), QStringLiteral("other"), 1);
    Gui::press(add, QStringLiteral("cmdSave"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("该用户名已存在,请更换一个新用户名!"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("注意"));
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 1);
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("admin")), QStringLiteral("admin")));
    QCOMPARE(Gui::text(add, QStringLiteral("txtName")), QString());
    QCOMPARE(Gui::text(add, QStringLiteral("txtPass")), QString());
    QCOMPARE(Gui::control<QComboBox>(add, QStringLiteral("cbstyle"))->currentIndex(), 1);
    QCOMPARE(add->focusWidget()->objectName(), QStringLiteral("txtName"));
    fillIn(add, QStringLiteral("admin2"), QStringLiteral("p"), 0);
    Gui::press(add, QStringLiteral("cmdSave"));
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 2);
    QCOMPARE(accounts(gly)->recordCount(), 2);
}

void tst_accounts::closingTheAddWindowStoresNothing()
{
    platform::Form* gly = openGly();
    platform::Form* add = openAdd(gly);
    fillIn(add, QStringLiteral("半途"), QStringLiteral("p"), 0);
    add->close();
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmGly") });
    QVERIFY(gly->isVisible());
    QCOMPARE(accounts(gly)->editMode(), store::DataControl::EditMode::None);
    QCOMPARE(accounts(gly)->recordCount(), 1);
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 1);
}

void tst_accounts::deletionKeepsThePosition()
{
    for (const char* name : { "甲", "乙", "丙" })
        addAccount(QString::fromUtf8(name), QStringLiteral("p"), QStringLiteral("一般用户"));
    platform::Form* gly = openGly();
    store::DataControl* rs = accounts(gly);
    auto nameAt = [rs](int row) { return rs->valueAt(row, rs->fieldIndex(QStringLiteral("name"))).toString(); };

    rs->moveLast();
    Gui::answer(Answer::Cancel);
    Gui::press(gly, QStringLiteral("cmdDelet"));
    QCOMPARE(rs->recordCount(), 4);

    const QString last = nameAt(3), beforeLast = nameAt(2);
    rs->moveLast();
    Gui::answer(Answer::Ok);
    Gui::press(gly, QStringLiteral("cmdDelet"));
    QCOMPARE(Gui::boxes().last().text, QStringLiteral("要删除此条信息吗?"));
    QCOMPARE(Gui::boxes().last().buttons, MsgBox::Buttons::OkCancel);
    QCOMPARE(rs->recordCount(), 3);
    QCOMPARE(stored("name", last), QVariant());
    QCOMPARE(rs->currentRow(), 2); // the new last row, after the refreshes
    QCOMPARE(rs->field(QStringLiteral("name")).toString(), beforeLast);

    // A middle row: the one after it becomes current.
    const QString after = nameAt(2);
    rs->moveTo(1);
    Gui::answer(Answer::Ok);
    Gui::press(gly, QStringLiteral("cmdDelet"));
    QCOMPARE(rs->field(QStringLiteral("name")).toString(), after);

    // Deleted meanwhile by another user: nothing told, the accounts read again.
    const int shown = Gui::boxes().size();
    TestDb::exec(QStringLiteral("delete from 管理员身份认证表 where name=%1").arg(quote(after)));
    Gui::answer(Answer::Ok);
    Gui::press(gly, QStringLiteral("cmdDelet"));
    QCOMPARE(Gui::boxes().size(), shown + 1);
    QCOMPARE(rs->recordCount(), 1);
}

void tst_accounts::gridEditsAreSavedByUpdate()
{
    addAccount(QStringLiteral("teacher"), QStringLiteral("old"), QStringLiteral("一般用户"));
    platform::Form* gly = openGly();
    store::DataControl* rs = accounts(gly);
    auto* update = Gui::control<QAbstractButton>(gly, QStringLiteral("cmdUpdate"));
    QCOMPARE(update->text(), QStringLiteral("更新&U)"));
    QVERIFY(!update->isEnabled());
    QVERIFY(!editCell(rs, rowOf(rs, "teacher"), "pwd", "x")); // no edits before 修改

    Gui::press(gly, QStringLiteral("cmdEdit"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("可以修改请在表格中直接修改!"));
    QVERIFY(update->isEnabled());
    QVERIFY(editCell(rs, rowOf(rs, "teacher"), "pwd", "新密码"));
    Gui::answer(Answer::No);
    Gui::press(gly, QStringLiteral("cmdCancel"));
    QCOMPARE(Gui::boxes().last().text, QStringLiteral("是否取消此次操作!"));
    Gui::press(gly, QStringLiteral("cmdUpdate"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("更新成功!"));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("teacher")), QStringLiteral("新密码")));
    QVERIFY(!update->isEnabled());
    QVERIFY(!rs->model()->isEditable());

    // 取消 answered Yes drops the edit; 更新 stays as it was.
    Gui::press(gly, QStringLiteral("cmdEdit"));
    QVERIFY(editCell(rs, rowOf(rs, "teacher"), "style", "系统管理员"));
    Gui::answer(Answer::Yes);
    Gui::press(gly, QStringLiteral("cmdCancel"));
    QCOMPARE(stored("style", QStringLiteral("teacher")).toString(), QStringLiteral("一般用户"));
    QVERIFY(update->isEnabled());
    QVERIFY(!rs->model()->isEditable());
    // Nothing changed: success all the same.
    Gui::press(gly, QStringLiteral("cmdUpdate"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("更新成功!"));

    // A password still being typed in its cell when 更新 is pressed by its access key is stored.
    Gui::press(gly, QStringLiteral("cmdEdit"));
    Controls::typeInCell(Gui::control<store::DataGrid>(gly, QStringLiteral("dtgGly")), rowOf(rs, "teacher"),
        QStringLiteral("pwd"), QStringLiteral("键入"));
    Controls::accessKey(gly, Qt::Key_U);
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("更新成功!"));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("teacher")), QStringLiteral("键入")));
}

void tst_accounts::refusedGridUpdateClaimsNoSuccess()
{
    addAccount(QStringLiteral("teacher"), QStringLiteral("old"), QStringLiteral("一般用户"));
    platform::Form* gly = openGly();
    store::DataControl* rs = accounts(gly);
    Gui::press(gly, QStringLiteral("cmdEdit"));
    QVERIFY(editCell(rs, rowOf(rs, "teacher"), "name", "admin"));
    Gui::press(gly, QStringLiteral("cmdUpdate"));
    QVERIFY(!Gui::boxTexts().contains(QStringLiteral("更新成功!")));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表 where name='admin'")), 1);
    QCOMPARE(stored("pwd", QStringLiteral("teacher")).toString(), QStringLiteral("old"));
    QCOMPARE(rs->editMode(), store::DataControl::EditMode::None);

    QVERIFY(editCell(rs, rowOf(rs, "teacher"), "pwd", "new"));
    TestDb::exec(QStringLiteral("delete from 管理员身份认证表 where name='teacher'"));
    Gui::press(gly, QStringLiteral("cmdUpdate"));
    QVERIFY(!Gui::boxTexts().contains(QStringLiteral("更新成功!")));
    QCOMPARE(Gui::boxes().size(), 3);
    QCOMPARE(rs->recordCount(), 1);
    QVERIFY(gly->isVisible());
}

void tst_accounts::passwordComparedExactlyStoredTrimmed()
{
    platform::Form* window = openPassword(QStringLiteral("admin"));
    QCOMPARE(Gui::text(window, QStringLiteral("txtName")), QStringLiteral("admin"));
    QVERIFY(!Gui::control<QLineEdit>(window, QStringLiteral("txtName"))->isEnabled());
    setPasswords(window, QStringLiteral("abc "), QStringLiteral("abc"));
    Gui::press(window, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("两次密码输入不符请确认!") });
    QCOMPARE(Gui::text(window, QStringLiteral("txtMm")) + Gui::text(window, QStringLiteral("txtXmm")), QString());
    QCOMPARE(window->focusWidget()->objectName(), QStringLiteral("txtMm"));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("admin")), QStringLiteral("admin")));

    setPasswords(window, QStringLiteral(" 新 密码 "), QStringLiteral(" 新 密码 "));
    Gui::press(window, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("密码更新成功!"));
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("更新完成"));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("admin")), QStringLiteral("新 密码")));
    QCOMPARE(stored("style", QStringLiteral("admin")).toString(), QStringLiteral("系统管理员"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });

    // Blanks only pass the empty test: stored empty, without the question.
    window = open(Gui::form(QStringLiteral("frmmain")), "sysp", "frmputong");
    setPasswords(window, QStringLiteral("   "), QStringLiteral("   "));
    Gui::press(window, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxTexts().size(), 3);
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("admin")), QString()));
}

void tst_accounts::emptyPasswordQuestion()
{
    addAccount(QStringLiteral("O'Neil"), QStringLiteral("old"), QStringLiteral("一般用户"));
    platform::Form* window = openPassword(QStringLiteral("O'Neil"));
    Gui::answer(Answer::No);
    Gui::press(window, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("确实不添加密码吗?") });
    QCOMPARE(Gui::boxes().last().buttons, MsgBox::Buttons::YesNo);
    QCOMPARE(stored("pwd", QStringLiteral("O'Neil")).toString(), QStringLiteral("old"));

    // Yes with text in the confirmation: stored empty, success, then the mismatch.
    setPasswords(window, QString(), QStringLiteral("x"));
    Gui::answer(Answer::Yes);
    Gui::press(window, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxTexts().mid(1), (QStringList { "确实不添加密码吗?", "密码更新成功!", "两次密码输入不符请确认!" }));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("O'Neil")), QString()));
    QCOMPARE(Gui::text(window, QStringLiteral("txtXmm")), QString());

    // Yes with both empty: success twice, and the window closes.
    Gui::answer(Answer::Yes);
    Gui::press(window, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxTexts().mid(4), (QStringList { "确实不添加密码吗?", "密码更新成功!", "密码更新成功!" }));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("admin")), QStringLiteral("admin")));
}

void tst_accounts::nextSignInUsesTheNewPassword()
{
    platform::Form* window = openPassword(QStringLiteral("admin"));
    setPasswords(window, QStringLiteral("Neu1"), QStringLiteral("Neu1"));
    Gui::press(window, QStringLiteral("cmdYes"));
    platform::Forms::unload(QStringLiteral("frmmain"));
    platform::Form* load = platform::Forms::show(QStringLiteral("frmLoad"));
    for (const char* password : { "admin", "Neu1" }) {
        Gui::type(load, QStringLiteral("txtname"), QStringLiteral("admin"));
        Gui::type(load, QStringLiteral("txtpwd"), QString::fromLatin1(password));
        Gui::press(load, QStringLiteral("cmdok"));
    }
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("您的用户名或密码有误,请重行输入!"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_accounts::refusedPasswordWriteClaimsNoSuccess()
{
    addAccount(QStringLiteral("teacher"), QStringLiteral("old"), QStringLiteral("一般用户"));
    platform::Form* window = openPassword(QStringLiteral("teacher"));
    TestDb::exec(QStringLiteral("delete from 管理员身份认证表 where name='teacher'"));
    setPasswords(window, QStringLiteral("new"), QStringLiteral("new"));
    Gui::press(window, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(Gui::boxes().last().title, QStringLiteral("Orlenta"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmputong") });

    // The account is gone before the window reads it: told again, still no success.
    Gui::answer(Answer::Yes);
    setPasswords(window, QString(), QString());
    Gui::press(window, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxes().size(), 3);
    QVERIFY(!Gui::boxTexts().contains(QStringLiteral("密码更新成功!")));
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 1);
}

namespace {

const QString kLost = QStringLiteral("与数据库服务器的连接已断开");
const QString kUnknown = QStringLiteral("保存时与数据库服务器的连接断开了");

} // namespace

void tst_accounts::gridUpdateWithoutTheServer()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    addAccount(QStringLiteral("teacher"), QStringLiteral("old"), QStringLiteral("一般用户"));
    PgProxy proxy(TestDb::pgSocketFile());
    auto restore = Controls::throughProxy(proxy);
    platform::Form* gly = openGly();
    store::DataControl* rs = accounts(gly);

    // The server restarts between the edit and 更新: stored, and told so.
    Gui::press(gly, QStringLiteral("cmdEdit"));
    QVERIFY(editCell(rs, rowOf(rs, "teacher"), "pwd", "p1"));
    proxy.cutAll();
    Gui::press(gly, QStringLiteral("cmdUpdate"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("更新成功!"));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("teacher")), QStringLiteral("p1")));

    // The server is down: told once (the accounts cannot be read again either), nothing stored.
    Gui::press(gly, QStringLiteral("cmdEdit"));
    QVERIFY(editCell(rs, rowOf(rs, "teacher"), "pwd", "p2"));
    proxy.refuse(true);
    proxy.cutAll();
    const int before = Gui::boxes().size();
    Gui::press(gly, QStringLiteral("cmdUpdate"));
    QVERIFY2(Gui::boxes().size() == before + 1, qPrintable(Gui::boxTexts().join('|')));
    QVERIFY2(Gui::boxTexts().last().startsWith(kLost), qPrintable(Gui::boxTexts().last()));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("teacher")), QStringLiteral("p1")));

    // Back again: the next 更新 works (the accounts the failed one could not read again are read
    // now, never "对象关闭时，不允许操作。"), and so does the next change.
    proxy.refuse(false);
    Gui::press(gly, QStringLiteral("cmdUpdate"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("更新成功!"));
    QCOMPARE(rs->recordCount(), 2);
    Gui::press(gly, QStringLiteral("cmdEdit"));
    QVERIFY(editCell(rs, rowOf(rs, "teacher"), "pwd", "p3"));
    Gui::press(gly, QStringLiteral("cmdUpdate"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("更新成功!"));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("teacher")), QStringLiteral("p3")));

    // The reply to a stored update is lost: its outcome is told unknown, never as a success,
    // and the grid reads what the table holds.
    Gui::press(gly, QStringLiteral("cmdEdit"));
    QVERIFY(editCell(rs, rowOf(rs, "teacher"), "pwd", "p4"));
    proxy.loseReplyTo("UPDATE 管理员身份认证表");
    const int successes = Gui::boxTexts().count(QStringLiteral("更新成功!"));
    Gui::press(gly, QStringLiteral("cmdUpdate"));
    QVERIFY2(Gui::boxTexts().last().startsWith(kUnknown), qPrintable(Gui::boxTexts().last()));
    QCOMPARE(Gui::boxTexts().count(QStringLiteral("更新成功!")), successes);
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("teacher")), QStringLiteral("p4")));
    QVERIFY(TestDb::isHashOf(rs->valueAt(rowOf(rs, "teacher"), rs->fieldIndex(QStringLiteral("pwd"))), QStringLiteral("p4")));
}

void tst_accounts::passwordChangeWithoutTheServer()
{
    if (TestDb::engine() != store::Engine::PostgreSQL)
        QSKIP("a server to lose: the SQLite file has none");
    addAccount(QStringLiteral("teacher"), QStringLiteral("old"), QStringLiteral("一般用户"));
    PgProxy proxy(TestDb::pgSocketFile());
    auto restore = Controls::throughProxy(proxy);
    platform::Form* window = openPassword(QStringLiteral("teacher"));

    // The server is down: told once, no success, nothing stored, the window stays.
    proxy.refuse(true);
    proxy.cutAll();
    setPasswords(window, QStringLiteral("new"), QStringLiteral("new"));
    Gui::press(window, QStringLiteral("cmdYes"));
    QVERIFY2(Gui::boxes().size() == 1, qPrintable(Gui::boxTexts().join('|')));
    QVERIFY2(Gui::boxTexts().last().startsWith(kLost), qPrintable(Gui::boxTexts().last()));
    QCOMPARE(stored("pwd", QStringLiteral("teacher")).toString(), QStringLiteral("old"));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmputong") });

    // The reply to the stored password is lost: told unknown, not as a success.
    proxy.refuse(false);
    proxy.loseReplyTo("UPDATE 管理员身份认证表");
    setPasswords(window, QStringLiteral("new"), QStringLiteral("new"));
    Gui::press(window, QStringLiteral("cmdYes"));
    QVERIFY2(Gui::boxes().size() == 2, qPrintable(Gui::boxTexts().join('|')));
    QVERIFY2(Gui::boxTexts().last().startsWith(kUnknown), qPrintable(Gui::boxTexts().last()));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("teacher")), QStringLiteral("new")));

    // The server restarts: the next change is stored and the window closes.
    proxy.cutAll();
    setPasswords(window, QStringLiteral("newer"), QStringLiteral("newer"));
    Gui::press(window, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("密码更新成功!"));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("teacher")), QStringLiteral("newer")));
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });
}

void tst_accounts::addingWhileAnotherUserWritesIsToldBusy()
{
    if (TestDb::engine() != store::Engine::SQLite)
        QSKIP("the SQLite file's write lock: PostgreSQL locks rows, not the database");
    // The program's sessions wait a moment for another writer instead of 30 s.
    qputenv("ORLENTA_SQLITE_BUSY_MS", "200");
    auto restore = qScopeGuard([] {
        platform::Forms::discardAll();
        qunsetenv("ORLENTA_SQLITE_BUSY_MS");
    });
    platform::Form* gly = openGly();
    platform::Form* add = openAdd(gly);
    // Another workstation holds the write lock past the wait.
    auto other = TestDb::openAnother();
    other->begin();
    fillIn(add, QStringLiteral("新人"), QStringLiteral("p"), 1);
    Gui::press(add, QStringLiteral("cmdSave"));
    QVERIFY2(Gui::boxes().size() == 2, qPrintable(Gui::boxTexts().join('|')));
    QVERIFY2(Gui::boxTexts().last().startsWith(QStringLiteral("数据库正被其他用户写入，等待超时")),
        qPrintable(Gui::boxTexts().last()));
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表")), 1);

    // The other writer is done: the same form is saved, once.
    other->rollback();
    QCOMPARE(Gui::text(add, QStringLiteral("txtName")), QStringLiteral("新人"));
    Gui::press(add, QStringLiteral("cmdSave"));
    QCOMPARE(TestDb::count(QStringLiteral("管理员身份认证表 where name='新人'")), 1);
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmGly") });
}

void tst_accounts::textsAreTakenWholeAndWithoutNul()
{
    // Far beyond a line edit's own limit of 32,767 characters: stored whole, or not at all.
    QString longName, longPassword;
    while (longName.size() < 40000)
        longName += QStringLiteral("很长的用户名O'Neil;");
    while (longPassword.size() < 50000)
        longPassword += QStringLiteral("密码%_\\");
    platform::Form* gly = openGly();
    platform::Form* add = openAdd(gly);
    fillIn(add, longName, longPassword, 1);
    QCOMPARE(Gui::text(add, QStringLiteral("txtName")).size(), longName.size());
    Gui::press(add, QStringLiteral("cmdSave"));
    QVERIFY(TestDb::isHashOf(stored("pwd", longName), longPassword));

    // A NUL typed or pasted goes at once: the box shows what is stored.
    add = openAdd(gly);
    auto* name = Gui::control<QLineEdit>(add, QStringLiteral("txtName"));
    name->insert(QStringLiteral("nu") + QChar(0) + QStringLiteral("ll"));
    QCOMPARE(name->text(), QStringLiteral("null"));
    QCOMPARE(name->cursorPosition(), 4);
    Gui::type(add, QStringLiteral("txtPass"), QStringLiteral("p") + QChar(0) + QStringLiteral("w"));
    QCOMPARE(Gui::text(add, QStringLiteral("txtPass")), QStringLiteral("pw"));
    Gui::control<QComboBox>(add, QStringLiteral("cbstyle"))->setCurrentIndex(1);
    Gui::press(add, QStringLiteral("cmdSave"));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("null")), QStringLiteral("pw")));

    // The grid's cell editor takes a long text whole too.
    Gui::press(gly, QStringLiteral("cmdEdit"));
    store::DataControl* rs = accounts(gly);
    auto* grid = Gui::control<store::DataGrid>(gly, QStringLiteral("dtgGly"));
    const QModelIndex cell = grid->model()->index(rowOf(rs, QStringLiteral("null")), rs->fieldIndex(QStringLiteral("pwd")));
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QVERIFY(TestDb::isHashOf(editor->text(), QStringLiteral("pw"))); // the grid shows what is stored
    editor->setText(longPassword + QChar(0));
    QTest::keyClick(editor, Qt::Key_Return);
    Gui::settle(); // the delegate commits on the next turn of the event loop
    Gui::press(gly, QStringLiteral("cmdUpdate"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("更新成功!"));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("null")), longPassword));

    // The password change takes it whole, and the staff sign-in compares it whole.
    platform::Forms::discardAll();
    platform::Form* change = openPassword(QStringLiteral("null"));
    setPasswords(change, longPassword + QStringLiteral("!"), longPassword + QStringLiteral("!"));
    Gui::press(change, QStringLiteral("cmdYes"));
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("密码更新成功!"));
    QVERIFY(TestDb::isHashOf(stored("pwd", QStringLiteral("null")), longPassword + QStringLiteral("!")));
}

void tst_accounts::keyboard()
{
    platform::Form* add = openAdd(openGly());
    const QList<std::tuple<const char*, Qt::Key, const char*>> addKeys { { "txtName", Qt::Key_Return, "txtPass" },
        { "txtPass", Qt::Key_Up, "txtName" }, { "txtName", Qt::Key_Down, "txtPass" },
        { "txtPass", Qt::Key_Return, "cbstyle" } };
    QCOMPARE(add->focusWidget()->objectName(), QStringLiteral("txtName"));
    for (const auto& [from, key, to] : addKeys) {
        QTest::keyClick(add->findChild<QWidget*>(from), key);
        QCOMPARE(add->focusWidget()->objectName(), QString::fromLatin1(to));
    }
    add->close();
    Gui::form(QStringLiteral("frmGly"))->close();
    Gui::settle();

    platform::Form* window = open(Gui::form(QStringLiteral("frmmain")), "sysp", "frmputong");
    const QList<std::tuple<const char*, Qt::Key, const char*>> keys { { "txtMm", Qt::Key_Return, "txtXmm" },
        { "txtXmm", Qt::Key_Return, "txtMm" }, { "txtMm", Qt::Key_Down, "txtXmm" }, { "txtXmm", Qt::Key_Up, "txtMm" },
        { "txtMm", Qt::Key_Down, "txtXmm" }, { "txtXmm", Qt::Key_Down, "cmdYes" } };
    QCOMPARE(window->focusWidget()->objectName(), QStringLiteral("txtMm"));
    for (const auto& [from, key, to] : keys) {
        QTest::keyClick(window->findChild<QWidget*>(from), key);
        QCOMPARE(window->focusWidget()->objectName(), QString::fromLatin1(to));
    }
    QVERIFY(Gui::boxes().isEmpty() || Gui::boxTexts().last() != QStringLiteral("密码更新成功!"));
}

void tst_accounts::screens()
{
    addAccount(QStringLiteral("王老师"), QStringLiteral("密码一"), QStringLiteral("一般用户"));
    platform::Form* gly = openGly();
    Gui::snapshot(gly, QStringLiteral("frmGly"));
    Gui::snapshot(openAdd(gly), QStringLiteral("frmglyadd"));
    Gui::form(QStringLiteral("frmglyadd"))->close();
    gly->close();
    Gui::settle();
    Gui::snapshot(open(Gui::form(QStringLiteral("frmmain")), "sysp", "frmputong"), QStringLiteral("frmputong"));
}

QTEST_MAIN(tst_accounts)
#include "tst_accounts.moc"
