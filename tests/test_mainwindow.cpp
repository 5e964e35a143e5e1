#include "AppHome.h"

#include "app/AppState.h"
#include "app/Units.h"
#include "app/Words.h"
#include "app/ui/FHead.h"
#include "ui/Fonts.h"
#include "ui/Navigation.h"
#include "app/ui/WheelScroll.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "document/ui/FMCanvas.h"
#include "storage/Ini.h"
#include "templates/ui/BuildDocument.h"

#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>

namespace {
struct HeadHome : AppHome
{
    explicit HeadHome(bool withSamples = false)
        : AppHome(withSamples)
    {
        CurrentDrName = QStringLiteral("鈴木　一郎");
        setPatient(kPatientTanaka);
    }
    void kind(const QString &name, int width, int height) const
    {
        writeTemplate(name, {QStringLiteral("Width=%1").arg(width), QStringLiteral("Height=%1").arg(height)});
    }
};

QStringList Texts(const QVector<QLabel *> &labels)
{
    QStringList out;
    for (const QLabel *l : labels)
        out << l->text();
    return out;
}

// A spontaneous event travels up the parents like a real wheel turn.
void SendWheel(QWidget *target, int delta, bool spontaneous = false)
{
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    if (spontaneous)
        QSpontaneKeyEvent::setSpontaneous(&e);
    QCoreApplication::sendEvent(target, &e);
}
}

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void wordsSplitSigned();
    void kindMenuListsTemplatesButNotSettings();
    void topBarShowsPatientAndAuthor();
    void historyListFitsItsPanel();
    void positionIsRememberedExceptWhenMinimized();
    void closingReturnsToStartWindow();
    void documentIsPlacedByMainWindowWidth();
    void paletteState();
    void clearingAsksFirst();
    void wheelStepsOneLinePerEvent();
    void documentMenusReplaceOwnWhileShown();
    void sampleKindsBuildInsideTheirPages();
};

void TestMainWindow::wordsSplitSigned()
{
    QCOMPARE(HiWord(120 * 65536), 120);
    QCOMPARE(HiWord(-240 * 65536), -240);
    QCOMPARE(HiWord(-5), 0);
    QCOMPARE(LoWord(120 * 65536 + 8), 8);
    QCOMPARE(LoWord(-70000), -4464);
}

void TestMainWindow::kindMenuListsTemplatesButNotSettings()
{
    HeadHome h;
    h.home.writeIni(QStringLiteral("setting"), QStringLiteral("[DATA]\r\n"));
    FHead &head = h.loadMainWindow();
    QCOMPARE(head.MDoc.captions(), QStringList({QString()}));
    h.kind(QStringLiteral("紹介状"), 6000, 6000);
    h.kind(QStringLiteral("診断書"), 6000, 6000);
    head.MDIForm_Load();
    QCOMPARE(head.MDoc.captions(), QStringList({"紹介状", "診断書"}));
    // Reloading does not pile up entries.
    head.MDIForm_Load();
    QCOMPARE(head.MDoc_Head->actions().size(), 2);
    // Choosing an entry builds that kind.
    head.MDoc[1]->trigger();
    QVERIFY(fm());
    QCOMPARE(fm()->Tag, QStringLiteral("診断書"));
    QVERIFY(!fm()->更新チェック());
}

void TestMainWindow::topBarShowsPatientAndAuthor()
{
    HeadHome h;
    FHead &head = h.loadMainWindow();
    QCOMPARE(Texts(head.Lb基本情報), QStringList({"5", "ﾀﾅｶ ｼﾞﾛｳ", "田中　次郎", "平成01", "01", "08", "37", "男", "大阪府"}));
    QCOMPARE(head.Lb入力者->text(), QStringLiteral("鈴木　一郎"));
    QCOMPARE(FHead::TagOf(head.Lb基本情報[7]), QStringLiteral("性別"));
    PatientSex = 0;
    head.MDIForm_Load();
    QCOMPARE(head.Lb基本情報[7]->text(), QStringLiteral("女"));
}

