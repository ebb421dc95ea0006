#include "frmmain.h"

#include "BasVal.h"
#include "DailyCopy.h"
#include "DatabaseBackup.h"

#include "platform/Forms.h"
#include "platform/HelpViewer.h"
#include "platform/Picture.h"
#include "platform/Program.h"
#include "platform/StatusPanels.h"
#include "platform/Widgets.h"

#include <QAction>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The toolbar's buttons, in order: caption, image, the window it opens ("" ends the program).
struct ToolButton {
    const char* text;
    const char* image;
    const char* opens;
};
const ToolButton kButtons[] = {
    { "列出所有学生信息", ":/icons/tb-list.svg", "frmallinf" },
    { "增加学生", ":/icons/tb-add.svg", "frmAdd" },
    { "课程管理", ":/icons/tb-course.svg", "frmkgl" },
    { "成绩分类汇总", ":/icons/tb-summary.svg", "frmchz" },
    { "输入成绩", ":/icons/tb-score.svg", "frmchenggl" },
    { "用户自定义查询", ":/icons/tb-query.svg", "frmyzj" },
    { "用户管理", ":/icons/tb-user.svg", "frmputong" },
    { "退出", ":/icons/tb-exit.svg", "" },
};

} // namespace

frmmain::frmmain()
{
    setWindowTitle(QStringLiteral("Orlenta"));

    QMenu* inf = menuBar()->addMenu(QStringLiteral("学生信息管理(&X)"));
    inf->setObjectName(QStringLiteral("inf"));
    on(menuItem(inf, "infgl", QStringLiteral("学生信息管理窗口"), QKeySequence(QStringLiteral("Ctrl+C")), "frmsinfgl"),
        &QAction::triggered, &frmmain::infgl_Click);
    // Importing asks for the file first, then opens the import window as a work window.
    on(menuItem(inf, "infdr", QStringLiteral("导入学生信息…"), QKeySequence(), "frmDaoru"), &QAction::triggered,
        &frmmain::infdr_Click);
    QMenu* che = menuBar()->addMenu(QStringLiteral("学生成绩管理(&C)"));
    che->setObjectName(QStringLiteral("che"));
    on(menuItem(che, "chegl", QStringLiteral("学生成绩管理窗口"), QKeySequence(QStringLiteral("Ctrl+D")), "frmchenggl"),
        &QAction::triggered, &frmmain::chegl_Click);
    on(menuItem(che, "chedr", QStringLiteral("导入成绩…"), QKeySequence(), "frmDaoru"), &QAction::triggered,
        &frmmain::chedr_Click);
    QMenu* jf = menuBar()->addMenu(QStringLiteral("学生奖罚管理(&J)"));
    jf->setObjectName(QStringLiteral("jf"));
    on(menuItem(jf, "jfj", QStringLiteral("学生奖励窗口"), QKeySequence(QStringLiteral("Ctrl+H")), "frmaward"),
        &QAction::triggered, &frmmain::jfj_Click);
    on(menuItem(jf, "jff", QStringLiteral("学生处罚窗口"), QKeySequence(QStringLiteral("Ctrl+E")), "frmchufa"),
        &QAction::triggered, &frmmain::jff_Click);
    QMenu* xj = menuBar()->addMenu(QStringLiteral("学生学籍管理(&M)"));
    xj->setObjectName(QStringLiteral("xj"));
    on(menuItem(xj, "xjgl", QStringLiteral("学生学籍管理窗口"), QKeySequence(QStringLiteral("Ctrl+O")), "frmXjgl"),
        &QAction::triggered, &frmmain::xjgl_Click);
    QMenu* sys = menuBar()->addMenu(QStringLiteral("系统管理(&S)"));
    sys->setObjectName(QStringLiteral("sys"));
    on(menuItem(sys, "sysp", QStringLiteral("普通管理员管理窗口"), QKeySequence(QStringLiteral("Ctrl+P")), "frmputong"),
        &QAction::triggered, &frmmain::sysp_Click);
    syss = menuItem(sys, "syss", QStringLiteral("系统管理员窗口"), QKeySequence(QStringLiteral("Ctrl+T")), "frmGly");
    on(syss, &QAction::triggered, &frmmain::syss_Click);
    sysczjl = menuItem(sys, "sysczjl", QStringLiteral("操作记录"), QKeySequence(), "frmczjl");
    on(sysczjl, &QAction::triggered, &frmmain::sysczjl_Click);
    sysx = menuItem(sys, "sysx", QStringLiteral("学校信息设置"), QKeySequence(), "frmXxsz");
    on(sysx, &QAction::triggered, &frmmain::sysx_Click);
    // Copies of the records and putting one back, for a 系统管理员.
    sys->addSeparator();
    sysbf = menuItem(sys, "sysbf", QStringLiteral("备份数据库…"), QKeySequence(), QString());
    on(sysbf, &QAction::triggered, &frmmain::sysbf_Click);
    syshf = menuItem(sys, "syshf", QStringLiteral("恢复数据库…"), QKeySequence(), QString());
    on(syshf, &QAction::triggered, &frmmain::syshf_Click);
    // "关于&A)" has no opening bracket; A is its access key.
    QMenu* about = menuBar()->addMenu(QStringLiteral("关于&A)"));
    about->setObjectName(QStringLiteral("about"));
    on(menuItem(about, "help", QStringLiteral("帮助"), QKeySequence(), QString()), &QAction::triggered,
        &frmmain::help_Click);
    on(menuItem(about, "aboutv", QStringLiteral("系统版本"), QKeySequence(), "frmAbout"), &QAction::triggered,
        &frmmain::aboutv_Click);

    tbrOpe = addToolBar(QStringLiteral("tbrOpe"));
    tbrOpe->setObjectName(QStringLiteral("tbrOpe"));
    tbrOpe->setIconSize(QSize(60, 40));
    tbrOpe->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tbrOpe->setMovable(false);
    int index = 1;
    for (const ToolButton& b : kButtons) {
        ImgLst << QIcon(QString::fromLatin1(b.image));
        QAction* action = tbrOpe->addAction(ImgLst.last(), QString::fromUtf8(b.text));
        action->setObjectName(QStringLiteral("tbrOpe%1").arg(index));
        action->setToolTip(QString::fromUtf8(b.text));
        const QString opens = QString::fromLatin1(b.opens);
        action->setEnabled(opens.isEmpty() || platform::Forms::isAvailable(opens));
        connect(action, &QAction::triggered, this, [this, index] { run([this, index] { tbrOpe_ButtonClick(index); }); });
        ++index;
    }

    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* img = new platform::Picture(QStringLiteral(":/pictures/main.svg"), false, central);
    img->setObjectName(QStringLiteral("img"));
    lblbiao = ui::label(img, "lblbiao", QStringLiteral("Orlenta"), QColor(59, 91, 169));
    QFont title(QStringLiteral("Serif"));
    title.setPointSize(48);
    title.setBold(true);
    title.setItalic(true);
    lblbiao->setFont(title);
    lvlversion = ui::label(img, "lvlversion", QStringLiteral("V 1.0"), QColor(59, 91, 169));
    QFont version = lvlversion->font();
    version.setPointSizeF(version.pointSizeF() * 1.4);
    lvlversion->setFont(version);
    auto* inner = new QVBoxLayout(img);
    inner->addStretch(2);
    inner->addWidget(lblbiao, 0, Qt::AlignHCenter);
    inner->addWidget(lvlversion, 0, Qt::AlignHCenter);
    inner->addStretch(3);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(img);

    using Panel = platform::StatusPanels::Panel;
    using Kind = platform::StatusPanels::Kind;
    stubar = new platform::StatusPanels(statusBar(),
        {
            Panel { QStringLiteral("<>欢迎使用本系统,谢谢您的支持!"), 50.8, Kind::Text, true },
            Panel { QStringLiteral("Orlenta 学生学籍管理系统 · 教务处"), 59.85, Kind::Text, true },
            Panel { QStringLiteral("当前日期:"), 25.4, Kind::Text, true },
            Panel { QString(), 25.4, Kind::Date, false },
            Panel { QStringLiteral("当前时间:"), 25.4, Kind::Text, true },
            Panel { QString(), 25.4, Kind::Text, false },
        });
    statusBar()->setObjectName(QStringLiteral("stubar"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    on(Timer1, &QTimer::timeout, &frmmain::Timer1_Timer);
    resize(900, 600);
}

QAction* frmmain::menuItem(QMenu* menu, const char* name, const QString& text, const QKeySequence& shortcut,
    const QString& opens)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    // A window that this build does not have yet stays in the menu, disabled.
    action->setEnabled(opens.isEmpty() || platform::Forms::isAvailable(opens));
    return action;
}

void frmmain::Form_Load()
{
    m_helpFile = platform::HelpViewer::helpFile(); // beside the program, else where it is installed
    const bool administrator = BasVal::UserStyle == QStringLiteral("系统管理员");
    syss->setEnabled(administrator && platform::Forms::isAvailable("frmGly"));
    sysx->setEnabled(administrator && platform::Forms::isAvailable("frmXxsz"));
    sysbf->setEnabled(administrator);
    syshf->setEnabled(administrator);
    if (administrator)
        DailyCopy::tell(); // a failed copy of the day, once
    // Who changed what is for system administrators only, as the accounts are.
    sysczjl->setEnabled(administrator && platform::Forms::isAvailable("frmczjl"));
    Timer1->start();
    Timer1_Timer();
}

void frmmain::openWorkWindow(const QString& name)
{
    if (!platform::Forms::open(name))
        return;
    platform::Forms::unload(this);
}

void frmmain::infgl_Click() { openWorkWindow(QStringLiteral("frmsinfgl")); }
void frmmain::chegl_Click() { openWorkWindow(QStringLiteral("frmchenggl")); }
void frmmain::infdr_Click() { openWorkWindow(QStringLiteral("frmDaoru/students")); }
void frmmain::chedr_Click() { openWorkWindow(QStringLiteral("frmDaoru/scores")); }
void frmmain::jfj_Click() { openWorkWindow(QStringLiteral("frmaward")); }
void frmmain::jff_Click() { openWorkWindow(QStringLiteral("frmchufa")); }
void frmmain::xjgl_Click() { openWorkWindow(QStringLiteral("frmXjgl")); }
void frmmain::sysp_Click() { openWorkWindow(QStringLiteral("frmputong")); }

void frmmain::syss_Click()
{
    if (syss->isEnabled())
        openWorkWindow(QStringLiteral("frmGly"));
}

void frmmain::sysczjl_Click()
{
    if (sysczjl->isEnabled())
        openWorkWindow(QStringLiteral("frmczjl"));
}

// The school's settings, for system administrators as the account administration is.
void frmmain::sysx_Click()
{
    if (sysx->isEnabled())
        openWorkWindow(QStringLiteral("frmXxsz"));
}

void frmmain::sysbf_Click()
{
    if (sysbf->isEnabled())
        DatabaseBackup::backup(this);
}

void frmmain::syshf_Click()
{
    if (syshf->isEnabled())
        DatabaseBackup::restore(this);
}

void frmmain::tbrOpe_ButtonClick(int index)
{
    if (index < 1 || index > int(std::size(kButtons)))
        return;
    const QString opens = QString::fromLatin1(kButtons[index - 1].opens);
    if (opens.isEmpty())
        platform::Program::end(); // button 8: at once, whatever is open
    else
        openWorkWindow(opens);
}

void frmmain::aboutv_Click() { platform::Forms::show(QStringLiteral("frmAbout")); }

void frmmain::help_Click()
{
    platform::HelpViewer::displayTopic(this, m_helpFile, QStringLiteral("用户登录窗体.htm"));
}

void frmmain::Timer1_Timer()
{
    // The system's own long time format, without the time zone it adds.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t')).replace(QStringLiteral("  "), QStringLiteral(" "));
    stubar->setText(6, QLocale::system().toString(QTime::currentTime(), format.trimmed()));
}
