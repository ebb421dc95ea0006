#include "support/Controls.h"
#include "support/Gui.h"
#include "support/TestDb.h"

#include "platform/FileDialog.h"
#include "platform/Forms.h"
#include "platform/HelpViewer.h"
#include "platform/HelpWindow.h"
#include "platform/MsgBox.h"
#include "platform/Screens.h"
#include "platform/StatusPanels.h"
#include "shell/BasVal.h"
#include "shell/frmmain.h"
#include "store/DataControl.h"
#include "store/Sql.h"
#include "store/ui/ColumnFitter.h"
#include "store/ui/DataGrid.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QRegularExpression>
#include <QTimer>
#include <memory>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTest>

using store::Sql::quote;
using namespace Controls;

namespace {

const QString kAddress = QStringLiteral("江苏省南京市鼓楼区汉口路二十二号学生宿舍");

void addStudent(const QString& number, const QString& name, const QString& address)
{
    TestDb::exec(QStringLiteral("insert into 学生个人信息表 (学号, 姓名, 性别, 密码, 出生日期, 籍贯, 联系电话, 联系地址, "
                                "所在院系编号, 所在班级编号, 学籍情况, 政治面貌, 备注) values (%1, %2, '男', %1, '1988-03-07', "
                                "'江苏', '025-1234', %3, 1, 1, 1, '团员', '')")
                     .arg(quote(number), quote(name), quote(address)));
}

void addScores(const QString& number, int count, const QString& longCourseAt = QString(), int at = -1)
{
    for (int i = 0; i < count; ++i) {
        const QString course = i == at ? longCourseAt : QStringLiteral("高等数学");
        TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 课程号, 成绩, 学分, 院系号, 班级号, 考试时间) "
                                    "values (%1, %2, 'C001', %3, 3, 1, 1, '2006-01-01')")
                         .arg(quote(number), quote(course))
                         .arg(60 + i % 40));
    }
}

int column(store::DataGrid* grid, const QString& field) { return grid->dataSource()->fieldIndex(field); }
int width(store::DataGrid* grid, const QString& field) { return grid->columnWidth(column(grid, field)); }
store::ColumnFitter* fitter(store::DataGrid* grid) { return grid->findChild<store::ColumnFitter*>(); }

// The frame of a window within the available area of its screen.
bool onScreen(QWidget* window)
{
    return window->screen()->availableGeometry().contains(window->frameGeometry());
}

// Every shown child lies within the window: nothing cut off at its edges.
QStringList clipped(QWidget* window)
{
    QStringList out;
    const QRect inside = window->rect();
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!child->isVisibleTo(window) || child->objectName().isEmpty() || child->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QRect at(child->mapTo(window, QPoint(0, 0)), child->size());
        if (!inside.contains(at))
            out << child->objectName();
    }
    return out;
}

// The names of the anchors in a document.
QStringList anchors(const QTextDocument* document)
{
    QStringList out;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            out << it.fragment().charFormat().anchorNames();
    return out;
}

QString shownPage()
{
    platform::HelpWindow* viewer = platform::HelpViewer::window();
    return viewer ? viewer->browser()->source().fileName() : QString();
}

} // namespace

class tst_look : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup()
    {
        platform::HelpViewer::closeAll();
        Gui::end();
    }

    void gridColumnsFitCaptionsAndTexts();
    void gridLooksOnlyAtRowsAtHand();
    void gridColumnsStayResizable();
    void detailBoxesStayReadable();
    void everyWindowOpensWithinTheScreen();
    void smallDialogsHaveAFixedSize();
    void statusPanelsNeverOverlap();
    void helpViewerPlacement_data();
    void helpViewerPlacement();
    void helpViewerStaysOnScreen();
    void helpPagesShowTheirStyle();
    void helpBackForwardAndContents();
    void f1OpensTheWindowsPage();
    void everyWindowHasAHelpPage();
    void helpFileBesideTheProgramFirst();
    void qtsOwnDialogsSpeakChinese();
    void messageBoxIconsAreSharp();
    void screens();
};

