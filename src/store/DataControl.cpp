#include "DataControl.h"

#include "ChangeLog.h"
#include "Connection.h"
#include "DbError.h"
#include "KeyReader.h"
#include "Password.h"
#include "RecordModel.h"
#include "Sql.h"

#include <QScopeGuard>
#include <algorithm>

namespace store {

namespace {

// The texts the record set of the original platform gave for the same failures.
const QString kNoCurrentRow = QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前记录已被删除，所请求的操作要求一个当前的记录。");
const QString kNoSuchField = QStringLiteral("在对应所需名称或序数的集合中，未找到项目。");
const QString kNotUpdatable = QStringLiteral("当前记录集不支持更新。这可能是提供者的限制，也可能是选定锁定类型的限制。");
const QString kClosed = QStringLiteral("对象关闭时，不允许操作。");
const QString kChangedMeanwhile = QStringLiteral("该行自读取后已被其他用户修改或删除，未能保存。请刷新后重试。");
const QString kDeletedMeanwhile = QStringLiteral("该行自读取后已被其他用户修改或删除，未能删除。请刷新后重试。");

constexpr int kMaxCachedRows = 20000;
constexpr int kShortResult = 5000;
constexpr int kShortResultBlock = 500;
constexpr int kExportBlock = 1000;
constexpr int kStreamBlock = 10000; // rows a statement reads when a result is read through
int gEagerKeys = 250000;
constexpr int kWholePollMs = 10; // how often the window looks whether a whole result has come

// What a column is stored as: a password as its hash, except a new student's first password, the
// student number (`inserting` holds the number of a student row being added).
QVariant storedValue(const Table& table, const Column& column, const QVariant& value, const QVariant& inserting = {})
{
    if (!Password::isPasswordColumn(table.name, column.name))
        return value;
    const bool first = !inserting.isNull() && !value.isNull() && value.toString().trimmed() == inserting.toString().trimmed();
    return Password::storedForm(value, first);
}

} // namespace

int DataControl::eagerKeys() { return gEagerKeys; }
void DataControl::setEagerKeys(int rows) { gEagerKeys = rows; }

DataControl::DataControl(QObject* parent)
    : DataControl(nullptr, parent)
{
}

DataControl::DataControl(std::shared_ptr<Connection> connection, QObject* parent)
    : QObject(parent)
    , m_connection(std::move(connection))
    , m_model(new RecordModel(this))
    , m_wholePoll(new QTimer(this))
{
    m_wholePoll->setInterval(kWholePollMs);
    connect(m_wholePoll, &QTimer::timeout, this, &DataControl::pollWhole);
}

DataControl::~DataControl()
{
    if (m_whole)
        m_whole->cancel();
}

Connection& DataControl::connection()
{
    if (!m_connection)
        m_connection = Connection::program();
    return *m_connection;
}

void DataControl::close()
{
    m_open = false;
    m_fields.clear();
    m_table = nullptr;
    m_ownFields = 0;
    m_keyField = -1;
    m_keyed = false;
    m_numbered = false;
    m_keys.stopFollowing();
    if (m_whole)
        m_whole->cancel(); // a refresh starts over: what that session still reads is dropped
    m_whole.reset();
    m_counting = false;
    m_wholePoll->stop();
    m_total = 0;
    m_rows.clear();
    m_appended.clear();
    m_position = -1;
    m_onDeleted = false;
    m_mode = EditMode::None;
    m_changes.clear();
}

void DataControl::refresh()
{
    m_model->beginResetModel();
    close();
    try {
        Connection& db = connection();
        const QString statement
            = m_commandType == CommandType::Table ? QStringLiteral("select * from ") + m_source.trimmed() : m_source;
        const QString adapted = Sql::adapt(statement, db.engine());
        const Sql::SelectShape shape = Sql::analyse(adapted);
        const auto plan = shape.isSelect && shape.pageable ? KeySet::plan(shape) : std::nullopt;
        Connection::Rows first;
        if (!plan && !m_resultOrder.isEmpty() && shape.isSelect && shape.pageable && shape.orderTerms.isEmpty()) {
            const QString ordered
                = QStringLiteral("select * from (%1) as g order by %2").arg(adapted, m_resultOrder);
            if (db.engine() == Engine::PostgreSQL) {
                // The first block of the order costs the engine a few milliseconds where an index
                // leads the grouping (only when the order and the limit are the statement's own:
                // the engine does not carry a limit into a subquery); the whole, for the count, is
                // read on a session of its own, grouped once and then ordered (the grouping fenced
                // off, so that the engine groups by hashing rather than sorting every row).
                first = db.select(adapted + QStringLiteral(" order by %1 limit %2").arg(m_resultOrder).arg(PageSize + 1));
                if (first.rows.size() > PageSize) {
                    first.rows.resize(PageSize);
                    m_counting = true;
                    m_wholeStatement = QStringLiteral("with g as materialized (%1) select * from g order by %2")
                                           .arg(adapted, m_resultOrder);
                }
            } else {
                // SQLite groups through a temporary table before it gives the first group: the
                // first block costs nearly what the whole does, so the whole is read at once.
                first = db.selectAll(ordered);
            }
        } else if (!plan) {
            first = db.selectAll(adapted);
        } else {
            first = db.select(shape.head + QStringLiteral(" order by ") + plan->orderBy
                + QStringLiteral(" limit %1").arg(PageSize + 1));
        }
        m_fields = first.fields;
        if (plan)
            m_keyField = fieldIndex(plan->keyColumn);
        if (plan && m_keyField >= 0) {
            // The table's own columns come first in a join; only they are written.
            const Table* table = plan->table;
            m_ownFields = shape.joined ? int(table->columns.size()) : int(m_fields.size());
            bool own = m_ownFields <= m_fields.size();
            for (int i = 0; own && shape.joined && i < m_ownFields; ++i)
                own = m_fields[i].compare(table->columns[i].name, Qt::CaseInsensitive) == 0;
            if (own && table->name != ChangeLog::table()) // change records are never written back
                m_table = table;
        }
        if (plan && m_keyField >= 0 && first.rows.size() > PageSize) {
            m_keyed = true;
            m_keys.start(*plan, db.engine());
            m_keyType = plan->table->column(plan->keyColumn)->type;
            m_fetchHead = QStringLiteral("select * from ") + plan->from + QStringLiteral(" where ") + plan->keyExpr
                + QStringLiteral(" in (");
            first.rows.resize(PageSize);
            // The database numbers new rows upwards: rows numbered after the count are not part of
            // this result.
            m_numbered = plan->table->identity && !plan->textKeys;
            if (plan->seekable) {
                QVector<QVariant> keys;
                for (const Row& row : first.rows)
                    keys << row[m_keyField];
                const int sortField = plan->sortColumn.isEmpty() ? -1 : fieldIndex(plan->sortColumn);
                m_keys.takeFirst(keys, sortField >= 0 ? first.rows.last()[sortField] : QVariant());
                for (int i = 0; i < first.rows.size(); ++i)
                    m_rows.insert(i, first.rows[i]);
                m_total = -1;
            } else {
                // Every key at once; the rows are read by key like any other block.
                m_keys.readAll(db, true);
                m_total = m_keys.size();
            }
        } else {
            for (int i = 0; i < first.rows.size(); ++i)
                m_rows.insert(i, first.rows[i]);
            m_total = first.rows.size();
            if (m_counting) {
                m_total = -1;
                m_whole = db.keyReaders().startWhole(m_wholeStatement);
                m_wholePoll->start();
            }
        }
        m_open = true;
        m_position = 0;
    } catch (...) {
        close();
        m_readFailed = true;
        m_model->endResetModel();
        Q_EMIT currentChanged();
        throw;
    }
    m_readFailed = false;
    m_model->endResetModel();
    Q_EMIT currentChanged();
}

void DataControl::refreshAfter(const DbError& told)
{
    try {
        refresh();
    } catch (const DbError&) {
        if (told.isRefusal())
            throw;
    }
}

void DataControl::requireOpen()
{
    if (m_open)
        return;
    // A record set whose statement could not be run (the server was gone) runs it again when it
    // is next used: the action works now, or tells why it cannot.
    if (!m_readFailed)
        throw DbError(kClosed);
    refresh();
}

int DataControl::serverCount()
{
    if (m_counting)
        takeWhole(true);
    if (m_total >= 0)
        return m_total;
    Connection& db = connection();
    // A code list (keys that are small whole numbers: a few thousand rows at most) takes its keys
    // here at once, sooner than another session could begin.
    if (m_keyType == ColumnType::SmallInt) {
        m_keys.readAll(db, true);
        m_total = m_keys.size();
        return m_total;
    }
    // The rows after the first block are counted, and their keys taken, on a session of its own
    // in one snapshot of the database, so that count and keys agree; the window goes on while the
    // keys come. A result too large to take all its keys (only numbered keys tell rows added
    // later apart) takes them as its rows are reached, within the table's highest key at the count.
    const int held = m_keys.size();
    std::shared_ptr<KeyFeed> feed = db.keyReaders().start(m_keys, m_numbered, gEagerKeys);
    if (const auto counted = feed->count()) {
        if (counted->highest)
            m_keys.setBound(*counted->highest);
        if (counted->keysFollow)
            m_keys.follow(std::move(feed));
        m_total = m_keys.complete() ? m_keys.size() : held + counted->after;
        return m_total;
    }
    // That session could not (it could not be opened, or the server went): the same here.
    if (!m_numbered) {
        m_keys.readAll(db, true);
        m_total = m_keys.size();
        return m_total;
    }
    const QVector<QVariant> row = db.select(m_keys.remainingCountStatement(true, db.keepsRowCounts())).rows.value(0);
    m_keys.afterCount(db, row.value(2));
    const int after = row.value(0).toInt();
    if (held + after <= gEagerKeys) {
        m_keys.readAll(db, true);
        m_total = m_keys.size();
        return m_total;
    }
    if (!row.value(1).isNull())
        m_keys.setBound(row.value(1).toLongLong());
    m_total = held + after;
    return m_total;
}

int DataControl::knownRows() const
{
    if (m_counting)
        return int(m_rows.size());
    return m_total >= 0 ? m_total : m_keys.size();
}

bool DataControl::takeWhole(bool wait)
{
    if (!m_counting)
        return true;
    if (m_whole) {
        KeyFeed::Whole whole = m_whole->takeWhole(wait);
        if (!whole.ended)
            return false;
        m_whole.reset();
        m_wholePoll->stop();
        if (whole.read) {
            applyWhole(std::move(whole.rows));
            return true;
        }
    }
    // That session could not (it could not be opened, or the server went): the same here. A
    // failure is thrown, and the next use tries again.
    m_wholePoll->stop();
    applyWhole(connection().selectAll(m_wholeStatement));
    return true;
}

void DataControl::applyWhole(Connection::Rows whole)
{
    // The whole result takes the place of the first block read before it: the rows a window
    // shows are all of one result, whatever others wrote in between.
    const int before = int(m_rows.size());
    const int after = int(whole.rows.size());
    auto take = [&] {
        m_rows.clear();
        m_rows.reserve(after);
        for (int i = 0; i < after; ++i)
            m_rows.insert(i, std::move(whole.rows[i]));
        m_total = after;
        m_counting = false;
    };
    if (after > before) {
        m_model->beginInsertRows({}, before, after - 1);
        take();
        m_model->endInsertRows();
    } else if (after < before) {
        m_model->beginRemoveRows({}, after, before - 1);
        take();
        m_model->endRemoveRows();
    } else {
        take();
    }
    const int shown = std::min(before, after);
    if (shown > 0 && !m_fields.isEmpty())
        Q_EMIT m_model->dataChanged(m_model->index(0, 0), m_model->index(shown - 1, int(m_fields.size()) - 1));
    if (m_position > after)
        m_position = after;
    Q_EMIT currentChanged();
    Q_EMIT counted();
}

void DataControl::pollWhole()
{
    try {
        takeWhole(false);
    } catch (const DbError& error) {
        // Told as a read for the view that failed; the count is read again when next needed.
        m_model->readFailed(error);
    }
}

int DataControl::recordCount()
{
    if (!m_open)
        return 0;
    return serverCount() + m_appended.size();
}

void DataControl::fetchBlock(int index)
{
    if (!m_keyed || index < 0)
        return;
    Connection& db = connection();
    const int total = serverCount();
    if (index >= total)
        return;
    if (m_rows.size() > kMaxCachedRows)
        m_rows.clear();
    // A short result (a code list, which a combo's completer reads whole) comes in a few
    // large blocks rather than many small ones.
    const int block = total <= kShortResult && m_keys.complete() ? kShortResultBlock : PageSize;
    const int begin = index / block * block;
    const int end = std::min(begin + block, total);
    m_keys.require(db, begin, end, total);
    // Rows that went since the count leave the membership short; rows that came since, long.
    if (m_keys.complete() && m_keys.size() > total)
        m_keys.truncate(total);

    QStringList literals;
    QHash<QString, int> places;
    for (int at = begin; at < end; ++at) {
        if (m_rows.contains(at))
            continue;
        const QVariant key = m_keys.at(at);
        if (key.isNull()) {
            m_rows.insert(at, Row()); // deleted since the count
            continue;
        }
        literals << Sql::literal(key, m_keyType);
        places.insert(key.toString(), at);
    }
    if (literals.isEmpty())
        return;
    const auto read = db.select(m_fetchHead + literals.join(QStringLiteral(", ")) + QStringLiteral(")"));
    for (const Row& row : read.rows) {
        const auto place = places.constFind(row.value(m_keyField).toString());
        if (place != places.constEnd() && !m_rows.contains(*place))
            m_rows.insert(*place, row);
    }
    // A key that found no row: the row was deleted since the refresh.
    for (int at : std::as_const(places))
        if (!m_rows.contains(at))
            m_rows.insert(at, Row());
}

const DataControl::Row* DataControl::serverRow(int index)
{
    auto it = m_rows.constFind(index);
    if (it == m_rows.constEnd()) {
        fetchBlock(index);
        it = m_rows.constFind(index);
        if (it == m_rows.constEnd())
            return nullptr;
    }
    return &*it;
}

bool DataControl::bof()
{
    if (!m_open || (knownRows() == 0 && m_appended.isEmpty()))
        return true;
    return m_position < 0;
}

bool DataControl::eof()
{
    if (!m_open || (knownRows() == 0 && m_appended.isEmpty()))
        return true;
    if (m_position < knownRows())
        return false;
    return m_position >= recordCount();
}

int DataControl::currentRow()
{
    if (m_onDeleted || bof() || eof())
        return -1;
    return m_position;
}

void DataControl::setPosition(int position)
{
    m_position = position;
    m_onDeleted = false;
    Q_EMIT currentChanged();
}

void DataControl::commitPendingBeforeMove()
{
    Q_EMIT aboutToUpdate(); // what is still being typed belongs to the row being left
    if (m_mode == EditMode::Add && m_changes.isEmpty())
        cancel();
    else if (m_mode != EditMode::None)
        update();
}

void DataControl::writePending()
{
    requireOpen();
    commitPendingBeforeMove();
}

void DataControl::moveFirst()
{
    requireOpen();
    commitPendingBeforeMove();
    setPosition(0);
}

void DataControl::moveLast()
{
    requireOpen();
    commitPendingBeforeMove();
    setPosition(std::max(0, recordCount() - 1));
}

void DataControl::moveNext()
{
    requireOpen();
    if (m_onDeleted) { // the row after the deleted one has moved into its place
        setPosition(m_position);
        return;
    }
    if (eof())
        throw DbError(kNoCurrentRow);
    commitPendingBeforeMove();
    setPosition(m_position + 1);
}

void DataControl::movePrevious()
{
    requireOpen();
    if (!m_onDeleted && bof())
        throw DbError(kNoCurrentRow);
    commitPendingBeforeMove();
    setPosition(m_position - 1);
}

void DataControl::moveTo(int row)
{
    requireOpen();
    if (row == m_position && !m_onDeleted)
        return;
    commitPendingBeforeMove();
    setPosition(std::clamp(row, 0, std::max(0, recordCount() - 1)));
}

int DataControl::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void DataControl::checkCurrent()
{
    requireOpen();
    if (currentRow() < 0)
        throw DbError(kNoCurrentRow);
}

DataControl::Row& DataControl::currentValues()
{
    checkCurrent();
    const int total = serverCount();
    if (m_position >= total)
        return m_appended[m_position - total];
    const Row* row = serverRow(m_position);
    if (!row || row->isEmpty())
        throw DbError(kNoCurrentRow);
    return const_cast<Row&>(*row);
}

QVariant DataControl::field(const QString& name)
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw DbError(kNoSuchField);
    Row& row = currentValues();
    if (m_mode != EditMode::None && m_changes.contains(index))
        return m_changes.value(index);
    return row.value(index);
}

