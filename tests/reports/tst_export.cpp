#include "support/Controls.h"
#include "support/Gui.h"
#include "support/TestDb.h"

#include "platform/CsvWriter.h"
#include "platform/FileDialog.h"
#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/XlsxWriter.h"
#include "imports/TableReader.h"
#include "store/DataControl.h"
#include "store/Sql.h"
#include "store/ui/DataGrid.h"
#include "store/ui/GridExport.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>
#include <csignal>
#include <cmath>
#include <sys/resource.h>
#include <sys/stat.h>

using platform::FileDialog;
using store::GridExport;
using store::Sql::quote;
using namespace Controls;

namespace {

// ---- reading a workbook back: its parts unzipped, the sheet XML parsed --------------------

QByteArray part(const QString& file, const QString& name)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), { QStringLiteral("-p"), file, name });
    unzip.waitForFinished(60000);
    return unzip.readAllStandardOutput();
}

struct Cell {
    QString type; // the t attribute: empty or "n" for numbers, "s", "inlineStr" or "str" for texts
    int style = 0;
    QString value; // the number as written, or the text
};

struct Sheet {
    QVector<QVector<Cell>> rows; // by row, by column (cells that are missing are empty)
    int frozenRows = 0;
    QVector<double> widths; // by column
};

int columnOf(const QString& ref)
{
    int c = 0;
    for (const QChar ch : ref) {
        if (!ch.isLetter())
            break;
        c = c * 26 + (ch.unicode() - 'A' + 1);
    }
    return c - 1;
}

QStringList sharedStrings(const QString& file)
{
    QStringList out;
    QXmlStreamReader xml(part(file, QStringLiteral("xl/sharedStrings.xml")));
    QString current;
    bool inItem = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si")) {
            inItem = true;
            current.clear();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("t") && inItem) {
            current += xml.readElementText();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("si")) {
            out << current;
            inItem = false;
        }
    }
    return out;
}

Sheet sheet(const QString& file, int number)
{
    Sheet s;
    const QStringList shared = sharedStrings(file);
    QXmlStreamReader xml(part(file, QStringLiteral("xl/worksheets/sheet%1.xml").arg(number)));
    Cell* cell = nullptr;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("pane") && a.value(QLatin1String("state")) == QLatin1String("frozen")) {
            s.frozenRows = a.value(QLatin1String("ySplit")).toInt();
        } else if (xml.name() == QLatin1String("col")) {
            const int last = a.value(QLatin1String("max")).toInt();
            if (s.widths.size() < last)
                s.widths.resize(last);
            for (int c = a.value(QLatin1String("min")).toInt(); c <= last; ++c)
                s.widths[c - 1] = a.value(QLatin1String("width")).toDouble();
        } else if (xml.name() == QLatin1String("row")) {
            s.rows.push_back({});
        } else if (xml.name() == QLatin1String("c")) {
            QVector<Cell>& row = s.rows.last();
            const int column = columnOf(a.value(QLatin1String("r")).toString());
            if (row.size() <= column)
                row.resize(column + 1);
            cell = &row[column];
            cell->type = a.value(QLatin1String("t")).toString();
            cell->style = a.value(QLatin1String("s")).toInt();
        } else if ((xml.name() == QLatin1String("v") || xml.name() == QLatin1String("t")) && cell) {
            const QString text = xml.readElementText();
            cell->value = (cell->type == QLatin1String("s")) ? shared.value(text.toInt()) : text;
        }
    }
    return s;
}

// What a cell style shows: bold, and the number format's code (empty for the general one).
struct Style {
    bool bold = false;
    QString format;
};

