#include "support/Controls.h"
#include "support/Gui.h"
#include "support/TestDb.h"

#include "imports/Applier.h"
#include "imports/CellValue.h"
#include "imports/CsvReader.h"
#include "imports/Importer.h"
#include "imports/ReadError.h"
#include "imports/XlsxReader.h"
#include "imports/ui/PreviewModel.h"
#include "imports/ui/frmDaoru.h"
#include "platform/FileDialog.h"
#include "platform/Forms.h"
#include "shell/BasVal.h"
#include "store/DbError.h"
#include "store/Sql.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressDialog>
#include <QRadioButton>
#include <QStringEncoder>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <xlsxwriter.h>
#include <zip.h>

using namespace imports;
using platform::MsgBox;
using store::Sql::quote;

namespace {

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}
QString pathOf(const QString& name) { return folder().filePath(name); }

// A CSV file of the given rows, in the given encoding and with the given separator.
QString writeCsv(const QString& name, const QList<QStringList>& rows, const char* encoding = "UTF-8", bool bom = false,
    QChar separator = u',')
{
    QString text;
    for (const QStringList& row : rows) {
        QStringList fields;
        for (QString f : row) {
            if (f.contains(separator) || f.contains(u'"') || f.contains(u'\n'))
                f = u'"' + f.replace(QLatin1String("\""), QLatin1String("\"\"")) + u'"';
            fields << f;
        }
        text += fields.join(separator) + QStringLiteral("\r\n");
    }
    QStringEncoder encoder(encoding);
    QByteArray bytes = encoder.encode(text);
    if (bom)
        bytes.prepend("\xEF\xBB\xBF");
    QFile file(pathOf(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
}

// A workbook of one or more sheets: QString cells as texts, numbers as numbers, QDate cells as
// date-formatted serial numbers, bools as booleans, invalid variants left out (a missing cell).
QString writeXlsx(const QString& name, const QList<QList<QList<QVariant>>>& sheets, bool constantMemory = false)
{
    const QString path = pathOf(name);
    lxw_workbook_options options {};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_format* dateFormat = workbook_add_format(book);
    format_set_num_format(dateFormat, "yyyy/m/d");
    int n = 0;
    for (const auto& rows : sheets) {
        lxw_worksheet* sheet = workbook_add_worksheet(book, QStringLiteral("表%1").arg(++n).toUtf8().constData());
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c) {
                const QVariant& v = rows[r][c];
                switch (v.typeId()) {
                case QMetaType::QString: worksheet_write_string(sheet, r, c, v.toString().toUtf8().constData(), nullptr); break;
                case QMetaType::Double:
                case QMetaType::Int: worksheet_write_number(sheet, r, c, v.toDouble(), nullptr); break;
                case QMetaType::Bool: worksheet_write_boolean(sheet, r, c, v.toBool(), nullptr); break;
                case QMetaType::QDate: {
                    const QDate d = v.toDate();
                    lxw_datetime dt { d.year(), d.month(), d.day(), 0, 0, 0 };
                    worksheet_write_datetime(sheet, r, c, &dt, dateFormat);
                    break;
                }
                default: break;
                }
            }
    }
    workbook_close(book);
    return path;
}

// Replaces an entry of a zip archive with the given bytes.
void replaceEntry(const QString& path, const char* entry, const QByteArray& bytes)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), 0, &error);
    QVERIFY(archive);
    auto* copy = static_cast<char*>(malloc(size_t(bytes.size())));
    memcpy(copy, bytes.constData(), size_t(bytes.size()));
    zip_source_t* source = zip_source_buffer(archive, copy, zip_uint64_t(bytes.size()), 1);
    QVERIFY(zip_file_add(archive, entry, source, ZIP_FL_OVERWRITE) >= 0);
    QCOMPARE(zip_close(archive), 0);
}

QByteArray entryOf(const QString& path, const char* entry)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    zip_file_t* file = archive ? zip_fopen(archive, entry, 0) : nullptr;
    QByteArray out;
    char buffer[4096];
    zip_int64_t n;
    while (file && (n = zip_fread(file, buffer, sizeof buffer)) > 0)
        out.append(buffer, qsizetype(n));
    if (file)
        zip_fclose(file);
    if (archive)
        zip_discard(archive);
    return out;
}

QList<SourceRow> readAll(TableReader& reader)
{
    QList<SourceRow> rows;
    SourceRow row;
    while (reader.next(row))
        rows << row;
    return rows;
}

Plan check(Kind kind, const QString& path)
{
    Importer importer(kind, path);
    return importer.check(TestDb::admin());
}

// "line verdict reason" for every row of a plan.
QStringList lines(const Plan& plan)
{
    QStringList out;
    for (int row = 0; row < plan.rows(); ++row)
        out << QStringLiteral("%1 %2 %3").arg(plan.line(row)).arg(verdictText(plan.verdict(row)), plan.reason(row)).trimmed();
    return out;
}

void addCourse(const QString& number, const QString& name, double credits)
{
    TestDb::exec(QStringLiteral("insert into 学生课程表 (课程号, 课程名, 学时, 学分) values (%1, %2, 48, %3)")
                     .arg(quote(number), quote(name))
                     .arg(credits));
}

void addScore(const QString& number, const QString& course, const QString& courseNumber, double score, const QDate& date)
{
    TestDb::exec(QStringLiteral("insert into 学生成绩表 (学号, 课程名, 课程号, 成绩, 学分, 院系号, 班级号, 考试时间) "
                                "values (%1, %2, %3, %4, 3, 1, 1, %5)")
                     .arg(quote(number), quote(course), quote(courseNumber))
                     .arg(score)
                     .arg(quote(date.toString(Qt::ISODate))));
}

const QStringList kStudentCaptions { "学号", "姓名", "性别", "出生日期", "所在院系", "班级代码", "政治面貌", "联系电话" };

// The state of the tables an import writes, to compare before and after.
QString tablesNow()
{
    QStringList out;
    for (const char* table : { "学生个人信息表", "学生成绩表", "奖励记录信息表", "处罚等级记录表", "学籍变更信息表", "操作记录表" })
        out << QString::number(TestDb::count(QString::fromUtf8(table)));
    out << TestDb::value(QStringLiteral("select max(姓名) from 学生个人信息表")).toString()
        << TestDb::value(QStringLiteral("select sum(成绩) from 学生成绩表")).toString();
    return out.join(u'|');
}

} // namespace

