#include "persistence/SavedDocuments.h"

#include "app/AppState.h"
#include "persistence/AcrossKinds.h"
#include "persistence/DocumentImage.h"
#include "persistence/DocumentVersion.h"
#include "persistence/KeptVersions.h"
#include "storage/AuditTrail.h"
#include "storage/Database.h"
#include "storage/Dialect.h"
#include "storage/FileJournal.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
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

namespace {

// A whole number held as a number (not as text, which may carry leading zeros).
bool wholeNumber(const QVariant &value, qint64 &out)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
        out = value.toLongLong();
        return true;
    default:
        return false;
    }
}

// The number of a text of 1 to 18 ASCII digits, or -1.
qint64 digitsValue(QStringView digits)
{
    if (digits.isEmpty() || digits.size() > 18)
        return -1;
    qint64 n = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return -1;
        n = n * 10 + (c.unicode() - u'0');
    }
    return n;
}

constexpr qint64 kLargestYear = 99999999;

} // namespace

ListDate ListDate::editDate(const QVariant &value)
{
    ListDate d;
    d.m_editPattern = true;
    qint64 number = 0;
    if (wholeNumber(value, number) && number >= 0) {
        d.m_value = number;
        return d;
    }
    d.m_text = FormatEditDate(value);
    if (!value.isNull())
        d.m_value = digitsValue(value.toString().trimmed());
    return d;
}

ListDate ListDate::documentDate(const QVariant &year, const QVariant &month, const QVariant &day)
{
    ListDate d;
    qint64 y = 0, m = 0, dd = 0;
    if (wholeNumber(year, y) && wholeNumber(month, m) && wholeNumber(day, dd) && y >= 0 && y <= kLargestYear
        && m >= 0 && m <= 99 && dd >= 0 && dd <= 99) {
        d.m_value = y * 10000 + m * 100 + dd;
        return d;
    }
    d.m_text = DocumentDateText(year, month, day);
    // "2006/04/05" typed into text fields is a date all the same.
    const qsizetype slash = d.m_text.indexOf(u'/');
    const qint64 textYear = digitsValue(QStringView(d.m_text).left(slash));
    if (slash >= 0 && d.m_text.size() == slash + 6 && d.m_text[slash + 3] == u'/' && textYear >= 0
        && textYear <= kLargestYear) {
        const qint64 mm = digitsValue(QStringView(d.m_text).mid(slash + 1, 2));
        const qint64 ddd = digitsValue(QStringView(d.m_text).mid(slash + 4, 2));
        if (mm >= 0 && ddd >= 0)
            d.m_value = textYear * 10000 + mm * 100 + ddd;
    }
    return d;
}

QString ListDate::text() const
{
    if (!m_text.isNull())
        return m_text;
    if (m_value < 0)
        return QString();
    if (m_editPattern)
        return FormatEditDate(QVariant(m_value));
    return QString::number(m_value / 10000) + u'/' + QString::number(m_value / 100 % 100).rightJustified(2, u'0')
         + u'/' + QString::number(m_value % 100).rightJustified(2, u'0');
}

bool ListDate::less(const ListDate &a, const ListDate &b)
{
    if (a.m_value >= 0 || b.m_value >= 0)
        return a.m_value < b.m_value;
    return a.text() < b.text();
}

bool StoredAsFinished(const QString &kind, int id)
{
    if (id <= 0 || !DatabaseIsOpen() || !IsUsableKindName(kind))
        return false;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT \"終了判定\" FROM %1 WHERE ID=?").arg(QuoteIdent(StoredTableName(kind)))))
        return false;
    q.addBindValue(id);
    return q.exec() && q.next() && SqlValue(q, 0).toString().trimmed() == QStringLiteral("1");
}

QList<SavedDocumentRow> LoadSavedDocuments(const QList<StoredKind> &kinds, const QString &drId, int state)
{
    // Each kind's rows apart, so that they follow the kinds' order whatever
    // order the joined statement gives.
    QList<QList<SavedDocumentRow>> byKind(kinds.size());
    AcrossKinds select;
    select.values = QStringList{QStringLiteral("編集日"), QStringLiteral("日付Y"), QStringLiteral("日付M"),
                                QStringLiteral("日付D"), QStringLiteral("患者番号"), QStringLiteral("ID")};
    select.needed = QStringList{QStringLiteral("DrID"), QStringLiteral("終了判定")};
    select.where = QStringLiteral("%1=? AND %2=?").arg(QuoteIdent(QStringLiteral("DrID")), QuoteIdent(QStringLiteral("終了判定")));
    select.binds = QVariantList{drId, state};
    SelectAcrossKinds(kinds, select, [&](qsizetype kind, const QSqlQuery &q) {
        SavedDocumentRow row;
        row.editDate = ListDate::editDate(SqlValue(q, 1));
        row.date = ListDate::documentDate(SqlValue(q, 2), SqlValue(q, 3), SqlValue(q, 4));
        row.patientId = SqlValue(q, 5).toString();
        row.kind = kinds[kind].kind;
        row.id = SqlValue(q, 6).toInt();
        byKind[kind].append(std::move(row));
    });
    QList<SavedDocumentRow> rows;
    for (QList<SavedDocumentRow> &kindRows : byKind)
        rows.append(std::move(kindRows));
    return rows;
}