QVector<Style> styles(const QString& file)
{
    QXmlStreamReader xml(part(file, QStringLiteral("xl/styles.xml")));
    QHash<int, QString> formats;
    QVector<bool> fontsBold;
    QVector<Style> out;
    QString section;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto a = xml.attributes();
            const auto name = xml.name();
            if (name == QLatin1String("numFmt"))
                formats.insert(a.value(QLatin1String("numFmtId")).toInt(), a.value(QLatin1String("formatCode")).toString());
            else if (name == QLatin1String("fonts") || name == QLatin1String("cellXfs") || name == QLatin1String("cellStyleXfs"))
                section = name.toString();
            else if (name == QLatin1String("font") && section == QLatin1String("fonts"))
                fontsBold << false;
            else if (name == QLatin1String("b") && section == QLatin1String("fonts") && !fontsBold.isEmpty())
                fontsBold.last() = true;
            else if (name == QLatin1String("xf") && section == QLatin1String("cellXfs"))
                out.push_back({ fontsBold.value(a.value(QLatin1String("fontId")).toInt()),
                    formats.value(a.value(QLatin1String("numFmtId")).toInt()) });
        } else if (xml.isEndElement()
            && (xml.name() == QLatin1String("fonts") || xml.name() == QLatin1String("cellXfs")
                || xml.name() == QLatin1String("cellStyleXfs"))) {
            section.clear();
        }
    }
    return out;
}

bool isText(const Cell& c)
{
    return c.type == QLatin1String("s") || c.type == QLatin1String("inlineStr") || c.type == QLatin1String("str");
}
bool isNumber(const Cell& c) { return (c.type.isEmpty() || c.type == QLatin1String("n")) && !c.value.isEmpty(); }

QStringList sheetNames(const QString& file)
{
    QStringList out;
    QXmlStreamReader xml(part(file, QStringLiteral("xl/workbook.xml")));
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("sheet"))
            out << xml.attributes().value(QLatin1String("name")).toString();
    return out;
}

// ---- reading CSV back, as RFC 4180 says ----------------------------------------------------

QVector<QStringList> parseCsv(const QString& text)
{
    QVector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false, fieldStarted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && !fieldStarted) {
            quoted = fieldStarted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
            fieldStarted = false;
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            fieldStarted = false;
            ++i;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !row.isEmpty())
        rows << (row << field);
    return rows;
}

// ---- the database and the windows -------------------------------------------------------

void addStudent(const QString& number, const QString& name, int department = 1, int classCode = 1)
{
    TestDb::exec(QStringLiteral("insert into 学生个人信息表 (学号, 姓名, 性别, 密码, 出生日期, 所在院系编号, 所在班级编号, 学籍情况) "
                                "values (%1, %2, '男', %1, '1988-03-07', %3, %4, 1)")
                     .arg(quote(number), quote(name))
                     .arg(department)
                     .arg(classCode));
}

void addScore(const QString& number, const QString& course, double score, const QDate& date, int department = 1, int classCode = 1)
{
    TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 课程号, 成绩, 学分, 院系号, 班级号, 考试时间) "
                                "values (%1, %2, 'C001', %3, 3, %4, %5, %6)")
                     .arg(quote(number), quote(course))
                     .arg(score)
                     .arg(department)
                     .arg(classCode)
                     .arg(quote(date.toString(QStringLiteral("yyyy-MM-dd")))));
}

store::DataGrid* grid(QWidget* window, const char* name) { return Gui::control<store::DataGrid>(window, QString::fromLatin1(name)); }

// Chooses an entry of a grid's context menu, the file dialog answering `path`.
void exportVia(store::DataGrid* g, const char* entry, const QString& path)
{
    FileDialog::answerNext(path);
    QAction* action = g->findChild<QAction*>(QString::fromLatin1(entry));
    QVERIFY(action);
    action->trigger();
    Gui::settle();
}

// Files in a folder, hidden ones included.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// 120 score rows (more than a block of the record set, so that they are read by key), of which
// the window shows a few; a student number with leading zeros.
void manyScores()
{
    addStudent(QStringLiteral("0012"), QStringLiteral("欧阳明月"));
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    for (int i = 0; i < 60; ++i) {
        addScore(QStringLiteral("0012"), QStringLiteral("高等数学%1").arg(i), 60 + i % 40 + 0.5, QDate(2006, 1, 1).addDays(i));
        addScore(QStringLiteral("2006001"), QStringLiteral("大学英语%1").arg(i), 50 + i % 50, QDate(2007, 6, 1).addDays(i), 2, 9);
    }
}

} // namespace

