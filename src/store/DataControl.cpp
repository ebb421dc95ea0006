#include "DataControl.h"

#include "Connection.h"
#include "DbError.h"
#include "RecordModel.h"
#include "Sql.h"

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

bool termIsColumn(const QString& term, const QString& column)
{
    QVector<Sql::Token> tokens;
    for (const Sql::Token& t : Sql::tokenize(term))
        if (t.kind != Sql::Token::Space)
            tokens << t;
    while (!tokens.isEmpty()) {
        const QString last = term.mid(tokens.last().begin, tokens.last().length).toLower();
        if (last == "asc" || last == "desc" || last == "first" || last == "last" || last == "nulls")
            tokens.removeLast();
        else
            break;
    }
    if (tokens.isEmpty())
        return false;
    if (tokens.size() != 1 && !(tokens.size() == 3 && tokens[1].kind == Sql::Token::Dot))
        return false;
    QString name = term.mid(tokens.last().begin, tokens.last().length);
    if (tokens.last().kind == Sql::Token::QuotedName)
        name = name.mid(1, name.size() - 2);
    return name.compare(column, Qt::CaseInsensitive) == 0;
}

} // namespace

DataControl::DataControl(QObject* parent)
    : DataControl(nullptr, parent)
{
}

DataControl::DataControl(std::shared_ptr<Connection> connection, QObject* parent)
    : QObject(parent)
    , m_connection(std::move(connection))
    , m_model(new RecordModel(this))
{
}

DataControl::~DataControl() = default;

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
    m_paged.clear();
    m_reversed.clear();
    m_countStatement.clear();
    m_serverTotal = 0;
    m_knownAtLeast = 0;
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
        Connection::Rows first;
        if (!shape.isSelect || !shape.pageable) {
            first = db.select(adapted);
        } else {
            QStringList terms = shape.orderTerms;
            const QString& key = shape.table ? shape.table->key : QString();
            if (shape.table) {
                if (std::none_of(terms.begin(), terms.end(), [&](const QString& t) { return termIsColumn(t, key); }))
                    terms << key;
                m_paged = shape.head + " order by " + terms.join(", ");
                first = db.select(m_paged + QString(" limit %1 offset 0").arg(PageSize + 1));
            } else {
                first = db.select(adapted + QString(" limit %1").arg(PageSize + 1));
                if (first.rows.size() > PageSize) {
                    // Longer than one block: every column by position makes the order total.
                    for (int i = 1; i <= first.fields.size(); ++i)
                        terms << QString::number(i);
                    m_paged = shape.head + " order by " + terms.join(", ");
                    first = db.select(m_paged + QString(" limit %1 offset 0").arg(PageSize));
                    m_knownAtLeast = PageSize + 1;
                }
            }
            if (!m_paged.isEmpty()) {
                m_reversed = shape.head + " order by " + Sql::reversedTerms(terms).join(", ");
                m_countStatement = "select count(*) from (" + shape.head + ") as q";
            }
        }
        m_fields = first.fields;
        if (shape.table && fieldIndex(shape.table->key) >= 0)
            m_table = shape.table;
        for (int i = 0; i < first.rows.size(); ++i)
            m_rows.insert(i, first.rows[i]);
        if (m_paged.isEmpty() || (first.rows.size() <= PageSize && m_knownAtLeast == 0)) {
            m_paged.clear();
            m_serverTotal = first.rows.size();
        } else {
            m_serverTotal = -1;
            m_knownAtLeast = std::max<int>(m_knownAtLeast, first.rows.size());
        }
        m_open = true;
        m_position = 0;
    } catch (...) {
        close();
        m_model->endResetModel();
        Q_EMIT currentChanged();
        throw;
    }
    m_model->endResetModel();
    Q_EMIT currentChanged();
}

void DataControl::requireOpen() const
{
    if (!m_open)
        throw DbError(kClosed);
}

int DataControl::serverCount()
{
    if (m_serverTotal < 0) {
        const auto result = connection().select(m_countStatement);
        m_serverTotal = result.rows.isEmpty() ? 0 : result.rows[0].value(0).toInt();
        m_knownAtLeast = m_serverTotal;
    }
    return m_serverTotal;
}

int DataControl::knownRows() const { return m_serverTotal >= 0 ? m_serverTotal : m_knownAtLeast; }

int DataControl::recordCount()
{
    if (!m_open)
        return 0;
    return serverCount() + m_appended.size();
}

