#include "support/Controls.h"
#include "support/Gui.h"
#include "support/TestDb.h"

#include "platform/FileDialog.h"
#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "reports/PrintPreview.h"
#include "reports/ScoreChart.h"
#include "reports/Transcript.h"
#include "shell/BasVal.h"
#include "store/SchoolSettings.h"
#include "store/Setup.h"
#include "store/DbError.h"
#include "store/ScoreStatistics.h"
#include "store/Sql.h"
#include "store/StudentTranscript.h"
#include "store/ui/DataCombo.h"
#include "store/ui/DatePicker.h"

#include <QAction>
#include <QCheckBox>
#include <QDate>
#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLabel>
#include <QValueAxis>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using platform::FileDialog;
using store::Sql::quote;
using namespace Controls;

namespace {

void addStudent(const QString& number, const QString& name, int department = 1, int classCode = 1, int status = 1)
{
    TestDb::exec(QStringLiteral("insert into 学生个人信息表 (学号, 姓名, 性别, 密码, 所在院系编号, 所在班级编号, 学籍情况) "
                                "values (%1, %2, '女', %1, %3, %4, %5)")
                     .arg(quote(number), quote(name))
                     .arg(department)
                     .arg(classCode)
                     .arg(status));
}

void addScore(const QString& number, const QString& course, const QString& courseNumber, const QVariant& score, int credits,
    const QDate& date, int department = 1, int classCode = 1)
{
    TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 课程号, 成绩, 学分, 院系号, 班级号, 考试时间) "
                                "values (%1, %2, %3, %4, %5, %6, %7, %8)")
                     .arg(quote(number), quote(course), quote(courseNumber))
                     .arg(score.isNull() ? QStringLiteral("NULL") : QString::number(score.toDouble()))
                     .arg(credits)
                     .arg(department)
                     .arg(classCode)
                     .arg(quote(date.toString(QStringLiteral("yyyy-MM-dd")))));
}

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of a PDF (of one page, or all), every blank and line break taken out.
QString pdfText(const QString& file, int page = 0)
{
    QStringList args;
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    QString text = run(QStringLiteral("pdftotext"), args << QStringLiteral("-layout") << file << QStringLiteral("-"));
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

int pdfPages(const QString& file)
{
    const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    return pages.match(run(QStringLiteral("pdfinfo"), { file })).captured(1).toInt();
}

// Whether every font of the PDF is embedded in it (pdffonts: name type encoding emb sub uni ...).
bool fontsEmbedded(const QString& file)
{
    const QStringList lines = run(QStringLiteral("pdffonts"), { file }).split(u'\n', Qt::SkipEmptyParts).mid(2);
    if (lines.isEmpty())
        return false;
    for (const QString& line : lines) {
        const QStringList cells = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (cells.size() < 6 || cells[cells.size() - 5] != QLatin1String("yes"))
            return false;
    }
    return true;
}

QPrintPreviewDialog* preview(QWidget* parent)
{
    Gui::settle();
    auto* dialog = parent->findChild<QPrintPreviewDialog*>(QStringLiteral("dlgPreview"));
    if (dialog && !dialog->isVisible())
        return nullptr;
    return dialog;
}

// Saves what a preview shows as a PDF through its own button.
void saveFromPreview(QPrintPreviewDialog* dialog, const QString& path)
{
    FileDialog::answerNext(path);
    dialog->findChild<QAction*>(QStringLiteral("actSavePdf"))->trigger();
    Gui::settle();
}

// A student with three scores in three terms, their placeholder row, and another student.
void transcriptFixture()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"), 1, 1, 2);
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"));
    addScore(QStringLiteral("2006001"), QStringLiteral("高等数学"), QStringLiteral("C001"), 86, 5, QDate(2006, 6, 20));
    addScore(QStringLiteral("2006001"), QStringLiteral("线性代数"), QStringLiteral("C002"), 70, 3, QDate(2006, 1, 10));
    addScore(QStringLiteral("2006001"), QStringLiteral("大学英语"), QStringLiteral("C003"), 90, 4, QDate(2007, 1, 12));
    TestDb::addPlaceholderScore(QStringLiteral("2006001"), QDate(2005, 9, 1));
    addScore(QStringLiteral("2006002"), QStringLiteral("体育课"), QStringLiteral("C009"), 60, 1, QDate(2006, 6, 20));
}