class tst_export : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        ::umask(022);
        TestDb::setUp();
    }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }

    void everyGridOffersBothExports();
    void contextMenuByMouseAndMenuKey();
    void workbookHoldsEveryRowTyped();
    void workbookGoesOnOverSheets();
    void workbookReadsBackExactly();
    void workbookOnAFullDiskLeavesNothing();
    void csvQuotesAndDefusesFormulas();
    void passwordsAreNeverExported();
    void csvLongerThanASpreadsheetAsksFirst();
    void deletedRowsAndOtherColumnsStayOut();
    void cancellingLeavesNoFile();
    void failureIsToldAndWindowStaysUsable();
};

void tst_export::everyGridOffersBothExports()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    for (const char* window : { "frmsinfgl", "frmallinf", "frmchenggl", "frmkgl", "frmchz", "frmaward", "frmchufa", "frmXjgl" }) {
        platform::Form* w = open(QString::fromLatin1(window));
        QVERIFY2(w, window);
        const auto grids = w->findChildren<store::DataGrid*>();
        QVERIFY2(!grids.isEmpty(), window);
        for (store::DataGrid* g : grids) {
            QStringList texts;
            for (QAction* a : g->actions())
                texts << a->text();
            // The exports come first; a window may add entries of its own after them.
            QCOMPARE(texts.mid(0, 2), (QStringList { QStringLiteral("导出为 Excel 工作簿(.xlsx)…"), QStringLiteral("导出为 CSV 文件(.csv)…") }));
            // Right click and the Menu key both open the grid's actions as its context menu.
            QCOMPARE(g->contextMenuPolicy(), Qt::ActionsContextMenu);
        }
        platform::Forms::discardAll();
        Gui::settle();
    }
}

void tst_export::contextMenuByMouseAndMenuKey()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    store::DataGrid* g = grid(w, "dgdXinf");
    // Whatever menu pops up is read and closed again.
    QStringList shown;
    auto readMenu = [&] {
        QTimer::singleShot(0, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                for (QAction* a : popup->actions())
                    shown << a->text();
                popup->close();
            }
        });
    };
    const QStringList entries { QStringLiteral("导出为 Excel 工作簿(.xlsx)…"), QStringLiteral("导出为 CSV 文件(.csv)…") };
    readMenu();
    const QPoint inside = g->viewport()->rect().center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, inside, g->viewport()->mapToGlobal(inside));
    QApplication::sendEvent(g->viewport(), &click);
    Gui::settle();
    QCOMPARE(shown, entries);
    // The Menu key: the window system turns it into a keyboard context-menu event for the
    // focused widget.
    shown.clear();
    readMenu();
    QContextMenuEvent key(QContextMenuEvent::Keyboard, g->rect().center(), g->mapToGlobal(g->rect().center()));
    QApplication::sendEvent(g, &key);
    Gui::settle();
    QCOMPARE(shown, entries);
}