void TestMainWindow::historyListFitsItsPanel()
{
    HeadHome h;
    FHead &head = h.loadMainWindow(true);
    QTreeWidget *list = head.LV履歴;
    list->clear();
    list->addTopLevelItem(new QTreeWidgetItem(QStringList{"2026.12.07", "12", "紹介状", "0"}));
    QVERIFY(QTest::qWaitForWindowExposed(&head));
    QCOMPARE(list->columnCount(), 4);
    QCOMPARE(head.PicRight->width(), TwipsToPx(2400));
    // Never scrolled sideways: the four columns share the visible width.
    QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    int total = 0;
    for (int c = 0; c < 4; ++c) {
        QVERIFY2(list->columnWidth(c) > 0, qPrintable(QString::number(c)));
        total += list->columnWidth(c);
    }
    QVERIFY(total <= list->viewport()->width());
    // A whole date and a three-character kind are readable.
    const QFontMetrics fm(list->font());
    QVERIFY(list->columnWidth(0) > fm.horizontalAdvance(QStringLiteral("2026.12.07")));
    QVERIFY(list->columnWidth(2) > fm.horizontalAdvance(QStringLiteral("紹介状")));
    QCOMPARE(list->headerItem()->toolTip(3), QStringLiteral("終了判定"));
    head.close();
}

void TestMainWindow::positionIsRememberedExceptWhenMinimized()
{
    HeadHome h;
    FHead &head = fheadInstance();
    // A settings file someone saved as UTF-8 in an editor, with LF line ends.
    const QByteArray hospital = QStringLiteral("病院名=ライドル総合病院\n").toUtf8();
    const QString path = h.home.data(QStringLiteral("ini/setting.ini"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("; position of the main window\n[DATA]\nFhead_Left=1500\nFhead_Top=750\n"
                "Fhead_Width=15000\nFhead_Height=12000x\n" + hospital);
    }
    head.MDIForm_Load();
    QCOMPARE(head.pos(), QPoint(100, 50));
    QCOMPARE(head.size(), QSize(1000, 800));

    head.show();
    head.resize(900, 700);
    const quint64 writesBefore = IniFilesWritten();
    head.close();
    QCOMPARE(IniFilesWritten() - writesBefore, quint64(1));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("Fhead_Width")), QStringLiteral("13500"));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("Fhead_Height")), QStringLiteral("10500"));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("病院名")), QStringLiteral("ライドル総合病院"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("; position of the main window\n[DATA]\nFhead_Left="));
        QVERIFY(bytes.endsWith("\nFhead_Height=10500\n" + hospital));
    }

    head.MDIForm_Load();
    head.show();
    head.resize(600, 500);
    head.setWindowState(Qt::WindowMinimized);
    const quint64 writesMinimized = IniFilesWritten();
    head.close();
    QCOMPARE(IniFilesWritten(), writesMinimized);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("Fhead_Width")), QStringLiteral("13500"));
    head.setWindowState(Qt::WindowNoState);
}

void TestMainWindow::closingReturnsToStartWindow()
{
    HeadHome h;
    int shownStart = 0;
    nav().showStart = [&] { ++shownStart; };
    h.kind(QStringLiteral("k"), 6000, 6000);
    h.home.writeIni(QStringLiteral("k"), QStringLiteral("[DATA]\r\nWidth=6000\r\nHeight=6000\r\nlbItem_0=100|100|900|255|0||ＭＳ 明朝|10|0|1|A|1|\r\n"));
    FHead &head = h.loadMainWindow(true);
    head.MDoc[0]->trigger();
    fm()->LbItem[0]->setText(QStringLiteral("書きかけ"));
    h.prompts.answers = {false};
    // The document window's 終了 closes the document, then the main window.
    fm()->M終了->trigger();
    QCOMPARE(h.prompts.questions, QStringList({QStringLiteral("変更されています。保存しますか？")}));
    QCOMPARE(fm(), nullptr);
    QVERIFY(head.isHidden());
    QCOMPARE(shownStart, 1);
}

