#include "Refusal.h"

#include <QRegularExpression>

namespace store {

namespace {

QString typeWords(ColumnType type)
{
    switch (type) {
    case ColumnType::Text: return QStringLiteral("文字");
    case ColumnType::SmallInt:
    case ColumnType::Integer: return QStringLiteral("整数");
    case ColumnType::Real: return QStringLiteral("数字");
    case ColumnType::Date: return QStringLiteral("日期（如 2006-5-19）");
    }
    return {};
}

QString rangeWords(ColumnType type)
{
    switch (type) {
    case ColumnType::SmallInt: return QStringLiteral("（-32768 到 32767 之间的整数）");
    case ColumnType::Integer: return QStringLiteral("（-2147483648 到 2147483647 之间的整数）");
    default: return {};
    }
}

std::optional<ColumnType> typeNamed(const QString& engineType)
{
    const QString t = engineType.toLower();
    if (t.contains(QLatin1String("int")))
        return ColumnType::Integer;
    if (t.contains(QLatin1String("double")) || t.contains(QLatin1String("numeric")) || t == QLatin1String("real"))
        return ColumnType::Real;
    if (t.contains(QLatin1String("date")) || t.contains(QLatin1String("time")))
        return ColumnType::Date;
    return std::nullopt;
}

// "学生课程表_pkey" -> 课程号 (the table's key); "管理员身份认证表_name_key" -> name.
QString columnOfConstraint(const QString& constraint)
{
    for (const Table& table : Schema::tables()) {
        if (!constraint.startsWith(table.name + QLatin1Char('_')))
            continue;
        const QString rest = constraint.mid(table.name.size() + 1);
        if (rest == QLatin1String("pkey"))
            return table.key;
        if (rest.endsWith(QLatin1String("_key")))
            return rest.chopped(4);
    }
    return {};
}

struct Reading {
    Refusal::Kind kind;
    QString column;
    std::optional<ColumnType> type;
};

// What the database's words say, on either engine; nothing when they say no refusal of a value.
std::optional<Reading> read(const QString& text, const QString& code)
{
    using Kind = Refusal::Kind;
    static const QRegularExpression sqliteConstraint(
        QStringLiteral("(UNIQUE|NOT NULL|CHECK) constraint failed: ([^\\s.,]+)(?:\\.([^\\s,]+))?"));
    static const QRegularExpression pgUnique(QStringLiteral("duplicate key value violates unique constraint \"([^\"]+)\""));
    static const QRegularExpression pgKeyDetail(QStringLiteral("Key \\(([^)]+)\\)=\\("));
    static const QRegularExpression pgNull(QStringLiteral("null value in column \"([^\"]+)\""));
    static const QRegularExpression pgSyntax(QStringLiteral("invalid input syntax for (?:type )?([a-z ]+)"));
    static const QRegularExpression pgRange(QStringLiteral("(?:out of range for type ([a-z ]+))|(?:([a-z]+) out of range)"));
    static const QRegularExpression pgCheck(QStringLiteral("violates check constraint \"([^\"]+)\""));

    if (const auto m = sqliteConstraint.match(text); m.hasMatch()) {
        const QString what = m.captured(1);
        // UNIQUE and NOT NULL name "table.column"; CHECK names its expression, which starts with
        // the column and holds a range where the column has one.
        const QString column = what == QLatin1String("CHECK") ? m.captured(2) : m.captured(3);
        const Kind kind = what == QLatin1String("UNIQUE") ? Kind::Exists
            : what == QLatin1String("NOT NULL")           ? Kind::Missing
            : text.contains(QLatin1String("BETWEEN"))     ? Kind::OutOfRange
                                                          : Kind::WrongType;
        return Reading { kind, column, Schema::typeOfColumn(column) };
    }
    if (text.contains(QLatin1String("datatype mismatch")))
        return Reading { Kind::WrongType, QString(), std::nullopt };

    if (const auto m = pgUnique.match(text); m.hasMatch() || code == QLatin1String("23505")) {
        QString column = columnOfConstraint(m.captured(1));
        if (const auto key = pgKeyDetail.match(text); key.hasMatch())
            column = key.captured(1).remove(QLatin1Char('"'));
        return Reading { Kind::Exists, column, Schema::typeOfColumn(column) };
    }
    if (const auto m = pgNull.match(text); m.hasMatch() || code == QLatin1String("23502"))
        return Reading { Kind::Missing, m.captured(1), Schema::typeOfColumn(m.captured(1)) };
    if (const auto m = pgSyntax.match(text); m.hasMatch() || code == QLatin1String("22P02") || code == QLatin1String("22007"))
        return Reading { Kind::WrongType, QString(), typeNamed(m.captured(1)) };
    if (text.contains(QLatin1String("date/time field value out of range")) || code == QLatin1String("22008"))
        return Reading { Kind::WrongType, QString(), ColumnType::Date };
    if (const auto m = pgRange.match(text); m.hasMatch() || code == QLatin1String("22003")) {
        const QString type = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
        return Reading { Kind::OutOfRange, QString(), typeNamed(type) };
    }
    if (const auto m = pgCheck.match(text); m.hasMatch() || code == QLatin1String("23514"))
        return Reading { Kind::OutOfRange, QString(), std::nullopt };
    return std::nullopt;
}

} // namespace

DbError Refusal::of(Kind kind, const QString& column, std::optional<ColumnType> type, const QString& detail)
{
    const QString named = column.isEmpty() ? QString() : QStringLiteral("“%1”").arg(column);
    QString text;
    switch (kind) {
    case Kind::Exists:
        text = named.isEmpty() ? QStringLiteral("这个值已经存在，不能重复。") : named + QStringLiteral("的值已经存在，不能重复。");
        break;
    case Kind::Missing:
        text = named.isEmpty() ? QStringLiteral("缺少必须填写的值。") : named + QStringLiteral("不能为空。");
        break;
    case Kind::WrongType:
        text = (named.isEmpty() ? QStringLiteral("值的类型不对") : named + QStringLiteral("的值类型不对"))
            + (type ? QStringLiteral("：这里只能填写%1。").arg(typeWords(*type)) : QStringLiteral("。"));
        break;
    case Kind::OutOfRange:
        text = (named.isEmpty() ? QStringLiteral("值超出了允许的范围") : named + QStringLiteral("的值超出了这一列允许的范围"))
            + (type ? rangeWords(*type) : QString()) + QStringLiteral("。");
        break;
    }
    return DbError(DbError::withDetail(text, detail));
}

DbError Refusal::fromDatabase(const QString& text, const QString& code)
{
    const auto reading = read(text, code);
    if (!reading)
        return DbError(text);
    return of(reading->kind, reading->column, reading->type, text);
}

} // namespace store