void tst_export::workbookHoldsEveryRowTyped()
{
    manyScores();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    store::DataGrid* g = grid(w, "dgdChengji");
    const int shownBefore = g->dataSource()->currentRow();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("成绩.xlsx"));
    exportVia(g, "mnuExportXlsx", file);

    // The dialog offered the window's title and today's date.
    QCOMPARE(FileDialog::asked().size(), 1);
    QVERIFY(FileDialog::asked().last().proposed.endsWith(
        QStringLiteral("学生成绩管理窗体_%1.xlsx").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")))));
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("已导出 120 行到文件“%1”。").arg(file) });
    QCOMPARE(filesIn(dir.path()), QStringList { QStringLiteral("成绩.xlsx") });
    // Readable by others as any new file of the user is (umask 022), not the owner's alone.
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), 0644);
    // The grid was not moved by the export.
    QCOMPARE(g->dataSource()->currentRow(), shownBefore);

    const Sheet s = sheet(file, 1);
    QCOMPARE(s.rows.size(), 121);
    QCOMPARE(s.frozenRows, 1);
    const QVector<Style> styled = styles(file);
    QStringList header;
    for (const Cell& c : s.rows[0]) {
        header << c.value;
        QVERIFY(isText(c));
        QVERIFY(styled.value(c.style).bold);
    }
    QCOMPARE(header, (QStringList { QStringLiteral("学号"), QStringLiteral("课程名"), QStringLiteral("成绩"), QStringLiteral("院系号"),
                         QStringLiteral("班级号"), QStringLiteral("考试时间") }));

    // The grid's order (by 学号): the sixty rows of 0012 first. Texts stay texts, leading zeros
    // kept; numbers are numbers; dates are numbers shown as dates.
    const QVector<Cell>& first = s.rows[1];
    QVERIFY(isText(first[0]));
    QCOMPARE(first[0].value, QStringLiteral("0012"));
    QVERIFY(isText(first[1]));
    QVERIFY(first[1].value.startsWith(QStringLiteral("高等数学")));
    QVERIFY(isNumber(first[2]));
    QVERIFY(!styled.value(first[2].style).bold);
    QVERIFY(isNumber(first[3]));
    QCOMPARE(first[3].value.toDouble(), 1.0);
    QVERIFY(isNumber(first[5]));
    QCOMPARE(styled.value(first[5].style).format, QStringLiteral("yyyy-m-d"));
    QSet<QString> courses;
    double scoreSum = 0;
    QSet<int> days;
    for (int r = 1; r <= 120; ++r) {
        const QVector<Cell>& row = s.rows[r];
        QCOMPARE(row[0].value, r <= 60 ? QStringLiteral("0012") : QStringLiteral("2006001"));
        courses << row[1].value;
        scoreSum += row[2].value.toDouble();
        days << row[5].value.toInt();
    }
    QCOMPARE(courses.size(), 120);
    double expected = 0;
    for (int i = 0; i < 60; ++i)
        expected += 60 + i % 40 + 0.5 + 50 + i % 50;
    QCOMPARE(scoreSum, expected);
    // Day numbers of the workbook: 2006-1-1 is 38718.
    QVERIFY(days.contains(38718));
    QVERIFY(days.contains(38718 + 59));

    // Widths fit the text: a Chinese course name needs about twice its characters.
    QVERIFY(s.widths.size() >= 6);
    QVERIFY(s.widths[1] >= 2 * QStringLiteral("高等数学10").size() - 2);
    QVERIFY(s.widths[0] >= 7);
    QCOMPARE(sheetNames(file), QStringList { QStringLiteral("学生成绩管理窗体") });
}

void tst_export::workbookGoesOnOverSheets()
{
    // Past one sheet's rows the table goes on over further sheets, each with its header.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("long.xlsx"));
    platform::XlsxWriter writer(QStringLiteral("一个很长很长很长很长很长很长很长很长的窗口标题[1]"));
    writer.setRowsPerSheet(3);
    writer.begin(file, { QStringLiteral("编号"), QStringLiteral("名称") });
    for (int i = 1; i <= 7; ++i)
        writer.addRow({ i, QStringLiteral("第%1行").arg(i) });
    writer.finish();
    const QStringList names = sheetNames(file);
    QCOMPARE(names.size(), 3);
    for (const QString& name : names) {
        QVERIFY(name.size() <= 31);
        QVERIFY(!name.contains(u'[') && !name.contains(u']'));
    }
    QVERIFY(names[1].endsWith(QStringLiteral(" (2)")));
    int row = 0;
    for (int n = 1; n <= 3; ++n) {
        const Sheet s = sheet(file, n);
        QCOMPARE(s.frozenRows, 1);
        QCOMPARE(s.rows[0][0].value, QStringLiteral("编号"));
        for (int r = 1; r < s.rows.size(); ++r) {
            ++row;
            QCOMPARE(s.rows[r][0].value.toInt(), row);
            QCOMPARE(s.rows[r][1].value, QStringLiteral("第%1行").arg(row));
        }
        QCOMPARE(s.rows.size(), n < 3 ? 4 : 2);
    }
    QCOMPARE(row, 7);

    // Dates a workbook cannot hold as dates, and texts it cannot hold whole.
    platform::XlsxWriter odd;
    odd.begin(file, { QStringLiteral("a") });
    odd.addRow({ QDate(1899, 5, 6) });
    odd.addRow({ QString(40000, u'字') });
    odd.addRow({ QStringLiteral("a\x01" "b") });
    odd.finish();
    const Sheet s = sheet(file, 1);
    QCOMPARE(s.rows[1][0].value, QStringLiteral("1899-5-6"));
    QVERIFY(isText(s.rows[1][0]));
    QCOMPARE(s.rows[2][0].value.size(), 32767);
    QCOMPARE(s.rows[3][0].value, QStringLiteral("ab"));
}