// Ten scores, two in each band, of two students in two departments and classes; the placeholder
// row and a row without a score take no part.
void chartFixture()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    addStudent(QStringLiteral("2006002"), QStringLiteral("李四"), 2, 9);
    int day = 0;
    for (double s : { 55.0, 59.5, 60.0, 65.0, 70.0 }) {
        addScore(QStringLiteral("2006001"), QStringLiteral("课%1").arg(day), QStringLiteral("C001"), s, 3,
            QDate(2006, 6, 1).addDays(day));
        ++day;
    }
    for (double s : { 79.5, 80.0, 89.0, 90.0, 100.0 }) {
        addScore(QStringLiteral("2006002"), QStringLiteral("课%1").arg(day), QStringLiteral("C001"), s, 3,
            QDate(2006, 6, 1).addDays(day), 2, 9);
        ++day;
    }
    addScore(QStringLiteral("2006002"), QStringLiteral("缺考"), QStringLiteral("C001"), QVariant(), 3, QDate(2006, 7, 1), 2, 9);
    TestDb::addPlaceholderScore(QStringLiteral("2006001"), QDate(2006, 9, 1));
}

QVector<qint64> bands(const store::ScoreDistribution& d) { return QVector<qint64>(std::begin(d.bands), std::end(d.bands)); }

const QValueAxis* valueAxis(reports::ScoreChart* chart)
{
    auto* view = chart->findChild<QChartView*>(QStringLiteral("chartView"));
    if (!view)
        return nullptr;
    for (QAbstractAxis* axis : view->chart()->axes(Qt::Vertical))
        if (auto* value = qobject_cast<QValueAxis*>(axis))
            return value;
    return nullptr;
}

reports::ScoreChart* chartOf(QWidget* w)
{
    Gui::press(w, QStringLiteral("cmdFbt"));
    const auto charts = w->findChildren<reports::ScoreChart*>();
    for (reports::ScoreChart* chart : charts)
        if (chart->isVisible())
            return chart;
    return nullptr;
}

} // namespace

class tst_reports : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }

    void transcriptOfTheCurrentStudent();
    void transcriptFromTheStudentsOwnWindow();
    void creditsTakenAndEarned();
    void longTranscriptIsSignedOnItsLastPage();
    void schoolSettingsAreSetOnceForEveryone();
    void transcriptNeedsAStudent();
    void chartOfTheScoreWindow();
    void chartOfTheSummary();
    void countAxisHasWholeNumberTicks();
    void distributionFromCounts();
    void statisticsOfStatements();
};

void tst_reports::transcriptOfTheCurrentStudent()
{
    transcriptFixture();
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 出生日期='1987-10-03' where 学号='2006001'"));
    TestDb::exec(QStringLiteral("update 系统设置表 set 学校名称='江南师范大学', 签发单位='江南师范大学教务处'"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    Gui::press(w, QStringLiteral("cmdDycjd"));
    QPrintPreviewDialog* dialog = preview(w);
    QVERIFY(dialog);
    QVERIFY(Gui::boxes().isEmpty());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("学生成绩单 - 2006001 张三"));
    Gui::snapshot(dialog, QStringLiteral("transcript-preview"));

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("成绩单.pdf"));
    saveFromPreview(dialog, file);
    QVERIFY(FileDialog::asked().last().proposed.endsWith(QStringLiteral("成绩单_2006001_张三.pdf")));
    // The user is told where the file went.
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("已保存为 PDF 文件“%1”。").arg(file) });
    const QString text = pdfText(file);
    for (const char* part : { "江南师范大学学生成绩单", "学号:2006001", "姓名:张三", "性别:女", "出生日期:1987-10-3",
             "所属学院:计算机科学与技术学院", "所在班级:计算机2003级1班", "学籍情况:休学", "课程课程号成绩学分考试日期",
             "线性代数C0027032006-1-10", "高等数学C0018652006-6-20", "大学英语C0039042007-1-12",
             "修读学分:12已获学分:12平均分:82.00学分加权平均分:83.33", "签发单位:江南师范大学教务处", "盖章及签字:", "第1页共1页" })
        QVERIFY2(text.contains(QString::fromUtf8(part)), part);
    // In date order; neither the placeholder row nor another student's score.
    QVERIFY(text.indexOf(QStringLiteral("线性代数")) < text.indexOf(QStringLiteral("高等数学")));
    QVERIFY(text.indexOf(QStringLiteral("高等数学")) < text.indexOf(QStringLiteral("大学英语")));
    QVERIFY(!text.contains(QStringLiteral("2005-9-1")));
    QVERIFY(!text.contains(QStringLiteral("体育课")));
    QVERIFY(text.contains(QStringLiteral("打印日期:") + store::Sql::dateText(QDate::currentDate())));
    QVERIFY(!text.contains(QStringLiteral("Orlenta"))); // the school heads it, not the program
    QCOMPARE(pdfPages(file), 1);
    QVERIFY(fontsEmbedded(file));
    // The document says whose transcript it is.
    QVERIFY(run(QStringLiteral("pdfinfo"), { file }).contains(QStringLiteral("学生成绩单 - 2006001 张三")));

    // A file that cannot be written is told, and nothing is said to have been saved.
    platform::MsgBox::clear();
    saveFromPreview(dialog, dir.filePath(QStringLiteral("no such folder/x.pdf")));
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(Gui::boxes()[0].title, QStringLiteral("抱歉"));
}

