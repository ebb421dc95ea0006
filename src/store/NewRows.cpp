#include "NewRows.h"

#include "DbError.h"
#include "Refusal.h"
#include "Schema.h"
#include "Sql.h"

#include <cmath>

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
    // Rounded here: a whole-number column itself refuses a fraction rather than round it.
    bool ok = false;
    const double whole = std::nearbyint(courseCredits.toDouble(&ok)); // the default rounding: halves to even
    if (!ok || !std::isfinite(whole) || whole < -32768 || whole > 32767)
        throw Refusal::of(Refusal::Kind::OutOfRange, QStringLiteral("学分"), ColumnType::SmallInt);
    return qint16(whole);
}

} // namespace store::NewRows