void tst_export::workbookReadsBackExactly()
{
    // What the program writes, its own import reads back value for value: texts with blanks at
    // either end, tabs and breaks, XML's own characters, characters beyond the BMP, numbers
    // large and small, dates at the workbook's limits, over sheets whose names need escaping.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("back.xlsx"));
    const QString wide = QStringLiteral("\U00020000\U0001F600 宽字");
    const QVector<QVector<QVariant>> rows {
        { QStringLiteral(" 前后有空格 "), 0, QDate(1900, 3, 1) },
        { QStringLiteral("a\tb\nc\rd"), -12345678901LL, QDate(2006, 5, 19) },
        { QStringLiteral("<&>\"'"), 85.5, QDate(9999, 12, 31) },
        { wide, 1e-7, QDateTime(QDate(2020, 1, 2), QTime(3, 4)) },
        { QString(QChar(0xD800)) + u'x', 1e20, QVariant() },
        { QString(), std::nan(""), QStringLiteral("只此一格") },
    };
    platform::XlsxWriter writer(QStringLiteral("成绩 & <册>"));
    writer.setRowsPerSheet(2);
    writer.begin(file, { QStringLiteral("文本"), QStringLiteral("数"), QStringLiteral("日期") });
    for (const auto& row : rows)
        writer.addRow(row);
    writer.finish();

    const QVector<QVector<QVariant>> expected {
        { QStringLiteral(" 前后有空格 "), 0.0, QDate(1900, 3, 1) },
        { QStringLiteral("a\tb\nc\rd"), -12345678901.0, QDate(2006, 5, 19) },
        { QStringLiteral("<&>\"'"), 85.5, QDate(9999, 12, 31) },
        { wide, 1e-7, QDate(2020, 1, 2) },
        // A half of a surrogate pair is no character: it becomes U+FFFD.
        { QString(QChar(0xFFFD)) + u'x', 1e20, QVariant() },
        { QVariant(), QVariant(), QStringLiteral("只此一格") },
    };
    const std::unique_ptr<imports::TableReader> reader = imports::TableReader::open(file);
    QCOMPARE(reader->sheets(), (QStringList { QStringLiteral("成绩 & <册>"), QStringLiteral("成绩 & <册> (2)"), QStringLiteral("成绩 & <册> (3)") }));
    int at = 0;
    for (int s = 0; s < 3; ++s) {
        reader->selectSheet(s);
        imports::SourceRow row;
        QVERIFY(reader->next(row));
        QCOMPARE(row.cells, (QVector<QVariant> { QStringLiteral("文本"), QStringLiteral("数"), QStringLiteral("日期") }));
        while (reader->next(row)) {
            row.cells.resize(3);
            for (int c = 0; c < 3; ++c) {
                const QVariant& want = expected[at][c];
                const QVariant& got = row.cells[c];
                QVERIFY2(got.isNull() == want.isNull(), qPrintable(QStringLiteral("row %1 column %2").arg(at).arg(c)));
                if (!want.isNull())
                    QCOMPARE(got, want);
            }
            ++at;
        }
    }
    QCOMPARE(at, int(rows.size()));
}