void tst_reports::transcriptFromTheStudentsOwnWindow()
{
    transcriptFixture();
    BasVal::UserName = QStringLiteral("2006002");
    platform::Form* w = open(QStringLiteral("frmStudent"));
    Gui::press(w, QStringLiteral("cmdDycjd"));
    QPrintPreviewDialog* dialog = preview(w);
    QVERIFY(dialog);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("mine.pdf"));
    saveFromPreview(dialog, file);
    const QString text = pdfText(file);
    QVERIFY(text.contains(QStringLiteral("学号:2006002")));
    QVERIFY2(text.contains(QStringLiteral("体育课C0096012006-6-20")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("修读学分:1已获学分:1平均分:60.00学分加权平均分:60.00")));
    QVERIFY(!text.contains(QStringLiteral("高等数学")));
    // No school set yet: the heading is the transcript's own, and the office is left to be written in.
    QVERIFY(text.startsWith(QStringLiteral("学生成绩单")));
    QVERIFY(text.contains(QStringLiteral("签发单位:教务处")));
    BasVal::UserName.clear();
}

void tst_reports::creditsTakenAndEarned()
{
    // 数据结构 failed and passed again, 大学英语 without a score, 高等数学 failed, 体育 passed at 60,
    // one score whose examination date is missing.
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    addScore(QStringLiteral("2006001"), QStringLiteral("数据结构"), QStringLiteral("C007"), 59.5, 4, QDate(2006, 1, 10));
    addScore(QStringLiteral("2006001"), QStringLiteral("数据结构"), QStringLiteral("C007"), 88, 4, QDate(2006, 6, 20));
    addScore(QStringLiteral("2006001"), QStringLiteral("大学英语"), QStringLiteral("C004"), QVariant(), 4, QDate(2006, 6, 21));
    addScore(QStringLiteral("2006001"), QStringLiteral("高等数学"), QStringLiteral("C001"), 55, 5, QDate(2006, 6, 22));
    addScore(QStringLiteral("2006001"), QStringLiteral("体育"), QStringLiteral("C016"), 60, 1, QDate(2006, 6, 23));
    addScore(QStringLiteral("2006001"), QStringLiteral("补考课"), QStringLiteral("C099"), 75, 2, QDate(2005, 1, 1));
    TestDb::exec(QStringLiteral("update 学生成绩表 set 考试时间=NULL where 课程名='补考课'"));
    TestDb::addPlaceholderScore(QStringLiteral("2006001"), QDate(2005, 9, 1));

    const store::StudentTranscript t = store::StudentTranscript::read(TestDb::admin(), QStringLiteral("2006001"));
    QCOMPARE(t.creditsTaken, 4.0 + 4 + 4 + 5 + 1 + 2);
    QCOMPARE(t.creditsEarned, 4.0 + 1 + 2); // 数据结构 once, 体育, 补考课
    // The row without a date comes last on either engine, and is printed without one.
    QCOMPARE(t.scores.size(), 6);
    QCOMPARE(t.scores.last().course, QStringLiteral("补考课"));
    QVERIFY(!t.scores.last().date.isValid());
    QCOMPARE(t.scores.first().course, QStringLiteral("数据结构"));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("t.pdf"));
    reports::Transcript pages(t, store::SchoolSettings {}, QDate(2025, 1, 2));
    reports::PrintPreview::savePdf(file, pages.title(), [&](QPrinter* printer) { pages.print(printer); });
    const QString text = pdfText(file);
    QVERIFY2(text.contains(QStringLiteral("体育C0166012006-6-23补考课C099752修读学分:20已获学分:7")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("0-0-0")));

    // A row taller than a page still goes under its header, on a page of its own (after the
    // student's), and the rest follows on the next: the layout comes to an end.
    store::StudentTranscript huge = t;
    huge.scores.resize(1);
    huge.scores[0].course = QString(20000, u'课');
    reports::Transcript tall(huge, store::SchoolSettings {}, QDate(2025, 1, 2));
    QVERIFY(!tall.pageImage(0, 50).isNull());
    QCOMPARE(tall.pageCount(), 3);
}

