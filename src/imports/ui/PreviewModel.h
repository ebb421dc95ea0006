#pragma once

#include "imports/ImportPlan.h"

#include <QAbstractTableModel>
#include <vector>

namespace imports {

// The preview of an import: one line per row of the file with its verdict, read straight from
// the plan when the view asks for it, so that a file of a million rows shows as fast as one of ten.
// Columns: 行号, 结果, the row's key values, 说明. It can show only the rows in error.
class PreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PreviewModel(QObject* parent = nullptr);

    void setPlan(const Plan* plan);
    void setOnlyErrors(bool only);
    bool onlyErrors() const { return m_onlyErrors; }
    // The row of the plan shown at a line of the view.
    int planRow(int viewRow) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const Plan* m_plan = nullptr;
    bool m_onlyErrors = false;
    std::vector<int> m_errorRows;
};

} // namespace imports