class tst_imports : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { TestDb::setUp(); }
    void init() { Gui::begin(); }
    void cleanup() { Gui::end(); }

    void csvInEveryEncodingReadsAlike();
    void csvQuotingAndSeparators();
    void xlsxCellsOfEveryKind();
    void xlsxDatesInBothDateSystems();
    void cellValues();
    void filesThatAreNotWhatTheySayAreRefused();

    void studentVerdictsAndReasons();
    void departmentsAndClassesByCodeOrName();
    void scoreVerdictsAndReasons();
    void duplicatesWithinAFileAreAllErrors();

    void storedStudentsAreWhatThePreviewSaid();
    void storedScoresAreWhatThePreviewSaid();
    void allOrNothingAndCancelStoreNothing();
    void aChangeMeanwhileStoresNothing();

    void commandLine();
    void windowFromTheMainMenu();
    void windowMappingEncodingAndExport();
    void windowCancelLeavesTheDatabase();
    void screens();
};

// ---- reading files ---------------------------------------------------------------------------

void tst_imports::csvInEveryEncodingReadsAlike()
{
    const QList<QStringList> rows { { "学号", "姓名", "所在班级" }, { "2006001", "张三", "计算机2003级1班" },
        { "2006002", "欧阳娜娜", "数学2003级1班" } };
    for (const auto& [name, encoding, bom] : { std::tuple { "u.csv", "UTF-8", false }, std::tuple { "b.csv", "UTF-8", true },
             std::tuple { "g.csv", "GB18030", false } }) {
        const QString path = writeCsv(QString::fromLatin1(name), rows, encoding, bom);
        CsvReader reader(path);
        QCOMPARE(reader.encoding(), std::optional(QByteArray(encoding) == "UTF-8" ? Encoding::Utf8 : Encoding::Gb18030));
        const auto read = readAll(reader);
        QCOMPARE(read.size(), 3);
        QCOMPARE(read[0].cells.value(0).toString(), QStringLiteral("学号")); // no byte-order mark in the caption
        QCOMPARE(read[2].cells.value(1).toString(), QStringLiteral("欧阳娜娜"));
        QCOMPARE(read[2].cells.value(2).toString(), QStringLiteral("数学2003级1班"));
        QCOMPARE(read[2].line, 3);
    }
    // A GB18030 file read as UTF-8 on request gives other texts; asked for GB18030 it reads right.
    const QString gb = pathOf(QStringLiteral("g.csv"));
    CsvReader wrong(gb, Encoding::Utf8);
    QVERIFY(readAll(wrong)[1].cells.value(1).toString() != QStringLiteral("张三"));
    Importer importer(Kind::Students, gb);
    QCOMPARE(importer.encoding(), std::optional(Encoding::Gb18030));
    QCOMPARE(importer.mapping().column(Field::Class), 2);
}

void tst_imports::csvQuotingAndSeparators()
{
    const QList<QStringList> rows { { "学号", "备注", "联系地址" }, { "2006001", "第一行\n第二行", "北京市, \"海淀\"区" },
        { "", "", "" }, { "2006002", "", "上海" } };
    for (QChar separator : { u',', u';', u'\t' }) {
        const QString path = writeCsv(QStringLiteral("sep.txt"), rows, "UTF-8", false, separator);
        CsvReader reader(path);
        QCOMPARE(reader.separator(), separator);
        const auto read = readAll(reader);
        QCOMPARE(read.size(), 3); // the blank record is skipped, its number is not reused
        QCOMPARE(read[1].cells.value(1).toString(), QStringLiteral("第一行\n第二行"));
        QCOMPARE(read[1].cells.value(2).toString(), QStringLiteral("北京市, \"海淀\"区"));
        QCOMPARE(read[2].line, 4);
        QVERIFY(read[2].cells.value(1).isNull());
    }
    // A file of several blocks: records, quoted line breaks and GB18030's two- and four-byte
    // characters cross the blocks' edges and read whole.
    QList<QStringList> many { { "学号", "备注" } };
    for (int i = 0; i < 90000; ++i)
        many << QStringList { QString::number(2006000 + i), i % 997 ? QStringLiteral("备注𠀀%1").arg(i) : QStringLiteral("两行\r\n之%1").arg(i) };
    CsvReader reader(writeCsv(QStringLiteral("blocks.csv"), many, "GB18030"));
    QCOMPARE(reader.encoding(), std::optional(Encoding::Gb18030));
    const auto read = readAll(reader);
    QCOMPARE(read.size(), 90001);
    for (int i : { 1, 997, 44861, 89731, 90000 }) {
        QCOMPARE(read[i].line, i + 1);
        QCOMPARE(read[i].cells.value(0).toString(), many[i][0]);
        QCOMPARE(read[i].cells.value(1).toString(), many[i][1]);
    }
}

void tst_imports::xlsxCellsOfEveryKind()
{
    const QList<QList<QVariant>> first { { "学号", "姓名", "出生日期", "成绩", "在校" },
        { "0012", "张三", QDate(2006, 5, 19), 85.5, true }, {}, { QVariant(2006002.0), QVariant(), QDate(1900, 1, 1), 0, false },
        { "2006003", "李四" } };
    const QList<QList<QVariant>> second { { "课程号" }, { "C001" } };
    for (bool constantMemory : { false, true }) { // shared strings, and inline strings
        const QString path = writeXlsx(QStringLiteral("cells.xlsx"), { first, second }, constantMemory);
        XlsxReader reader(path);
        QCOMPARE(reader.sheets(), QStringList({ "表1", "表2" }));
        const auto rows = readAll(reader);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[1].line, 2);
        QCOMPARE(rows[1].cells.value(0), QVariant(QStringLiteral("0012")));
        QCOMPARE(rows[1].cells.value(2), QVariant(QDate(2006, 5, 19)));
        QCOMPARE(rows[1].cells.value(3), QVariant(85.5));
        QCOMPARE(rows[1].cells.value(4), QVariant(true));
        QCOMPARE(rows[2].line, 4); // the empty row 3 is skipped
        QCOMPARE(CellValue::text(rows[2].cells.value(0)), QStringLiteral("2006002"));
        QVERIFY(rows[2].cells.value(1).isNull()); // a missing cell
        QCOMPARE(rows[2].cells.value(2), QVariant(QDate(1900, 1, 1)));
        QCOMPARE(rows[3].cells.size(), 2);
        reader.selectSheet(1);
        const auto other = readAll(reader);
        QCOMPARE(other.size(), 2);
        QCOMPARE(other[1].cells.value(0).toString(), QStringLiteral("C001"));
    }
}

