#include "StudentTranscript.h"

#include "Connection.h"
#include "ScoreStatistics.h"
#include "Sql.h"
#include "Value.h"

namespace store {

namespace {
QString text(const QVariant& value) { return displayText(value).trimmed(); }
} // namespace

QString StudentTranscript::studentStatement(const QString& number)
{
    return QStringLiteral("select a.学号, a.姓名, a.性别, b.全称, c.全称, d.全称, a.出生日期 from 学生个人信息表 as a "
                          "left join 院系代码表 as b on a.所在院系编号=b.学院编码 "
                          "left join 班级代码表 as c on a.所在班级编号=c.班级代码 "
                          "left join 学籍变更代码表 as d on a.学籍情况=d.代码 where a.学号=")
        + Sql::quote(number);
}

QString StudentTranscript::scoresStatement(const QString& number)
{
    return QStringLiteral("select 课程名, 课程号, 成绩, 学分, 考试时间 from 学生成绩表 where 学号=") + Sql::quote(number)
        + QStringLiteral(" and ") + ScoreStatistics::notPlaceholder()
        // The engines put nulls at opposite ends; rows without a date go last on both.
        + QStringLiteral(" order by case when 考试时间 is null then 1 else 0 end, 考试时间, 编号");
}

QString StudentTranscript::totalsStatement(const QString& number)
{
    // The weighted mean counts the rows that have both a score and credits.
    return QStringLiteral("select sum(学分), avg(成绩), sum(成绩 * 学分), "
                          "sum(case when 成绩 is not null then 学分 end) from 学生成绩表 where 学号=")
        + Sql::quote(number) + QStringLiteral(" and ") + ScoreStatistics::notPlaceholder();
}

QString StudentTranscript::earnedStatement(const QString& number)
{
    // A course is known by its name, as the score rows find it; one that was taken again counts
    // once, with the credits of a passed attempt.
    return QStringLiteral("select sum(学分) from (select max(学分) as 学分 from 学生成绩表 where 学号=") + Sql::quote(number)
        + QStringLiteral(" and 成绩 >= 60 and ") + ScoreStatistics::notPlaceholder() + QStringLiteral(" group by 课程名) as passed");
}

StudentTranscript StudentTranscript::read(Connection& db, const QString& number)
{
    StudentTranscript t;
    const Connection::Rows student = db.select(studentStatement(number));
    if (student.rows.isEmpty())
        return t;
    const auto& s = student.rows.first();
    t.found = true;
    t.number = text(s.value(0));
    t.name = text(s.value(1));
    t.sex = text(s.value(2));
    t.department = text(s.value(3));
    t.className = text(s.value(4));
    t.status = text(s.value(5));
    t.birthDate = s.value(6).toDate();

    for (const auto& row : db.select(scoresStatement(number)).rows) {
        Score score;
        score.course = text(row.value(0));
        score.courseNumber = text(row.value(1));
        score.score = row.value(2);
        score.credits = row.value(3);
        score.date = row.value(4).toDate();
        t.scores << score;
    }

    const Connection::Rows totals = db.select(totalsStatement(number));
    if (!totals.rows.isEmpty()) {
        const auto& row = totals.rows.first();
        t.creditsTaken = row.value(0).toDouble();
        if (!row.value(1).isNull())
            t.average = row.value(1).toDouble();
        const double weight = row.value(3).toDouble();
        if (!row.value(2).isNull() && weight != 0)
            t.weightedAverage = row.value(2).toDouble() / weight;
    }
    const Connection::Rows earned = db.select(earnedStatement(number));
    if (!earned.rows.isEmpty())
        t.creditsEarned = earned.rows.first().value(0).toDouble();
    return t;
}

} // namespace store
