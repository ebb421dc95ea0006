#include "RecordModel.h"

#include "DataControl.h"
#include "DbError.h"
#include "Value.h"

namespace store {

namespace {

// How long a view shows only the rows at hand after a read failed. A screen of cells would
// otherwise each ask the server in turn, each waiting for a connection that is not there.
constexpr qint64 kPauseAfterFailureMs = 2000;

} // namespace

RecordModel::RecordModel(DataControl* control)
    : QAbstractTableModel(control)
    , m_control(control)
    , m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(int(kPauseAfterFailureMs) + 100);
    connect(m_retry, &QTimer::timeout, this, &RecordModel::tryAgain);
    connect(this, &QAbstractItemModel::modelReset, this, [this] {
        m_failedAt.invalidate();
        m_retry->stop();
    });
}

bool RecordModel::pausedAfterFailure() const
{
    return m_failedAt.isValid() && m_failedAt.elapsed() < kPauseAfterFailureMs;
}

void RecordModel::readFailed(const DbError& error) const
{
    m_failedAt.start();
    m_retry->start();
    if (m_failureTold)
        return;
    m_failureTold = true;
    // Reads fail while a view paints: the message waits until the painting is done.
    QMetaObject::invokeMethod(
        const_cast<RecordModel*>(this), [self = const_cast<RecordModel*>(this), text = error.text()] { Q_EMIT self->failed(text); },
        Qt::QueuedConnection);
}

void RecordModel::readWorked() const
{
    if (!m_failedAt.isValid())
        return;
    m_failedAt.invalidate();
    m_failureTold = false; // the next loss is a new one
}

void RecordModel::tryAgain()
{
    // The views paint their rows again, which reads what they show.
    const int rows = m_control->isOpen() ? m_control->knownRows() + int(m_control->m_appended.size()) : 0;
    if (rows > 0 && columnCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rows - 1, columnCount() - 1), { Qt::DisplayRole, Qt::EditRole });
}

int RecordModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_control->isOpen())
        return 0;
    // A count still being read beside the window is not waited for: the view shows the rows at
    // hand and is told of the rest when they come.
    if (!pausedAfterFailure() && m_control->countKnown()) {
        try {
            return m_control->recordCount();
        } catch (const DbError& error) {
            readFailed(error);
        }
    }
    return m_control->knownRows() + m_control->m_appended.size();
}

int RecordModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_control->fieldCount(); }

QVariant RecordModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    QVariant value;
    if (!m_control->cachedValue(index.row(), index.column(), value)) {
        if (pausedAfterFailure())
            return {};
        try {
            value = m_control->valueAt(index.row(), index.column());
            readWorked();
        } catch (const DbError& error) {
            readFailed(error);
            return {};
        }
    }
    return role == Qt::DisplayRole ? QVariant(displayText(value)) : value;
}

QVariant RecordModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    const QString field = m_control->fieldName(section);
    return m_captions.value(field, field);
}

Qt::ItemFlags RecordModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && m_editable && m_control->isUpdatable()
        && !m_locked.contains(m_control->fieldName(index.column())))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool RecordModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    try {
        if (m_control->currentRow() != index.row())
            m_control->moveTo(index.row());
        const QVariant old = m_control->valueAt(index.row(), index.column());
        if (old.isNull() && value.toString().isEmpty())
            return true; // an untouched empty cell stays null
        m_control->setField(m_control->fieldName(index.column()), value);
        return true;
    } catch (const DbError& error) {
        Q_EMIT failed(error.text());
        return false;
    }
}

void RecordModel::setEditable(bool editable)
{
    m_editable = editable; // views ask for the flags when an edit starts
}

void RecordModel::setLockedFields(const QStringList& fields) { m_locked = QSet<QString>(fields.begin(), fields.end()); }

void RecordModel::setCaption(const QString& field, const QString& caption)
{
    m_captions.insert(field, caption);
    const int at = m_control->fieldIndex(field);
    if (at >= 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, at, at);
}

} // namespace store
