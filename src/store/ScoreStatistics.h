#pragma once

#include <QPair>
#include <QString>
#include <QVector>

namespace store {

class Connection;

// How the scores of a result are spread: counts in the bands 0–59, 60–69, 70–79, 80–89 and
// 90–100, the pass rate (60 and more), the mean, the median, the highest and the lowest score.
struct ScoreDistribution {
    static constexpr int Bands = 5;
    qint64 bands[Bands] = {};
    qint64 count = 0;  // score rows that hold a score
    qint64 passed = 0; // of them, 60 or more
    double mean = 0;
    double median = 0;
    double lowest = 0;
    double highest = 0;

    double passRate() const { return count ? double(passed) / double(count) : 0; }
    double share(int band) const { return count ? double(bands[band]) / double(count) : 0; }
    // "0–59", "60–69", ... "90–100".
    static QString bandName(int band);
    // The band a score falls in: below 60 is the first, 90 and more the last.
    static int bandOf(double score);

    // From the number of rows of each score (in any order).
    static ScoreDistribution fromCounts(QVector<QPair<double, qint64>> counts);
};

// The statistics of the score rows behind a window's statement, computed by the database: one
// grouped count of the rows by score, whatever the statement selects, from which bands, mean,
// median and extremes follow exactly. The placeholder score row of a new student (course "0")
// takes no part.
class ScoreStatistics {
public:
    // The condition that leaves the placeholder row out; `qualifier` is the score table's alias.
    static QString notPlaceholder(const QString& qualifier = QString());

    // The grouped count (score, rows) over the rows of `statement`: its FROM and WHERE, without
    // its select list, grouping and order. The statement must read 学生成绩表 (alone or joined);
    // throws DbError otherwise.
    static QString countsStatement(const QString& statement);

    static ScoreDistribution compute(Connection& connection, const QString& statement);
};

} // namespace store