bool DataControl::isWritable(int field) const
{
    return m_table && field >= 0 && field < m_ownFields && m_table->column(m_fields[field]);
}

void DataControl::setField(const QString& name, const QVariant& value)
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw DbError(kNoSuchField);
    currentValues();
    if (!isWritable(index))
        throw DbError(kNotUpdatable);
    if (m_mode == EditMode::None)
        m_mode = EditMode::Edit;
    m_changes.insert(index, value);
    const QModelIndex changed = m_model->index(m_position, index);
    Q_EMIT m_model->dataChanged(changed, changed);
    Q_EMIT currentChanged();
}

void DataControl::addNew()
{
    requireOpen();
    if (!m_table)
        throw DbError(kNotUpdatable);
    commitPendingBeforeMove();
    const int at = recordCount();
    m_positionBeforeAdd = m_position;
    m_model->beginInsertRows({}, at, at);
    m_appended.push_back(Row(m_fields.size()));
    m_model->endInsertRows();
    m_mode = EditMode::Add;
    m_changes.clear();
    m_position = at;
    m_onDeleted = false;
    Q_EMIT currentChanged();
}

QVariant DataControl::currentKey(const Row& row) const { return row.value(m_keyField); }

void DataControl::overlay(Row& row, const QVector<QVariant>& returned, const QStringList& names) const
{
    // What the table holds now, over what was read: in a join the other tables' columns stay.
    for (int i = 0; i < names.size(); ++i) {
        const int at = fieldIndex(names[i]);
        if (at >= 0 && at < m_ownFields)
            row[at] = returned.value(i);
    }
}