void TestMainWindow::documentIsPlacedByMainWindowWidth()
{
    HeadHome h;
    h.kind(QStringLiteral("k"), 9000, 6000);
    FHead &head = h.loadMainWindow(true);
    head.resize(1000, 700);
    BuildDocument(QStringLiteral("k"));
    FM *doc = fm();
    const int docWidth = doc->Width();
    QVERIFY(docWidth >= 9000);
    QCOMPARE(doc->Left(), int(PxToTwips(TwipsToPx((15000 - docWidth - 500) / 2))));
    QCOMPARE(doc->Top(), 300);
    head.resize(500, 700);
    QCOMPARE(doc->Left(), 0);
}

void TestMainWindow::paletteState()
{
    HeadHome h;
    h.kind(QStringLiteral("k"), 6000, 6000);
    FHead &head = h.loadMainWindow();
    BuildDocument(QStringLiteral("k"));
    FM *doc = fm();
    QCOMPARE(QStringList({"1", "2", "3", "4", "6", "8", "12", "16", "18", "24", "26", "48"}).size(), head.ListPoint->count());
    QCOMPARE(head.lineWidthText(), QStringLiteral("1"));
    QCOMPARE(head.currentTool(), 0);
    QCOMPARE(head.Optツール[2]->text(), QStringLiteral("／"));

    head.ListPoint->setCurrentRow(6);
    QCOMPARE(head.lineWidth(), 12);
    head.SelectTool(1);
    QCOMPARE(doc->ShapePoint.twips.size(), QSize(180, 180));
    QVERIFY(doc->ShapePoint.visible);
    QCOMPARE(doc->canvas()->cursor().shape(), Qt::BitmapCursor);
    head.SelectTool(4);
    QVERIFY(!doc->ShapePoint.visible);
    QCOMPARE(doc->canvas()->cursor().shape(), Qt::CrossCursor);

    // Choosing a tool fixes a floating picture first.
    QPixmap black(4, 4);
    black.fill(Qt::black);
    doc->Img->setPixmap(black);
    doc->Img->setGeometry(0, 0, 4, 4);
    doc->Img->show();
    head.SelectTool(0);
    QVERIFY(doc->Img->isHidden());
    QCOMPARE(doc->surface().pixelColor(1, 1), QColor(Qt::black));
    QCOMPARE(doc->canvas()->cursor().shape(), Qt::ArrowCursor);

    head.Label色_Click(2);
    QCOMPARE(head.drawingColor(), QColor(255, 0, 0));
    h.prompts.colors = {QColor(10, 20, 30)};
    head.Cmd色_Click();
    QCOMPARE(head.drawingColor(), QColor(10, 20, 30));
    QCOMPARE(h.prompts.asked, QStringList({QStringLiteral("<color>")}));
}

void TestMainWindow::clearingAsksFirst()
{
    HeadHome h;
    h.kind(QStringLiteral("k"), 6000, 6000);
    FHead &head = h.loadMainWindow();
    BuildDocument(QStringLiteral("k"));
    FM *doc = fm();
    doc->更新チェック更新();
    doc->surface().setPixelColor(3, 3, Qt::blue);
    h.prompts.answers = {false, true};
    head.Cmdクリア_Click();
    QCOMPARE(h.prompts.questions, QStringList({QStringLiteral("フリー編集の内容をクリアしてもいいですか？")}));
    QCOMPARE(doc->surface().pixelColor(3, 3), QColor(Qt::blue));
    QVERIFY(!doc->DocumentChanged);
    head.Cmdクリア_Click();
    QCOMPARE(doc->surface().pixelColor(3, 3), QColor(Qt::white));
    QVERIFY(doc->DocumentChanged);
}

