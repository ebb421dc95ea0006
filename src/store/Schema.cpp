#include "Schema.h"

#include <QHash>

namespace store {

namespace {

using T = ColumnType;

QVector<Table> describeTables()
{
    auto codeTable = [](const QString& name, const QString& code) {
        return Table { name, { { code, T::SmallInt, true }, { "全称", T::Text } }, code, false, {}, { { "全称" } } };
    };
    auto levelRecords = [](const QString& name) {
        return Table { name,
            { { "编号", T::Integer, true }, { "学号", T::Text }, { "级别代码", T::SmallInt }, { "记录时间", T::Date },
                { "备注", T::Text } },
            "编号", true, {}, { { "学号" } } };
    };
    return {
        { "管理员身份认证表",
            { { "编号", T::Integer, true }, { "name", T::Text, true }, { "pwd", T::Text }, { "style", T::Text } },
            "编号", true, { "name" }, { { "style" } } },
        { "学生个人信息表",
            { { "学号", T::Text, true }, { "姓名", T::Text }, { "性别", T::Text }, { "密码", T::Text },
                { "出生日期", T::Date }, { "籍贯", T::Text }, { "联系电话", T::Text }, { "联系地址", T::Text },
                { "所在院系编号", T::SmallInt }, { "所在班级编号", T::SmallInt }, { "学籍情况", T::SmallInt },
                { "政治面貌", T::Text }, { "备注", T::Text } },
            "学号", false, {}, { { "姓名" }, { "所在院系编号", "学号" }, { "所在班级编号", "学号" } } },
        codeTable("院系代码表", "学院编码"),
        codeTable("班级代码表", "班级代码"),
        codeTable("学籍变更代码表", "代码"),
        { "学籍变更信息表",
            { { "编号", T::Integer, true }, { "学号", T::Text }, { "变更代码", T::SmallInt }, { "记录时间", T::Date } },
            "编号", true, {}, { { "学号" }, { "记录时间" } } },
        { "学生课程表",
            { { "课程号", T::Text, true }, { "课程名", T::Text }, { "学时", T::Integer }, { "学分", T::Real } },
            "课程号", false, {}, { { "课程名" } } },
        { "学生成绩表",
            { { "编号", T::Integer, true }, { "学号", T::Text }, { "课程名", T::Text }, { "课程号", T::Text },
                { "成绩", T::Real }, { "学分", T::SmallInt }, { "院系号", T::SmallInt }, { "班级号", T::SmallInt },
                { "考试时间", T::Date } },
            "编号", true, {}, { { "学号", "编号" }, { "院系号" }, { "班级号" }, { "考试时间" }, { "成绩", "课程名" } } },
        codeTable("奖励等级代码表", "代码"),
        levelRecords("奖励记录信息表"),
        codeTable("处罚等级代码表", "代码"),
        levelRecords("处罚等级记录表"),
        { "成绩排序临时表",
            { { "编号", T::Integer, true }, { "学号", T::Text }, { "姓名", T::Text }, { "总成绩", T::Real },
                { "平均分", T::Real }, { "总学分", T::Real } },
            "编号", true, {}, {} },
        { "全表名", { { "表名", T::Text, true } }, "表名", false, {}, {} },
        // The change record (ChangeLog): rows are only ever added.
        { "操作记录表",
            { { "编号", T::Integer, true }, { "时间", T::Text }, { "用户", T::Text }, { "工作站", T::Text },
                { "操作", T::Text }, { "表名", T::Text }, { "键", T::Text }, { "学号", T::Text }, { "字段", T::Text },
                { "原值", T::Text }, { "新值", T::Text } },
            "编号", true, {}, { { "时间" }, { "用户", "编号" }, { "表名", "键" }, { "学号" } } },
        // One row (编号 1): what every workstation prints on a transcript.
        { "系统设置表", { { "编号", T::SmallInt, true }, { "学校名称", T::Text }, { "签发单位", T::Text } }, "编号", false, {}, {} },
    };
}

QString sqlType(ColumnType type, Engine engine)
{
    switch (type) {
    case T::Text: return engine == Engine::SQLite ? "TEXT" : "text";
    case T::SmallInt: return engine == Engine::SQLite ? "INTEGER" : "smallint";
    case T::Integer: return engine == Engine::SQLite ? "INTEGER" : "integer";
    case T::Real: return engine == Engine::SQLite ? "REAL" : "double precision";
    case T::Date: return engine == Engine::SQLite ? "TEXT" : "date";
    }
    return {};
}

// SQLite keeps whatever it is given; these checks make it refuse what PostgreSQL's types refuse,
// so that a text in a numeric column or a malformed date fails alike on both engines.
QString sqliteCheck(const Column& c)
{
    const QString n = c.name;
    switch (c.type) {
    case T::Text: return {};
    case T::SmallInt:
        return QString("CHECK (%1 IS NULL OR (typeof(%1) = 'integer' AND %1 BETWEEN -32768 AND 32767))").arg(n);
    case T::Integer: return QString("CHECK (%1 IS NULL OR typeof(%1) = 'integer')").arg(n);
    case T::Real: return QString("CHECK (%1 IS NULL OR typeof(%1) IN ('integer', 'real'))").arg(n);
    case T::Date:
        return QString("CHECK (%1 IS NULL OR (typeof(%1) = 'text' AND %1 GLOB "
                       "'[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]' AND date(%1) IS %1))")
            .arg(n);
    }
    return {};
}

// Triggers that refuse to change or delete a row of the table, whoever asks.
QStringList appendOnly(Engine engine, const QString& table)
{
    const QString refusal = QStringLiteral("操作记录只能添加，不能修改或删除。");
    if (engine == Engine::SQLite)
        return { QString("CREATE TRIGGER %1_不改 BEFORE UPDATE ON %1 BEGIN SELECT RAISE(ABORT, '%2'); END").arg(table, refusal),
            QString("CREATE TRIGGER %1_不删 BEFORE DELETE ON %1 BEGIN SELECT RAISE(ABORT, '%2'); END").arg(table, refusal) };
    return { QString("CREATE OR REPLACE FUNCTION %1_只增() RETURNS trigger LANGUAGE plpgsql AS "
                     "'BEGIN RAISE EXCEPTION ''%2''; END'")
                 .arg(table, refusal),
        QString("CREATE TRIGGER %1_不改 BEFORE UPDATE OR DELETE ON %1 FOR EACH ROW EXECUTE FUNCTION %1_只增()").arg(table),
        QString("CREATE TRIGGER %1_不清空 BEFORE TRUNCATE ON %1 FOR EACH STATEMENT EXECUTE FUNCTION %1_只增()").arg(table) };
}

} // namespace

const Column* Table::column(const QString& name) const
{
    for (const Column& c : columns)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const QVector<Table>& Schema::tables()
{
    static const QVector<Table> all = describeTables();
    return all;
}

const Table* Schema::table(const QString& name)
{
    for (const Table& t : tables())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

std::optional<ColumnType> Schema::typeOfColumn(const QString& name)
{
    // A name is text, date or number in every table that has it; among numbers the widest kind
    // wins (学分 is a whole number in 学生成绩表 and a real one in 学生课程表).
    static const QHash<QString, ColumnType> types = [] {
        auto family = [](ColumnType type) { return type == T::Text ? 0 : type == T::Date ? 1 : 2; };
        QHash<QString, ColumnType> map;
        for (const Table& t : tables())
            for (const Column& c : t.columns) {
                const QString name = c.name.toLower();
                const ColumnType kind = (c.type == T::SmallInt) ? T::Integer : c.type;
                const auto known = map.constFind(name);
                if (known == map.constEnd()) {
                    map.insert(name, kind);
                    continue;
                }
                Q_ASSERT(family(*known) == family(kind));
                if (kind == T::Real)
                    map.insert(name, kind);
            }
        return map;
    }();
    const auto it = types.constFind(name.toLower());
    if (it == types.constEnd())
        return std::nullopt;
    return *it;
}

QStringList Schema::createStatements(Engine engine)
{
    QStringList out;
    for (const Table& t : tables())
        out << createStatements(engine, t);
    return out;
}

QStringList Schema::createStatements(Engine engine, const Table& t)
{
    QStringList out;
    {
        QStringList parts;
        for (const Column& c : t.columns) {
            QString def = c.name + ' ' + sqlType(c.type, engine);
            if (c.name == t.key) {
                if (t.identity && engine == Engine::PostgreSQL)
                    def += " GENERATED BY DEFAULT AS IDENTITY";
                def += " PRIMARY KEY";
                if (engine == Engine::SQLite && !t.identity)
                    def += " NOT NULL"; // SQLite lets a NULL into any key but an INTEGER one
            } else if (c.notNull) {
                def += " NOT NULL";
            }
            if (engine == Engine::SQLite) {
                const QString check = sqliteCheck(c);
                if (!check.isEmpty())
                    def += ' ' + check;
            }
            parts << def;
        }
        for (const QString& u : t.unique)
            parts << QString("UNIQUE (%1)").arg(u);
        out << QString("CREATE TABLE %1 (%2)").arg(t.name, parts.join(", "));
        for (const QStringList& idx : t.indexes)
            out << QString("CREATE INDEX %1_%2 ON %1 (%3)").arg(t.name, idx.join('_'), idx.join(", "));
    }
    if (t.name == QStringLiteral("操作记录表"))
        out << appendOnly(engine, t.name);
    return out;
}

} // namespace store