void tst_reports::longTranscriptIsSignedOnItsLastPage()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    for (int i = 0; i < 90; ++i)
        addScore(QStringLiteral("2006001"), QStringLiteral("课程%1").arg(i, 2, 10, QChar(u'0')), QStringLiteral("K%1").arg(i), 60 + i % 40,
            2, QDate(2006, 1, 1).addDays(i));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("long.pdf"));
    const store::StudentTranscript t = store::StudentTranscript::read(TestDb::admin(), QStringLiteral("2006001"));
    QCOMPARE(t.scores.size(), 90);
    reports::Transcript pages(t, store::SchoolSettings { QStringLiteral("江南师范大学"), QStringLiteral("教务处") }, QDate(2025, 1, 2));
    reports::PrintPreview::savePdf(file, pages.title(), [&](QPrinter* printer) { pages.print(printer); });
    const int count = pdfPages(file);
    QVERIFY(count >= 3);
    int rows = 0;
    for (int page = 1; page <= count; ++page) {
        const QString text = pdfText(file, page);
        // Every page names the student and its place; a page with score rows begins them with the header.
        QVERIFY2(text.contains(QStringLiteral("学号:2006001姓名:张三第%1页共%2页").arg(page).arg(count)), qPrintable(text));
        if (text.contains(QRegularExpression(QStringLiteral("课程\\d\\dK\\d"))))
            QVERIFY2(text.contains(QStringLiteral("课程课程号成绩学分考试日期")), qPrintable(QString::number(page)));
        rows += text.count(QRegularExpression(QStringLiteral("课程\\d\\dK\\d")));
        // The date of birth is on the first page only; the signature block on the last only.
        QCOMPARE(text.contains(QStringLiteral("出生日期:")), page == 1);
        QCOMPARE(text.contains(QStringLiteral("签发单位:教务处")), page == count);
    }
    QCOMPARE(rows, 90); // none lost or split between pages
    QVERIFY(pdfText(file, count).contains(QStringLiteral("修读学分:180")));
    QVERIFY(pdfText(file, count).contains(QStringLiteral("打印日期:2025-1-2")));

    // On every page the table's part is closed by its borders: its top and bottom edges are
    // drawn along their whole width.
    for (int page = 0; page < pages.pageCount(); ++page) {
        const QImage image = pages.pageImage(page, 100);
        if (page < 2)
            Gui::snapshot(image, QStringLiteral("transcript-page%1").arg(page + 1));
        const QRectF part = pages.tableParts().value(page);
        if (part.isEmpty())
            continue;
        const double margin = reports::PrintPreview::MarginMm * 100 / 25.4;
        for (const double edge : { part.top(), part.bottom() }) {
            int dark = 0, seen = 0;
            for (double x = part.left() + 2; x < part.right() - 2; x += 3, ++seen) {
                bool inked = false;
                for (int dy = -1; dy <= 1; ++dy)
                    inked = inked || qGray(image.pixel(int(x + margin), int(edge + margin) + dy)) < 160;
                dark += inked;
            }
            QVERIFY2(dark == seen, qPrintable(QStringLiteral("page %1 edge %2: %3 of %4").arg(page + 1).arg(edge).arg(dark).arg(seen)));
        }
    }
}