void tst_look::gridColumnsFitCaptionsAndTexts()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), QStringLiteral("南京"));
    addStudent(QStringLiteral("2006002"), QStringLiteral("欧阳明月"), kAddress);
    platform::Form* w = open(QStringLiteral("frmallinf"));
    auto* grid = c<store::DataGrid>(w, "dgdInf");
    QHeaderView* header = grid->horizontalHeader();
    const QFontMetrics metrics = grid->fontMetrics();

    // Each column shows its caption and its texts whole, and no wider than they need.
    for (int i = 0; i < header->count(); ++i)
        if (!header->isSectionHidden(i))
            QVERIFY2(header->sectionSize(i) >= header->sectionSizeHint(i), qPrintable(grid->dataSource()->fieldName(i)));
    QVERIFY(width(grid, QStringLiteral("联系地址")) >= metrics.horizontalAdvance(kAddress));
    QVERIFY(width(grid, QStringLiteral("姓名")) >= metrics.horizontalAdvance(QStringLiteral("欧阳明月")));
    QVERIFY(width(grid, QStringLiteral("性别")) < width(grid, QStringLiteral("联系地址")) / 3);
    QVERIFY(width(grid, QStringLiteral("性别")) < width(grid, QStringLiteral("学号")));

    // The address holds the longest texts: it takes the width left over.
    QCOMPARE(fitter(grid)->stretchColumn(), column(grid, QStringLiteral("联系地址")));
    w->resize(2400, w->height());
    Gui::settle();
    int shown = 0;
    for (int i = 0; i < header->count(); ++i)
        shown += header->isSectionHidden(i) ? 0 : header->sectionSize(i);
    QCOMPARE(shown, grid->viewport()->width());
    QVERIFY(width(grid, QStringLiteral("性别")) < metrics.horizontalAdvance(QStringLiteral("男")) * 8);

    // The score grid of the score window: the score narrower than the course.
    addScores(QStringLiteral("2006001"), 3);
    w->close();
    Gui::settle();
    platform::Form* scores = open(QStringLiteral("frmchenggl"));
    auto* scoreGrid = c<store::DataGrid>(scores, "dgdChengji");
    QVERIFY(width(scoreGrid, QStringLiteral("成绩")) < width(scoreGrid, QStringLiteral("学号")));
    QVERIFY(width(scoreGrid, QStringLiteral("课程名")) >= metrics.horizontalAdvance(QStringLiteral("高等数学")));
}

void tst_look::gridLooksOnlyAtRowsAtHand()
{
    // Four blocks of scores; the longest course name only far down.
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), QStringLiteral("南京"));
    const QString longCourse = QStringLiteral("一门名字非常长的课程只在第一百八十行");
    addScores(QStringLiteral("2006001"), 4 * store::DataControl::PageSize, longCourse, 180);
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    auto* grid = c<store::DataGrid>(w, "dgdChengji");
    store::DataControl* scores = grid->dataSource();
    QCOMPARE(scores->recordCount(), 4 * store::DataControl::PageSize);
    // Sizing the columns read no row beyond what the window shows.
    QVariant value;
    QVERIFY(scores->cachedValue(0, 0, value));
    for (int row = store::DataControl::PageSize; row < store::ColumnFitter::SampleRows; ++row)
        QVERIFY2(!scores->cachedValue(row, 0, value), qPrintable(QString::number(row)));
    QVERIFY(width(grid, QStringLiteral("课程名")) < grid->fontMetrics().horizontalAdvance(longCourse));
}

void tst_look::gridColumnsStayResizable()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), kAddress);
    platform::Form* w = open(QStringLiteral("frmallinf"));
    auto* grid = c<store::DataGrid>(w, "dgdInf");
    QHeaderView* header = grid->horizontalHeader();
    for (int i = 0; i < header->count(); ++i)
        QCOMPARE(header->sectionResizeMode(i), QHeaderView::Interactive);

    // The user drags the divider after 姓名 60 pixels to the right.
    const int name = column(grid, QStringLiteral("姓名"));
    const int before = header->sectionSize(name);
    const int edge = header->sectionViewportPosition(name) + before - 1;
    const int y = header->height() / 2;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
    QTest::mouseMove(header->viewport(), QPoint(edge + 30, y));
    QTest::mouseMove(header->viewport(), QPoint(edge + 60, y));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 60, y));
    Gui::settle();
    QCOMPARE(header->sectionSize(name), before + 60);

    // The user's width outlives a refresh; the others are sized again.
    grid->dataSource()->refresh();
    Gui::settle();
    QCOMPARE(header->sectionSize(name), before + 60);
}