void DataControl::update()
{
    requireOpen();
    Q_EMIT aboutToUpdate();
    if (m_mode == EditMode::None)
        return;
    try {
        writeCurrent();
    } catch (const DbError& error) {
        // A write whose reply was lost may be stored already: it is dropped, so that nothing
        // (moving off the row, a second press) ever sends it again.
        if (error.kind() == DbError::Kind::OutcomeUnknown)
            cancel();
        throw;
    }
}

void DataControl::writeCurrent()
{
    if (!m_table)
        throw DbError(kNotUpdatable);
    Row& current = currentValues();
    QList<int> columns = m_changes.keys();
    std::sort(columns.begin(), columns.end());
    const Column* key = m_table->column(m_table->key);

    if (m_mode == EditMode::Add) {
        QStringList names, values;
        ChangeLog::Row written;
        const int numberField = m_table->name == QStringLiteral("学生个人信息表") ? fieldIndex(QStringLiteral("学号")) : -1;
        const QVariant number = numberField >= 0 ? m_changes.value(numberField) : QVariant();
        for (int i : columns) {
            const Column* column = m_table->column(m_fields[i]);
            const QVariant value = storedValue(*m_table, *column, m_changes.value(i), number);
            names << column->name;
            values << Sql::literal(value, *column);
            written.fields << column->name;
            written.values << ChangeLog::asWritten(value, column->type);
        }
        const QString statement = names.isEmpty()
            ? QString("INSERT INTO %1 DEFAULT VALUES RETURNING *").arg(m_table->name)
            : QString("INSERT INTO %1 (%2) VALUES (%3) RETURNING *").arg(m_table->name, names.join(", "), values.join(", "));
        // The row and its change record are stored together or not at all.
        const auto result = ChangeLog::execute(connection(), statement, { ChangeLog::inserted(m_table->name, written) });
        Row stored(m_fields.size());
        if (!result.rows.isEmpty())
            overlay(stored, result.rows[0], result.fields);
        current = stored;
        if (m_keyed)
            m_keys.markSeen(currentKey(current)); // it stays where it was added, not where it sorts
    } else {
        // The row is found by its key; the columns this save changes must still hold what was
        // read. A change someone else made to another column is no conflict and stays.
        QStringList sets;
        ChangeLog::Row written;
        QStringList match { key->name + " = " + Sql::literal(currentKey(current), key->type) };
        const bool sqlite = connection().engine() == Engine::SQLite;
        for (int i : columns) {
            const Column* column = m_table->column(m_fields[i]);
            const QVariant stored = storedValue(*m_table, *column, m_changes.value(i));
            const QString value = Sql::literal(stored, *column);
            const QString read = Sql::literal(current[i], column->type);
            if (value == read)
                continue;
            sets << column->name + " = " + value;
            written.fields << column->name;
            written.values << ChangeLog::asWritten(stored, column->type);
            if (i != m_keyField)
                match << column->name + (sqlite ? " IS " : " IS NOT DISTINCT FROM ") + read;
        }
        const QString where = match.join(" AND ");
        if (!sets.isEmpty()) {
            // The change and its records are stored together or not at all. The columns it sets
            // held what was read, or nothing is written: the values before are those read.
            const auto result = ChangeLog::execute(connection(),
                QString("UPDATE %1 SET %2 WHERE %3 RETURNING *").arg(m_table->name, sets.join(", "), where),
                ChangeLog::updated(m_table->name, { m_fields, current }, written, written.fields));
            if (result.rows.isEmpty())
                throw DbError(kChangedMeanwhile);
            const QVariant oldKey = currentKey(current);
            overlay(current, result.rows[0], result.fields);
            if (m_keyed && currentKey(current) != oldKey && m_position < m_keys.size())
                m_keys.replace(m_position, currentKey(current));
        } else if (connection().select(QString("SELECT %1 FROM %2 WHERE %3").arg(key->name, m_table->name, where)).rows.isEmpty()) {
            // Nothing to change, but the row must still be there.
            throw DbError(kChangedMeanwhile);
        }
    }
    m_mode = EditMode::None;
    m_changes.clear();
    Q_EMIT m_model->dataChanged(m_model->index(m_position, 0), m_model->index(m_position, m_fields.size() - 1));
    Q_EMIT currentChanged();
}