void tst_imports::xlsxDatesInBothDateSystems()
{
    // Serial 38856 is 2006-5-19 in the 1900 system; 37394 is the same day in the 1904 one.
    const QString path = writeXlsx(QStringLiteral("dates.xlsx"), { { { "出生日期" }, { QDate(2006, 5, 19) } } });
    QByteArray workbook = entryOf(path, "xl/workbook.xml");
    QByteArray sheet = entryOf(path, "xl/worksheets/sheet1.xml");
    QVERIFY(sheet.contains("<v>38856</v>"));
    sheet.replace("<v>38856</v>", "<v>37394</v>");
    workbook.replace("<workbookPr", "<workbookPr date1904=\"1\"");
    QVERIFY(workbook.contains("date1904"));
    replaceEntry(path, "xl/worksheets/sheet1.xml", sheet);
    replaceEntry(path, "xl/workbook.xml", workbook);
    XlsxReader reader(path);
    QCOMPARE(readAll(reader).value(1).cells.value(0), QVariant(QDate(2006, 5, 19)));

    // The 1900 system's days before and after its 29 February that never was.
    QCOMPARE(XlsxReader::dateOf(1, false), QDate(1900, 1, 1));
    QCOMPARE(XlsxReader::dateOf(59, false), QDate(1900, 2, 28));
    QCOMPARE(XlsxReader::dateOf(61, false), QDate(1900, 3, 1));
    QCOMPARE(XlsxReader::dateOf(0, true), QDate(1904, 1, 1));
    QVERIFY(XlsxReader::isDateFormat(14, {}));
    QVERIFY(XlsxReader::isDateFormat(176, QStringLiteral("yyyy\"年\"m\"月\"d\"日\"")));
    QVERIFY(!XlsxReader::isDateFormat(176, QStringLiteral("0.00_);[Red]\\(0.00\\)")));
    QVERIFY(!XlsxReader::isDateFormat(177, QStringLiteral("\"分数:\"0")));
}

void tst_imports::cellValues()
{
    QCOMPARE(CellValue::date(QStringLiteral("2006-5-19")), std::optional(QDate(2006, 5, 19)));
    QCOMPARE(CellValue::date(QStringLiteral("2006/05/19")), std::optional(QDate(2006, 5, 19)));
    QCOMPARE(CellValue::date(QStringLiteral("2006年5月19日")), std::optional(QDate(2006, 5, 19)));
    QCOMPARE(CellValue::date(QStringLiteral("20060519")), std::optional(QDate(2006, 5, 19)));
    QCOMPARE(CellValue::date(QStringLiteral("2006-13-01")), std::nullopt);
    QCOMPARE(CellValue::date(QStringLiteral("2006-02-30")), std::nullopt);
    QCOMPARE(CellValue::number(QStringLiteral("85.5")), std::optional(85.5));
    QCOMPARE(CellValue::number(QStringLiteral("８５")), std::optional(85.0));
    QCOMPARE(CellValue::number(QStringLiteral("八十五")), std::nullopt);
    QCOMPARE(CellValue::number(QStringLiteral("85分")), std::nullopt);
    QCOMPARE(CellValue::text(13800138000.0), QStringLiteral("13800138000"));
}