void tst_look::detailBoxesStayReadable()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), kAddress);
    const struct {
        const char* window;
        const char* panel;
    } panels[] = { { "frmallinf", "famInf" }, { "frmsinfgl", "famGinf" }, { "frmchenggl", "famKe" } };
    for (const auto& each : panels) {
        platform::Form* w = open(QString::fromLatin1(each.window));
        w->resize(1, 1); // as narrow as the window goes
        Gui::settle();
        auto* panel = c<QGroupBox>(w, each.panel);
        const int readable = panel->fontMetrics().horizontalAdvance(QStringLiteral("025-12345678"));
        for (QLineEdit* box : panel->findChildren<QLineEdit*>()) {
            if (box->isVisibleTo(panel) && !box->objectName().isEmpty())
                QVERIFY2(box->width() >= readable, qPrintable(QStringLiteral("%1.%2 %3").arg(QString::fromLatin1(each.window),
                                                         box->objectName()).arg(box->width())));
        }
        platform::Forms::discardAll();
        Gui::settle();
    }
}

void tst_look::everyWindowOpensWithinTheScreen()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), kAddress);
    const QStringList names = platform::Forms::available();
    QVERIFY(names.size() >= 20);
    for (const QString& name : names) {
        BasVal::UserName = name == QLatin1String("frmStudent") ? QStringLiteral("2006001") : QStringLiteral("admin");
        platform::Form* w = open(name);
        QVERIFY2(w && w->isVisible(), qPrintable(name));
        const QRect area = w->screen()->availableGeometry();
        QVERIFY2(onScreen(w), qPrintable(QStringLiteral("%1 %2 on %3").arg(name, QVariant(w->frameGeometry()).toString(),
                                                                             QVariant(area).toString())));
        // Made as small as it goes, it still fits: a form that needs more room scrolls.
        w->resize(1, 1);
        Gui::settle();
        QVERIFY2(w->width() <= area.width() && w->height() <= area.height(), qPrintable(name));
        if (auto* scroll = w->findChild<QScrollArea*>(QStringLiteral("scroll")))
            QVERIFY(scroll->widget()->minimumSizeHint().width() > w->width()
                || scroll->widget()->minimumSizeHint().height() > w->height() - w->statusBar()->height());
        platform::Forms::discardAll();
        Gui::settle();
    }
    BasVal::UserName.clear();
}

void tst_look::smallDialogsHaveAFixedSize()
{
    for (const char* name : { "frmCload", "frmLoad", "frmsload", "frmAbout", "frmXxsz" }) {
        platform::Form* w = open(QString::fromLatin1(name));
        QVERIFY2(w->minimumSize() == w->maximumSize(), name);
        QCOMPARE(w->size(), w->minimumSize());
        QVERIFY2(clipped(w).isEmpty(), qPrintable(clipped(w).join(QLatin1Char(' '))));
        QVERIFY(onScreen(w));
        platform::Forms::discardAll();
        Gui::settle();
    }
}

void tst_look::statusPanelsNeverOverlap()
{
    auto* main = static_cast<frmmain*>(open(QStringLiteral("frmmain")));
    platform::StatusPanels* panels = main->statusPanels();
    const double mmToPixels = main->logicalDpiX() / 25.4;
    for (const int wanted : { 1, 320, 500, 700, 835, 1400 }) {
        main->resize(wanted, main->height());
        Gui::settle();
        const QString at = QStringLiteral("at %1 px").arg(main->width());
        QStatusBar* bar = main->statusBar();
        for (int i = 1; i <= panels->count(); ++i) {
            QLabel* panel = panels->label(i);
            const QRect here(panel->mapTo(bar, QPoint(0, 0)), panel->size());
            if (i < panels->count()) {
                const QLabel* next = panels->label(i + 1);
                QVERIFY2(here.right() < next->mapTo(bar, QPoint(0, 0)).x(), qPrintable(at));
            }
            // A panel cut short says its text whole in its tool tip.
            if (panels->isElided(i))
                QCOMPARE(panel->toolTip(), panel->text());
        }
        if (main->width() >= 1400) {
            for (int i = 1; i <= panels->count(); ++i) {
                QVERIFY2(!panels->isElided(i), qPrintable(at));
                QVERIFY(panels->label(i)->width() >= int(25 * mmToPixels));
            }
        }
        // The clock gives way last.
        if (main->width() >= 500)
            QVERIFY2(!panels->isElided(6) && !panels->isElided(5), qPrintable(at));
        if (panels->isElided(6))
            for (int i = 1; i < 6; ++i)
                QVERIFY(panels->label(i)->width() <= panels->preferredWidth(i));
    }
    // Panels without a tool tip of their own get one only while they are cut.
    QVERIFY(panels->label(6)->toolTip().isEmpty());
}