QList<SavedDocumentRow> LoadSavedDocuments(const QString &kind, const QString &drId, int state)
{
    return DatabaseIsOpen() ? LoadSavedDocuments({{kind, StoredTableName(kind)}}, drId, state) : QList<SavedDocumentRow>();
}

namespace {

// The first patient row of a number wins, as a lookup by number finds it.
void takeNames(QSqlQuery &q, QHash<QString, QString> &names)
{
    while (q.next()) {
        const QString id = SqlValue(q, 0).toString();
        if (!names.contains(id))
            names.insert(id, SqlValue(q, 1).toString());
    }
}

// All numbers in one statement, handed over as one JSON array.
bool namesAtOnce(const QStringList &ids, QHash<QString, QString> &names)
{
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT k.ID, k.Name FROM %1 JOIN Kanja_Data k ON k.ID = j.value").arg(dialect::JsonTexts())))
        return false;
    q.addBindValue(QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(ids)).toJson(QJsonDocument::Compact)));
    if (!q.exec())
        return false;
    takeNames(q, names);
    return true;
}

} // namespace

QHash<QString, QString> PatientNames(const QStringList &patientIds)
{
    QHash<QString, QString> names;
    if (!DatabaseIsOpen() || patientIds.isEmpty())
        return names;
    QStringList distinct = patientIds;
    distinct.removeDuplicates();
    if (namesAtOnce(distinct, names))
        return names;
    // A database without JSON functions: a hundred numbers per statement.
    constexpr int kChunk = 100;
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
        if (q.exec())
            takeNames(q, names);
    }
    return names;
}

QList<StoredKind> OneKindPerTable(const QStringList &kinds)
{
    QList<StoredKind> result;
    QStringList tables;
    const QStringList present = TableNames(); // once, not once a kind
    for (const QString &kind : kinds) {
        const QString table = StoredTableNameIn(present, kind);
        if (tables.contains(table, Qt::CaseInsensitive))
            continue;
        tables << table;
        result.append({kind, table});
    }
    return result;
}

Existence SavedDocumentExists(const QString &kind, int id)
{
    if (!DatabaseIsOpen() || !IsUsableKindName(kind))
        return Existence::Unknown;
    QSqlQuery q(gDB());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT COUNT(*) FROM ") + QuoteIdent(StoredTableName(kind))
                   + QStringLiteral(" WHERE ID=?")))
        return Existence::Unknown;
    q.addBindValue(id);
    if (!q.exec() || !q.next())
        return Existence::Unknown;
    return q.value(0).toInt() > 0 ? Existence::Yes : Existence::No;
}

bool DeleteSavedDocument(const QString &kind, int id)
{
    if (!IsUsableKindName(kind) || !DatabaseIsOpen())
        return false;
    const QString table = StoredTableName(kind);
    const QString image = DocumentImagePath(table, id);
    // The row and the intent to remove its image commit together; the image
    // goes now, or at the next start if the program stops first.
    if (!BeginTrans())
        return false;
    Recordset rs;
    // A window still holding the document can no longer save over it. The
    // version is taken before the row, in the order a save takes them, so
    // that a save and a delete of one document wait for each other instead
    // of each holding what the other needs.
    int version = 0;
    bool done = HoldFileSteps() && AdvanceVersion(table, id, &version)
             && rs.open(QStringLiteral("Dynaset"), QStringLiteral("SELECT * FROM ") + QuoteIdent(table) + QStringLiteral(" WHERE ID=?"), {id})
             && !rs.eof();
    const QString patient = done ? rs.text(QStringLiteral("患者番号")) : QString();
    RowValues row;
    for (const QString &column : done ? rs.columns() : QStringList())
        row.append({column, rs.field(column)});
    // The deleted version stays, with its image.
    done = done && KeepDeletedVersion(table, id, version, row) && rs.remove()
        && WriteAudit(audit::Delete(), CurrentDrID, table, id, patient)
        && RecordFileStep(image, QString(), QString()) && CommitTrans();
    if (!done) {
        Rollback();
        return false;
    }
    CarryOutFileStep(image, QString(), QString());
    return true;
}