void tst_export::workbookOnAFullDiskLeavesNothing()
{
    // The disk fills while the rows are being compressed: the writer says so, and neither its
    // part nor a workbook is left; an older file of the name stays as it was.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("full.xlsx"));
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    rlimit before {};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 256 * 1024;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    QString told;
    {
        platform::XlsxWriter writer;
        try {
            writer.begin(file, { QStringLiteral("学号"), QStringLiteral("备注") });
            for (int i = 0; i < 200000; ++i)
                writer.addRow({ QString::number(1000000 + i * 7919), QStringLiteral("第%1行，各不相同").arg(i * 104729) });
            writer.finish();
        } catch (const platform::WriteError& e) {
            told = e.text();
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
    QVERIFY2(told.startsWith(QStringLiteral("无法写入文件“%1”").arg(file)), qPrintable(told));
    QCOMPARE(filesIn(dir.path()), QStringList { QStringLiteral("full.xlsx") });
    QFile old(file);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
}

void tst_export::csvQuotesAndDefusesFormulas()
{
    addStudent(QStringLiteral("0012"), QStringLiteral("欧阳明月"));
    addScore(QStringLiteral("0012"), QStringLiteral("数据结构, 第二版"), 85.5, QDate(2006, 6, 20));
    addScore(QStringLiteral("0012"), QStringLiteral("他说\"好\""), 90, QDate(2006, 6, 21));
    addScore(QStringLiteral("0012"), QStringLiteral("第一行\n第二行"), 77, QDate(2006, 6, 22));
    addScore(QStringLiteral("0012"), QStringLiteral("=HYPERLINK(\"http://x\",\"y\")"), 60, QDate(2006, 6, 23));
    addScore(QStringLiteral("0012"), QStringLiteral("+1+2"), 61, QDate(2006, 6, 24));
    addScore(QStringLiteral("0012"), QStringLiteral("-3"), 62, QDate(2006, 6, 25));
    addScore(QStringLiteral("0012"), QStringLiteral("@SUM(1)"), 63, QDate(2006, 6, 26));
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("成绩.csv"));
    exportVia(grid(w, "dgdChengji"), "mnuExportCsv", file);
    QVERIFY(FileDialog::asked().last().proposed.endsWith(QStringLiteral(".csv")));

    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(bytes.mid(3));
    QVERIFY(text.endsWith(QStringLiteral("\r\n")));
    const QVector<QStringList> rows = parseCsv(text);
    QCOMPARE(rows.size(), 8);
    QCOMPARE(rows[0], (QStringList { QStringLiteral("学号"), QStringLiteral("课程名"), QStringLiteral("成绩"), QStringLiteral("院系号"),
                          QStringLiteral("班级号"), QStringLiteral("考试时间") }));
    QCOMPARE(rows[1], (QStringList { QStringLiteral("0012"), QStringLiteral("数据结构, 第二版"), QStringLiteral("85.5"),
                          QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("2006-06-20") }));
    QCOMPARE(rows[2][1], QStringLiteral("他说\"好\""));
    QCOMPARE(rows[2][2], QStringLiteral("90"));
    QCOMPARE(rows[3][1], QStringLiteral("第一行\n第二行"));
    // A text a spreadsheet would run as a formula is written so that it is not.
    QCOMPARE(rows[4][1], QStringLiteral("'=HYPERLINK(\"http://x\",\"y\")"));
    QCOMPARE(rows[5][1], QStringLiteral("'+1+2"));
    QCOMPARE(rows[6][1], QStringLiteral("'-3"));
    QCOMPARE(rows[7][1], QStringLiteral("'@SUM(1)"));
    // Spreadsheets' import dialogs split on tabs and semicolons too: such a field is quoted.
    QCOMPARE(platform::CsvWriter::field(QStringLiteral("数据结构;第二版")), QByteArray("\"数据结构;第二版\""));
    QCOMPARE(platform::CsvWriter::field(QStringLiteral("a\tb")), QByteArray("\"a\tb\""));
    // Dates in the form spreadsheets take for dates.
    QCOMPARE(platform::CsvWriter::field(QDate(2006, 5, 9)), QByteArray("2006-05-09"));
    // Numbers are not texts: a negative number keeps its sign.
    QCOMPARE(platform::CsvWriter::field(-5), QByteArray("-5"));
    QCOMPARE(platform::CsvWriter::field(QVariant()), QByteArray());
    // A score or credit is written by a shorter way than other numbers, with the same digits.
    QList<double> numbers { 0.0, 0.5, -0.5, -0.05, 60, 59.99, -12.3, 100.25, 1.15, 0.1 + 0.2, 2.0 / 3, 123456789012.34,
        9.99e12, 1e13, 1e-7, -1e20 };
    for (int hundredths = -300; hundredths <= 10000; hundredths += 7)
        numbers << hundredths / 100.0;
    for (const double value : std::as_const(numbers))
        QCOMPARE(platform::CsvWriter::field(value), QByteArray::number(value, 'g', 15));
    QCOMPARE(platform::CsvWriter::field(QDate(812, 1, 2)), QByteArray("0812-01-02"));
}

void tst_export::passwordsAreNeverExported()
{
    addStudent(QStringLiteral("2006001"), QStringLiteral("张三"));
    QTemporaryDir dir;
    // The all-students grid shows 密码, the account grid pwd: neither leaves in a file.
    const std::pair<const char*, const char*> grids[] = { { "frmallinf", "dgdInf" }, { "frmGly", "dtgGly" } };
    for (const auto& [window, gridName] : grids) {
        platform::Form* w = open(QString::fromLatin1(window));
        store::DataGrid* g = grid(w, gridName);
        QVERIFY(g);
        const QString csv = dir.filePath(QString::fromLatin1(window) + QStringLiteral(".csv"));
        exportVia(g, "mnuExportCsv", csv);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QVector<QStringList> rows = parseCsv(QString::fromUtf8(f.readAll().mid(3)));
        QVERIFY2(rows.size() >= 2, window);
        QVERIFY2(!rows[0].contains(QStringLiteral("密码")) && !rows[0].contains(QStringLiteral("pwd")), qPrintable(rows[0].join(u',')));
        QVERIFY2(rows[0].size() >= 2, window);
        // Nor its values: every row as wide as the header.
        for (const QStringList& row : rows)
            QCOMPARE(row.size(), rows[0].size());
        const QString xlsx = dir.filePath(QString::fromLatin1(window) + QStringLiteral(".xlsx"));
        exportVia(g, "mnuExportXlsx", xlsx);
        QStringList header;
        const Sheet book = sheet(xlsx, 1);
        for (const Cell& cell : book.rows[0])
            header << cell.value;
        QCOMPARE(header, rows[0]);
        platform::Forms::discardAll();
        Gui::settle();
    }
    QCOMPARE(GridExport::columns(grid(open(QStringLiteral("frmallinf")), "dgdInf")).size(), 12);
}

void tst_export::csvLongerThanASpreadsheetAsksFirst()
{
    manyScores(); // 120 rows
    GridExport::setSpreadsheetRows(100);
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    store::DataGrid* g = grid(w, "dgdChengji");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("成绩.csv"));
    // Told before anything is asked or written; No leaves it there.
    Gui::answer(platform::MsgBox::Answer::No);
    exportVia(g, "mnuExportCsv", file);
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(Gui::boxes()[0].title, QStringLiteral("询问"));
    QVERIFY(Gui::boxes()[0].text.contains(QStringLiteral("120 行")));
    QVERIFY(Gui::boxes()[0].text.contains(QStringLiteral("导出为 Excel 工作簿")));
    QVERIFY(FileDialog::asked().isEmpty());
    QVERIFY(filesIn(dir.path()).isEmpty());
    // Yes writes it whole.
    platform::MsgBox::clear();
    Gui::answer(platform::MsgBox::Answer::Yes);
    exportVia(g, "mnuExportCsv", file);
    QCOMPARE(FileDialog::asked().size(), 1);
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("已导出 120 行到文件“%1”。").arg(file));
    // The workbook goes on over further sheets: nothing to ask; nor a result that fits.
    platform::MsgBox::clear();
    exportVia(g, "mnuExportXlsx", dir.filePath(QStringLiteral("成绩.xlsx")));
    QCOMPARE(Gui::boxes().size(), 1);
    GridExport::setSpreadsheetRows(121);
    platform::MsgBox::clear();
    exportVia(g, "mnuExportCsv", file);
    QCOMPARE(Gui::boxes().size(), 1);
    QCOMPARE(Gui::boxes()[0].title, QStringLiteral("成功"));
    GridExport::setSpreadsheetRows(1048576);
}