void tst_look::helpViewerPlacement_data()
{
    QTest::addColumn<QRect>("owner");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QString>("side");
    const QRect wide(0, 0, 1920, 1040);
    QTest::newRow("room on the right") << QRect(100, 100, 800, 600) << wide << "right";
    QTest::newRow("at the right edge") << QRect(1000, 100, 900, 600) << wide << "left";
    QTest::newRow("whole screen") << QRect(0, 0, 1920, 1040) << wide << "within";
    QTest::newRow("small screen at 2x") << QRect(0, 0, 683, 360) << QRect(0, 0, 683, 368) << "within";
    QTest::newRow("second screen") << QRect(1950, 50, 300, 400) << QRect(1920, 0, 1280, 1000) << "right";
    QTest::newRow("no owner") << QRect() << wide << "within";
}

void tst_look::helpViewerPlacement()
{
    QFETCH(QRect, owner);
    QFETCH(QRect, area);
    QFETCH(QString, side);
    const QRect r = platform::HelpViewer::placement(owner, QSize(900, 640), area);
    QVERIFY(area.contains(r));
    QVERIFY(r.width() >= std::min(900, area.width()) && r.height() >= std::min(640, area.height()));
    if (side == QLatin1String("right"))
        QVERIFY(r.left() > owner.right());
    else if (side == QLatin1String("left"))
        QVERIFY(r.right() < owner.left());
}

void tst_look::helpViewerStaysOnScreen()
{
    platform::Form* main = open(QStringLiteral("frmmain"));
    const QRect area = main->screen()->availableGeometry();
    main->move(area.right() - main->frameGeometry().width(), area.top());
    Gui::settle();
    main->findChild<QAction*>(QStringLiteral("help"))->trigger();
    Gui::settle();
    QWidget* viewer = platform::HelpViewer::window();
    QVERIFY(viewer && viewer->isVisible());
    QVERIFY2(onScreen(viewer), qPrintable(QVariant(viewer->frameGeometry()).toString()));
    QCOMPARE(viewer->screen(), main->screen());
}

