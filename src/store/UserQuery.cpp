#include "UserQuery.h"

#include "ChangeLog.h"
#include "DbError.h"
#include "Sql.h"

#include <QDate>
#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace store::UserQuery {

namespace {

const QString kAccounts = QStringLiteral("管理员身份认证表");

QString chooseTable() { return QStringLiteral("请在列表中选择检索用表!"); }

// One plain name: letters (Chinese ones included), digits and underscores, not starting with a
// digit. Nothing else can stand between "from" and "where" without changing the statement.
bool isPlainName(const QString& name)
{
    if (name.isEmpty() || name.front().isDigit())
        return false;
    for (const QChar c : name)
        if (!c.isLetterOrNumber() && c != QLatin1Char('_'))
            return false;
    return true;
}

QString offeredName(const QString& table, const QStringList& offered)
{
    const QString name = table.trimmed();
    if (!isOffered(name))
        throw DbError(chooseTable());
    for (const QString& each : offered)
        if (each.trimmed() == name)
            return name;
    throw DbError(chooseTable());
}

std::optional<ColumnType> typeOf(const QString& table, const QString& field)
{
    const Table* t = Schema::table(table);
    const Column* c = t ? t->column(field) : nullptr;
    if (!c)
        return std::nullopt;
    return c->type;
}

// The value as the program shows it, as a text the engine can search: numbers without a
// trailing ".0", dates as 2006-5-19. PostgreSQL refuses "like" on anything but text.
QString shownText(const QString& field, std::optional<ColumnType> type, Engine engine)
{
    const bool sqlite = engine == Engine::SQLite;
    if (!type)
        return QStringLiteral("cast(%1 as text)").arg(field);
    switch (*type) {
    case ColumnType::Text: return field;
    case ColumnType::SmallInt:
    case ColumnType::Integer: return QStringLiteral("cast(%1 as text)").arg(field);
    case ColumnType::Real:
        // PostgreSQL writes a double in its shortest exact form (85, 85.5); SQLite's cast would
        // write 85.0. printf of a NULL would be "0", hence the case.
        return sqlite ? QStringLiteral("case when %1 is null then null else printf('%.15g', %1) end").arg(field)
                      : QStringLiteral("cast(%1 as text)").arg(field);
    case ColumnType::Date:
        // SQLite keeps dates as 2006-05-19; PostgreSQL's FM drops the leading zeros.
        return sqlite ? QStringLiteral("substr(%1, 1, 4) || '-' || cast(substr(%1, 6, 2) as integer) || '-' || "
                                       "cast(substr(%1, 9, 2) as integer)")
                            .arg(field)
                      : QStringLiteral("to_char(%1, 'YYYY-FMMM-FMDD')").arg(field);
    }
    return field;
}

// "contains the keyword": PostgreSQL's like with its wildcards escaped; on SQLite instr, which
// keeps case as like does on PostgreSQL (SQLite's like ignores the case of A to Z) and, unlike
// SQLite's like and glob, takes a keyword of any length (their patterns stop at 50,000 bytes).
QString containsCondition(const QString& text, const QString& keyword, Engine engine)
{
    if (engine == Engine::SQLite)
        return QStringLiteral("instr(%1, %2) > 0").arg(text, Sql::quote(keyword));
    QString pattern;
    bool escaped = false;
    for (const QChar c : keyword) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\')) {
            pattern += QLatin1Char('\\');
            escaped = true;
        }
        pattern += c;
    }
    QString condition = text + QStringLiteral(" like ") + Sql::quote(QLatin1Char('%') + pattern + QLatin1Char('%'));
    if (escaped)
        condition += QStringLiteral(" escape '\\'");
    return condition;
}