void DataControl::remove()
{
    requireOpen();
    if (m_mode == EditMode::Add) {
        cancel();
        return;
    }
    if (!m_table)
        throw DbError(kNotUpdatable);
    const Row current = currentValues();
    const Column* key = m_table->column(m_table->key);
    // The deletion and its record are stored together or not at all; the record keeps the row's
    // last values.
    const auto result = ChangeLog::execute(connection(),
        QString("DELETE FROM %1 WHERE %2 = %3 RETURNING *").arg(m_table->name, key->name, Sql::literal(currentKey(current), key->type)),
        [this](const Connection::Rows& deleted) {
            return QVector<ChangeLog::Entry> { ChangeLog::deleted(m_table->name, { deleted.fields, deleted.rows.first() }) };
        });
    if (result.rows.isEmpty())
        throw DbError(kDeletedMeanwhile);
    m_mode = EditMode::None;
    m_changes.clear();

    const int at = m_position;
    const int total = serverCount();
    m_model->beginRemoveRows({}, at, at);
    if (at >= total) {
        m_appended.remove(at - total);
    } else {
        // The row leaves this result: the rows after it move up by one, in the keys as in the cache.
        if (m_keyed)
            m_keys.remove(at);
        QHash<int, Row> shifted;
        shifted.reserve(m_rows.size());
        for (auto it = m_rows.begin(); it != m_rows.end(); ++it)
            if (it.key() != at)
                shifted.insert(it.key() > at ? it.key() - 1 : it.key(), std::move(it.value()));
        m_rows = std::move(shifted);
        --m_total;
    }
    m_model->endRemoveRows();
    m_onDeleted = true;
    Q_EMIT currentChanged();
}