void tst_look::helpPagesShowTheirStyle()
{
    platform::Form* main = open(QStringLiteral("frmmain"));
    platform::HelpViewer::displayTopic(main, platform::HelpViewer::helpFile(), QStringLiteral("用户登录窗体.htm"));
    QTextDocument* page = platform::HelpViewer::window()->browser()->document();
    // Every page links the style sheet so that the viewer applies it (it loads a link only with
    // its type), and shows its heading in the help's blue.
    const QStringList pages = QDir(QStringLiteral(":/help")).entryList({ QStringLiteral("*.htm") });
    QVERIFY(pages.size() >= 16);
    for (const QString& name : pages) {
        QFile file(QStringLiteral(":/help/") + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(QString::fromUtf8(file.readAll()).contains(QStringLiteral("<link rel=\"stylesheet\" type=\"text/css\" href=\"help.css\">")),
            qPrintable(name));
        platform::HelpViewer::window()->showPage(name);
        QCOMPARE(shownPage(), name);
        QVERIFY2(page->begin().charFormat().foreground().color() == QColor(0x3b, 0x5b, 0xa9), qPrintable(name));
    }
    platform::HelpViewer::window()->showPage(QStringLiteral("数据源设置.htm"));
    Gui::snapshot(platform::HelpViewer::window(), QStringLiteral("help-datasource"));
    platform::HelpViewer::window()->showPage(QStringLiteral("用户登录窗体.htm"));
    // The heading in the help's blue, the keys on their badges: the style sheet is applied.
    const QTextBlock heading = page->begin();
    QCOMPARE(heading.text(), QStringLiteral("登陆本系统"));
    QCOMPARE(heading.charFormat().foreground().color(), QColor(0x3b, 0x5b, 0xa9));
    bool badge = false;
    for (QTextBlock block = page->begin(); block.isValid() && !badge; block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().text() == QLatin1String("Enter"))
                badge = it.fragment().charFormat().background().color() == QColor(0xe3, 0xeb, 0xf8);
    QVERIFY(badge);
}

void tst_look::helpBackForwardAndContents()
{
    platform::Form* main = open(QStringLiteral("frmmain"));
    main->findChild<QAction*>(QStringLiteral("help"))->trigger();
    platform::HelpWindow* viewer = platform::HelpViewer::window();
    QListWidget* contents = viewer->contents();
    auto* back = viewer->findChild<QAction*>(QStringLiteral("helpBack"));
    auto* forward = viewer->findChild<QAction*>(QStringLiteral("helpForward"));

    // The contents list is the contents page's own: every topic of the help, in its order.
    QFile index(QStringLiteral(":/help/目录.htm"));
    QVERIFY(index.open(QIODevice::ReadOnly));
    const int links = int(QString::fromUtf8(index.readAll()).count(QStringLiteral("<a href=")));
    QCOMPARE(contents->count(), links + 1);
    QCOMPARE(contents->item(0)->text(), QStringLiteral("目录"));
    QCOMPARE(contents->currentItem()->text(), QStringLiteral("登陆与身份选择"));
    QVERIFY(!back->isEnabled());
    // Every topic shows whole, the longest too.
    for (int i = 0; i < contents->count(); ++i)
        QVERIFY2(contents->viewport()->width() >= contents->sizeHintForIndex(contents->model()->index(i, 0)).width(),
            qPrintable(contents->item(i)->text()));

    const QList<QListWidgetItem*> found = contents->findItems(QStringLiteral("学生成绩管理"), Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    contents->setCurrentItem(found.first());
    QCOMPARE(shownPage(), QStringLiteral("学生成绩管理窗体.htm"));
    QVERIFY(back->isEnabled());
    back->trigger();
    QCOMPARE(shownPage(), QStringLiteral("用户登录窗体.htm"));
    QCOMPARE(contents->currentItem()->text(), QStringLiteral("登陆与身份选择"));
    QVERIFY(forward->isEnabled());
    forward->trigger();
    QCOMPARE(shownPage(), QStringLiteral("学生成绩管理窗体.htm"));

    // The contents page has no link to itself.
    viewer->findChild<QAction*>(QStringLiteral("helpHome"))->trigger();
    QCOMPARE(shownPage(), QStringLiteral("目录.htm"));
    QVERIFY(!viewer->browser()->toPlainText().contains(QStringLiteral("返回目录")));
}

void tst_look::f1OpensTheWindowsPage()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), kAddress);
    const struct {
        const char* window;
        const char* topic;
    } cases[] = {
        { "frmCload", "用户登录窗体.htm" },
        { "frmmain", "主窗体.htm" },
        { "frmsinfgl", "学生信息管理窗体.htm" },
        { "frmAdd", "学生信息管理窗体.htm#frmAdd" },
        { "frmchenggl", "学生成绩管理窗体.htm" },
        { "frmXjgl", "学生学籍查询窗体.htm" },
    };
    for (const auto& each : cases) {
        platform::Form* w = open(QString::fromUtf8(each.window));
        QTest::keyClick(w, Qt::Key_F1);
        Gui::settle();
        QCOMPARE(platform::HelpViewer::lastTopic(), QString::fromUtf8(each.topic));
        QVERIFY(platform::HelpViewer::isShowingPage());
        QCOMPARE(shownPage(), QString::fromUtf8(each.topic).section(QLatin1Char('#'), 0, 0));
        platform::HelpViewer::closeAll();
        platform::Forms::discardAll();
        Gui::settle();
    }
    // The main window's menu entry keeps the sign-in topic.
    platform::Form* main = open(QStringLiteral("frmmain"));
    main->findChild<QAction*>(QStringLiteral("help"))->trigger();
    QCOMPARE(platform::HelpViewer::lastTopic(), QStringLiteral("用户登录窗体.htm"));
}

