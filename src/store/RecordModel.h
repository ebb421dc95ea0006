#pragma once

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QTimer>

namespace store {

class DataControl;
class DbError;

// The rows of a data control as a table model, for grids and data combos. Rows are fetched
// only when a view asks for them.
class RecordModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordModel(DataControl* control);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Grid settings: whether cells take input, which fields never do, the captions to show.
    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }
    void setLockedFields(const QStringList& fields);
    void setCaption(const QString& field, const QString& caption);

    DataControl* control() const { return m_control; }

Q_SIGNALS:
    // A cell edit the record set refused, or a read for the view that failed (told once until
    // reads work again, and never from inside a paint), with the store's text.
    void failed(const QString& text);

private:
    friend class DataControl;
    // True for a while after the database failed a read for the view; cleared by a reset.
    bool pausedAfterFailure() const;
    // A read for the view failed: told once until reads work again, and tried again after the
    // pause, so that the rows show as soon as the server answers.
    void readFailed(const DbError& error) const;
    void readWorked() const;
    void tryAgain();

    DataControl* m_control;
    mutable QElapsedTimer m_failedAt;
    mutable bool m_failureTold = false;
    QTimer* m_retry;
    bool m_editable = false;
    QSet<QString> m_locked;
    QHash<QString, QString> m_captions;
};

} // namespace store