void DataControl::cancel()
{
    if (m_mode == EditMode::Add) {
        const int at = knownRows() + m_appended.size() - 1;
        m_model->beginRemoveRows({}, at, at);
        m_appended.removeLast();
        m_model->endRemoveRows();
        m_mode = EditMode::None;
        m_changes.clear();
        setPosition(std::clamp(m_positionBeforeAdd, 0, std::max(0, knownRows() + int(m_appended.size()) - 1)));
        return;
    }
    if (m_mode == EditMode::Edit) {
        m_mode = EditMode::None;
        m_changes.clear();
        Q_EMIT m_model->dataChanged(m_model->index(m_position, 0), m_model->index(m_position, m_fields.size() - 1));
        Q_EMIT currentChanged();
    }
}

QVariant DataControl::valueAt(int row, int column)
{
    if (!m_open || row < 0 || column < 0 || column >= m_fields.size())
        return {};
    if (row == m_position && !m_onDeleted && m_mode != EditMode::None && m_changes.contains(column))
        return m_changes.value(column);
    if (m_counting) {
        // The first block is shown while the rest is being read.
        if (const auto it = m_rows.constFind(row); it != m_rows.constEnd())
            return it->value(column);
    }
    const int total = serverCount();
    if (row >= total) {
        const int at = row - total;
        return at < m_appended.size() ? m_appended[at].value(column) : QVariant();
    }
    const Row* values = serverRow(row);
    return values ? values->value(column) : QVariant();
}

