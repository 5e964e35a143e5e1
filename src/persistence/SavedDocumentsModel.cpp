#include "persistence/SavedDocumentsModel.h"

#include <QStringList>

#include <algorithm>
#include <numeric>

int SavedDocumentsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SavedDocumentsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const QString &SavedDocumentsModel::textOf(const SavedDocumentRow &row, int column)
{
    switch (column) {
    case EditDate: return row.editDate;
    case Date: return row.date;
    case PatientId: return row.patientId;
    case PatientName: return row.patientName;
    case Kind: return row.kind;
    default: return row.id;
    }
}

QString SavedDocumentsModel::text(int r, int column) const
{
    if (r < 0 || r >= m_rows.size() || column < 0 || column >= ColumnCount)
        return QString();
    return textOf(m_rows[r], column);
}

QVariant SavedDocumentsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return QVariant();
    return text(index.row(), index.column());
}

QVariant SavedDocumentsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList headers{QStringLiteral("前回編集日"), QStringLiteral("日付"), QStringLiteral("患者番号"),
                                     QStringLiteral("患者名"), QStringLiteral("書類"), QStringLiteral("ID")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QVariant();
    return headers[section];
}

bool SavedDocumentsModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_rows.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    m_rows.remove(row, count);
    endRemoveRows();
    return true;
}

void SavedDocumentsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<int> from(m_rows.size());
    std::iota(from.begin(), from.end(), 0);
    std::stable_sort(from.begin(), from.end(), [&](int a, int b) {
        const QString &ta = textOf(m_rows[a], column);
        const QString &tb = textOf(m_rows[b], column);
        return order == Qt::AscendingOrder ? ta < tb : tb < ta;
    });
    QList<SavedDocumentRow> sorted;
    sorted.reserve(m_rows.size());
    QList<int> to(m_rows.size());
    for (int i = 0; i < from.size(); ++i) {
        sorted << std::move(m_rows[from[i]]);
        to[from[i]] = i;
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &i : before)
        after << index(to[i.row()], i.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void SavedDocumentsModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void SavedDocumentsModel::append(const QList<SavedDocumentRow> &rows)
{
    if (rows.isEmpty())
        return;
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
    m_rows << rows;
    endInsertRows();
}

void SavedDocumentsModel::fillPatientNames()
{
    if (m_rows.isEmpty())
        return;
    QStringList ids;
    ids.reserve(m_rows.size());
    for (const SavedDocumentRow &r : m_rows)
        ids << r.patientId;
    const QHash<QString, QString> names = PatientNames(ids);
    for (SavedDocumentRow &r : m_rows)
        r.patientName = names.value(r.patientId);
    emit dataChanged(index(0, PatientName), index(int(m_rows.size()) - 1, PatientName));
}
