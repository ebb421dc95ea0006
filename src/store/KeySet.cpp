#include "KeySet.h"

#include "Connection.h"
#include "DbError.h"
#include "KeyReader.h"
#include "RowCounts.h"

#include <algorithm>

namespace store {

namespace {

int gFirstChunk = 1024;
// A block of keys is at most this long, so that no driver buffers millions of rows at once.
int gLargestChunk = 262144;
// Whole numbers below this are remembered in a bitmap (16 MB at most); others in a set.
constexpr qint64 kBitmapKeys = qint64(1) << 27;
// A place this far ahead of the keys taken is reached by skipping, not by reading them all.
int gJumpAhead = 65536;

struct Term {
    QString qualifier;
    QString column;
    bool descending = false;
    bool nullsGiven = false;
    bool plain = false; // a column, possibly qualified; not an expression
    bool position = false; // "order by 2"
};

Term parseTerm(const QString& term)
{
    Term out;
    QVector<Sql::Token> tokens;
    for (const Sql::Token& t : Sql::tokenize(term))
        if (t.kind != Sql::Token::Space)
            tokens << t;
    auto word = [&](int i) { return term.mid(tokens[i].begin, tokens[i].length).toLower(); };
    if (tokens.size() >= 2 && word(tokens.size() - 2) == "nulls") {
        out.nullsGiven = true;
        tokens.resize(tokens.size() - 2);
    }
    if (!tokens.isEmpty() && (word(tokens.size() - 1) == "asc" || word(tokens.size() - 1) == "desc")) {
        out.descending = word(tokens.size() - 1) == "desc";
        tokens.removeLast();
    }
    auto name = [&](const Sql::Token& t) {
        QString text = term.mid(t.begin, t.length);
        return t.kind == Sql::Token::QuotedName ? text.mid(1, text.size() - 2) : text;
    };
    auto isName = [](const Sql::Token& t) { return t.kind == Sql::Token::Word || t.kind == Sql::Token::QuotedName; };
    if (tokens.size() == 1 && tokens[0].kind == Sql::Token::Number) {
        out.position = true;
    } else if (tokens.size() == 1 && isName(tokens[0])) {
        out.plain = true;
        out.column = name(tokens[0]);
    } else if (tokens.size() == 3 && isName(tokens[0]) && tokens[1].kind == Sql::Token::Dot && isName(tokens[2])) {
        out.plain = true;
        out.qualifier = name(tokens[0]);
        out.column = name(tokens[2]);
    }
    return out;
}

bool same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

} // namespace

std::optional<KeySet::Plan> KeySet::plan(const Sql::SelectShape& shape)
{
    if (!shape.table)
        return std::nullopt;
    const Table& table = *shape.table;
    const Column* key = table.column(table.key);
    if (!key || (key->type != ColumnType::Text && key->type != ColumnType::Integer && key->type != ColumnType::SmallInt))
        return std::nullopt;

    Plan plan;
    plan.table = &table;
    plan.textKeys = key->type == ColumnType::Text;
    plan.keyColumn = key->name;
    const QString qualifier = !shape.alias.isEmpty() ? shape.alias : shape.joined ? table.name : QString();
    auto qualify = [&](const QString& column) { return qualifier.isEmpty() ? column : qualifier + '.' + column; };
    plan.keyExpr = qualify(key->name);
    plan.from = shape.from;
    plan.where = shape.where;

    // The order as written, read term by term: seeking needs columns of this table, one
    // direction, and at most one column besides the key.
    bool seekable = true;
    bool keyLast = false;
    bool descending = false;
    QStringList columns;
    for (int i = 0; i < shape.orderTerms.size(); ++i) {
        const Term term = parseTerm(shape.orderTerms[i]);
        if (term.position)
            return std::nullopt; // positions would name other columns in a statement of keys
        const bool ours = term.plain && (term.qualifier.isEmpty() || same(term.qualifier, qualifier) || same(term.qualifier, table.name))
            && table.column(term.column);
        if (!ours || term.nullsGiven || (i > 0 && term.descending != descending))
            seekable = false;
        descending = term.descending;
        if (ours && same(term.column, key->name)) {
            keyLast = i == shape.orderTerms.size() - 1;
            if (!keyLast)
                seekable = false;
        } else if (ours) {
            columns << table.column(term.column)->name;
        }
    }
    QStringList terms = shape.orderTerms;
    if (!keyLast)
        terms << plan.keyExpr + (descending ? QStringLiteral(" desc") : QString());
    plan.orderBy = terms.join(QStringLiteral(", "));
    if (columns.size() > 1)
        seekable = false;
    plan.seekable = seekable;
    plan.descending = descending;
    if (seekable && !columns.isEmpty()) {
        const Column* sort = table.column(columns[0]);
        plan.sortColumn = sort->name;
        plan.sortExpr = qualify(sort->name);
        plan.sortNullable = !sort->notNull;
    }
    return plan;
}

void KeySet::setBlockSizes(int first, int largest, int jump)
{
    gFirstChunk = first;
    gLargestChunk = largest;
    gJumpAhead = jump;
}

int KeySet::firstBlock() { return gFirstChunk; }
int KeySet::largestBlock() { return gLargestChunk; }

KeySet::KeySet(const KeySet& other) { *this = other; }

KeySet& KeySet::operator=(const KeySet& other)
{
    // A copy reads on its own: it follows no session that reads for the original.
    if (this == &other)
        return *this;
    stopFollowing();
    m_plan = other.m_plan;
    m_engine = other.m_engine;
    m_text = other.m_text;
    m_ints = other.m_ints;
    m_texts = other.m_texts;
    m_complete = other.m_complete;
    m_segments = other.m_segments;
    m_segment = other.m_segment;
    m_anchored = other.m_anchored;
    m_anchorKey = other.m_anchorKey;
    m_anchorSort = other.m_anchorSort;
    m_bound = other.m_bound;
    m_gaps = other.m_gaps;
    m_sinceJump = other.m_sinceJump;
    m_bits = other.m_bits;
    m_farInts = other.m_farInts;
    m_seenTexts = other.m_seenTexts;
    m_seenAtCopy = other.m_seenTexts.size();
    return *this;
}

KeySet::~KeySet() { stopFollowing(); }

void KeySet::start(const Plan& plan, Engine engine)
{
    stopFollowing();
    m_plan = plan;
    m_engine = engine;
    m_text = plan.textKeys;
    m_ints.clear();
    m_texts.clear();
    m_complete = false;
    m_segments.clear();
    if (plan.sortColumn.isEmpty()) {
        m_segments << Segment::KeyOnly;
    } else if (!plan.sortNullable) {
        m_segments << Segment::Values;
    } else {
        // SQLite sorts nulls before every value, PostgreSQL after.
        const bool nullsFirst = (engine == Engine::SQLite) != plan.descending;
        m_segments = nullsFirst ? QVector<Segment> { Segment::Nulls, Segment::Values }
                                : QVector<Segment> { Segment::Values, Segment::Nulls };
    }
    m_segment = 0;
    m_anchored = false;
    m_anchorKey.clear();
    m_anchorSort.clear();
    m_bound.reset();
    m_gaps.clear();
    m_sinceJump = 0;
    m_bits.clear();
    m_farInts.clear();
    m_seenTexts.clear();
}

void KeySet::takeFirst(const QVector<QVariant>& keys, const QVariant& lastSortValue)
{
    for (const QVariant& key : keys)
        if (m_text ? see(key.toString()) : see(key.toLongLong())) {
            if (m_text)
                m_texts << key.toString();
            else
                m_ints.push_back(key.toLongLong());
        }
    m_sinceJump = size();
    if (keys.isEmpty())
        return;
    Segment segment = Segment::KeyOnly;
    if (!m_plan.sortColumn.isEmpty())
        segment = (m_plan.sortNullable && lastSortValue.isNull()) ? Segment::Nulls : Segment::Values;
    m_segment = std::max<int>(0, m_segments.indexOf(segment));
    m_anchored = true;
    m_anchorKey = keys.last();
    m_anchorSort = lastSortValue;
}

QVariant KeySet::at(int index) const
{
    if (index < 0 || index >= size())
        return {};
    if (m_text)
        return QVariant(m_texts[index]);
    const qint64 key = m_ints[size_t(index)];
    return key == kUnknown || key == kMissing ? QVariant() : QVariant(qlonglong(key));
}

QString KeySet::chunkStatement(int limit) const
{
    if (!m_plan.seekable) {
        // Every key in the statement's own order, at once.
        QString statement = QStringLiteral("select ") + m_plan.keyExpr + QStringLiteral(" as k from ") + m_plan.from;
        if (!m_plan.where.isEmpty())
            statement += QStringLiteral(" where ") + m_plan.where;
        return statement + QStringLiteral(" order by ") + m_plan.orderBy;
    }
    Range range;
    range.after = m_anchored;
    range.afterKey = m_anchorKey;
    range.afterSort = m_anchorSort;
    return rangeStatement(m_segments[m_segment], range, limit, 0);
}

QStringList KeySet::rangeConditions(Segment segment, const Range& range) const
{
    const Table& table = *m_plan.table;
    const ColumnType keyType = table.column(m_plan.keyColumn)->type;
    const QString after = m_plan.descending ? QStringLiteral(" < ") : QStringLiteral(" > ");
    const QString before = range.throughBefore ? (m_plan.descending ? QStringLiteral(" >= ") : QStringLiteral(" <= "))
                                               : (m_plan.descending ? QStringLiteral(" > ") : QStringLiteral(" < "));
    QStringList conditions;
    if (!m_plan.where.isEmpty())
        conditions << '(' + m_plan.where + ')';
    if (m_bound)
        conditions << m_plan.keyExpr + QStringLiteral(" <= ") + QString::number(*m_bound);
    auto pair = [&](const QString& op, const QVariant& sort, const QVariant& key) {
        const ColumnType sortType = table.column(m_plan.sortColumn)->type;
        return QStringLiteral("(%1, %2)%3(%4, %5)")
            .arg(m_plan.sortExpr, m_plan.keyExpr, op, Sql::literal(sort, sortType), Sql::literal(key, keyType));
    };
    // Within a segment ordered by the key alone, the range is a range of keys.
    const auto keysBetween = [&] {
        if (range.after)
            conditions << m_plan.keyExpr + after + Sql::literal(range.afterKey, keyType);
        if (range.before)
            conditions << m_plan.keyExpr + before + Sql::literal(range.beforeKey, keyType);
    };
    switch (segment) {
    case Segment::KeyOnly:
        keysBetween();
        break;
    case Segment::Values:
        if (range.after)
            conditions << pair(after, range.afterSort, range.afterKey);
        else if (m_plan.sortNullable)
            conditions << m_plan.sortExpr + QStringLiteral(" IS NOT NULL");
        if (range.before)
            conditions << pair(before, range.beforeSort, range.beforeKey);
        break;
    case Segment::Nulls:
        conditions << m_plan.sortExpr + QStringLiteral(" IS NULL");
        keysBetween();
        break;
    }
    return conditions;
}

QString KeySet::rangeStatement(Segment segment, const Range& range, int limit, int offset, bool backwards, bool wholeRows) const
{
    const bool sorted = !m_plan.sortColumn.isEmpty();
    const QString direction = m_plan.descending != backwards ? QStringLiteral(" desc") : QString();
    const QString order = segment == Segment::Values
        ? m_plan.sortExpr + direction + QStringLiteral(", ") + m_plan.keyExpr + direction
        : m_plan.keyExpr + direction;
    const QStringList conditions = rangeConditions(segment, range);
    QString statement = QStringLiteral("select ")
        + (wholeRows ? QStringLiteral("*")
                     : m_plan.keyExpr + QStringLiteral(" as k")
                    + (sorted ? QStringLiteral(", ") + m_plan.sortExpr + QStringLiteral(" as s") : QString()))
        + QStringLiteral(" from ") + m_plan.from;
    if (!conditions.isEmpty())
        statement += QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
    statement += QStringLiteral(" order by ") + order;
    if (limit > 0)
        statement += QStringLiteral(" limit %1").arg(limit);
    if (offset > 0)
        statement += QStringLiteral(" offset %1").arg(offset);
    return statement;
}

QString KeySet::remainingCountStatement(bool withHighest, bool rowCountsKept) const
{
    // The rows still to read are all the statement's rows but those read already: the segments
    // before the current one, and the current one up to the last key read. Counting all rows is
    // what an engine does fastest (SQLite counts a table without stepping through it, and a
    // PostgreSQL server that keeps row counts reads a whole table's); the rows read are few.
    const bool wholeTable = rowCountsKept && m_plan.where.isEmpty() && same(m_plan.from.trimmed(), m_plan.table->name);
    auto count = [this, wholeTable](const QStringList& conditions) {
        if (conditions.isEmpty() && wholeTable)
            return RowCounts::countExpression(m_plan.table->name);
        return QStringLiteral("(select count(*) from ") + m_plan.from
            + (conditions.isEmpty() ? QString() : QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "))) + ')';
    };
    QString remaining = QStringLiteral("0");
    if (!m_complete) {
        remaining = count(m_plan.where.isEmpty() ? QStringList() : QStringList { '(' + m_plan.where + ')' });
        for (int segment = 0; segment < m_segment; ++segment)
            remaining += QStringLiteral(" - ") + count(rangeConditions(m_segments[segment], Range()));
        if (m_anchored) {
            Range read;
            read.before = true;
            read.throughBefore = true;
            read.beforeKey = m_anchorKey;
            read.beforeSort = m_anchorSort;
            remaining += QStringLiteral(" - ") + count(rangeConditions(m_segments[m_segment], read));
        }
    }
    return QStringLiteral("select %1, %2, %3")
        .arg(remaining,
            withHighest ? QStringLiteral("(select max(%1) from %2)").arg(m_plan.table->key, m_plan.table->name)
                        : QStringLiteral("null"),
            wholeTable && !m_complete ? RowCounts::partsExpression(m_plan.table->name) : QStringLiteral("null"));
}

void KeySet::afterCount(Connection& db, const QVariant& parts) const
{
    // Not inside a transaction, which a failed fold would spoil on PostgreSQL.
    if (!parts.isNull() && parts.toInt() > RowCounts::kCompactAbove && !db.inTransaction())
        RowCounts::compact(db, m_plan.table->name);
}

Connection::Keys KeySet::read(Connection& db, const QString& statement, int limit) const
{
    return m_engine == Engine::PostgreSQL ? readPostgres(db, statement)
                                          : db.readKeys(statement, m_text, limit > 0 ? limit - 1 : -1);
}

Connection::Keys KeySet::readPostgres(Connection& db, const QString& statement) const
{
    // One row instead of a row per key: the server joins the keys, and the driver's cost per row
    // (most of the time, for a few hundred thousand keys) is paid once. Text keys come joined by
    // a control character, which the server writes several times faster than an array (whose
    // elements it must look over for quoting); a key holding that character makes the pieces
    // outnumber the keys, and the keys are then read again as an array.
    const bool sorted = m_plan.seekable && !m_plan.sortColumn.isEmpty();
    const QString ends = sorted ? QStringLiteral(", (array_agg(q.s))[count(*)]::text, (array_agg(q.s))[1]::text") : QString();
    auto read = [&](bool joined) {
        return db.select(QStringLiteral("select %1, count(*)%2 from (%3) as q")
                             .arg(joined ? QStringLiteral("string_agg(q.k, chr(1))") : QStringLiteral("array_agg(q.k)::text"),
                                 ends, statement));
    };
    Connection::Rows result = read(m_text);
    if (result.rows.isEmpty())
        return {};
    QStringList keys;
    if (m_text) {
        const int count = result.rows[0].value(1).toInt();
        keys = count == 0 ? QStringList() : result.rows[0].value(0).toString().split(QChar(1));
        if (keys.size() != count) {
            result = read(false);
            if (result.rows.isEmpty())
                return {};
            keys = Sql::parseArray(result.rows[0].value(0).toString());
        }
    } else {
        keys = Sql::parseArray(result.rows[0].value(0).toString());
    }
    const QVector<QVariant>& row = result.rows[0];
    Connection::Keys out;
    if (m_text) {
        out.texts = keys;
    } else {
        out.ints.reserve(size_t(keys.size()));
        for (const QString& key : keys)
            out.ints.push_back(key.toLongLong());
    }
    out.rows = int(keys.size());
    if (out.rows > 0) {
        out.kept << (m_text ? QVariant(keys.last()) : QVariant(keys.last().toLongLong()));
        out.first << (m_text ? QVariant(keys.first()) : QVariant(keys.first().toLongLong()));
        if (sorted) {
            out.kept << row.value(2);
            out.first << row.value(3);
        }
    }
    return out;
}

bool KeySet::takeInt(qint64 key)
{
    // Rows the database numbered after the refresh are not of this result.
    return !(m_bound && key > *m_bound) && see(key);
}

void KeySet::takeTexts(const QStringList& keys, bool lookedFor)
{
    // Texts are taken in one statement, where no key comes twice: only the keys taken before
    // it (and those this record set wrote) are looked for.
    // No reserve of the exact size: taken block after block, that would copy every key taken
    // so far with each block. Appending grows the storage by half its size or more.
    if (lookedFor || m_seenTexts.isEmpty())
        m_texts << keys;
    else
        for (const QString& key : keys)
            if (!m_seenTexts.contains(key))
                m_texts << key;
    if (m_segment + 1 < m_segments.size()) // the next segment is another statement
        for (const QString& key : keys)
            m_seenTexts.insert(key);
}

void KeySet::takeInts(const std::vector<qint64>& keys)
{
    for (qint64 key : keys) // no exact reserve, as above
        if (takeInt(key))
            m_ints.push_back(key);
}

void KeySet::readChunk(Connection& db, int limit)
{
    const Connection::Keys read = this->read(db, chunkStatement(limit), limit);
    const int before = size();
    if (m_text)
        takeTexts(read.texts);
    else
        takeInts(read.ints);
    m_sinceJump += size() - before;
    advance(limit <= 0 ? 0 : read.rows, limit, read.kept);
}

void KeySet::advance(int rows, int limit, const QVector<QVariant>& last)
{
    if (limit <= 0 || rows < limit || last.isEmpty()) {
        // This segment has no more rows: the next one starts from its beginning.
        m_anchored = false;
        if (++m_segment >= m_segments.size()) {
            m_segment = m_segments.size() - 1;
            m_complete = true;
        }
        return;
    }
    m_anchored = true;
    m_anchorKey = last.value(0);
    m_anchorSort = last.value(1);
}

KeySet::Range KeySet::cursorRange() const
{
    Range range;
    range.after = m_anchored;
    range.afterKey = m_anchorKey;
    range.afterSort = m_anchorSort;
    return range;
}

Connection::Rows KeySet::readRows(Connection& db, int limit)
{
    const PackedRows read = readPackedRows(db, limit);
    return read.packed.rows(&read.taken);
}

KeySet::PackedRows KeySet::readPackedRows(Connection& db, int limit)
{
    const QString statement = rangeStatement(m_segments[m_segment], cursorRange(), limit, 0, false, true);
    PackedRows read { m_engine == Engine::PostgreSQL ? db.selectPacked(statement, &m_wholeColumns)
                                                     : db.selectPacked(statement),
        {} };
    const QStringList& fields = read.packed.fields();
    auto column = [&](const QString& name) {
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    const int keyAt = column(m_plan.keyColumn);
    const int sortAt = m_plan.sortColumn.isEmpty() ? -1 : column(m_plan.sortColumn);
    if (keyAt < 0)
        throw DbError(QStringLiteral("结果中没有键列：%1").arg(m_plan.keyColumn));
    const int rows = read.packed.size();
    QVector<QVariant> last;
    if (rows > 0) {
        last << read.packed.value(rows - 1, keyAt);
        if (sortAt >= 0)
            last << read.packed.value(rows - 1, sortAt);
    }
    read.taken.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r) {
        const QVariant key = read.packed.value(r, keyAt);
        const bool fresh = m_text ? see(key.toString()) : takeInt(key.toLongLong());
        if (!fresh)
            continue;
        if (m_text)
            m_texts << key.toString();
        else
            m_ints.push_back(key.toLongLong());
        read.taken.push_back(r);
    }
    m_sinceJump += int(read.taken.size());
    advance(rows, limit, last);
    return read;
}

void KeySet::fillGaps(Connection& db)
{
    while (!m_gaps.isEmpty())
        fill(db, int(m_gaps.size()) - 1);
}

bool KeySet::jump(Connection& db, int index)
{
    // The row at `index` is found by skipping the rows before it inside the engine, which costs
    // it a fraction of reading their keys; the keys skipped are read when a row among them is
    // looked at.
    Range range;
    range.after = m_anchored;
    range.afterKey = m_anchorKey;
    range.afterSort = m_anchorSort;
    const Segment segment = m_segments[m_segment];
    const Connection::Keys read = this->read(db, rangeStatement(segment, range, 1, index - size()), 1);
    if (read.ints.empty() || read.kept.isEmpty())
        return false;
    const qint64 key = read.ints.front();
    if ((m_bound && key > *m_bound) || !see(key))
        return false;
    Gap gap;
    gap.begin = size();
    gap.end = index;
    gap.segment = segment;
    gap.start = range;
    gap.endKey = read.kept.value(0);
    gap.endSort = read.kept.value(1);
    m_gaps << gap;
    m_ints.resize(size_t(index), kUnknown);
    m_ints.push_back(key);
    m_sinceJump = 1;
    m_anchored = true;
    m_anchorKey = gap.endKey;
    m_anchorSort = gap.endSort;
    return true;
}

bool KeySet::readTail(Connection& db, int begin, int total)
{
    // The last rows, last first, segment by segment from the last, until there are as many as
    // places from `begin` to the end. The places between the keys read and these are a gap,
    // which must lie within the segment being read.
    const int wanted = total - begin;
    std::vector<qint64> tail; // last first
    Segment gapSegment = m_segments[m_segment];
    QVariant firstKey, firstSort;
    for (int segment = int(m_segments.size()) - 1; segment >= m_segment; --segment) {
        Range range;
        if (segment == m_segment && m_anchored) {
            range.after = true;
            range.afterKey = m_anchorKey;
            range.afterSort = m_anchorSort;
        }
        const int limit = wanted - int(tail.size());
        const Connection::Keys read = this->read(db, rangeStatement(m_segments[segment], range, limit, 0, true), limit);
        tail.insert(tail.end(), read.ints.begin(), read.ints.end());
        if (read.rows < limit)
            continue; // the whole segment is in the tail
        if (segment != m_segment || read.kept.isEmpty())
            return false; // the gap would span segments: skipped to instead
        gapSegment = m_segments[segment];
        firstKey = read.kept.value(0);
        firstSort = read.kept.value(1);
        break;
    }
    if (int(tail.size()) < wanted || !firstKey.isValid())
        return false; // fewer rows than counted before `begin`: read on from the keys taken
    std::vector<qint64> taken;
    for (auto it = tail.rbegin(); it != tail.rend(); ++it)
        if (takeInt(*it))
            taken.push_back(*it);
    Gap gap;
    gap.begin = size();
    gap.end = total - int(taken.size());
    gap.segment = gapSegment;
    gap.start.after = m_anchored;
    gap.start.afterKey = m_anchorKey;
    gap.start.afterSort = m_anchorSort;
    gap.endKey = firstKey;
    gap.endSort = firstSort;
    m_gaps << gap;
    m_ints.resize(size_t(gap.end), kUnknown);
    m_ints.insert(m_ints.end(), taken.begin(), taken.end());
    m_complete = true;
    return true;
}

void KeySet::fill(Connection& db, int gapIndex)
{
    const Gap gap = m_gaps.takeAt(gapIndex);
    Range range = gap.start;
    range.before = true;
    range.beforeKey = gap.endKey;
    range.beforeSort = gap.endSort;
    const Connection::Keys read = this->read(db, rangeStatement(gap.segment, range, 0, 0), 0);
    // The rows between the two keys now: as many as there were at the count, unless some went
    // since (their places are left as deleted ones) or came (not of this result).
    int at = gap.begin;
    for (qint64 key : read.ints)
        if (at < gap.end && takeInt(key))
            m_ints[size_t(at++)] = key;
    for (; at < gap.end; ++at)
        m_ints[size_t(at)] = kMissing;
}

void KeySet::split(Connection& db, int gapIndex, int begin, int end)
{
    // Only the places asked for are read, found by skipping inside the gap; what lies before and
    // after them stays a gap of its own.
    const Gap gap = m_gaps.takeAt(gapIndex);
    Range range = gap.start;
    range.before = true;
    range.beforeKey = gap.endKey;
    range.beforeSort = gap.endSort;
    const int wanted = end - begin;
    const Connection::Keys read = this->read(db, rangeStatement(gap.segment, range, wanted, begin - gap.begin), wanted);
    int at = begin;
    for (qint64 key : read.ints)
        if (at < end && takeInt(key))
            m_ints[size_t(at++)] = key;
    const bool exhausted = read.rows < wanted || read.kept.isEmpty();
    for (; at < (exhausted ? gap.end : end); ++at)
        m_ints[size_t(at)] = kMissing;
    if (begin > gap.begin) {
        Gap before = gap;
        before.end = begin;
        if (!read.first.isEmpty()) {
            before.endKey = read.first.value(0);
            before.endSort = read.first.value(1);
        }
        m_gaps << before;
    }
    if (!exhausted && end < gap.end) {
        Gap after = gap;
        after.begin = end;
        after.start = Range();
        after.start.after = true;
        after.start.afterKey = read.kept.value(0);
        after.start.afterSort = read.kept.value(1);
        m_gaps << after;
    }
}

void KeySet::require(Connection& db, int begin, int end, int total)
{
    while (m_feed && !m_complete && size() < end && takeFed(true)) {
    }
    if (!m_complete && size() < end) {
        const bool far = !m_text && m_plan.seekable && begin - size() >= gJumpAhead;
        // Nearer the end than the keys read: read back from the end, as the engine reads a last
        // page, instead of skipping every row before it.
        if (!(far && total - begin < begin - size() && readTail(db, begin, total))) {
            if (far)
                jump(db, begin);
            readTo(db, end - 1);
        }
    }
    for (int i = int(m_gaps.size()) - 1; i >= 0; --i) {
        const Gap& gap = m_gaps[i];
        if (gap.begin >= end || gap.end <= begin)
            continue;
        if (gap.end - gap.begin <= gJumpAhead)
            fill(db, i);
        else
            split(db, i, std::max(begin, gap.begin), std::min(end, gap.end));
    }
}

void KeySet::readTo(Connection& db, int index)
{
    while (m_feed && !m_complete && size() <= index && takeFed(true)) {
    }
    if (!m_plan.seekable) {
        readAll(db, true);
        return;
    }
    while (!m_complete && size() <= index) {
        if (!m_text && index - size() >= gJumpAhead && jump(db, index))
            continue;
        // Blocks grow with the keys read one after another, so that a walk takes few statements
        // and a jump far ahead is not followed by a large block.
        const int wanted = std::max(index + 1 - size(), m_sinceJump);
        readChunk(db, std::clamp(wanted, gFirstChunk, gLargestChunk));
    }
}

void KeySet::readAll(Connection& db, bool oneStatement)
{
    while (m_feed && !m_complete && takeFed(true)) {
    }
    while (!m_complete)
        readChunk(db, oneStatement || !m_plan.seekable ? 0 : gLargestChunk);
    while (!m_gaps.isEmpty())
        fill(db, int(m_gaps.size()) - 1);
}

void KeySet::truncate(int newSize)
{
    if (newSize >= size())
        return;
    for (int i = int(m_gaps.size()) - 1; i >= 0; --i) {
        if (m_gaps[i].begin >= newSize)
            m_gaps.removeAt(i);
        else
            m_gaps[i].end = std::min(m_gaps[i].end, newSize);
    }
    if (m_text)
        m_texts.resize(newSize);
    else
        m_ints.resize(size_t(newSize));
}

void KeySet::remove(int index)
{
    if (index < 0 || index >= size())
        return;
    for (Gap& gap : m_gaps)
        if (gap.begin > index) {
            --gap.begin;
            --gap.end;
        }
    if (m_text)
        m_texts.removeAt(index);
    else
        m_ints.erase(m_ints.begin() + index);
}

void KeySet::replace(int index, const QVariant& key)
{
    markSeen(key);
    if (index < 0 || index >= size())
        return;
    if (m_text)
        m_texts[index] = key.toString();
    else
        m_ints[size_t(index)] = key.toLongLong();
}

void KeySet::markSeen(const QVariant& key)
{
    if (key.isNull())
        return;
    if (m_text)
        see(key.toString());
    else
        see(key.toLongLong());
}

bool KeySet::see(qint64 key)
{
    if (key < 0 || key >= kBitmapKeys) {
        const auto before = m_farInts.size();
        m_farInts.insert(key);
        return m_farInts.size() != before;
    }
    const size_t word = size_t(key >> 6);
    if (word >= m_bits.size())
        m_bits.resize(std::max(word + 1, m_bits.size() * 2), 0);
    const quint64 bit = quint64(1) << (key & 63);
    if (m_bits[word] & bit)
        return false;
    m_bits[word] |= bit;
    return true;
}

KeySet::Cursor KeySet::cursor() const
{
    return Cursor { m_segment, m_anchored, m_anchorKey, m_anchorSort, m_complete, m_seenAtCopy };
}

void KeySet::keysFrom(int from, std::vector<qint64>& ints, QStringList& texts) const
{
    if (m_text) {
        texts = m_texts.mid(from);
    } else if (from < size()) {
        ints.assign(m_ints.begin() + from, m_ints.end());
    }
}

void KeySet::follow(std::shared_ptr<KeyFeed> feed)
{
    stopFollowing();
    m_feed = std::move(feed);
    takeFed(false);
}

void KeySet::stopFollowing()
{
    if (!m_feed)
        return;
    m_feed->cancel();
    m_feed.reset();
}

bool KeySet::takeFed(bool wait)
{
    if (!m_feed)
        return false;
    KeyFeed::Taken taken = m_feed->take(wait);
    if (taken.moved)
        takeHandedOver(taken.ints, taken.texts, taken.cursor);
    // Done, or failed: what is left is read here, from where that session stopped.
    if (taken.ended)
        m_feed.reset();
    return true;
}

void KeySet::takeHandedOver(const std::vector<qint64>& ints, const QStringList& texts, const Cursor& cursor)
{
    const int before = size();
    if (m_text)
        takeTexts(texts, cursor.seenAtCopy == m_seenTexts.size());
    else
        takeInts(ints);
    m_sinceJump += size() - before;
    m_segment = cursor.segment;
    m_anchored = cursor.anchored;
    m_anchorKey = cursor.anchorKey;
    m_anchorSort = cursor.anchorSort;
    m_complete = cursor.complete;
}

bool KeySet::see(const QString& key)
{
    const auto before = m_seenTexts.size();
    m_seenTexts.insert(key);
    return m_seenTexts.size() != before;
}

} // namespace store