bool DataControl::cachedValue(int row, int column, QVariant& value) const
{
    if (!m_open || row < 0 || column < 0 || column >= m_fields.size())
        return false;
    const auto it = m_rows.constFind(row);
    if (it == m_rows.constEnd() || it->isEmpty())
        return false;
    value = row == m_position && !m_onDeleted && m_mode != EditMode::None && m_changes.contains(column)
        ? m_changes.value(column)
        : it->value(column);
    return true;
}

void DataControl::forEachRow(const std::function<bool(const QVector<QVariant>&)>& visit)
{
    requireOpen();
    const int total = serverCount();
    auto shown = [this](int at, Row row) {
        if (at == m_position && !m_onDeleted && m_mode != EditMode::None && !row.isEmpty())
            for (auto it = m_changes.constBegin(); it != m_changes.constEnd(); ++it)
                row[it.key()] = it.value();
        return row;
    };
    if (!m_keyed) {
        for (int at = 0; at < total; ++at)
            if (!visit(shown(at, m_rows.value(at))))
                return;
    } else {
        Connection& db = connection();
        // PostgreSQL's driver costs most per statement and per row: larger blocks, each sent back
        // as arrays.
        const bool postgres = db.engine() == Engine::PostgreSQL;
        const int blockSize = postgres ? kExportBlock * 10 : kExportBlock;
        // Keys a reader is taking are waited for, and keys skipped by a jump are taken now: the
        // rows of the keys taken are read by key. The rows after them are read in order, whole,
        // their keys taken as they come, as browsing would take them: a large result is read
        // through once instead of key by key.
        if (m_keys.following())
            m_keys.readAll(db, false);
        m_keys.fillGaps(db);
        if (m_keys.complete() && m_keys.size() > total)
            m_keys.truncate(total);
        const int known = std::min(m_keys.size(), total);
        for (int begin = 0; begin < known; begin += blockSize) {
            const int end = std::min(begin + blockSize, known);
            QStringList literals;
            for (int at = begin; at < end; ++at)
                if (const QVariant key = m_keys.at(at); !key.isNull())
                    literals << (postgres && m_keyType != ColumnType::Text ? key.toString() : Sql::literal(key, m_keyType));
            QHash<QString, Row> byKey;
            if (!literals.isEmpty()) {
                // Ten thousand numbers go to PostgreSQL as one array literal, which neither side
                // has to take apart value by value.
                const QString statement = postgres && m_keyType != ColumnType::Text
                    ? m_fetchHead.chopped(4) + QStringLiteral(" = any('{") + literals.join(u',') + QStringLiteral("}'::bigint[])")
                    : m_fetchHead + literals.join(QStringLiteral(", ")) + QStringLiteral(")");
                const auto read = postgres ? db.selectAll(statement) : db.select(statement);
                byKey.reserve(read.rows.size());
                for (const Row& row : read.rows)
                    byKey.insert(row.value(m_keyField).toString(), row);
            }
            for (int at = begin; at < end; ++at) {
                const QVariant key = m_keys.at(at);
                if (!visit(shown(at, key.isNull() ? Row() : byKey.value(key.toString()))))
                    return;
            }
        }
        // A session of its own reads them, a few blocks ahead, while the rows read are handed on;
        // what it cannot read is read here.
        int at = known;
        std::shared_ptr<KeyFeed> feed;
        if (at < total && !m_keys.complete())
            feed = db.keyReaders().startRows(m_keys, kStreamBlock);
        const auto stop = qScopeGuard([&] {
            if (feed)
                feed->cancel();
        });
        while (at < total && !m_keys.complete()) {
            QVector<Row> rows;
            if (feed) {
                KeyFeed::Taken taken = feed->take(true);
                if (taken.moved)
                    m_keys.takeHandedOver(taken.ints, taken.texts, taken.cursor);
                rows = std::move(taken.rows);
                if (taken.ended)
                    feed.reset();
            } else {
                rows = m_keys.readRows(db, std::max(blockSize, kStreamBlock)).rows;
            }
            for (const Row& row : std::as_const(rows)) {
                if (at >= total)
                    break;
                if (!visit(shown(at++, row)))
                    return;
            }
        }
        // Rows that went since the count leave their places empty.
        for (; at < total; ++at)
            if (!visit(shown(at, Row())))
                return;
    }
    for (int i = 0; i < m_appended.size(); ++i)
        if (!visit(shown(total + i, m_appended[i])))
            return;
}

} // namespace store
