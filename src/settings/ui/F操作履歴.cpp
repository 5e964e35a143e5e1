#include "settings/ui/F操作履歴.h"

#include "settings/Doctors.h"
#include "storage/AuditTrail.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

F操作履歴::F操作履歴(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("操作履歴"));
    Txt患者番号 = new QLineEdit(this);
    Txt患者番号->setMaximumWidth(140);
    Check期間 = new QCheckBox(QStringLiteral("期間"), this);
    Date開始 = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    Date終了 = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit *d : {Date開始, Date終了}) {
        d->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        d->setCalendarPopup(true);
        d->setEnabled(false);
    }
    Cmd検索 = new QPushButton(QStringLiteral("検索"), this);
    Cmd閉じる = new QPushButton(QStringLiteral("閉じる"), this);

    LV操作履歴 = new QTreeWidget(this);
    LV操作履歴->setRootIsDecorated(false);
    LV操作履歴->setUniformRowHeights(true);
    LV操作履歴->setSelectionMode(QAbstractItemView::SingleSelection);
    LV操作履歴->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LV操作履歴->setHeaderLabels({QStringLiteral("日時"), QStringLiteral("端末"), QStringLiteral("医師ID"),
                                 QStringLiteral("医師"), QStringLiteral("操作"), QStringLiteral("書類"), QStringLiteral("書類番号"),
                                 QStringLiteral("患者番号")});
    const int widths[] = {140, 110, 50, 100, 90, 110, 60, 80};
    for (int c = 0; c < 8; ++c)
        LV操作履歴->setColumnWidth(c, widths[c]);

    auto *filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("患者番号："), this));
    filter->addWidget(Txt患者番号);
    filter->addSpacing(12);
    filter->addWidget(Check期間);
    filter->addWidget(Date開始);
    filter->addWidget(new QLabel(QStringLiteral("～"), this));
    filter->addWidget(Date終了);
    filter->addWidget(Cmd検索);
    filter->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Cmd閉じる);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filter);
    layout->addWidget(LV操作履歴, 1);
    layout->addLayout(buttons);
    resize(860, 520);

    connect(Check期間, &QCheckBox::toggled, this, [this](bool on) {
        Date開始->setEnabled(on);
        Date終了->setEnabled(on);
    });
    connect(Cmd検索, &QPushButton::clicked, this, [this] { Cmd検索_Click(); });
    connect(Txt患者番号, &QLineEdit::returnPressed, this, [this] { Cmd検索_Click(); });
    connect(Cmd閉じる, &QPushButton::clicked, this, [this] { close(); });
}

F操作履歴 &F操作履歴::shared()
{
    static F操作履歴 *instance = new F操作履歴;
    return *instance;
}

void F操作履歴::Cmd検索_Click()
{
    LV操作履歴->clear();
    const bool ranged = Check期間->isChecked();
    const QList<AuditRow> rows = ReadAudit(Txt患者番号->text().trimmed(), ranged ? Date開始->date() : QDate(),
                                           ranged ? Date終了->date() : QDate(), kMaxRows);
    const QHash<int, QString> doctors = DoctorNames();
    QList<QTreeWidgetItem *> items;
    items.reserve(rows.size());
    for (const AuditRow &r : rows)
        items << new QTreeWidgetItem(QStringList{r.time, r.workstation, r.doctorId, doctors.value(r.doctorId.toInt()),
                                                 r.operation, r.kind, r.documentId, r.patientId});
    LV操作履歴->addTopLevelItems(items);
}