// The keyword as it is compared with the column: a number column takes a number of its kind, a
// date column a date (written as the program writes dates). Anything else would be refused by
// PostgreSQL and compared as text by SQLite, where every number is less than every text.
QString comparedKeyword(const QString& field, std::optional<ColumnType> type, const QString& keyword)
{
    if (!type)
        return keyword;
    switch (*type) {
    case ColumnType::Text: return keyword;
    case ColumnType::SmallInt:
    case ColumnType::Integer: {
        static const QRegularExpression whole(QStringLiteral("^-?[0-9]+$"));
        if (!whole.match(keyword).hasMatch())
            throw DbError(QStringLiteral("“%1”字段只能与整数比较,请输入整数!").arg(field));
        bool ok = false;
        const qlonglong value = keyword.toLongLong(&ok);
        const qlonglong low = *type == ColumnType::SmallInt ? -32768 : -2147483648LL;
        const qlonglong high = *type == ColumnType::SmallInt ? 32767 : 2147483647LL;
        if (!ok || value < low || value > high)
            throw DbError(QStringLiteral("查询条件超出了“%1”字段的取值范围(%2 到 %3)!").arg(field).arg(low).arg(high));
        return keyword;
    }
    case ColumnType::Real: {
        static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
        bool ok = false;
        const double value = keyword.toDouble(&ok);
        if (!number.match(keyword).hasMatch() || !ok || !std::isfinite(value))
            throw DbError(QStringLiteral("“%1”字段只能与数字比较,请输入数字!").arg(field));
        return keyword;
    }
    case ColumnType::Date: {
        const QDate date = Sql::parseDate(keyword);
        if (!date.isValid())
            throw DbError(QStringLiteral("“%1”字段只能与日期比较,请输入日期,如2006-5-19!").arg(field));
        return Sql::dateText(date);
    }
    }
    return keyword;
}

} // namespace

const QStringList& comparisons()
{
    static const QStringList all { QStringLiteral("like"), QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("=") };
    return all;
}

QString tableListStatement()
{
    return QStringLiteral("select * from 全表名 where 表名 not like ") + Sql::quote('%' + kAccounts + '%')
        + QStringLiteral(" and 表名 not like ") + Sql::quote('%' + ChangeLog::table() + '%');
}

bool isOffered(const QString& table)
{
    const QString name = table.trimmed();
    return isPlainName(name) && !name.contains(kAccounts, Qt::CaseInsensitive)
        && !name.contains(ChangeLog::table(), Qt::CaseInsensitive);
}

QString fieldListStatement(const QString& table, const QStringList& offered)
{
    return QStringLiteral("select * from ") + offeredName(table, offered);
}

QString statement(const Choice& choice, Engine engine)
{
    const QString table = offeredName(choice.table, choice.offered);
    const QString head = QStringLiteral("select * from ") + table;
    // Which of them is chosen is asked of the untrimmed texts; what goes into the statement is trimmed.
    if (choice.field.isEmpty() && choice.comparison.isEmpty())
        return head;
    if (choice.field.isEmpty())
        throw DbError(QStringLiteral("已选择查询关键字,请先选择要检索的字段!"));
    const QString field = choice.field.trimmed();
    if (!isPlainName(field) || !choice.fields.contains(field))
        throw DbError(QStringLiteral("请在“该表所具有的字段”列表中选择字段!"));
    const QString comparison = choice.comparison.trimmed();
    if (!comparison.isEmpty() && !comparisons().contains(comparison))
        throw DbError(QStringLiteral("请在“查询关键字”列表中选择比较方式!"));

    const QString keyword = choice.keyword.trimmed();
    const std::optional<ColumnType> type = typeOf(table, field);
    if (comparison == QLatin1String("like"))
        return head + QStringLiteral(" where ") + containsCondition(shownText(field, type, engine), keyword, engine);
    const QString value = Sql::quote(comparedKeyword(field, type, keyword));
    if (comparison.isEmpty())
        return head + QStringLiteral(" where ") + field + QLatin1Char('=') + value;
    return head + QStringLiteral(" where ") + field + QLatin1Char(' ') + comparison + QLatin1Char(' ') + value;
}

} // namespace store::UserQuery
