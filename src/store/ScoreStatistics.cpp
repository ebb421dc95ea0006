#include "ScoreStatistics.h"

#include "Connection.h"
#include "DbError.h"
#include "Sql.h"

#include <algorithm>

namespace store {

namespace {

const QString kScores = QStringLiteral("学生成绩表");

QString notScoreRows() { return QStringLiteral("当前结果不是成绩记录，无法统计成绩分布。"); }

} // namespace

QString ScoreDistribution::bandName(int band)
{
    static const char* const names[Bands] = { "0–59", "60–69", "70–79", "80–89", "90–100" };
    return QString::fromUtf8(names[std::clamp(band, 0, Bands - 1)]);
}

int ScoreDistribution::bandOf(double score)
{
    if (score < 60)
        return 0;
    if (score < 70)
        return 1;
    if (score < 80)
        return 2;
    if (score < 90)
        return 3;
    return 4;
}

ScoreDistribution ScoreDistribution::fromCounts(QVector<QPair<double, qint64>> counts)
{
    ScoreDistribution d;
    counts.erase(std::remove_if(counts.begin(), counts.end(), [](const auto& c) { return c.second <= 0; }), counts.end());
    if (counts.isEmpty())
        return d;
    std::sort(counts.begin(), counts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    long double sum = 0;
    for (const auto& [score, rows] : counts) {
        d.count += rows;
        d.bands[bandOf(score)] += rows;
        if (score >= 60)
            d.passed += rows;
        sum += (long double)score * rows;
    }
    d.mean = double(sum / d.count);
    d.lowest = counts.first().first;
    d.highest = counts.last().first;
    // The middle score, or the mean of the two middle ones: ranks (n+1)/2 and n/2+1, from 1.
    const qint64 lowRank = (d.count + 1) / 2;
    const qint64 highRank = d.count / 2 + 1;
    double low = 0, high = 0;
    qint64 seen = 0;
    for (const auto& [score, rows] : counts) {
        if (seen < lowRank && seen + rows >= lowRank)
            low = score;
        if (seen < highRank && seen + rows >= highRank) {
            high = score;
            break;
        }
        seen += rows;
    }
    d.median = (low + high) / 2;
    return d;
}

QString ScoreStatistics::notPlaceholder(const QString& qualifier)
{
    const QString column = qualifier.isEmpty() ? QStringLiteral("课程名") : qualifier + QStringLiteral(".课程名");
    return QStringLiteral("(%1 is null or %1 <> '0')").arg(column);
}

QString ScoreStatistics::countsStatement(const QString& statement)
{
    using Sql::Token;
    const QVector<Token> all = Sql::tokenize(statement);
    QVector<Token> tokens;
    for (const Token& t : all)
        if (t.kind != Token::Space)
            tokens << t;
    auto word = [&](int i) {
        return i < tokens.size() && tokens[i].kind == Token::Word ? statement.mid(tokens[i].begin, tokens[i].length).toLower()
                                                                   : QString();
    };

    // The top-level FROM, WHERE and the clause after them.
    static const QStringList ending { "group", "order", "having", "limit", "offset", "fetch", "window", "for", "union",
        "intersect", "except" };
    static const QStringList refused { "having", "union", "intersect", "except" };
    int depth = 0, fromAt = -1, whereAt = -1, endAt = -1;
    for (int i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == Token::Open)
            ++depth;
        else if (t.kind == Token::Close)
            --depth;
        if (depth != 0)
            continue;
        if (t.kind == Token::Semicolon) {
            if (endAt < 0)
                endAt = i;
            continue;
        }
        const QString w = word(i);
        if (w.isEmpty())
            continue;
        if (w == QLatin1String("from") && fromAt < 0)
            fromAt = i;
        else if (w == QLatin1String("where") && fromAt >= 0 && whereAt < 0 && endAt < 0)
            whereAt = i;
        else if (fromAt >= 0 && endAt < 0 && ending.contains(w))
            endAt = i;
        if (refused.contains(w))
            throw DbError(notScoreRows());
    }
    if (word(0) != QLatin1String("select") || fromAt < 0)
        throw DbError(notScoreRows());
    const int end = endAt >= 0 ? tokens[endAt].begin : statement.size();
    const int fromEnd = tokens[fromAt].begin + tokens[fromAt].length;
    const int sourceEnd = whereAt >= 0 ? tokens[whereAt].begin : end;
    const QString source = statement.mid(fromEnd, sourceEnd - fromEnd).trimmed();
    const QString condition
        = whereAt >= 0 ? statement.mid(tokens[whereAt].begin + tokens[whereAt].length, end - tokens[whereAt].begin - tokens[whereAt].length).trimmed()
                       : QString();

    // The score table among the sources, and its alias.
    static const QStringList notAlias { "join", "inner", "left", "right", "full", "cross", "natural", "on", "using" };
    const int sourceFrom = fromAt + 1;
    const int sourceTo = whereAt >= 0 ? whereAt : (endAt >= 0 ? endAt : tokens.size());
    int tableAt = -1;
    for (int i = sourceFrom; i < sourceTo; ++i) {
        const Token& t = tokens[i];
        QString name = statement.mid(t.begin, t.length);
        if (t.kind == Token::QuotedName)
            name = name.mid(1, name.size() - 2);
        else if (t.kind != Token::Word)
            continue;
        if (name.compare(kScores, Qt::CaseInsensitive) == 0 && (i == sourceFrom || word(i - 1) == QLatin1String("join")
                || tokens[i - 1].kind == Token::Comma)) {
            tableAt = i;
            break;
        }
    }
    if (tableAt < 0)
        throw DbError(notScoreRows());
    QString alias;
    int next = tableAt + 1;
    if (word(next) == QLatin1String("as"))
        ++next;
    if (next < sourceTo && (tokens[next].kind == Token::Word || tokens[next].kind == Token::QuotedName)
        && !notAlias.contains(word(next)))
        alias = statement.mid(tokens[next].begin, tokens[next].length);
    const bool alone = sourceTo - sourceFrom == (alias.isEmpty() ? 1 : next - tableAt + 1);
    const QString qualifier = alias.isEmpty() ? (alone ? QString() : kScores) : alias;
    const QString score = qualifier.isEmpty() ? QStringLiteral("成绩") : qualifier + QStringLiteral(".成绩");

    // The whole table is counted along the index on (成绩, 课程名), in score order, without
    // touching a row. Any other result groups its own rows: on the expression, so that SQLite
    // finds them through the filter's index instead of walking the whole table in score order.
    const QString key = alone && condition.isEmpty() ? score : QStringLiteral("+") + score;
    QString where = notPlaceholder(qualifier);
    if (!condition.isEmpty())
        where = QStringLiteral("(") + condition + QStringLiteral(") and ") + where;
    return QStringLiteral("select %1, count(*) from %2 where %3 group by %1").arg(key, source, where);
}

ScoreDistribution ScoreStatistics::compute(Connection& connection, const QString& statement)
{
    const Connection::Rows rows = connection.select(countsStatement(statement));
    QVector<QPair<double, qint64>> counts;
    counts.reserve(rows.rows.size());
    for (const auto& row : rows.rows) {
        if (row.value(0).isNull())
            continue; // rows without a score have no place in the distribution
        counts.push_back({ row.value(0).toDouble(), row.value(1).toLongLong() });
    }
    return ScoreDistribution::fromCounts(counts);
}

} // namespace store
