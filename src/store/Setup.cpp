#include "Setup.h"

#include "BatchInsert.h"
#include "ChangeLog.h"
#include "Connection.h"
#include "DbError.h"
#include "Password.h"
#include "RowCounts.h"
#include "Schema.h"
#include "Sql.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>
#include <random>

namespace store {

namespace {

const QStringList kDepartments { "计算机科学与技术学院", "数学与统计学院", "物理与电子工程学院", "化学化工学院",
    "外国语学院", "文学院", "经济管理学院", "法学院", "机械工程学院", "土木建筑学院", "生命科学学院", "艺术学院" };
const QStringList kDepartmentShort { "计算机", "数学", "物理", "化学", "外语", "中文", "经管", "法学", "机械", "土木",
    "生科", "艺术" };
const QStringList kStatuses { "在读", "休学", "复学", "退学", "转学", "毕业", "结业", "肄业", "保留学籍", "开除学籍" };
const QStringList kAwards { "国家奖学金", "省政府奖学金", "校一等奖学金", "校二等奖学金", "校三等奖学金", "三好学生",
    "优秀学生干部", "优秀团员" };
const QStringList kPunishments { "警告", "严重警告", "记过", "记大过", "留校察看", "开除学籍" };
const QStringList kTables { "学生个人信息表", "学生成绩表", "学生课程表", "院系代码表", "班级代码表", "学籍变更代码表",
    "学籍变更信息表", "奖励等级代码表", "奖励记录信息表", "处罚等级代码表", "处罚等级记录表" };

struct Course {
    QString number, name;
    int hours;
    double credits;
};
const QVector<Course> kCourses {
    { "C001", "高等数学", 96, 5 }, { "C002", "线性代数", 48, 3 }, { "C003", "概率论与数理统计", 48, 3 },
    { "C004", "大学英语", 64, 4 }, { "C005", "大学物理", 64, 3.5 }, { "C006", "程序设计基础", 64, 3.5 },
    { "C007", "数据结构", 64, 4 }, { "C008", "计算机组成原理", 64, 4 }, { "C009", "操作系统", 56, 3.5 },
    { "C010", "数据库原理", 56, 3.5 }, { "C011", "计算机网络", 48, 3 }, { "C012", "软件工程", 48, 2.5 },
    { "C013", "马克思主义基本原理", 48, 3 }, { "C014", "中国近现代史纲要", 32, 2 }, { "C015", "思想道德修养与法律基础", 48, 3 },
    { "C016", "体育", 32, 1 }, { "C017", "大学语文", 32, 2 }, { "C018", "微观经济学", 48, 3 },
    { "C019", "宏观经济学", 48, 3 }, { "C020", "管理学原理", 48, 3 }, { "C021", "会计学基础", 48, 3 },
    { "C022", "法理学", 48, 3 }, { "C023", "民法总论", 48, 3 }, { "C024", "有机化学", 64, 4 },
    { "C025", "无机化学", 64, 4 }, { "C026", "分析化学", 48, 3 }, { "C027", "理论力学", 64, 4 },
    { "C028", "材料力学", 64, 4 }, { "C029", "工程制图", 48, 2.5 }, { "C030", "电路原理", 64, 4 },
    { "C031", "模拟电子技术", 56, 3.5 }, { "C032", "数字电子技术", 56, 3.5 }, { "C033", "细胞生物学", 48, 3 },
    { "C034", "遗传学", 48, 3 }, { "C035", "美术史", 32, 2 }, { "C036", "素描", 64, 3 }, { "C037", "现代汉语", 48, 3 },
    { "C038", "古代文学", 64, 4 }, { "C039", "英语写作", 32, 2 }, { "C040", "综合英语", 96, 6 },
};

const QString kSurnames = "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈姚卢姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛闫段雷侯龙史陶黎贺顾毛郝龚邵万钱严覃武戴莫孔向汤";
const QString kGiven = "伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超秀兰霞平刚桂英华建国文辉力鹏晨宇浩然欣怡子涵梓轩雨婷思远嘉豪佳琪一鸣俊杰海燕红梅玉兰志强宏伟晓东丹丹婷婷雪梅春生秋实冬青";
const QStringList kProvinces { "北京", "天津", "河北", "山西", "内蒙古", "辽宁", "吉林", "黑龙江", "上海", "江苏", "浙江", "安徽",
    "福建", "江西", "山东", "河南", "湖北", "湖南", "广东", "广西", "海南", "重庆", "四川", "贵州", "云南", "陕西", "甘肃" };
const QStringList kStreets { "人民路", "解放路", "中山路", "建设路", "文化路", "学府路", "长江路", "和平街", "新华路", "胜利街" };

// The settings row, with the office that issues transcripts; the school's name is set in the
// program (系统管理 > 学校信息设置).
void insertSettings(Connection& db)
{
    BatchInsert settings(db, "系统设置表", { "编号", "学校名称", "签发单位" });
    settings.add({ 1, QVariant(), "教务处" });
}

void insertCodes(Connection& db, const QString& table, const QString& codeColumn, const QStringList& names)
{
    BatchInsert insert(db, table, { codeColumn, "全称" });
    for (int i = 0; i < names.size(); ++i)
        insert.add({ i + 1, names[i] });
}

// What a set-up wrote in bulk, one record per table: "初始化: 12 行".
void recordBulk(Connection& db, const QString& what, const QVector<QPair<QString, int>>& tables)
{
    QVector<ChangeLog::Entry> entries;
    for (const auto& [table, rows] : tables) {
        if (rows <= 0)
            continue;
        ChangeLog::Entry entry;
        entry.operation = ChangeLog::Operation::Insert;
        entry.table = table;
        entry.newValue = QStringLiteral("%1: %2 行").arg(what).arg(rows);
        entries << entry;
    }
    ChangeLog::write(db, entries);
}

// The well-known first passwords (admin, teacher) are hashed once per process: a test suite makes
// hundreds of databases.
QString wellKnownHash(const QString& password)
{
    static QHash<QString, QString> hashes;
    auto it = hashes.constFind(password);
    if (it == hashes.constEnd())
        it = hashes.insert(password, Password::hash(password));
    return *it;
}

} // namespace

int Setup::count(Connection& db, const QString& table)
{
    const auto rows = db.select("select count(*) from " + table);
    return rows.rows.isEmpty() ? 0 : rows.rows[0].value(0).toInt();
}

bool Setup::hasSchema(Connection& db)
{
    try {
        db.select("select count(*) from 管理员身份认证表 where 1 = 0");
        return true;
    } catch (const DbError&) {
        return false;
    }
}

void Setup::init(Connection& db)
{
    Transaction transaction(db);
    for (const QString& statement : Schema::createStatements(db.engine()))
        db.execute(statement);

    insertCodes(db, "院系代码表", "学院编码", kDepartments);
    insertCodes(db, "学籍变更代码表", "代码", kStatuses);
    insertCodes(db, "奖励等级代码表", "代码", kAwards);
    insertCodes(db, "处罚等级代码表", "代码", kPunishments);
    {
        // Two classes a year for four years of intake in every department.
        BatchInsert classes(db, "班级代码表", { "班级代码", "全称" });
        int code = 1;
        for (int d = 0; d < kDepartments.size(); ++d)
            for (int year = 2003; year <= 2006; ++year)
                for (int k = 1; k <= 2; ++k)
                    classes.add({ code++, QString("%1%2级%3班").arg(kDepartmentShort[d]).arg(year).arg(k) });
        BatchInsert tables(db, "全表名", { "表名" });
        for (const QString& t : kTables)
            tables.add({ t });
        BatchInsert accounts(db, "管理员身份认证表", { "name", "pwd", "style" });
        accounts.add({ "admin", wellKnownHash("admin"), "系统管理员" });
    }
    insertSettings(db);
    recordBulk(db, QStringLiteral("初始化"),
        { { "院系代码表", int(kDepartments.size()) }, { "学籍变更代码表", int(kStatuses.size()) },
            { "奖励等级代码表", int(kAwards.size()) }, { "处罚等级代码表", int(kPunishments.size()) },
            { "班级代码表", count(db, "班级代码表") }, { "全表名", int(kTables.size()) }, { "管理员身份认证表", 1 },
            { "系统设置表", 1 } });
    RowCounts::install(db);
    transaction.commit();
}

QStringList Setup::addMissingTables(Connection& db)
{
    QStringList added;
    for (const Table& table : Schema::tables()) {
        try {
            db.select(QStringLiteral("select count(*) from %1 where 1 = 0").arg(table.name));
            continue;
        } catch (const DbError& error) {
            if (!error.isRefusal())
                throw;
        }
        Transaction transaction(db);
        for (const QString& statement : Schema::createStatements(db.engine(), table))
            db.execute(statement);
        transaction.commit();
        added << table.name;
    }
    return added;
}

void Setup::addMissingIndexes(Connection& db)
{
    static const QString create = QStringLiteral("CREATE INDEX ");
    for (const QString& statement : Schema::createStatements(db.engine()))
        if (statement.startsWith(create))
            db.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS ") + statement.mid(create.size()));
}

QStringList Setup::addMissing(Connection& db)
{
    const QStringList added = addMissingTables(db);
    addMissingIndexes(db);
    RowCounts::install(db);
    if (count(db, "系统设置表") == 0) {
        Transaction transaction(db);
        insertSettings(db);
        transaction.commit();
    }
    return added;
}

void Setup::grantAppRole(Connection& db, const QString& role)
{
    if (db.engine() != Engine::PostgreSQL)
        throw DbError(QStringLiteral("应用角色只适用于 PostgreSQL：SQLite 数据库文件没有角色。"));
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    if (!plain.match(role).hasMatch())
        throw DbError(QStringLiteral("角色名“%1”无效：只能由字母、数字和下划线组成，且不以数字开头。").arg(role));
    const QString name = QLatin1Char('"') + role + QLatin1Char('"');
    if (db.select(QStringLiteral("select 1 from pg_roles where rolname = %1").arg(Sql::quote(role))).rows.isEmpty())
        db.execute(QStringLiteral("CREATE ROLE %1 LOGIN").arg(name));
    Transaction transaction(db);
    for (const Table& table : Schema::tables()) {
        // Whatever the role held before goes first, so that running this again narrows too.
        db.execute(QStringLiteral("REVOKE ALL ON %1 FROM %2").arg(table.name, name));
        QString rights = QStringLiteral("SELECT, INSERT, UPDATE, DELETE");
        if (table.name == ChangeLog::table())
            rights = QStringLiteral("SELECT, INSERT"); // records are only ever added
        else if (table.name == QStringLiteral("全表名"))
            rights = QStringLiteral("SELECT"); // the program only reads the list
        db.execute(QStringLiteral("GRANT %1 ON %2 TO %3").arg(rights, table.name, name));
    }
    if (RowCounts::present(db)) {
        // Writes add parts of the counts (their triggers run as the writer), and readers fold them.
        db.execute(QStringLiteral("REVOKE ALL ON %1 FROM %2").arg(RowCounts::table(), name));
        db.execute(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON %1 TO %2").arg(RowCounts::table(), name));
    }
    db.execute(QStringLiteral("REVOKE CREATE ON SCHEMA public FROM %1").arg(name));
    db.execute(QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(name));
    // Reading where the numbering stands lets orlenta-db backup run pg_dump on the workstations'
    // own data source; it changes nothing.
    db.execute(QStringLiteral("GRANT SELECT ON ALL SEQUENCES IN SCHEMA public TO %1").arg(name));
    transaction.commit();
}

void Setup::fillDemo(Connection& db, int students, const std::function<void(const QString&)>& say)
{
    auto tell = [&](const QString& text) {
        if (say)
            say(text);
    };
    std::mt19937 random(20061);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; };
    std::normal_distribution<double> scoreSpread(76, 11);

    Transaction transaction(db);

    // What the demonstration adds is recorded as one record per table.
    const QStringList filled { "学生课程表", "管理员身份认证表", "班级代码表", "学生个人信息表", "学生成绩表", "奖励记录信息表",
        "处罚等级记录表", "学籍变更信息表" };
    QVector<int> before;
    for (const QString& table : filled)
        before << count(db, table);

    if (count(db, "学生课程表") == 0) {
        BatchInsert courses(db, "学生课程表", { "课程号", "课程名", "学时", "学分" });
        for (const Course& c : kCourses)
            courses.add({ c.number, c.name, c.hours, c.credits });
    }
    if (count(db, "管理员身份认证表 where name = 'teacher'") == 0) {
        BatchInsert accounts(db, "管理员身份认证表", { "name", "pwd", "style" });
        accounts.add({ "teacher", wellKnownHash("teacher"), "一般用户" });
    }

    // Classes of about forty students: the base set from init, more when there are more students.
    const int years = 4;
    const int departments = kDepartments.size();
    const int perClass = 40;
    const int classesPerIntake = std::max(2, (students + perClass * years * departments - 1) / (perClass * years * departments));
    int nextClass = 1 + count(db, "班级代码表");
    QVector<QVector<int>> classesOf(departments * years); // department x intake year -> class codes
    {
        const auto existing = db.select("select 班级代码, 全称 from 班级代码表 order by 班级代码");
        for (const auto& row : existing.rows) {
            const QString name = row[1].toString();
            for (int d = 0; d < departments; ++d)
                for (int y = 0; y < years; ++y)
                    if (name.startsWith(QString("%1%2级").arg(kDepartmentShort[d]).arg(2003 + y)))
                        classesOf[d * years + y] << row[0].toInt();
        }
        BatchInsert classes(db, "班级代码表", { "班级代码", "全称" });
        for (int d = 0; d < departments; ++d)
            for (int y = 0; y < years; ++y)
                while (classesOf[d * years + y].size() < classesPerIntake) {
                    const int k = classesOf[d * years + y].size() + 1;
                    classes.add({ nextClass, QString("%1%2级%3班").arg(kDepartmentShort[d]).arg(2003 + y).arg(k) });
                    classesOf[d * years + y] << nextClass++;
                }
    }
    tell(QString("班级: %1").arg(count(db, "班级代码表")));

    const int firstSerial = count(db, "学生个人信息表");
    BatchInsert people(db, "学生个人信息表",
        { "学号", "姓名", "性别", "密码", "出生日期", "籍贯", "联系电话", "联系地址", "所在院系编号", "所在班级编号", "学籍情况",
            "政治面貌", "备注" });
    BatchInsert scores(db, "学生成绩表", { "学号", "课程名", "课程号", "成绩", "学分", "院系号", "班级号", "考试时间" });
    BatchInsert awards(db, "奖励记录信息表", { "学号", "级别代码", "记录时间", "备注" });
    BatchInsert punishments(db, "处罚等级记录表", { "学号", "级别代码", "记录时间", "备注" });
    BatchInsert changes(db, "学籍变更信息表", { "学号", "变更代码", "记录时间" });
    const QStringList politics { "群众", "团员", "团员", "团员", "党员" };

    for (int i = 0; i < students; ++i) {
        const int serial = firstSerial + i;
        const int d = serial % departments;
        const int y = (serial / departments) % years;
        const int year = 2003 + y;
        const QVector<int>& classes = classesOf[d * years + y];
        const int classCode = classes[(serial / (departments * years)) % classes.size()];
        const QString number = QString("%1%2%3").arg(year).arg(d + 1, 2, 10, QChar('0')).arg(serial / (departments * years) + 1, 4, 10, QChar('0'));
        const QString name = kSurnames.mid(pick(kSurnames.size()), 1)
            + kGiven.mid(pick(kGiven.size() - 1), chance(0.6) ? 2 : 1);
        int status = 1;
        if (chance(0.04))
            status = 2 + pick(kStatuses.size() - 1);
        const QDate born(year - 18 - pick(2), 1 + pick(12), 1 + pick(28));
        const QString province = kProvinces[pick(kProvinces.size())];
        people.add({ number, name, chance(0.52) ? "男" : "女", number, born, province + "省",
            QString("13%1").arg(100000000 + int(random() % 900000000u)),
            QString("%1市%2%3号").arg(province, kStreets[pick(kStreets.size())]).arg(1 + pick(300)), d + 1, classCode,
            status, politics[pick(politics.size())], chance(0.05) ? QString("曾任%1班长").arg(name) : QString() });

        // What the new-student window writes with every student.
        const QDate entered(year, 9, 1);
        scores.add({ number, "0", QVariant(), 0, QVariant(), QVariant(), QVariant(), entered });
        awards.add({ number, 0, QVariant(), QVariant() });
        punishments.add({ number, 0, QVariant(), QVariant() });

        // Nineteen courses over the terms since intake, exams in January and June.
        for (int k = 0; k < 19; ++k) {
            const Course& c = kCourses[(d * 3 + k * 7 + i) % kCourses.size()];
            const int term = k % 6;
            const QDate exam(year + (term + 1) / 2, term % 2 == 0 ? 1 : 6, 10 + pick(15));
            const double score = std::clamp(std::round(scoreSpread(random) * 2) / 2, 0.0, 100.0);
            scores.add({ number, c.name, c.number, score, int(std::nearbyint(c.credits)), d + 1, classCode, exam });
        }
        if (chance(0.12))
            awards.add({ number, 1 + pick(kAwards.size()), QDate(year + 1 + pick(3), 5, 1 + pick(28)), "学年评优" });
        if (chance(0.03))
            punishments.add({ number, 1 + pick(kPunishments.size()), QDate(year + 1 + pick(3), 11, 1 + pick(28)), "违反校纪" });
        changes.add({ number, 1, entered });
        if (status != 1)
            changes.add({ number, status, QDate(year + 1 + pick(3), 3, 1 + pick(28)) });
        if ((i + 1) % 10000 == 0)
            tell(QString("学生: %1 / %2").arg(i + 1).arg(students));
    }
    people.flush();
    scores.flush();
    awards.flush();
    punishments.flush();
    changes.flush();
    QVector<QPair<QString, int>> added;
    for (int i = 0; i < filled.size(); ++i)
        added.append({ filled[i], count(db, filled[i]) - before[i] });
    recordBulk(db, QStringLiteral("演示数据"), added);
    transaction.commit();
    db.execute("ANALYZE"); // both engines plan the large tables better with fresh statistics
    tell(QString("学生 %1 人, 成绩 %2 条").arg(count(db, "学生个人信息表")).arg(count(db, "学生成绩表")));
}

} // namespace store