void tst_imports::filesThatAreNotWhatTheySayAreRefused()
{
    const QString before = tablesNow();
    const QString workbook = writeXlsx(QStringLiteral("good.xlsx"), { { { "学号", "姓名" }, { "2006001", "张三" } } });
    QFile::remove(pathOf(QStringLiteral("named.csv")));
    QFile::copy(workbook, pathOf(QStringLiteral("named.csv")));
    const QString csv = writeCsv(QStringLiteral("plain.csv"), { { "学号", "姓名" }, { "2006001", "张三" } });
    QFile::remove(pathOf(QStringLiteral("text.xlsx")));
    QFile::copy(csv, pathOf(QStringLiteral("text.xlsx")));
    QFile::remove(pathOf(QStringLiteral("text.xls")));
    QFile::copy(csv, pathOf(QStringLiteral("text.xls")));
    QFile::remove(pathOf(QStringLiteral("book.xls")));
    QFile::copy(workbook, pathOf(QStringLiteral("book.xls")));
    QByteArray bytes;
    {
        QFile whole(workbook);
        whole.open(QIODevice::ReadOnly);
        bytes = whole.readAll();
    }
    auto writeBytes = [](const QString& name, const QByteArray& data) {
        QFile f(pathOf(name));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return f.fileName();
    };
    writeBytes(QStringLiteral("cut.xlsx"), bytes.left(bytes.size() / 2));
    // Excel's password protection: a compound file holding an encrypted package.
    QByteArray compound("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    compound += QByteArray(504, '\0') + QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    writeBytes(QStringLiteral("locked.xlsx"), compound);

    const QList<std::pair<QString, QString>> cases {
        { QStringLiteral("named.csv"), QStringLiteral("不是文本文件") },
        { QStringLiteral("text.xlsx"), QStringLiteral("不是 Excel 工作簿") },
        { QStringLiteral("text.xls"), QStringLiteral("不是 Excel 97-2003 工作簿") },
        { QStringLiteral("book.xls"), QStringLiteral("请以 .xlsx 为扩展名") },
        { QStringLiteral("cut.xlsx"), QStringLiteral("不完整或已损坏") },
        { QStringLiteral("locked.xlsx"), QStringLiteral("已加密") },
        { QStringLiteral("missing.xlsx"), QStringLiteral("找不到文件") },
    };
    for (const auto& [name, says] : cases) {
        try {
            Importer importer(Kind::Students, pathOf(name));
            QFAIL(qPrintable(name + " was read"));
        } catch (const ReadError& error) {
            QVERIFY2(error.text().contains(says), qPrintable(name + ": " + error.text()));
        }
    }

    // A part that unpacks to more than a workbook should is refused before it is unpacked.
    const QString big = writeXlsx(QStringLiteral("bomb.xlsx"), { { { "学号" }, { "2006001" } } });
    QByteArray sheet = entryOf(big, "xl/worksheets/sheet1.xml");
    sheet.replace("<sheetData>", "<sheetData>" + QByteArray(4 << 20, ' '));
    replaceEntry(big, "xl/worksheets/sheet1.xml", sheet);
    const qint64 limit = XlsxReader::maxUnpacked();
    XlsxReader::setMaxUnpacked(1 << 20);
    try {
        Importer importer(Kind::Students, big);
        QFAIL("the bomb was read");
    } catch (const ReadError& error) {
        QVERIFY2(error.text().contains(QStringLiteral("压缩炸弹")), qPrintable(error.text()));
    }
    XlsxReader::setMaxUnpacked(limit);
    QCOMPARE(tablesNow(), before);
}

// ---- verdicts ---------------------------------------------------------------------------------

void tst_imports::studentVerdictsAndReasons()
{
    TestDb::addStudent(QStringLiteral("2003001"), QStringLiteral("张三"));
    TestDb::addStudent(QStringLiteral("2003002"), QStringLiteral("李四"));
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 联系电话 = '010-1', 政治面貌 = '团员', 出生日期 = '1985-01-02'"));
    const QString path = writeCsv(QStringLiteral("s.csv"),
        { kStudentCaptions,
            { "2003001", "张三", "男", "1985-1-2", "", "", "团员", "010-1" },             // 2 无变化
            { "2003002", "李四四", "男", "", "数学与统计学院", "", "党员", "" },            // 3 修改
            { "2006001", "王五", "女", "2006-5-19", "计算机科学与技术学院", "1", "群众", "" }, // 4 新增
            { "2006002", "赵六", "女", "", "1", "计算机2003级9班", "", "" },                // 5 班级不存在
            { "2006003", "孙七", "女", "2006-13-01", "1", "1", "", "" },                    // 6 日期
            { "2006004", "", "女", "", "1", "1", "", "" },                                  // 7 姓名为空
            { "20060x5", "周八", "男", "", "1", "1", "", "" },                              // 8 学号
            { "2006006", "吴九", "未知", "", "1", "1", "无", "" },                          // 9 性别、政治面貌
            { "2006007", "郑十", "", "", "", "", "", "" } });                              // 10 缺项
    const Plan plan = check(Kind::Students, path);
    QCOMPARE(lines(plan),
        QStringList({ "2 无变化", "3 修改 姓名：李四 → 李四四；所在院系：计算机科学与技术学院 → 数学与统计学院；政治面貌：团员 → 党员",
            "4 新增", "5 错误 班级“计算机2003级9班”不存在", "6 错误 出生日期“2006-13-01”不是日期", "7 错误 姓名为空",
            "8 错误 学号“20060x5”只能由数字组成", "9 错误 性别“未知”应为“男”或“女”；政治面貌“无”应为群众、团员或党员",
            "10 错误 性别为空；院系为空；班级为空" }).replaceInStrings(QStringLiteral("所在院系："), QStringLiteral("院系：")));
    QCOMPARE(plan.summary(), QStringLiteral("新增 1，修改 1，无变化 1，错误 6"));
}

void tst_imports::departmentsAndClassesByCodeOrName()
{
    const QString path = writeCsv(QStringLiteral("codes.csv"),
        { { "学号", "姓名", "性别", "院系编号", "所在班级", "学籍情况" }, { "2006001", "甲", "男", "2", "数学2003级1班", "休学" },
            { "2006002", "乙", "男", "数学与统计学院", "9", "2" }, { "2006003", "丙", "男", " 数学与统计学院 ", "9", "" } });
    const Plan plan = check(Kind::Students, path);
    QCOMPARE(plan.count(Verdict::New), 3);
    for (const StudentEntry& e : plan.students) {
        QCOMPARE(e.values[int(Field::Department)].toInt(), 2);
        QCOMPARE(e.values[int(Field::Class)].toInt(), 9);
    }
    QCOMPARE(plan.students[0].values[int(Field::Status)].toInt(), 2);
    QCOMPARE(plan.students[1].values[int(Field::Status)].toInt(), 2);
    QCOMPARE(plan.students[2].values[int(Field::Status)].toInt(), 1); // none given: the first status
}

void tst_imports::scoreVerdictsAndReasons()
{
    TestDb::addStudent(QStringLiteral("2003001"), QStringLiteral("张三"));
    addCourse(QStringLiteral("C001"), QStringLiteral("高等数学"), 5);
    addCourse(QStringLiteral("C002"), QStringLiteral("线性代数"), 2.5);
    addCourse(QStringLiteral("C003"), QStringLiteral("体育"), 1);
    addCourse(QStringLiteral("C004"), QStringLiteral("体育"), 1);
    addScore(QStringLiteral("2003001"), QStringLiteral("高等数学"), QStringLiteral("C001"), 80, QDate(2004, 1, 10));
    addScore(QStringLiteral("2003001"), QStringLiteral("线性代数"), QStringLiteral("C002"), 70, QDate(2004, 1, 12));
    const QString path = writeXlsx(QStringLiteral("scores.xlsx"),
        { { { "学号", "姓名", "课程名", "成绩", "考试时间" },
            { "2003001", "张三", "高等数学", 80, QDate(2004, 1, 10) },      // 2 无变化
            { "2003001", "张三", "C002", 75.5, QDate(2004, 1, 12) },       // 3 修改, by number
            { "2003001", "张三", "线性代数", 90, QDate(2004, 6, 12) },      // 4 新增
            { "2003001", "张三", "高等数学", "八十五", QDate(2004, 6, 1) },  // 5
            { "2009999", "", "高等数学", 60, QDate(2004, 6, 1) },           // 6
            { "2003001", "李四", "高等数学", 60, QDate(2004, 6, 2) },       // 7
            { "2003001", "", "大学物理", 60, "2004-6-3" },                 // 8
            { "2003001", "", "体育", 60, "2004-6-4" },                     // 9
            { "2003001", "", "C003", "", "6/4/2004" } } });                // 10
    const Plan plan = check(Kind::Scores, path);
    QCOMPARE(lines(plan),
        QStringList({ "2 无变化", "3 修改 成绩：70 → 75.5", "4 新增", "5 错误 成绩“八十五”不是数字",
            "6 错误 学号“2009999”的学生不存在", "7 错误 姓名“李四”与学号“2003001”的学生“张三”不符",
            "8 错误 课程“大学物理”不存在", "9 错误 课程名“体育”对应多门课程，请改用课程号",
            "10 错误 成绩为空；考试时间“6/4/2004”不是日期" }));
}

void tst_imports::duplicatesWithinAFileAreAllErrors()
{
    TestDb::addStudent(QStringLiteral("2003001"), QStringLiteral("张三"));
    addCourse(QStringLiteral("C001"), QStringLiteral("高等数学"), 5);
    const Plan students = check(Kind::Students,
        writeCsv(QStringLiteral("dup.csv"),
            { { "学号", "姓名", "性别", "院系", "班级" }, { "2006001", "甲", "男", "1", "1" }, { "2006002", "乙", "男", "1", "1" },
                { "2006001", "甲二", "男", "1", "1" }, { "2003001", "张三", "", "", "" }, { "2006001", "甲三", "男", "1", "1" },
                { "2003001", "张三三", "", "", "" } }));
    QCOMPARE(lines(students),
        QStringList({ "2 错误 第 2、4、6 行的学号相同", "3 新增", "4 错误 第 2、4、6 行的学号相同", "5 错误 第 5 行与第 7 行的学号相同",
            "6 错误 第 2、4、6 行的学号相同", "7 错误 第 5 行与第 7 行的学号相同" }));
    // The same course by its name and by its number is the same course.
    const Plan scores = check(Kind::Scores,
        writeCsv(QStringLiteral("dups.csv"),
            { { "学号", "课程号", "成绩", "考试时间" }, { "2003001", "高等数学", "80", "2004-1-10" },
                { "2003001", "C001", "81", "2004/1/10" }, { "2003001", "C001", "82", "2004-1-11" } }));
    QCOMPARE(lines(scores),
        QStringList({ "2 错误 第 2 行与第 3 行的学号、课程和考试时间相同", "3 错误 第 2 行与第 3 行的学号、课程和考试时间相同", "4 新增" }));
}

// ---- what is stored ------------------------------------------------------------------------------

void tst_imports::storedStudentsAreWhatThePreviewSaid()
{
    TestDb::addStudent(QStringLiteral("2003001"), QStringLiteral("张三"));
    const QString path = writeXlsx(QStringLiteral("students.xlsx"),
        { { { "学号", "姓名", "性别", "出生日期", "籍贯", "所在院系", "所在班级", "学籍情况", "备注" },
            { QVariant(2006001.0), "王五", "女", QDate(1988, 2, 3), "上海", "数学与统计学院", "数学2003级1班", "", "转入" },
            { "2003001", "张三", "女", QVariant(), QVariant(), QVariant(), QVariant(), "休学", "" },
            { "2006002", "", "男" } } });
    Importer importer(Kind::Students, path);
    const Plan plan = importer.check(TestDb::admin());
    QCOMPARE(lines(plan), QStringList({ "2 新增", "3 修改 性别：男 → 女；学籍情况：在读 → 休学", "4 错误 姓名为空；院系为空；班级为空" }));
    Applier::Options options;
    options.source = QStringLiteral("students.xlsx");
    const auto result = Applier::apply(TestDb::admin(), plan, options);
    QVERIFY(result.stored);
    // Every row written has its change record naming the import: the new student and its three
    // placeholder rows, each changed field, the status history row.
    QCOMPARE(TestDb::count(QStringLiteral("操作记录表 where 工作站 like '%(导入 students.xlsx)'")), 7);
    QCOMPARE(TestDb::count(QStringLiteral("操作记录表 where 操作 = '修改' and 表名 = '学生个人信息表' and 键 = '2003001' "
                                          "and 字段 = '性别' and 原值 = '男' and 新值 = '女'")),
        1);
    QCOMPARE(TestDb::count(QStringLiteral("操作记录表 where 操作 = '新增' and 学号 = '2006001'")), 4);
    QCOMPARE(result.added, 1);
    QCOMPARE(result.changed, 1);

    // The new student as the new-student window stores one: the number as first password, and
    // its placeholder punishment, award and score rows.
    const QString today = store::Sql::dateText(QDate::currentDate());
    QCOMPARE(TestDb::value(QStringLiteral("select 密码 from 学生个人信息表 where 学号 = '2006001'")).toString(), QStringLiteral("2006001"));
    QCOMPARE(TestDb::value(QStringLiteral("select 姓名 || 性别 || 籍贯 || 所在院系编号 || 所在班级编号 || 学籍情况 || 备注 "
                                          "from 学生个人信息表 where 学号 = '2006001'")).toString(),
        QStringLiteral("王五女上海291转入"));
    QCOMPARE(TestDb::value(QStringLiteral("select 出生日期 from 学生个人信息表 where 学号 = '2006001'")).toDate(), QDate(1988, 2, 3));
    QCOMPARE(TestDb::count(QStringLiteral("处罚等级记录表 where 学号 = '2006001' and 级别代码 = 0")), 1);
    QCOMPARE(TestDb::count(QStringLiteral("奖励记录信息表 where 学号 = '2006001' and 级别代码 = 0")), 1);
    QCOMPARE(TestDb::count(QStringLiteral("学生成绩表 where 学号 = '2006001' and 课程名 = '0' and 成绩 = 0 and 考试时间 = ")
                 + quote(today)),
        1);
    // The changed student: only the given, changed fields; the status change goes into its history.
    QCOMPARE(TestDb::value(QStringLiteral("select 性别 || 学籍情况 || 姓名 from 学生个人信息表 where 学号 = '2003001'")).toString(),
        QStringLiteral("女2张三"));
    QCOMPARE(TestDb::count(QStringLiteral("学籍变更信息表 where 学号 = '2003001' and 变更代码 = 2")), 1);
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表 where 学号 = '2006002'")), 0);

    // Checked again, the same file has nothing left to do.
    const Plan again = importer.check(TestDb::admin());
    QCOMPARE(again.summary(), QStringLiteral("新增 0，修改 0，无变化 2，错误 1"));
}

void tst_imports::storedScoresAreWhatThePreviewSaid()
{
    TestDb::addStudent(QStringLiteral("2003001"), QStringLiteral("张三"), 2, 9);
    addCourse(QStringLiteral("C002"), QStringLiteral("线性代数"), 2.5);
    addCourse(QStringLiteral("C005"), QStringLiteral("大学物理"), 3.5);
    addScore(QStringLiteral("2003001"), QStringLiteral("线性代数"), QStringLiteral("C002"), 70, QDate(2004, 1, 12));
    const QString path = writeCsv(QStringLiteral("scores.csv"),
        { { "学号", "课程号", "成绩", "考试时间" }, { "2003001", "C002", "75.5", "2004-1-12" },
            { "2003001", "C005", "88", "2004-6-20" }, { "2003001", "线性代数", "61", "2004-6-21" } },
        "GB18030");
    const Plan plan = check(Kind::Scores, path);
    QCOMPARE(plan.summary(), QStringLiteral("新增 2，修改 1，无变化 0，错误 0"));
    Applier::Options options;
    options.source = QStringLiteral("scores.csv");
    Applier::apply(TestDb::admin(), plan, options);
    QCOMPARE(TestDb::count(QStringLiteral("操作记录表 where 工作站 like '%(导入 scores.csv)' and 操作 = '新增' and 表名 = '学生成绩表'")), 2);
    QCOMPARE(TestDb::count(QStringLiteral("操作记录表 where 工作站 like '%(导入 scores.csv)' and 操作 = '修改' and 字段 = '成绩' "
                                          "and 原值 = '70' and 新值 = '75.5'")),
        1);
    // As the score window's add stores a score: the course's name and number, the credits
    // rounded halves to even (2.5 -> 2, 3.5 -> 4), the student's department and class.
    const auto rows = TestDb::admin().select(QStringLiteral(
        "select 课程名, 课程号, 成绩, 学分, 院系号, 班级号, 考试时间 from 学生成绩表 where 学号 = '2003001' order by 考试时间"));
    QCOMPARE(rows.rows.size(), 3);
    auto text = [](const QVector<QVariant>& row) {
        QStringList parts;
        for (const QVariant& v : row)
            parts << (v.typeId() == QMetaType::QDate ? store::Sql::dateText(v.toDate()) : v.toString());
        return parts.join(u' ');
    };
    QCOMPARE(text(rows.rows[0]), QStringLiteral("线性代数 C002 75.5 3 1 1 2004-1-12")); // changed: only the score
    QCOMPARE(text(rows.rows[1]), QStringLiteral("大学物理 C005 88 4 2 9 2004-6-20"));
    QCOMPARE(text(rows.rows[2]), QStringLiteral("线性代数 C002 61 2 2 9 2004-6-21"));
}

void tst_imports::allOrNothingAndCancelStoreNothing()
{
    const QString path = writeCsv(QStringLiteral("mixed.csv"),
        { { "学号", "姓名", "性别", "院系", "班级" }, { "2006001", "甲", "男", "1", "1" }, { "2006002", "", "男", "1", "1" } });
    const Plan plan = check(Kind::Students, path);
    const QString before = tablesNow();
    Applier::Options options;
    options.allOrNothing = true;
    QVERIFY(!Applier::apply(TestDb::admin(), plan, options).stored);
    QCOMPARE(tablesNow(), before);

    // Cancelled after the first rows were sent: the transaction takes them back.
    QList<QStringList> many { { "学号", "姓名", "性别", "院系", "班级" } };
    for (int i = 0; i < 1200; ++i)
        many << QStringList { QString::number(2007000 + i), QStringLiteral("学生%1").arg(i), "女", "1", "1" };
    const Plan big = check(Kind::Students, writeCsv(QStringLiteral("many.csv"), many));
    QCOMPARE(big.count(Verdict::New), 1200);
    Applier::Options cancelling;
    int asked = 0;
    cancelling.progress = [&](double) { return ++asked < 2; };
    QVERIFY_THROWS_EXCEPTION(Cancelled, Applier::apply(TestDb::admin(), big, cancelling));
    QVERIFY(asked >= 2);
    QCOMPARE(tablesNow(), before);
}

void tst_imports::aChangeMeanwhileStoresNothing()
{
    TestDb::addStudent(QStringLiteral("2003001"), QStringLiteral("张三"));
    TestDb::addStudent(QStringLiteral("2003002"), QStringLiteral("李四"));
    const Plan plan = check(Kind::Students,
        writeCsv(QStringLiteral("meanwhile.csv"),
            { { "学号", "姓名", "性别", "院系", "班级" }, { "2006001", "新生", "男", "1", "1" }, { "2003001", "张三丰", "", "", "" },
                { "2003002", "李四光", "", "", "" } }));
    // A colleague renames the second student between the preview and the import.
    TestDb::exec(QStringLiteral("update 学生个人信息表 set 姓名 = '李思' where 学号 = '2003002'"));
    const QString before = tablesNow();
    try {
        Applier::apply(TestDb::admin(), plan, {});
        QFAIL("a change made meanwhile was overwritten");
    } catch (const store::DbError& error) {
        QVERIFY2(error.text().contains(QStringLiteral("学号“2003002”")), qPrintable(error.text()));
    }
    QCOMPARE(tablesNow(), before);
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表 where 姓名 = '张三丰'")), 0);
}

// ---- the command line -----------------------------------------------------------------------------

void tst_imports::commandLine()
{
    TestDb::addStudent(QStringLiteral("2003001"), QStringLiteral("张三"));
    addCourse(QStringLiteral("C001"), QStringLiteral("高等数学"), 5);
    auto run = [](const QStringList& args, QString* out = nullptr, QString* err = nullptr) {
        QProcess process;
        process.start(QStringLiteral(ORLENTA_DB), args);
        process.waitForFinished(60000);
        if (out)
            *out = QString::fromUtf8(process.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    };
    const QString good = writeCsv(QStringLiteral("cli.csv"),
        { { "学号", "课程名", "成绩", "考试时间" }, { "2003001", "高等数学", "80", "2004-1-10" } }, "GB18030");
    const QString bad = writeCsv(QStringLiteral("clibad.csv"),
        { { "学号", "课程名", "成绩", "考试时间" }, { "2003001", "高等数学", "八十五", "2004-1-11" },
            { "2003001", "高等数学", "90", "2004-1-12" } });
    QString out, err;
    QCOMPARE(run({ "import", "scores", good, "--dry-run" }, &out), 0);
    QCOMPARE(out, QStringLiteral("2\t新增\t\n新增 1，修改 0，无变化 0，错误 0\n"));
    QCOMPARE(TestDb::count(QStringLiteral("学生成绩表")), 0);
    // Named the wrong encoding, not even the captions read right.
    QCOMPARE(run({ "import", "scores", good, "--dry-run", "--encoding", "utf-8" }, &out, &err), 2);
    QVERIFY(err.contains(QStringLiteral("缺少")));
    QCOMPARE(run({ "import", "scores", good, "--encoding", "gb18030" }, &out), 0);
    QCOMPARE(TestDb::count(QStringLiteral("学生成绩表")), 1);

    QCOMPARE(run({ "import", "scores", bad, "--all-or-nothing" }, &out, &err), 1);
    QCOMPARE(out, QStringLiteral("2\t错误\t成绩“八十五”不是数字\n3\t新增\t\n新增 1，修改 0，无变化 0，错误 1\n"));
    QVERIFY(err.contains(QStringLiteral("没有导入任何行")));
    QCOMPARE(TestDb::count(QStringLiteral("学生成绩表")), 1);
    QCOMPARE(run({ "import", "scores", bad }, &out), 1);
    QCOMPARE(TestDb::count(QStringLiteral("学生成绩表")), 2);

    QCOMPARE(run({ "import", "students", pathOf(QStringLiteral("nothing.xlsx")) }, &out, &err), 2);
    QVERIFY(err.contains(QStringLiteral("找不到文件")));
    QVERIFY(!err.contains(QStringLiteral("usage")));
    const QString noNumber = writeCsv(QStringLiteral("nonumber.csv"), { { "姓名" }, { "张三" } });
    QCOMPARE(run({ "import", "students", noNumber }, &out, &err), 2);
    QVERIFY(err.contains(QStringLiteral("缺少“学号”列")));
    QCOMPARE(run({ "import", "teachers", good }, &out, &err), 2);
    QVERIFY(err.contains(QStringLiteral("usage")));
    // A mistyped option is no dry run by default: nothing is read or stored.
    const int stored = TestDb::count(QStringLiteral("学生成绩表"));
    const QString another = writeCsv(QStringLiteral("cli2.csv"),
        { { "学号", "课程名", "成绩", "考试时间" }, { "2003001", "高等数学", "70", "2005-1-10" } });
    for (const QStringList& wrong : { QStringList { "import", "scores", another, "--dryrun" },
             QStringList { "import", "scores", another, "--encoding" }, QStringList { "import", "scores", another, "extra.csv" } }) {
        QCOMPARE(run(wrong, &out, &err), 2);
        QVERIFY2(err.startsWith(QStringLiteral("usage")), qPrintable(err));
        QVERIFY(out.isEmpty());
    }
    QCOMPARE(TestDb::count(QStringLiteral("学生成绩表")), stored);
}

// ---- the window -------------------------------------------------------------------------------

void tst_imports::windowFromTheMainMenu()
{
    BasVal::UserStyle = QStringLiteral("一般用户");
    platform::Form* main = Controls::open(QStringLiteral("frmmain"));
    QAction* students = main->findChild<QAction*>(QStringLiteral("infdr"));
    QAction* scores = main->findChild<QAction*>(QStringLiteral("chedr"));
    QVERIFY(students && scores);
    QCOMPARE(students->text(), QStringLiteral("导入学生信息…"));
    QCOMPARE(scores->text(), QStringLiteral("导入成绩…"));
    QVERIFY(students->isEnabled() && scores->isEnabled());

    // Cancelled in the file dialog: the main window stays.
    students->trigger();
    Gui::settle();
    QCOMPARE(platform::FileDialog::asked().size(), 1);
    QVERIFY(platform::FileDialog::asked().last().filter.contains(QStringLiteral("*.xlsx *.xls *.csv *.txt")));
    QCOMPARE(Gui::loadedWindows(), QStringList({ "frmmain" }));

    // A file that cannot be read is told, and the main window stays.
    platform::FileDialog::answerNext(pathOf(QStringLiteral("nothing.csv")));
    students->trigger();
    Gui::settle();
    QVERIFY(Gui::boxTexts().last().contains(QStringLiteral("找不到文件")));
    QCOMPARE(Gui::loadedWindows(), QStringList({ "frmmain" }));

    addCourse(QStringLiteral("C001"), QStringLiteral("高等数学"), 5);
    TestDb::addStudent(QStringLiteral("2003001"), QStringLiteral("张三"));
    platform::FileDialog::answerNext(writeCsv(QStringLiteral("menu.csv"),
        { { "学号", "课程名", "成绩", "考试时间" }, { "2003001", "高等数学", "80", "2004-1-10" } }));
    scores->trigger();
    Gui::settle();
    auto* window = static_cast<frmDaoru*>(Gui::form(QStringLiteral("frmDaoru")));
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("导入成绩"));
    QCOMPARE(Gui::loadedWindows(), QStringList({ "frmDaoru" }));
    QCOMPARE(Controls::c<QLabel>(window, "lblSummary")->text(), QStringLiteral("新增 1，修改 0，无变化 0，错误 0"));
    Controls::press(window, "cmdImport");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("导入完成：新增 1 行，修改 0 行。"));
    QCOMPARE(TestDb::count(QStringLiteral("学生成绩表 where 课程号 = 'C001'")), 1);
    QVERIFY(!Controls::enabled(window, "cmdImport"));
    Controls::press(window, "cmdClose");
    Gui::settle();
    QCOMPARE(Gui::loadedWindows(), QStringList({ "frmmain" }));
}

