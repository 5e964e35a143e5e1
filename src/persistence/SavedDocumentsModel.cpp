#include "persistence/SavedDocumentsModel.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <numeric>
#include <utility>

int SavedDocumentsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SavedDocumentsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString SavedDocumentsModel::text(int r, int column) const
{
    if (r < 0 || r >= m_rows.size())
        return QString();
    const SavedDocumentRow &row = m_rows[r];
    switch (column) {
    case EditDate: return row.editDate.text();
    case Date: return row.date.text();
    case PatientId: return row.patientId;
    case PatientName: return row.patientName;
    case Kind: return row.kind;
    case Id: return QString::number(row.id);
    default: return QString();
    }
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

namespace {

const QString &textOf(const SavedDocumentRow &r, int column)
{
    switch (column) {
    case SavedDocumentsModel::PatientId: return r.patientId;
    case SavedDocumentsModel::PatientName: return r.patientName;
    default: return r.kind;
    }
}

// The rows' positions in sorted order; ties keep their order in both
// directions. Each row gets a whole number to sort by: dates their value,
// texts the place of the text among the distinct texts of the column (there
// are far fewer of those than rows).
QList<int> sortedPositions(const QList<SavedDocumentRow> &rows, int column, Qt::SortOrder order)
{
    const int n = int(rows.size());
    const bool descending = order == Qt::DescendingOrder;
    QList<int> positions(n);
    std::vector<std::pair<qint64, int>> keys(n);
    const bool dateColumn = column == SavedDocumentsModel::EditDate || column == SavedDocumentsModel::Date;
    if (dateColumn) {
        auto date = [column](const SavedDocumentRow &r) -> const ListDate & {
            return column == SavedDocumentsModel::EditDate ? r.editDate : r.date;
        };
        for (int i = 0; i < n; ++i) {
            const qint64 value = date(rows[i]).value();
            if (value < 0) {
                // A text that is no date: order by date and text, one by one.
                std::iota(positions.begin(), positions.end(), 0);
                std::stable_sort(positions.begin(), positions.end(), [&](int a, int b) {
                    return descending ? ListDate::less(date(rows[b]), date(rows[a]))
                                      : ListDate::less(date(rows[a]), date(rows[b]));
                });
                return positions;
            }
            keys[i] = {value, i};
        }
    } else {
        QList<QString> ids;
        if (column == SavedDocumentsModel::Id) {
            ids.reserve(n);
            for (const SavedDocumentRow &r : rows)
                ids << QString::number(r.id);
        }
        auto text = [&](int i) -> const QString & { return ids.isEmpty() ? textOf(rows[i], column) : ids[i]; };
        QHash<QString, qint64> place;
        for (int i = 0; i < n; ++i)
            place.insert(text(i), 0);
        QStringList distinct = place.keys();
        std::sort(distinct.begin(), distinct.end());
        for (int p = 0; p < distinct.size(); ++p)
            place[distinct[p]] = p;
        for (int i = 0; i < n; ++i)
            keys[i] = {place.value(text(i)), i};
    }
    if (descending)
        for (auto &k : keys)
            k.first = -k.first;
    std::sort(keys.begin(), keys.end());
    for (int i = 0; i < n; ++i)
        positions[i] = keys[i].second;
    return positions;
}

} // namespace

void SavedDocumentsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QList<int> from = sortedPositions(m_rows, column, order);
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

void SavedDocumentsModel::append(QList<SavedDocumentRow> rows)
{
    if (rows.isEmpty())
        return;
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
    if (m_rows.isEmpty()) {
        m_rows = std::move(rows);
    } else {
        for (SavedDocumentRow &r : rows)
            m_rows.append(std::move(r));
    }
    endInsertRows();
}

void SavedDocumentsModel::fillPatientNames()
{
    if (m_rows.isEmpty())
        return;
    // Rows of one patient end up sharing the number's and the name's text.
    QHash<QString, QString> patients;
    for (const SavedDocumentRow &r : m_rows)
        patients.insert(r.patientId, QString());
    const QHash<QString, QString> names = PatientNames(patients.keys());
    for (auto it = names.begin(); it != names.end(); ++it)
        patients[it.key()] = it.value();
    for (SavedDocumentRow &r : m_rows) {
        const auto patient = patients.constFind(r.patientId);
        r.patientId = patient.key();
        r.patientName = patient.value();
    }
    emit dataChanged(index(0, PatientName), index(int(m_rows.size()) - 1, PatientName));
}
