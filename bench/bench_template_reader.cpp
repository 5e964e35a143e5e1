// Reads a 600-element template (300 input fields, 150 labels, 100 lines,
// 50 check boxes) from its bytes, decoding and parsing them anew each round,
// against its floor: the same bytes decoded from Shift-JIS and cut into keys
// and fields with plain Qt, every field turned into a number.
#include "BenchTiming.h"

#include "storage/Ini.h"
#include "templates/TemplateReader.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 101;
    QString ini = QStringLiteral("[DATA]\r\nWidth=11900\r\nHeight=33680\r\n");
    for (int i = 0; i < 300; ++i)
        ini += QStringLiteral("lbItem_%1=%2|%3|2000|300|0||ＭＳ Ｐ明朝|10.5|0|%1|欄%1|1|\r\n")
                   .arg(i).arg(900 + (i % 4) * 2500).arg(600 + (i / 4) * 400);
    for (int i = 0; i < 150; ++i)
        ini += QStringLiteral("label_%1=%2|%3|2000|300|0|見出し%1|ＭＳ 明朝|10.5|0|%1|\r\n")
                   .arg(i).arg(900 + (i % 4) * 2500).arg(31000 + (i / 4) * 60);
    for (int i = 0; i < 100; ++i)
        ini += QStringLiteral("LineG_%1=900|%2|11000|%2|0|1|1\r\n").arg(i).arg(580 + i * 300);
    for (int i = 0; i < 50; ++i)
        ini += QStringLiteral("ImgCheck_%1=%2|32000|300|300|確認%1|0\r\n").arg(i).arg(200 + i * 330);
    const QByteArray bytes = EncodeCp932(ini);

    int elements = 0;
    double sink = 0;
    Rounds rounds;
    rounds.add(QStringLiteral("read"), [&] {
        const Template t = TemplateFromSection(QStringLiteral("大きな書式"), IniSection::parse(bytes));
        elements = int(t.items.size() + t.labels.size() + t.lines.size() + t.checks.size());
    });
    rounds.add(QStringLiteral("floor"), [&] {
        for (const QString &line : DecodeCp932(bytes).split(QStringLiteral("\r\n"))) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0)
                continue;
            for (const QString &field : line.mid(eq + 1).split(u'|'))
                sink += field.toDouble();
        }
    });
    rounds.run(runs, 3);
    std::printf("template of %d elements read from its bytes (median of %d interleaved rounds):\n", elements, runs);
    rounds.print("decoded and parsed into a template", QStringLiteral("read"),
                 "decoding the bytes and cutting them into keys and number fields", QStringLiteral("floor"),
                 "");
    return elements == 600 && sink > 0 ? 0 : 1;
}