void tst_imports::windowMappingEncodingAndExport()
{
    TestDb::addStudent(QStringLiteral("2003001"), QStringLiteral("张三"));
    // Captions the mapping does not know, in GB18030.
    const QString path = writeCsv(QStringLiteral("window.csv"),
        { { "编号", "名字", "性别", "院系", "班级" }, { "2006001", "王五", "女", "1", "1" }, { "2006002", "赵六", "女", "1", "计算机2003级9班" },
            { "2006003", "", "男", "1", "1" } },
        "GB18030");
    auto* window = static_cast<frmDaoru*>(platform::Forms::load(QStringLiteral("frmDaoru")));
    QVERIFY(window->openFile(Kind::Students, path));
    platform::Forms::show(window);
    Gui::settle();
    QCOMPARE(Controls::c<QComboBox>(window, "cboEncoding")->currentText(), QStringLiteral("GB18030 (GBK)"));
    QVERIFY(Controls::c<QLabel>(window, "lblSummary")->text().contains(QStringLiteral("缺少“学号”列")));
    QVERIFY(!Controls::enabled(window, "cmdImport"));

    // The user takes 编号 as the number and 名字 as the name.
    auto choose = [&](const char* combo, Field field) {
        QComboBox* box = Controls::c<QComboBox>(window, combo);
        box->setCurrentIndex(box->findData(int(field)));
        Q_EMIT box->activated(box->currentIndex());
        Gui::settle();
    };
    choose("cboField0", Field::Number);
    choose("cboField1", Field::Name);
    QCOMPARE(Controls::c<QLabel>(window, "lblSummary")->text(), QStringLiteral("新增 1，修改 0，无变化 0，错误 2"));
    QTableView* grid = Controls::c<QTableView>(window, "dgdPreview");
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(grid->model()->index(1, 1).data().toString(), QStringLiteral("错误"));
    QCOMPARE(grid->model()->index(1, 4).data().toString(), QStringLiteral("班级“计算机2003级9班”不存在"));
    Controls::c<QCheckBox>(window, "chkErrors")->setChecked(true);
    QCOMPARE(grid->model()->rowCount(), 2);
    QCOMPARE(grid->model()->index(1, 0).data().toInt(), 4);

    // Read as UTF-8 on request, not even the captions read right; back in GB18030 they do again.
    QComboBox* encoding = Controls::c<QComboBox>(window, "cboEncoding");
    encoding->setCurrentIndex(0);
    Q_EMIT encoding->activated(0);
    Gui::settle();
    QVERIFY(Controls::c<QLabel>(window, "lblSummary")->text().contains(QStringLiteral("缺少")));
    encoding->setCurrentIndex(1);
    Q_EMIT encoding->activated(1);
    Gui::settle();
    choose("cboField0", Field::Number);
    choose("cboField1", Field::Name);

    // The rows in error go back to whoever made the file, with the reason as the last column.
    const QString exported = pathOf(QStringLiteral("errors.csv"));
    platform::FileDialog::answerNext(exported);
    Controls::press(window, "cmdExport");
    QFile file(exported);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY2(text.contains(QStringLiteral("编号,名字,性别,院系,班级,错误原因")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("2006002,赵六,女,1,计算机2003级9班,第 3 行：班级“计算机2003级9班”不存在")));
    QVERIFY(text.contains(QStringLiteral("第 4 行：姓名为空")));
    QVERIFY(!text.contains(QStringLiteral("王五")));
    // The same as a workbook, which reads back as the file did.
    const QString workbook = pathOf(QStringLiteral("errors.xlsx"));
    platform::FileDialog::answerNext(workbook);
    Controls::press(window, "cmdExport");
    XlsxReader back(workbook);
    const auto rows = readAll(back);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].cells.last().toString(), QStringLiteral("错误原因"));
    QCOMPARE(rows[1].cells.value(0).toString(), QStringLiteral("2006002"));
    QCOMPARE(rows[2].cells.value(5).toString(), QStringLiteral("第 4 行：姓名为空"));

    // Nothing while a row is in error, when so chosen.
    Controls::c<QRadioButton>(window, "optNothing")->setChecked(true);
    const QString before = tablesNow();
    Controls::press(window, "cmdImport");
    QVERIFY(Gui::boxTexts().last().contains(QStringLiteral("没有导入任何行")));
    QCOMPARE(tablesNow(), before);
    // The valid rows, after a question.
    Controls::c<QRadioButton>(window, "optValid")->setChecked(true);
    Gui::answer(MsgBox::Answer::Yes);
    Controls::press(window, "cmdImport");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("导入完成：新增 1 行，修改 0 行。"));
    QCOMPARE(TestDb::count(QStringLiteral("学生个人信息表 where 学号 = '2006001' and 姓名 = '王五'")), 1);
}