void tst_look::everyWindowHasAHelpPage()
{
    for (const QString& name : platform::Forms::available()) {
        platform::Form* w = platform::Forms::load(name);
        const QString topic = w->helpTopic();
        QVERIFY2(!topic.isEmpty(), qPrintable(name));
        platform::HelpViewer::displayTopic(w, platform::HelpViewer::helpFile(), topic);
        QVERIFY2(platform::HelpViewer::isShowingPage(), qPrintable(topic));
        if (topic.contains(QLatin1Char('#')))
            QVERIFY2(anchors(platform::HelpViewer::window()->browser()->document()).contains(topic.section(QLatin1Char('#'), 1)),
                qPrintable(topic));
        platform::Forms::discardAll();
        Gui::settle();
    }
}

void tst_look::helpFileBesideTheProgramFirst()
{
    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    const QString data = root.filePath(QStringLiteral("usr/share/orlenta"));
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(data));
    auto touch = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly);
    };
    const QString beside = bin + QStringLiteral("/MyHelp.chm");
    const QString installed = data + QStringLiteral("/MyHelp.chm");
    // The installed data folder is the test's own: whatever this machine has installed plays no part.
    const QString elsewhere = root.filePath(QStringLiteral("opt/orlenta"));
    QCOMPARE(platform::HelpViewer::locateHelpFile(bin, elsewhere), beside); // neither: the one beside is named
    QVERIFY(touch(installed));
    QCOMPARE(platform::HelpViewer::locateHelpFile(bin, elsewhere), installed); // found from the program's folder
    QVERIFY(QDir().mkpath(elsewhere) && touch(elsewhere + QStringLiteral("/MyHelp.chm")));
    QCOMPARE(platform::HelpViewer::locateHelpFile(bin, elsewhere), installed);
    QVERIFY(QFile::remove(installed));
    QCOMPARE(platform::HelpViewer::locateHelpFile(bin, elsewhere), elsewhere + QStringLiteral("/MyHelp.chm"));
    QVERIFY(touch(beside));
    QCOMPARE(platform::HelpViewer::locateHelpFile(bin, elsewhere), beside);
    // The program's own folder has its help file beside it.
    QCOMPARE(platform::HelpViewer::helpFile(), QCoreApplication::applicationDirPath() + QStringLiteral("/MyHelp.chm"));
}

void tst_look::qtsOwnDialogsSpeakChinese()
{
    // What Qt itself shows: no English word of its own remains.
    const QRegularExpression english(QStringLiteral("[A-Za-z]{3,}"));
    auto texts = [](QWidget* widget) {
        QStringList out;
        for (QLabel* label : widget->findChildren<QLabel*>())
            if (label->isVisibleTo(widget) && !label->text().isEmpty())
                out << label->text();
        for (QAbstractButton* button : widget->findChildren<QAbstractButton*>())
            if (button->isVisibleTo(widget) && !button->text().isEmpty())
                out << button->text();
        return out;
    };

    // The export's save dialog, as it really opens.
    platform::Form* w = open(QStringLiteral("frmLoad"));
    QStringList dialogTexts;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialogTexts = texts(dialog);
            dialog->reject();
        }
    });
    // The dialog records its folders in the user's Qt settings: here in the test's own folder.
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    platform::FileDialog::setScripted(false);
    const QString chosen = platform::FileDialog::saveFileName(w, QStringLiteral("导出为 CSV 文件"), dir.filePath(QStringLiteral("a.csv")),
        QStringLiteral("CSV 文件 (*.csv)"), QStringLiteral("csv"));
    platform::FileDialog::setScripted(true);
    QVERIFY(chosen.isEmpty());
    QVERIFY(!dialogTexts.isEmpty());
    QVERIFY2(dialogTexts.filter(english).isEmpty(), qPrintable(dialogTexts.join(u'|')));
    QVERIFY2(!dialogTexts.filter(QStringLiteral("保存")).isEmpty(), qPrintable(dialogTexts.join(u'|')));
    QVERIFY(!dialogTexts.filter(QStringLiteral("取消")).isEmpty());

    // A text box's context menu.
    QLineEdit* box = c<QLineEdit>(w, "txtname");
    QVERIFY(box);
    std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
    QStringList entries;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            entries << action->text().section(u'\t', 0, 0); // without its shortcut
    QVERIFY(entries.size() >= 5);
    QVERIFY2(entries.filter(english).isEmpty(), qPrintable(entries.join(u'|')));
    QVERIFY(!entries.filter(QStringLiteral("粘贴")).isEmpty());

    // The calendar of a date picker names its months in Chinese.
    QCOMPARE(QLocale().monthName(1), QStringLiteral("一月"));
}

