#include "persistence/SavedDocuments.h"

#include "persistence/DocumentImage.h"
#include "storage/Database.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>

QString FormatEditDate(const QVariant &value)
{
    if (value.isNull())
        return QString();
    const QString digits = value.toString().trimmed();
    if (digits.isEmpty())
        return QString();
    // Digits fill the # places from the right; extra digits go to the first one.
    static const QString pattern = QStringLiteral("####/##/##");
    QString out;
    int next = int(digits.size()) - 1;
    for (int p = int(pattern.size()) - 1; p >= 0; --p) {
        if (pattern[p] != u'#') {
            out.prepend(pattern[p]);
        } else if (p == 0) {
            out.prepend(digits.left(next + 1));
            next = -1;
        } else if (next >= 0) {
            out.prepend(digits[next--]);
        }
    }
    return out;
}

QString DocumentDateText(const QVariant &year, const QVariant &month, const QVariant &day)
{
    return year.toString() + u'/' + (u'0' + month.toString()).right(2) + u'/'
         + (u'0' + day.toString()).right(2);
}

QList<SavedDocumentRow> LoadSavedDocuments(const QString &kind, const QString &drId, int state)
{
    QList<SavedDocumentRow> rows;
    if (!DatabaseIsOpen())
        return rows;
    const QStringList columns = TableColumns(kind);
    if (columns.isEmpty())
        return rows;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    const QString sql =
        QStringLiteral("SELECT %1, %2, %3, %4, %5, %6 FROM %7 WHERE %8=? AND \"終了判定\"=?")
            .arg(SelectableColumn(columns, QStringLiteral("編集日")), SelectableColumn(columns, QStringLiteral("日付Y")),
                 SelectableColumn(columns, QStringLiteral("日付M")), SelectableColumn(columns, QStringLiteral("日付D")),
                 SelectableColumn(columns, QStringLiteral("患者番号")), SelectableColumn(columns, QStringLiteral("ID")),
                 QuoteIdent(kind), QuoteIdent(QStringLiteral("DrID")));
    if (!q.prepare(sql))
        return rows;
    q.addBindValue(drId);
    q.addBindValue(state);
    if (!q.exec())
        return rows;
    while (q.next()) {
        SavedDocumentRow row;
        row.editDate = FormatEditDate(SqlValue(q, 0));
        row.date = DocumentDateText(SqlValue(q, 1), SqlValue(q, 2), SqlValue(q, 3));
        row.patientId = SqlValue(q, 4).toString();
        row.kind = kind;
        row.id = SqlValue(q, 5).toString();
        rows << row;
    }
    return rows;
}

QHash<QString, QString> PatientNames(const QStringList &patientIds)
{
    QHash<QString, QString> names;
    if (!DatabaseIsOpen())
        return names;
    QStringList distinct = patientIds;
    distinct.removeDuplicates();
    constexpr int kChunk = 500;
    for (int from = 0; from < distinct.size(); from += kChunk) {
        const QStringList chunk = distinct.mid(from, kChunk);
        QStringList marks;
        for (int i = 0; i < chunk.size(); ++i)
            marks << QStringLiteral("?");
        QSqlQuery q(gDB());
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT ID, Name FROM Kanja_Data WHERE ID IN (%1)").arg(marks.join(u','))))
            return names;
        for (const QString &id : chunk)
            q.addBindValue(id);
        if (!q.exec())
            continue;
        while (q.next())
            names.insert(SqlValue(q, 0).toString(), SqlValue(q, 1).toString());
    }
    return names;
}

bool DeleteSavedDocument(const QString &kind, int id)
{
    if (!IsUsableKindName(kind))
        return false;
    Recordset rs;
    if (!rs.open(QStringLiteral("Dynaset"), QStringLiteral("SELECT * FROM ") + QuoteIdent(kind) + QStringLiteral(" WHERE ID=?"), {id})
        || !rs.remove())
        return false;
    QFile::remove(DocumentImagePath(kind, id));
    return true;
}