void tst_imports::windowCancelLeavesTheDatabase()
{
    QList<QStringList> many { { "学号", "姓名", "性别", "院系", "班级" } };
    for (int i = 0; i < 3000; ++i)
        many << QStringList { QString::number(2007000 + i), QStringLiteral("学生%1").arg(i), "女", "1", "1" };
    auto* window = static_cast<frmDaoru*>(platform::Forms::load(QStringLiteral("frmDaoru")));
    QVERIFY(window->openFile(Kind::Students, writeCsv(QStringLiteral("cancel.csv"), many)));
    platform::Forms::show(window);
    Gui::settle();
    const QString before = tablesNow();
    // The user presses 取消 while the rows are being written.
    QTimer presses;
    presses.setInterval(0);
    QObject::connect(&presses, &QTimer::timeout, window, [window, &presses] {
        if (auto* progress = window->findChild<QProgressDialog*>(QStringLiteral("prgImport"))) {
            progress->cancel();
            presses.stop();
        }
    });
    presses.start();
    Controls::press(window, "cmdImport");
    QCOMPARE(Gui::boxTexts().last(), QStringLiteral("已取消导入，数据库没有任何改动。"));
    QCOMPARE(tablesNow(), before);
    QVERIFY(Controls::enabled(window, "cmdImport"));
}

