// Fills a fresh demo database with one doctor and a few patients.
#include "storage/Database.h"

#include <QCoreApplication>
#include <QSqlQuery>

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
    return 0;
}