void tst_reports::schoolSettingsAreSetOnceForEveryone()
{
    BasVal::UserStyle = QStringLiteral("系统管理员");
    platform::Form* main = open(QStringLiteral("frmmain"));
    QAction* item = main->findChild<QAction*>(QStringLiteral("sysx"));
    QVERIFY(item && item->isEnabled());
    item->trigger();
    Gui::settle();
    platform::Form* w = Gui::form(QStringLiteral("frmXxsz"));
    QVERIFY(w && w->isVisible());
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmXxsz") });
    QCOMPARE(text(w, "txtXxmc"), QString());
    QCOMPARE(text(w, "txtQfdw"), QStringLiteral("教务处"));
    type(w, "txtXxmc", QStringLiteral("  江南师范大学 "));
    type(w, "txtQfdw", QStringLiteral("江南师范大学教务处"));
    Gui::snapshot(w, QStringLiteral("frmXxsz"));
    press(w, "cmdSave");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("保存成功!") });
    // Stored trimmed, and read so by another workstation.
    auto other = TestDb::openAnother();
    const store::SchoolSettings read = store::SchoolSettings::read(*other);
    QCOMPARE(read.school, QStringLiteral("江南师范大学"));
    QCOMPARE(read.office, QStringLiteral("江南师范大学教务处"));
    press(w, "cmdClose");
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList { QStringLiteral("frmmain") });

    // Any other user type finds the item disabled.
    BasVal::UserStyle = QStringLiteral("一般用户");
    platform::Forms::discardAll();
    main = open(QStringLiteral("frmmain"));
    QVERIFY(!main->findChild<QAction*>(QStringLiteral("sysx"))->isEnabled());
    platform::Forms::discardAll();

    // A database made before the settings: it prints without them until init --if-missing adds
    // the table, and the window stores the first row itself.
    TestDb::exec(QStringLiteral("drop table 系统设置表"));
    QCOMPARE(store::SchoolSettings::read(TestDb::admin()).school, QString());
    store::Setup::addMissing(TestDb::admin());
    if (!TestDb::appRole().isEmpty()) // as `orlenta-db init --if-missing --app-role NAME` does
        store::Setup::grantAppRole(TestDb::admin(), TestDb::appRole());
    QCOMPARE(store::SchoolSettings::read(TestDb::admin()).office, QStringLiteral("教务处"));
    TestDb::exec(QStringLiteral("delete from 系统设置表"));
    w = open(QStringLiteral("frmXxsz"));
    type(w, "txtXxmc", QStringLiteral("北方学院"));
    platform::MsgBox::clear();
    press(w, "cmdSave");
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("保存成功!") });
    QCOMPARE(TestDb::value(QStringLiteral("select 学校名称 from 系统设置表 where 编号=1")).toString(), QStringLiteral("北方学院"));
    BasVal::UserStyle.clear();
}

void tst_reports::transcriptNeedsAStudent()
{
    transcriptFixture();
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    Gui::control<QRadioButton>(w, QStringLiteral("optXh"))->setChecked(true);
    Gui::type(w, QStringLiteral("txtXh"), QStringLiteral("2099999"));
    Gui::press(w, QStringLiteral("cmdFind"));
    platform::MsgBox::clear();
    Gui::press(w, QStringLiteral("cmdDycjd"));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("请先选择一名学生!") });
    QVERIFY(!preview(w));
    // A number with no student (another user deleted the row meanwhile) is told, not printed.
    platform::MsgBox::clear();
    QVERIFY(!reports::Transcript::preview(w, TestDb::admin(), QStringLiteral("2099999")));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("没有该学生的信息!") });
}

