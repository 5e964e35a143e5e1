#include "app/CommandLine.h"

#include "app/Version.h"

const QList<CommandLineOption> &CommandLineOptions()
{
    static const QList<CommandLineOption> options = {
        {QStringLiteral("--migrate-to"), QStringLiteral("URL"),
         QStringLiteral("DATA/Rydol.db を空のサーバーのデータベースへ写して終わります"),
         QStringLiteral("copies DATA/Rydol.db into an empty server database (postgresql://user@host:port/dbname) and ends")},
        {QStringLiteral("--verify"), QString(),
         QStringLiteral("すべての履歴の連鎖とページ画像を確かめ、切れ目を報告します（すべて揃うときだけ終了コード 0）"),
         QStringLiteral("walks every hash chain and page image and reports breaks; exit 0 only when whole")},
        {QStringLiteral("--export-archive"), QStringLiteral("FOLDER"),
         QStringLiteral("すべての書類の PDF と、ブラウザで読める索引 index.html をフォルダに書き、変わったものだけを書き直します"),
         QStringLiteral("writes every document as PDF plus an index.html any browser reads into FOLDER; later runs redo only what changed")},
        {QStringLiteral("--backup"), QStringLiteral("FOLDER"),
         QStringLiteral("作業を止めずに、データベース・ページ画像・様式・設定の揃ったバックアップを作ります（manifest.json 付き）"),
         QStringLiteral("writes a consistent backup (database, page images, templates, settings, manifest.json) while people work")},
        {QStringLiteral("--verify-backup"), QStringLiteral("FOLDER"),
         QStringLiteral("バックアップのハッシュと行数を確かめ、欠けや傷を報告します（揃うときだけ終了コード 0）"),
         QStringLiteral("checks every hash and row count of a backup and names what is missing or damaged; exit 0 only when whole")},
        {QStringLiteral("--restore"), QStringLiteral("FOLDER --to TARGET"),
         QStringLiteral("確かめたバックアップから、空のフォルダ（または空のサーバーのデータベース postgresql://…）へ復元します"),
         QStringLiteral("restores a verified backup into an empty folder (or an empty server database postgresql://…)")},
        {QStringLiteral("--help"), QString(), QStringLiteral("この説明を表示します"),
         QStringLiteral("shows this help")},
        {QStringLiteral("--version"), QString(), QStringLiteral("版とコミットを表示します"),
         QStringLiteral("shows the version and the commit")},
    };
    return options;
}

namespace {

const CommandLineOption *findOption(const QString &name)
{
    for (const CommandLineOption &option : CommandLineOptions())
        if (option.name == name)
            return &option;
    return nullptr;
}

QString refusal(const QString &japanese, const QString &english)
{
    return QStringLiteral("rydol: %1 / %2\n「rydol --help」で使い方を表示します / see rydol --help")
        .arg(japanese, english);
}

} // namespace

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString argument = arguments.at(i);
        const qsizetype equals = argument.startsWith(u'-') ? argument.indexOf(u'=') : -1;
        const QString name = equals < 0 ? argument : argument.left(equals);
        const CommandLineOption *option = findOption(name);
        if (!option)
            return {{}, {}, refusal(QStringLiteral("不明なオプションです: ") + argument,
                                    QStringLiteral("unknown option: ") + argument)};
        if (!line.option.isEmpty())
            return {{}, {}, refusal(QStringLiteral("オプションは一度に一つです: ") + line.option + u' ' + name,
                                    QStringLiteral("one option at a time: ") + line.option + u' ' + name)};
        line.option = name;
        if (option->valueName.isEmpty()) {
            if (equals >= 0)
                return {{}, {}, refusal(name + QStringLiteral(" は値を取りません"),
                                        name + QStringLiteral(" takes no value"))};
        } else if (equals >= 0) {
            line.value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QStringLiteral("--"))) {
            line.value = arguments.at(++i);
        }
        if (!option->valueName.isEmpty() && line.value.isEmpty())
            return {{}, {}, refusal(name + QStringLiteral(" には ") + option->valueName + QStringLiteral(" が要ります"),
                                    name + QStringLiteral(" needs ") + option->valueName)};
    }
    return line;
}

QString CommandLineHelp()
{
    QString text = QStringLiteral("使い方 / Usage: rydol [オプション / OPTION]\n"
                                  "オプションなしで起動画面を開きます / without an option, opens the start window.\n\n");
    for (const CommandLineOption &option : CommandLineOptions()) {
        text += QStringLiteral("  ") + option.name;
        if (!option.valueName.isEmpty())
            text += u' ' + option.valueName;
        text += QStringLiteral("\n      ") + option.japanese + QStringLiteral("\n      ") + option.english + u'\n';
    }
    text += QStringLiteral("\n環境変数 / Environment: RYDOL_HOME（DATA を置くフォルダ / the folder holding DATA）, "
                           "RYDOL_DB（データベース / the database）, "
                           "RYDOL_CONF（/etc/rydol/rydol.conf の代わり / instead of /etc/rydol/rydol.conf）\n");
    return text;
}

QString VersionText()
{
    return QStringLiteral("Rydol %1 (commit %2)").arg(RydolVersion(), RydolCommit());
}
