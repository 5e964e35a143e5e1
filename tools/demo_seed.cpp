// Fills a fresh demo database with one doctor, a few patients and, for every
// doctor, value-menu entries for the value lists of the templates and a few
// phrases, so that a newcomer sees them work at once. Run again, it adds
// nothing twice. The demo doctor becomes the default doctor of the start
// window unless the user has chosen one already.
#include "storage/Database.h"
#include "storage/UserSettings.h"
#include "templates/TemplateReader.h"

#include <QCoreApplication>
#include <QHash>
#include <QSqlQuery>
#include <QStringList>

namespace {

// Entries per value-list name (the last field of a template's lbList_ line).
// Hospitals and names are made up.
const QHash<QString, QStringList> &valueMenuSamples()
{
    static const QHash<QString, QStringList> samples = {
        {QStringLiteral("紹介先病院"),
         {QStringLiteral("さくら台総合病院"), QStringLiteral("みどり野市民病院"),
          QStringLiteral("あおば記念医療センター"), QStringLiteral("ひがし浜大学病院")}},
        {QStringLiteral("紹介元病院"),
         {QStringLiteral("さくら台総合病院"), QStringLiteral("こもれび内科クリニック"),
          QStringLiteral("ひだまり整形外科医院"), QStringLiteral("みどり野市民病院")}},
        {QStringLiteral("次回受診"),
         {QStringLiteral("1週間後"), QStringLiteral("2週間後"), QStringLiteral("1か月後"),
          QStringLiteral("3か月後"), QStringLiteral("未定")}},
        {QStringLiteral("診療科"),
         {QStringLiteral("内科"), QStringLiteral("循環器内科"), QStringLiteral("消化器内科"),
          QStringLiteral("整形外科"), QStringLiteral("皮膚科"), QStringLiteral("眼科")}},
        {QStringLiteral("アレルギー"),
         {QStringLiteral("なし"), QStringLiteral("ペニシリン系抗菌薬"), QStringLiteral("造影剤"),
          QStringLiteral("卵・乳製品"), QStringLiteral("そば")}},
        {QStringLiteral("病棟"),
         {QStringLiteral("3階東病棟"), QStringLiteral("4階西病棟"), QStringLiteral("5階南病棟"),
          QStringLiteral("HCU")}},
        // 入院期間 and 療養期間 are number fields followed by their unit
        // (日間, 週間): their values are numbers.
        {QStringLiteral("入院期間"),
         {QStringLiteral("7"), QStringLiteral("14"), QStringLiteral("21"), QStringLiteral("30"),
          QStringLiteral("60")}},
        {QStringLiteral("続柄"),
         {QStringLiteral("本人"), QStringLiteral("配偶者"), QStringLiteral("長男"), QStringLiteral("長女"),
          QStringLiteral("父"), QStringLiteral("母")}},
        {QStringLiteral("療養期間"),
         {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("8"),
          QStringLiteral("12")}},
    };
    return samples;
}

struct PhraseSample
{
    const char *className;
    const char *value;
};
const PhraseSample kPhrases[] = {
    {"所見", "胸部聴診上、異常を認めません。"},
    {"所見", "血液検査では炎症反応の上昇を認めます。"},
    {"所見", "経過は良好です。"},
    {"依頼", "ご高診のほど、よろしくお願い申し上げます。"},
    {"依頼", "精査加療をお願いいたします。"},
};

QStringList activeDoctorIds()
{
    QStringList ids;
    QSqlQuery q(gDB());
    if (q.exec(QStringLiteral("SELECT ID FROM \"医師\" WHERE Del=0 ORDER BY ID")))
        while (q.next())
            ids << q.value(0).toString();
    return ids;
}

bool hasRows(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(gDB());
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    return q.exec() && q.next();
}

// The value-list names of every template, each once, in template order.
QStringList valueListNames()
{
    QStringList names;
    for (const QString &kind : TemplateKinds())
        for (const TemplateListButton &button : ReadTemplate(kind).listButtons)
            if (button.listName && !button.listName->isEmpty() && !names.contains(*button.listName))
                names << *button.listName;
    return names;
}

void seedValueMenus(const QStringList &doctors)
{
    const QStringList names = valueListNames();
    QSqlQuery insert(gDB());
    for (const QString &dr : doctors) {
        for (const QString &item : names) {
            const auto samples = valueMenuSamples().constFind(item);
            if (samples == valueMenuSamples().cend())
                continue;
            if (hasRows(QStringLiteral("SELECT 1 FROM \"メニュー\" WHERE DrID=? AND Item=?"), {dr, item}))
                continue;
            for (const QString &value : *samples) {
                insert.prepare(QStringLiteral("INSERT INTO \"メニュー\" (DrID, Item, Value) VALUES (?, ?, ?)"));
                insert.addBindValue(dr);
                insert.addBindValue(item);
                insert.addBindValue(value);
                insert.exec();
            }
        }
    }
}

void seedPhrases(const QStringList &doctors)
{
    QSqlQuery insert(gDB());
    for (const QString &dr : doctors) {
        if (hasRows(QStringLiteral("SELECT 1 FROM \"定型文\" WHERE DrID=?"), {dr.toInt()}))
            continue;
        for (const PhraseSample &p : kPhrases) {
            insert.prepare(QStringLiteral("INSERT INTO \"定型文\" (DrID, Class, Value, Del) VALUES (?, ?, ?, 0)"));
            insert.addBindValue(dr.toInt());
            insert.addBindValue(QString::fromUtf8(p.className));
            insert.addBindValue(QString::fromUtf8(p.value));
            insert.exec();
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!OpenDB())
        return 1;
    QSqlQuery q(gDB());
    q.exec(QStringLiteral("SELECT COUNT(*) FROM \"医師\""));
    if (q.next() && q.value(0).toInt() == 0) {
        q.prepare(QStringLiteral("INSERT INTO \"医師\" (Name, Del) VALUES (?, 0)"));
        q.addBindValue(QStringLiteral("山田 太郎"));
        q.exec();
    }
    struct Patient {
        const char *id, *name, *kana;
        int sex, birth;
        const char *address;
    };
    static const Patient patients[] = {
        {"1", "鈴木 一郎", "スズキ イチロウ", 1, 19520314, "東京都千代田区神田三崎町1-2-3"},
        {"2", "佐藤 花子", "サトウ ハナコ", 2, 19890108, "東京都文京区本郷4-5-6"},
        {"3", "高橋 健太", "タカハシ ケンタ", 1, 20150620, "埼玉県さいたま市浦和区高砂7-8-9"},
        {"4", "田中 ツル", "タナカ ツル", 2, 19230905, "千葉県千葉市中央区本町2-3-4"},
        {"5", "伊藤 さくら", "イトウ サクラ", 2, 20200401, "神奈川県横浜市西区高島1-1-1"},
    };
    for (const Patient &p : patients) {
        q.prepare(QStringLiteral("INSERT OR IGNORE INTO Kanja_Data (ID, Name, Kana, Sex, Birth, Address) "
                                 "VALUES (?, ?, ?, ?, ?, ?)"));
        q.addBindValue(QString::fromUtf8(p.id));
        q.addBindValue(QString::fromUtf8(p.name));
        q.addBindValue(QString::fromUtf8(p.kana));
        q.addBindValue(p.sex);
        q.addBindValue(p.birth);
        q.addBindValue(QString::fromUtf8(p.address));
        q.exec();
    }

    const QStringList doctors = activeDoctorIds();
    seedValueMenus(doctors);
    seedPhrases(doctors);
    // The start window then opens with the demo doctor chosen.
    const QString store = QStringLiteral("RL"), section = QStringLiteral("ST"), key = QStringLiteral("DefaultDr");
    if (!doctors.isEmpty() && GetSetting(store, section, key).trimmed().isEmpty())
        SaveSetting(store, section, key, doctors.first());
    return 0;
}