void tst_reports::chartOfTheScoreWindow()
{
    chartFixture();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    reports::ScoreChart* chart = chartOf(w);
    QVERIFY(chart);
    const store::ScoreDistribution& d = chart->distribution();
    QCOMPARE(bands(d), (QVector<qint64> { 2, 2, 2, 2, 2 }));
    QCOMPARE(d.count, 10);
    QCOMPARE(chart->barText(0), QStringLiteral("2 (20.0%)"));
    QCOMPARE(chart->figure(QStringLiteral("count")), QStringLiteral("10"));
    QCOMPARE(chart->figure(QStringLiteral("pass")), QStringLiteral("80.0%（8 条）"));
    QCOMPARE(chart->figure(QStringLiteral("mean")), QStringLiteral("74.80"));
    QCOMPARE(chart->figure(QStringLiteral("median")), QStringLiteral("74.75"));
    QCOMPARE(chart->figure(QStringLiteral("highest")), QStringLiteral("100"));
    QCOMPARE(chart->figure(QStringLiteral("lowest")), QStringLiteral("55"));
    QCOMPARE(chart->covers(), QStringLiteral("全部成绩"));
    QCOMPARE(c<QLabel>(chart, "lblFw")->text(), QStringLiteral("统计范围: 全部成绩"));
    // Two scores a band at most: the axis counts 0, 1, 2, 3, never a label twice.
    const QValueAxis* counts = valueAxis(chart);
    QVERIFY(counts);
    QCOMPARE(counts->min(), 0.0);
    QCOMPARE(counts->max(), 3.0);
    QCOMPARE(counts->tickCount(), 4);
    Gui::snapshot(chart, QStringLiteral("ScoreChart"));

    // Saved as a picture, and printed through the preview.
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("分布.png"));
    FileDialog::answerNext(png);
    Gui::press(chart, QStringLiteral("cmdPng"));
    const QImage image(png);
    QVERIFY(image.width() > 500 && image.height() > 300);
    Gui::press(chart, QStringLiteral("cmdPrint"));
    QPrintPreviewDialog* printing = preview(chart);
    QVERIFY(printing);
    const QString pdf = dir.filePath(QStringLiteral("分布.pdf"));
    saveFromPreview(printing, pdf);
    QVERIFY2(pdfText(pdf).contains(QStringLiteral("及格率")), qPrintable(pdfText(pdf)));
    QVERIFY(pdfText(pdf).contains(QStringLiteral("统计范围:全部成绩")));

    // After a search the chart counts what the grid now holds: one student, placeholder left out.
    Gui::control<QRadioButton>(w, QStringLiteral("optXh"))->setChecked(true);
    Gui::type(w, QStringLiteral("txtXh"), QStringLiteral("2006001"));
    Gui::press(w, QStringLiteral("cmdFind"));
    QCOMPARE(Gui::control<QWidget>(w, QStringLiteral("dgdChengji")) != nullptr, true);
    reports::ScoreChart* again = chartOf(w);
    QVERIFY(again);
    QVERIFY(again != chart || again->distribution().count == 5);
    QCOMPARE(w->findChildren<reports::ScoreChart*>().size(), 1); // the older chart was replaced
    QCOMPARE(bands(again->distribution()), (QVector<qint64> { 2, 2, 1, 0, 0 }));
    QCOMPARE(again->figure(QStringLiteral("pass")), QStringLiteral("60.0%（3 条）"));
    QCOMPARE(again->figure(QStringLiteral("median")), QStringLiteral("60"));
    QCOMPARE(again->figure(QStringLiteral("mean")), QStringLiteral("61.90"));
    QCOMPARE(again->covers(), QStringLiteral("学号 2006001"));

    // A search that found nothing: an empty chart, no failure.
    Gui::type(w, QStringLiteral("txtXh"), QStringLiteral("2099999"));
    Gui::press(w, QStringLiteral("cmdFind"));
    platform::MsgBox::clear();
    reports::ScoreChart* none = chartOf(w);
    QVERIFY(none);
    QCOMPARE(none->distribution().count, 0);
    QCOMPARE(none->figure(QStringLiteral("mean")), QStringLiteral("—"));
    QCOMPARE(none->covers(), QStringLiteral("学号 2099999"));
    QVERIFY(Gui::boxes().isEmpty());
}

void tst_reports::chartOfTheSummary()
{
    chartFixture();
    platform::Form* w = open(QStringLiteral("frmchz"));
    // The opening list: every score row with a class and a student.
    reports::ScoreChart* chart = chartOf(w);
    QVERIFY(chart);
    QCOMPARE(chart->distribution().count, 10);
    QCOMPARE(chart->distribution().passed, 8);
    chart->close();
    // A summary by class over a range: the score rows it groups.
    Gui::press(w, QStringLiteral("cmdChose"));
    Gui::control<store::DatePicker>(w, QStringLiteral("dpkFd"))->setValue(QDate(2006, 1, 1));
    Gui::control<store::DatePicker>(w, QStringLiteral("dpkTd"))->setValue(QDate(2006, 12, 31));
    Gui::control<QCheckBox>(w, QStringLiteral("chkClass"))->setChecked(true);
    Gui::control<store::DataCombo>(w, QStringLiteral("dcbClass"))->setText(QStringLiteral("数学2003级1班"));
    Gui::press(w, QStringLiteral("cmdHz"));
    QVERIFY(Gui::boxes().isEmpty());
    chart = chartOf(w);
    QVERIFY(chart);
    QCOMPARE(bands(chart->distribution()), (QVector<qint64> { 0, 0, 1, 2, 2 }));
    QCOMPARE(chart->distribution().lowest, 79.5);
    QCOMPARE(chart->distribution().median, 89.0);
    QCOMPARE(chart->covers(), QStringLiteral("班级 数学2003级1班，考试时间 2006-1-1 至 2006-12-31"));
    Gui::snapshot(chart, QStringLiteral("ScoreChart-summary"));
}