void DataControl::fetchBlock(int index)
{
    if (m_paged.isEmpty() || index < 0)
        return;
    if (m_rows.size() > kMaxCachedRows)
        m_rows.clear();
    const int offset = index / PageSize * PageSize;
    Connection& db = connection();
    int expected = PageSize;
    if (m_serverTotal >= 0) {
        expected = std::min(PageSize, m_serverTotal - offset);
        if (expected <= 0)
            return;
    }
    int fetched = 0;
    if (m_serverTotal >= 0 && offset > m_serverTotal / 2) {
        // Nearer the end: read backwards from the last row instead of skipping the rows before.
        const int skip = m_serverTotal - offset - expected;
        const auto result = db.select(m_reversed + QString(" limit %1 offset %2").arg(expected).arg(skip));
        fetched = result.rows.size();
        for (int i = 0; i < fetched; ++i)
            m_rows.insert(offset + expected - 1 - i, result.rows[i]);
        // Rows deleted by others meanwhile shift the block towards the end; the gap is at its top.
        for (int i = fetched; i < expected; ++i)
            m_rows.insert(offset + expected - 1 - i, Row());
        return;
    }
    const auto result = db.select(m_paged + QString(" limit %1 offset %2").arg(PageSize).arg(offset));
    fetched = result.rows.size();
    for (int i = 0; i < fetched; ++i)
        if (!m_rows.contains(offset + i))
            m_rows.insert(offset + i, result.rows[i]);
    if (m_serverTotal < 0) {
        m_knownAtLeast = std::max(m_knownAtLeast, offset + fetched);
        if (fetched < PageSize)
            m_serverTotal = offset + fetched;
    } else {
        for (int i = fetched; i < expected; ++i)
            m_rows.insert(offset + i, Row()); // deleted by another user since the count
    }
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
    if (m_mode == EditMode::Add && m_changes.isEmpty())
        cancel();
    else if (m_mode != EditMode::None)
        update();
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
    if (m_serverTotal >= 0 && m_position >= m_serverTotal)
        return m_appended[m_position - m_serverTotal];
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

void DataControl::setField(const QString& name, const QVariant& value)
{
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw DbError(kNoSuchField);
    currentValues();
    if (!m_table || !m_table->column(m_fields[index]))
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

QString DataControl::rowMatch(const Row& row) const
{
    const bool sqlite = m_connection->engine() == Engine::SQLite;
    QStringList parts;
    const int key = fieldIndex(m_table->key);
    parts << m_table->key + " = " + Sql::literal(row[key], m_table->column(m_table->key)->type);
    for (int i = 0; i < m_fields.size(); ++i) {
        const Column* column = m_table->column(m_fields[i]);
        if (!column || i == key)
            continue;
        parts << column->name + (sqlite ? " IS " : " IS NOT DISTINCT FROM ") + Sql::literal(row[i], column->type);
    }
    return parts.join(" AND ");
}

DataControl::Row DataControl::readBack(const QVector<QVariant>& returned, const QStringList& names) const
{
    Row row(m_fields.size());
    for (int i = 0; i < names.size(); ++i) {
        const int at = fieldIndex(names[i]);
        if (at >= 0)
            row[at] = returned.value(i);
    }
    return row;
}

void DataControl::update()
{
    requireOpen();
    Q_EMIT aboutToUpdate();
    if (m_mode == EditMode::None)
        return;
    if (!m_table)
        throw DbError(kNotUpdatable);
    Row& current = currentValues();
    QList<int> columns = m_changes.keys();
    std::sort(columns.begin(), columns.end());

    if (m_mode == EditMode::Add) {
        QStringList names, values;
        for (int i : columns) {
            const Column* column = m_table->column(m_fields[i]);
            names << column->name;
            values << Sql::literal(m_changes.value(i), column->type);
        }
        const QString statement = names.isEmpty()
            ? QString("INSERT INTO %1 DEFAULT VALUES RETURNING *").arg(m_table->name)
            : QString("INSERT INTO %1 (%2) VALUES (%3) RETURNING *").arg(m_table->name, names.join(", "), values.join(", "));
        const auto result = connection().select(statement);
        current = result.rows.isEmpty() ? Row(m_fields.size()) : readBack(result.rows[0], result.fields);
    } else {
        QStringList sets;
        for (int i : columns) {
            const Column* column = m_table->column(m_fields[i]);
            const QString value = Sql::literal(m_changes.value(i), column->type);
            if (value != Sql::literal(current[i], column->type))
                sets << column->name + " = " + value;
        }
        if (!sets.isEmpty()) {
            const auto result = connection().select(
                QString("UPDATE %1 SET %2 WHERE %3 RETURNING *").arg(m_table->name, sets.join(", "), rowMatch(current)));
            if (result.rows.isEmpty())
                throw DbError(kChangedMeanwhile);
            current = readBack(result.rows[0], result.fields);
        } else if (connection().select(QString("SELECT %1 FROM %2 WHERE %3").arg(m_table->key, m_table->name, rowMatch(current)))
                       .rows.isEmpty()) {
            // Nothing to change, but the row must still be there as it was read.
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
    const auto result = connection().select(
        QString("DELETE FROM %1 WHERE %2 RETURNING %3").arg(m_table->name, rowMatch(current), m_table->key));
    if (result.rows.isEmpty())
        throw DbError(kDeletedMeanwhile);
    m_mode = EditMode::None;
    m_changes.clear();

    const int at = m_position;
    m_model->beginRemoveRows({}, at, at);
    if (m_serverTotal >= 0 && at >= m_serverTotal) {
        m_appended.remove(at - m_serverTotal);
    } else {
        // The server's result has lost this row too: later places move up by one.
        QHash<int, Row> shifted;
        shifted.reserve(m_rows.size());
        for (auto it = m_rows.begin(); it != m_rows.end(); ++it)
            if (it.key() != at)
                shifted.insert(it.key() > at ? it.key() - 1 : it.key(), std::move(it.value()));
        m_rows = std::move(shifted);
        if (m_serverTotal >= 0)
            --m_serverTotal;
        m_knownAtLeast = std::max(0, m_knownAtLeast - 1);
    }
    m_model->endRemoveRows();
    m_onDeleted = true;
    Q_EMIT currentChanged();
}

void DataControl::cancel()
{
    if (m_mode == EditMode::Add) {
        const int at = m_serverTotal + m_appended.size() - 1;
        m_model->beginRemoveRows({}, at, at);
        m_appended.removeLast();
        m_model->endRemoveRows();
        m_mode = EditMode::None;
        m_changes.clear();
        setPosition(std::clamp(m_positionBeforeAdd, 0, std::max(0, recordCount() - 1)));
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
    if (m_serverTotal >= 0 && row >= m_serverTotal) {
        const int at = row - m_serverTotal;
        return at < m_appended.size() ? m_appended[at].value(column) : QVariant();
    }
    const Row* values = serverRow(row);
    return values ? values->value(column) : QVariant();
}

} // namespace store