void tst_imports::screens()
{
    TestDb::addStudent(QStringLiteral("2003001"), QStringLiteral("张三"));
    const QString path = writeCsv(QStringLiteral("screen.csv"),
        { kStudentCaptions, { "2003001", "张三丰", "男", "", "", "", "", "" },
            { "2006001", "王五", "女", "2006-5-19", "计算机科学与技术学院", "1", "群众", "13800138000" },
            { "2006002", "赵六", "女", "", "1", "计算机2003级9班", "", "" }, { "2006003", "孙七", "女", "2006-13-01", "1", "1", "", "" } });
    auto* window = static_cast<frmDaoru*>(platform::Forms::load(QStringLiteral("frmDaoru")));
    QVERIFY(window->openFile(Kind::Students, path));
    platform::Forms::show(window);
    Gui::settle();
    Gui::snapshot(window, QStringLiteral("frmDaoru"));
    window->close();
    Gui::settle();
    // A workbook of two sheets, its first shown; the second chosen from the list.
    addCourse(QStringLiteral("C001"), QStringLiteral("高等数学"), 5);
    const QString book = writeXlsx(QStringLiteral("screen.xlsx"),
        { { { "说明" }, { "本表无数据" } },
            { { "学号", "姓名", "课程名", "成绩", "考试时间" }, { "2003001", "张三", "高等数学", 88, QDate(2004, 1, 10) },
                { "2003001", "张三", "高等数学", "缺考", QDate(2004, 6, 10) } } });
    window = static_cast<frmDaoru*>(platform::Forms::load(QStringLiteral("frmDaoru")));
    QVERIFY(window->openFile(Kind::Scores, book));
    platform::Forms::show(window);
    Gui::settle();
    QVERIFY(Controls::c<QLabel>(window, "lblSummary")->text().contains(QStringLiteral("缺少")));
    QComboBox* sheet = Controls::c<QComboBox>(window, "cboSheet");
    QVERIFY(sheet->isEnabled() && sheet->isVisible());
    QVERIFY(!Controls::c<QComboBox>(window, "cboEncoding")->isVisible());
    sheet->setCurrentIndex(1);
    Q_EMIT sheet->activated(1);
    Gui::settle();
    QCOMPARE(Controls::c<QLabel>(window, "lblSummary")->text(), QStringLiteral("新增 1，修改 0，无变化 0，错误 1"));
    Gui::snapshot(window, QStringLiteral("frmDaoru-scores"));
}

QTEST_MAIN(tst_imports)
#include "tst_imports.moc"