void tst_export::deletedRowsAndOtherColumnsStayOut()
{
    for (int i = 0; i < 80; ++i)
        addStudent(QStringLiteral("20060%1").arg(i, 2, 10, QChar(u'0')), QStringLiteral("学生%1").arg(i));
    platform::Form* w = open(QStringLiteral("frmsinfgl"));
    store::DataGrid* g = grid(w, "dgdXinf");
    // A colleague deletes a student after the window read its rows (more than one block, so they
    // are read by key): the export has no empty row for it, and only the grid's two columns.
    TestDb::exec(QStringLiteral("delete from 学生个人信息表 where 学号='2006070'"));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("学生.csv"));
    exportVia(g, "mnuExportCsv", file);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QVector<QStringList> rows = parseCsv(QString::fromUtf8(f.readAll().mid(3)));
    QCOMPARE(rows.size(), 80);
    QCOMPARE(rows[0], (QStringList { QStringLiteral("学号"), QStringLiteral("姓名") }));
    for (int r = 1; r < rows.size(); ++r) {
        const int i = r <= 70 ? r - 1 : r;
        QCOMPARE(rows[r], (QStringList { QStringLiteral("20060%1").arg(i, 2, 10, QChar(u'0')), QStringLiteral("学生%1").arg(i) }));
    }
    QCOMPARE(Gui::boxTexts(), QStringList { QStringLiteral("已导出 79 行到文件“%1”。").arg(file) });
}

