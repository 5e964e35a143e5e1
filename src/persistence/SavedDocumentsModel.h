#pragma once
#include "persistence/SavedDocuments.h"

#include <QAbstractTableModel>
#include <QList>

// The rows of the saved-documents list, held as plain values so that a
// hundred thousand of them fill and sort quickly: texts are made only for the
// rows on screen. Date columns sort by date, the others by text.
class SavedDocumentsModel : public QAbstractTableModel
{
public:
    enum Column { EditDate, Date, PatientId, PatientName, Kind, Id, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    // Stable: rows that compare equal keep their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    void clear();
    void append(QList<SavedDocumentRow> rows);
    // Looks the patient name of every row up.
    void fillPatientNames();

    const SavedDocumentRow &row(int r) const { return m_rows[r]; }
    QString text(int r, int column) const;

private:
    QList<SavedDocumentRow> m_rows;
};
