#include "PreviewModel.h"

#include <QBrush>
#include <QColor>

namespace imports {

PreviewModel::PreviewModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void PreviewModel::setPlan(const Plan* plan)
{
    beginResetModel();
    m_plan = plan;
    m_errorRows.clear();
    if (plan)
        for (int row = 0; row < plan->rows(); ++row)
            if (plan->verdict(row) == Verdict::Error)
                m_errorRows.push_back(row);
    endResetModel();
}

void PreviewModel::setOnlyErrors(bool only)
{
    if (only == m_onlyErrors)
        return;
    beginResetModel();
    m_onlyErrors = only;
    endResetModel();
}

int PreviewModel::planRow(int viewRow) const
{
    if (!m_plan || viewRow < 0)
        return -1;
    if (m_onlyErrors)
        return viewRow < int(m_errorRows.size()) ? m_errorRows[viewRow] : -1;
    return viewRow < m_plan->rows() ? viewRow : -1;
}

int PreviewModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_plan)
        return 0;
    return m_onlyErrors ? int(m_errorRows.size()) : m_plan->rows();
}

int PreviewModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_plan)
        return 0;
    return 3 + int(Plan::keyCaptions(m_plan->kind).size());
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const
{
    const int row = planRow(index.row());
    if (row < 0)
        return {};
    const int keys = int(Plan::keyCaptions(m_plan->kind).size());
    const Verdict verdict = m_plan->verdict(row);
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (index.column() == 0)
            return m_plan->line(row);
        if (index.column() == 1)
            return verdictText(verdict);
        if (index.column() <= keys + 1)
            return m_plan->keyValues(row).value(index.column() - 2);
        return m_plan->reason(row);
    }
    if (role == Qt::ForegroundRole && index.column() == 1) {
        switch (verdict) {
        case Verdict::New: return QBrush(QColor(0, 128, 0));
        case Verdict::Changed: return QBrush(QColor(0, 64, 192));
        case Verdict::Unchanged: return QBrush(QColor(96, 96, 96));
        case Verdict::Error: return QBrush(QColor(192, 0, 0));
        }
    }
    if (role == Qt::ForegroundRole && verdict == Verdict::Error && index.column() == keys + 2)
        return QBrush(QColor(192, 0, 0));
    if (role == Qt::TextAlignmentRole && index.column() == 0)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !m_plan)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QStringList keys = Plan::keyCaptions(m_plan->kind);
    if (section == 0)
        return QStringLiteral("行号");
    if (section == 1)
        return QStringLiteral("结果");
    if (section <= keys.size() + 1)
        return keys.value(section - 2);
    return QStringLiteral("说明");
}

} // namespace imports