void tst_export::cancellingLeavesNoFile()
{
    manyScores();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    store::DataGrid* g = grid(w, "dgdChengji");
    QTemporaryDir dir;
    // An older file of the name stays as it was.
    const QString old = dir.filePath(QStringLiteral("old.csv"));
    {
        QFile f(old);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    for (const char* entry : { "mnuExportXlsx", "mnuExportCsv" }) {
        for (const QString& target : { dir.filePath(QStringLiteral("new.x")), old }) {
            // The user presses 取消 as soon as the export has begun.
            bool cancelled = false;
            QTimer::singleShot(0, w, [&] {
                auto* progress = w->findChild<QProgressDialog*>();
                QVERIFY(progress);
                QCOMPARE(progress->findChild<QPushButton*>()->text(), QStringLiteral("取消"));
                // Wide enough for its whole title in a title bar.
                QVERIFY(progress->width() >= progress->fontMetrics().horizontalAdvance(progress->windowTitle()) + 100);
                progress->cancel();
                cancelled = true;
            });
            exportVia(g, entry, target);
            QVERIFY(cancelled);
            QCOMPARE(filesIn(dir.path()), QStringList { QStringLiteral("old.csv") });
            QFile f(old);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("old"));
        }
    }
    QVERIFY(Gui::boxes().isEmpty());
    // The dialog cancelled: nothing is written either.
    exportVia(g, "mnuExportXlsx", QString());
    QCOMPARE(filesIn(dir.path()), QStringList { QStringLiteral("old.csv") });
    QVERIFY(Gui::boxes().isEmpty());
}

void tst_export::failureIsToldAndWindowStaysUsable()
{
    manyScores();
    platform::Form* w = open(QStringLiteral("frmchenggl"));
    store::DataGrid* g = grid(w, "dgdChengji");
    QTemporaryDir dir;
    for (const char* entry : { "mnuExportXlsx", "mnuExportCsv" }) {
        platform::MsgBox::clear();
        exportVia(g, entry, dir.filePath(QStringLiteral("no such folder/成绩.out")));
        QCOMPARE(Gui::boxes().size(), 1);
        QVERIFY(Gui::boxes()[0].text.startsWith(QStringLiteral("无法写入文件“")));
        QCOMPARE(Gui::boxes()[0].title, QStringLiteral("抱歉"));
    }
    // The window goes on: a search, then an export that works.
    Gui::control<QRadioButton>(w, QStringLiteral("optXh"))->setChecked(true);
    Gui::type(w, QStringLiteral("txtXh"), QStringLiteral("0012"));
    Gui::press(w, QStringLiteral("cmdFind"));
    QCOMPARE(g->dataSource()->recordCount(), 60);
    platform::MsgBox::clear();
    const QString file = dir.filePath(QStringLiteral("一人.xlsx"));
    exportVia(g, "mnuExportXlsx", file);
    QCOMPARE(sheet(file, 1).rows.size(), 61);
}

QTEST_MAIN(tst_export)
#include "tst_export.moc"