void tst_look::messageBoxIconsAreSharp()
{
    using Icon = platform::MsgBox::Icon;
    for (const Icon icon : { Icon::Information, Icon::Exclamation, Icon::Question, Icon::Critical }) {
        for (const qreal scale : { 1.0, 2.0 }) {
            const QPixmap pixmap = platform::MsgBox::iconPixmap(icon, scale);
            QVERIFY(!pixmap.isNull());
            // Drawn at the screen's own pixels, never scaled up from a smaller picture.
            QCOMPARE(pixmap.size(), QSize(platform::MsgBox::IconSize, platform::MsgBox::IconSize) * scale);
            QCOMPARE(pixmap.devicePixelRatio(), scale);
        }
    }
    QVERIFY(platform::MsgBox::iconPixmap(Icon::None, 1).isNull());
    const auto box = platform::MsgBox::makeBox(QStringLiteral("确认退出系统吗?"), QStringLiteral("退出"), Icon::Question,
        platform::MsgBox::Buttons::YesNo);
    QCOMPARE(box->windowTitle(), QStringLiteral("退出"));
    QVERIFY(!box->iconPixmap().isNull());
    QCOMPARE(box->buttons().size(), 2);
}

void tst_look::screens()
{
    // What the window tests do not show: the help viewer, message boxes.
    platform::Form* main = open(QStringLiteral("frmmain"));
    main->findChild<QAction*>(QStringLiteral("help"))->trigger();
    Gui::settle();
    Gui::snapshot(platform::HelpViewer::window(), QStringLiteral("help"));
    platform::HelpViewer::closeAll();
    using Icon = platform::MsgBox::Icon;
    const struct {
        const char* name;
        const char* text;
        const char* title;
        Icon icon;
        platform::MsgBox::Buttons buttons;
    } boxes[] = {
        { "msgbox-information", "保存成功!", "成功", Icon::Information, platform::MsgBox::Buttons::Ok },
        { "msgbox-exclamation", "您的用户名或密码有误,请重行输入!", "错误", Icon::Exclamation, platform::MsgBox::Buttons::Ok },
        { "msgbox-question", "确认退出系统吗?", "退出", Icon::Question, platform::MsgBox::Buttons::YesNo },
        { "msgbox-critical", "数据库的错误信息", "", Icon::Critical, platform::MsgBox::Buttons::Ok },
        { "msgbox-retry", "数据库正被其他用户写入，等待超时，这次操作还没有完成。\n\n重试：再等一次；取消：放弃这次操作，什么也不写入。",
            "注意", Icon::Exclamation, platform::MsgBox::Buttons::RetryCancel },
        { "msgbox-refusal", "“课程号”的值已经存在，不能重复。\n\n详细信息：UNIQUE constraint failed: 学生课程表.课程号", "",
            Icon::Critical, platform::MsgBox::Buttons::Ok },
    };
    for (const auto& each : boxes) {
        const auto box = platform::MsgBox::makeBox(QString::fromUtf8(each.text), QString::fromUtf8(each.title), each.icon,
            each.buttons, main);
        box->show();
        Gui::settle();
        Gui::snapshot(box.get(), QString::fromLatin1(each.name));
        box->close();
    }
}

QTEST_MAIN(tst_look)
#include "tst_look.moc"