void tst_reports::countAxisHasWholeNumberTicks()
{
    using reports::ScoreChart;
    QCOMPARE(ScoreChart::countAxis(0).top, 1);
    QCOMPARE(ScoreChart::countAxis(0).ticks, 2);
    QCOMPARE(ScoreChart::countAxis(5).top, 6);
    QCOMPARE(ScoreChart::countAxis(5).ticks, 4); // 0, 2, 4, 6
    QCOMPARE(ScoreChart::countAxis(1000000).top, 1500000);
    for (qint64 most = 0; most <= 3000; ++most) {
        const ScoreChart::Axis axis = ScoreChart::countAxis(most);
        // Room above the highest bar, a whole step between ticks, and a readable number of them.
        QVERIFY(axis.top >= most * 1.2);
        QVERIFY2(axis.ticks >= 2 && axis.ticks <= 7, qPrintable(QString::number(most)));
        QCOMPARE(axis.top % (axis.ticks - 1), 0);
        QVERIFY(axis.top / (axis.ticks - 1) >= 1);
    }
}

void tst_reports::distributionFromCounts()
{
    // Band edges: 59.9 is still a fail, 60 and 90 open their bands, above 100 stays in the last.
    const auto d = store::ScoreDistribution::fromCounts({ { 90, 1 }, { 59.9, 3 }, { 60, 2 }, { 120, 1 }, { 0, 1 }, { 89.5, 0 } });
    QCOMPARE(bands(d), (QVector<qint64> { 4, 2, 0, 0, 2 }));
    QCOMPARE(d.count, 8);
    QCOMPARE(d.passed, 4);
    QCOMPARE(d.lowest, 0.0);
    QCOMPARE(d.highest, 120.0);
    QCOMPARE(d.median, (59.9 + 60) / 2); // ranks 4 and 5 of 8
    QCOMPARE(d.mean, (90 + 59.9 * 3 + 120 + 120) / 8);
    QCOMPARE(store::ScoreDistribution::fromCounts({ { 70, 3 } }).median, 70.0);
    QCOMPARE(store::ScoreDistribution::fromCounts({}).count, 0);
}

void tst_reports::statisticsOfStatements()
{
    chartFixture();
    using store::ScoreStatistics;
    auto countOf = [](const QString& statement) { return ScoreStatistics::compute(TestDb::admin(), statement).count; };
    QCOMPARE(countOf(QStringLiteral(" select * from 学生成绩表  order by 学号   ")), 10);
    QCOMPARE(countOf(QStringLiteral("select * from 学生成绩表  where 院系号='2'")), 5);
    QCOMPARE(countOf(QStringLiteral("select * from 学生成绩表 as s where s.成绩 >= 80 order by s.学号")), 4);
    // The whole table is counted by score alone; a filtered result on its own rows.
    QVERIFY(ScoreStatistics::countsStatement(QStringLiteral("select * from 学生成绩表")).contains(QStringLiteral("group by 成绩")));
    QVERIFY(ScoreStatistics::countsStatement(QStringLiteral("select * from 学生成绩表 where 学号='1'"))
                .contains(QStringLiteral("group by +成绩")));
    // A value typed into the window's statement stays a value.
    QCOMPARE(countOf(QStringLiteral("select * from 学生成绩表  where 学号=") + quote(QStringLiteral("x' or '1'='1"))), 0);
    // Rows that are not score rows have no distribution.
    for (const char* statement : { "select * from 学生课程表", "select 学号, count(*) from 学生成绩表 group by 学号 having count(*) > 1",
             "delete from 学生成绩表" }) {
        bool refused = false;
        try {
            ScoreStatistics::countsStatement(QString::fromUtf8(statement));
        } catch (const store::DbError&) {
            refused = true;
        }
        QVERIFY2(refused, statement);
    }
    QCOMPARE(TestDb::count(QStringLiteral("学生成绩表")), 12);
}

QTEST_MAIN(tst_reports)
#include "tst_reports.moc"