void TestMainWindow::wheelStepsOneLinePerEvent()
{
    HeadHome h;
    h.kind(QStringLiteral("short"), 6000, 3000);
    h.kind(QStringLiteral("tall"), 9000, 40000);
    FHead &head = h.loadMainWindow(true);
    head.resize(1000, 700);
    QVERIFY(QTest::qWaitForWindowExposed(&head));
    QScrollBar *bar = head.mdiArea()->verticalScrollBar();

    BuildDocument(QStringLiteral("short"));
    QCoreApplication::processEvents();
    QVERIFY(!bar->isVisible());
    SendWheel(head.mdiArea()->viewport(), -120);
    QCOMPARE(bar->value(), 0);

    BuildDocument(QStringLiteral("tall"));
    QCoreApplication::processEvents();
    QVERIFY(bar->isVisible());
    const int line = bar->singleStep();
    const int start = bar->value();
    SendWheel(head.mdiArea()->viewport(), -240);
    QCOMPARE(bar->value(), start + line);
    SendWheel(head.mdiArea()->viewport(), 0);
    QCOMPARE(bar->value(), start + 2 * line);
    SendWheel(head.mdiArea()->viewport(), 120);
    QCOMPARE(bar->value(), start + line);
    // A real wheel turn over the document itself steps the area the same way.
    SendWheel(fm()->canvas(), -120, true);
    QCOMPARE(bar->value(), start + 2 * line);
    DocLabel *label = fm()->LoadLabel(1);
    label->setTwips(QRect(300, 300, 2000, 300));
    label->show();
    SendWheel(label, -120, true);
    QCOMPARE(bar->value(), start + 3 * line);
    // Wheel turns elsewhere (the history list) leave the area alone.
    SendWheel(head.LV履歴, -120);
    QCOMPARE(bar->value(), start + 3 * line);

    QVERIFY(head.wheel()->unhook());
    QVERIFY(head.wheel()->unhook());
    head.wheel()->hook();
    head.close();
}

void TestMainWindow::documentMenusReplaceOwnWhileShown()
{
    HeadHome h;
    h.kind(QStringLiteral("k"), 6000, 6000);
    FHead &head = h.loadMainWindow(true);
    auto titles = [&head] {
        QStringList out;
        for (QAction *a : head.menuBar()->actions())
            out << a->text();
        return out;
    };
    QCOMPARE(titles(), QStringList({"メニュー", "新規作成", "履歴"}));
    BuildDocument(QStringLiteral("k"));
    QCOMPARE(titles(), QStringList({"メニュー", "新規作成", "履歴", "表示切替"}));
    QCOMPARE(head.menuBar()->actions().first()->menu(), fm()->MAction);
    UnloadFM();
    QCOMPARE(titles(), QStringList({"メニュー", "新規作成", "履歴"}));
    QCOMPARE(head.menuBar()->actions().first()->menu(), head.Mメニュー);
    head.close();
}

// Every sample form builds with its elements inside the page. With
// RYDOL_SHOT_DIR set, the main window with each form is saved there as PNG.
void TestMainWindow::sampleKindsBuildInsideTheirPages()
{
    InstallFontSubstitutes();
    HeadHome h(true);
    WriteIni(QStringLiteral("setting"), QStringLiteral("病院名"), QStringLiteral("ライドル総合病院"));
    WriteIni(QStringLiteral("setting"), QStringLiteral("住所"), QStringLiteral("東京都千代田区千代田1-1"));
    FHead &head = h.loadMainWindow();
    head.resize(1300, 1000);
    head.show();
    QVERIFY(head.MDoc.count() >= 3);
    const QString shots = qEnvironmentVariable("RYDOL_SHOT_DIR");
    for (int i = 0; i < head.MDoc.count(); ++i) {
        head.MDoc[i]->trigger();
        FM *doc = fm();
        QVERIFY(doc);
        const QRect page(0, 0, doc->pageWidth(), doc->pageHeight());
        for (auto *family : {&doc->Label, &doc->LbItem, &doc->LbKanja_Data, &doc->LbList, &doc->ImgCheck})
            for (DocLabel *e : *family)
                if (!e->isHidden())
                    QVERIFY2(page.contains(e->twips()), qPrintable(doc->Tag));
        QCoreApplication::processEvents();
        if (!shots.isEmpty()) {
            head.grab().save(shots + QStringLiteral("/") + doc->Tag + QStringLiteral(".png"));
            doc->canvas()->grab().save(shots + QStringLiteral("/") + doc->Tag + QStringLiteral("-page.png"));
        }
    }
    head.close();
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
