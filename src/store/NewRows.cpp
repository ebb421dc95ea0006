#include "NewRows.h"

#include "DbError.h"
#include "Schema.h"
#include "Sql.h"

namespace store::NewRows {

QVariant firstPassword(const QString& number) { return number; }

QVector<Row> placeholders(const QString& number, const QDate& today)
{
    return {
        { QStringLiteral("处罚等级记录表"), { QStringLiteral("学号"), QStringLiteral("级别代码") }, { number, 0 } },
        { QStringLiteral("奖励记录信息表"), { QStringLiteral("学号"), QStringLiteral("级别代码") }, { number, 0 } },
        { QStringLiteral("学生成绩表"),
            { QStringLiteral("学号"), QStringLiteral("课程名"), QStringLiteral("成绩"), QStringLiteral("考试时间") },
            { number, 0, 0, today } },
    };
}

qint16 scoreCredits(const QVariant& courseCredits)
{
    if (courseCredits.isNull() || !courseCredits.isValid())
        throw DbError(QStringLiteral("无效使用 Null"));
    // The literal of a 16-bit column rounds as the conversion does and refuses what does not fit.
    return qint16(Sql::literal(courseCredits, ColumnType::SmallInt).toInt());
}

} // namespace store::NewRows
