#include "document/ui/FM.h"

#include "document/ui/DocumentHost.h"
#include "ui/Prompter.h"
#include "document/YearMenuCaption.h"
#include "document/ui/DocumentHooks.h"
#include "templates/ui/BuildDocument.h"

#include <QLabel>
#include <QMenu>

void FM::createMenus()
{
    auto click = [this](QAction *a, void (FM::*handler)()) {
        QObject::connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    auto array = [this](void (FM::*handler)(int)) {
        return [this, handler](int index) { (this->*handler)(index); };
    };

    MAction = new QMenu(QStringLiteral("メニュー"), this);
    M印刷 = MAction->addAction(QStringLiteral("印刷"));
    M印刷->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    click(M印刷, &FM::M印刷_Click);
    MPDF出力 = MAction->addAction(QStringLiteral("PDFに出力"));
    QObject::connect(MPDF出力, &QAction::triggered, this, [] {
        if (docHooks().exportPdf)
            docHooks().exportPdf();
    });
    QAction *pending = MAction->addAction(QStringLiteral("保留データに保存"));
    pending->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    M保存 = MenuArray(MAction, pending, array(&FM::M保存_Click));
    M保存.load(1)->setText(QStringLiteral("終了データに保存"));
    M保存[1]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    区切り線1 = MAction->addSeparator();
    M終了 = MAction->addAction(QStringLiteral("終了"));
    M終了->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    click(M終了, &FM::M終了_Click);

    MDoc_Head = new QMenu(QStringLiteral("新規作成"), this);
    MDoc = MenuArray(MDoc_Head, MDoc_Head->addAction(QString()), array(&FM::MDoc_Click));

    M履歴_Head = new QMenu(QStringLiteral("履歴"), this);
    M履歴 = MenuArray(M履歴_Head, M履歴_Head->addAction(QString()), array(&FM::M履歴_Click));

    M表示切替_Head = new QMenu(QStringLiteral("表示切替"), this);
    M通常入力 = M表示切替_Head->addAction(QStringLiteral("通常入力"));
    M通常入力->setShortcut(QKeySequence(Qt::Key_F1));
    M通常入力->setCheckable(true);
    M通常入力->setChecked(true);
    click(M通常入力, &FM::M通常入力_Click);
    Mフリー編集 = M表示切替_Head->addAction(QStringLiteral("フリー編集"));
    Mフリー編集->setShortcut(QKeySequence(Qt::Key_F2));
    Mフリー編集->setCheckable(true);
    click(Mフリー編集, &FM::Mフリー編集_Click);

    M挿入_Head = new QMenu(QStringLiteral("挿入"), this);
    M画像挿入 = M挿入_Head->addAction(QStringLiteral("画像"));
    click(M画像挿入, &FM::M画像挿入_Click);
    M文字挿入 = M挿入_Head->addAction(QStringLiteral("文字"));

    D_Menu_Head = new QMenu(QStringLiteral("D_Menu_Head"), this);
    D_Menu = MenuArray(D_Menu_Head, D_Menu_Head->addAction(QString()), array(&FM::D_Menu_Click));

    Mメニュー_Head = new QMenu(QStringLiteral("メニュー"), this);
    Mメニュー_Add = Mメニュー_Head->addAction(QStringLiteral("新規登録"));
    click(Mメニュー_Add, &FM::Mメニュー_Add_Click);
    Mメニュー_Del_Head = Mメニュー_Head->addMenu(QStringLiteral("削除"));
    Mメニュー_Del = MenuArray(Mメニュー_Del_Head, Mメニュー_Del_Head->addAction(QString()), array(&FM::Mメニュー_Del_Click));
    区切り線 = Mメニュー_Head->addSeparator();
    Mメニュー = MenuArray(Mメニュー_Head, Mメニュー_Head->addAction(QString()), array(&FM::Mメニュー_Click));
    M定型文 = Mメニュー_Head->addAction(QStringLiteral("定型文"));
    click(M定型文, &FM::M定型文_Click);

    Mプラマイ = new QMenu(QStringLiteral("±"), this);
    Mプラス = Mプラマイ->addAction(QStringLiteral("＋"));
    click(Mプラス, &FM::Mプラス_Click);
    Mマイナス = Mプラマイ->addAction(QStringLiteral("－"));
    click(Mマイナス, &FM::Mマイナス_Click);

    MDate_Y_Head = new QMenu(QStringLiteral("年メニュー"), this);
    MDate_Y = MenuArray(MDate_Y_Head, MDate_Y_Head->addAction(QString()), array(&FM::MDate_Y_Click));
    MDate_M_Head = new QMenu(QStringLiteral("月メニュー"), this);
    MDate_M = MenuArray(MDate_M_Head, MDate_M_Head->addAction(QString()), array(&FM::MDate_M_Click));
    for (int m = 1; m <= 12; ++m)
        MDate_M.load(m)->setText(QString::number(m));
    MDate_D_Head = new QMenu(QStringLiteral("日メニュー"), this);
    MDate_D = MenuArray(MDate_D_Head, MDate_D_Head->addAction(QString()), array(&FM::MDate_D_Click));
    for (int d = 1; d <= 31; ++d)
        MDate_D.load(d)->setText(QString::number(d));

    // The shortcuts work while the window is shown, whether or not the menu
    // bar currently shows these menus.
    for (QMenu *menu : menuBarMenus())
        addActions(menu->actions());
}

QList<QMenu *> FM::menuBarMenus() const
{
    return {MAction, MDoc_Head, M履歴_Head, M表示切替_Head};
}

QString FM::MenuTag(const QMenu *menu)
{
    return menu ? menu->menuAction()->data().toString() : QString();
}

void FM::SetMenuTag(QMenu *menu, const QString &tag)
{
    if (menu)
        menu->menuAction()->setData(tag);
}

void FM::SetYearMenu(int from, int to)
{
    int k = 1;
    for (int y = to; y >= from; --y, ++k) {
        QAction *a = MDate_Y.load(k);
        a->setText(YearMenuCaption(y));
        a->setData(QString::number(y));
    }
}

void FM::メニューEnabled(bool flag)
{
    MAction->setEnabled(flag);
    M履歴_Head->setEnabled(flag);
    MDoc_Head->setEnabled(flag);
    M定型文->setEnabled(flag);
}

void FM::M印刷_Click()
{
    if (docHooks().showPrintDialog)
        docHooks().showPrintDialog();
}

void FM::M保存_Click(int index)
{
    if (OldVersion)
        return;
    const int number = Lb登録番号->text().trimmed().toInt();
    const bool saved = docHooks().saveDocument && docHooks().saveDocument(number, QString::number(index));
    if (saved) {
        prompter().message(QStringLiteral("保存しました"));
        更新チェック更新();
    } else if (const QString why = SaveFailureText(); !why.isEmpty()) {
        prompter().message(why);
    }
}

void FM::M終了_Click()
{
    if (!UnloadFM())
        return;
    if (DocumentHost *head = documentHost())
        head->closeMainWindow();
}

void FM::MDoc_Click(int index)
{
    const QString kind = MDoc[index] ? MDoc[index]->text() : QString();
    if (kind.isEmpty())
        return;
    NewDocument(kind);
}

bool NewDocument(const QString &kind)
{
    if (!BuildDocument(kind) || !fm())
        return false;
    fm()->更新チェック更新();
    fm()->OpenFirstField();
    return true;
}

void FM::M履歴_Click(int index)
{
    if (!M履歴[index] || M履歴[index]->text().isEmpty())
        return;
    if (DocumentHost *head = documentHost())
        head->OpenHistoryRow(index);
}

void FM::M画像挿入_Click()
{
    if (OldVersion)
        return;
    if (docHooks().showPictureDialog)
        docHooks().showPictureDialog();
}
