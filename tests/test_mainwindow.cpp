#include "AppHome.h"

#include "app/AppState.h"
#include "app/ScreenFit.h"
#include "app/Units.h"
#include "app/Words.h"
#include "app/ui/FHead.h"
#include "ui/AppStyle.h"
#include "ui/Fonts.h"
#include "ui/Navigation.h"
#include "app/ui/WheelScroll.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "document/ui/FMCanvas.h"
#include "patients/Patient.h"
#include "storage/Ini.h"
#include "templates/ui/BuildDocument.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QHeaderView>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>
#include <QtTest>

#include <memory>
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

// A wheel event as a touchpad or a tilting wheel sends it.
void SendWheelEvent(QWidget *target, const QPoint &angle, const QPoint &pixels, Qt::ScrollPhase phase)
{
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent e(at, target->mapToGlobal(at), pixels, angle, Qt::NoButton, Qt::NoModifier, phase, false);
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
    void emptyBirthDateShowsEmpty();
    void noPatientShowsNoSex();
    void historyListFitsItsPanel();
    void historyRowOpensOnEnterAsOnDoubleClick();
    void positionIsRememberedExceptWhenMinimized();
    void closingReturnsToStartWindow();
    void documentIsPlacedByMainWindowWidth();
    void paletteState();
    void clearingAsksFirst();
    void wheelStepsOneLinePerEvent();
    void labelsOutOfViewPaintWhenScrolledIn();
    void keptPicturesLookAsDrawnAnew();
    void closingForgetsFreeEditing();
    void opensInsideTheUsableScreen();
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

// A patient without a birth date, and the state after a failed lookup:
// month, day and age are empty in the top bar and in the document's fields.
void TestMainWindow::emptyBirthDateShowsEmpty()
{
    HeadHome h;
    h.home.writeIni(QStringLiteral("k"),
                    QStringLiteral("[DATA]\r\nWidth=6000\r\nHeight=6000\r\n"
                                   "lbKanja_Data_0=100|100|1000|255|0||ＭＳ 明朝|10|0|1|生日\r\n"
                                   "lbKanja_Data_1=100|400|1000|255|0||ＭＳ 明朝|10|0|2|生月\r\n"
                                   "lbKanja_Data_2=100|700|1000|255|0||ＭＳ 明朝|10|0|3|年齢\r\n"));
    PatientBirth = 0;
    PatientEra.clear();
    PatientEraYear.clear();
    PatientAge = 0;
    FHead &head = fheadInstance();
    head.MDIForm_Load();
    QCOMPARE(Texts(head.Lb基本情報).mid(3, 4), QStringList({"", "", "", ""}));
    QVERIFY(BuildDocument(QStringLiteral("k")));
    QCOMPARE(fm()->LbKanja_Data.size(), 3);
    for (DocLabel *field : fm()->LbKanja_Data)
        QVERIFY2(field->text().isEmpty(), qPrintable(field->Tag + QStringLiteral("=") + field->text()));
    head.close();
}

// After a failed lookup there is no patient: no sex is shown or copied into a
// document, where a found patient with anything but 1 reads "女".
void TestMainWindow::noPatientShowsNoSex()
{
    HeadHome h;
    h.home.writeIni(QStringLiteral("k"),
                    QStringLiteral("[DATA]\r\nWidth=6000\r\nHeight=6000\r\n"
                                   "lbKanja_Data_0=100|100|1000|255|0||ＭＳ 明朝|10|0|1|性別\r\n"));
    QVERIFY(!LookupPatient(QStringLiteral("99999")));
    FHead &head = fheadInstance();
    head.MDIForm_Load();
    QCOMPARE(head.Lb基本情報[7]->text(), QString());
    QVERIFY(BuildDocument(QStringLiteral("k")));
    QCOMPARE(fm()->LbKanja_Data[0]->text(), QString());
    head.close();
}

void TestMainWindow::historyListFitsItsPanel()
{
    HeadHome h;
    // Filled before the window is first shown, as a patient's history is.
    FHead &head = h.loadMainWindow(false);
    QTreeWidget *list = head.LV履歴;
    list->clear();
    list->addTopLevelItem(new QTreeWidgetItem(QStringList{"2026.12.07", "12", "紹介状", "0"}));
    list->addTopLevelItem(new QTreeWidgetItem(QStringList{"2026.12.08", "345", "入院診療計画書", "1"}));
    head.show();
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
    // What is drawn is the whole date, not a date cut short by an ellipsis:
    // the ink of the cell reaches as far right as the date's own width.
    {
        const QImage drawn = list->grab().toImage();
        const QPoint origin = list->viewport()->mapTo(list, QPoint(0, 0));
        for (int r = 0; r < 2; ++r) {
            const QRect cell = list->visualRect(list->model()->index(r, 0)).translated(origin);
            int inkRight = -1;
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                for (int x = cell.left(); x <= cell.right(); ++x)
                    if (qGray(drawn.pixel(x, y)) < 128)
                        inkRight = std::max(inkRight, x);
            const QString date = list->topLevelItem(r)->text(0);
            QVERIFY2(inkRight - cell.left() >= fm.horizontalAdvance(date) - 2,
                     qPrintable(date + QStringLiteral(" ink to %1 of %2").arg(inkRight - cell.left()).arg(cell.width())));
        }
    }
    // Every caption is read whole, on two lines where its column is narrow,
    // and every date, number and flag fits its cell.
    const int margin = list->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, list->header());
    const QFontMetrics hm(list->header()->font());
    for (int c = 0; c < 4; ++c) {
        const QString caption = list->headerItem()->text(c);
        const int room = list->columnWidth(c) - 2 * margin;
        const QRect wrapped = hm.boundingRect(QRect(0, 0, room, 1000), int(Qt::TextWordWrap), caption);
        QVERIFY2(wrapped.width() <= room && wrapped.height() <= list->header()->height() - 2,
                 qPrintable(caption + QStringLiteral(" %1 in %2").arg(wrapped.width()).arg(room)));
    }
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        for (int c : {0, 1, 3})
            QVERIFY2(list->columnWidth(c) > fm.horizontalAdvance(list->topLevelItem(r)->text(c)),
                     qPrintable(list->topLevelItem(r)->text(c)));
    head.close();
}

void TestMainWindow::historyRowOpensOnEnterAsOnDoubleClick()
{
    HeadHome h;
    h.kind(QStringLiteral("k"), 6000, 6000);
    FHead &head = h.loadMainWindow(true);
    QStringList opened;
    docHooks().openSavedDocument = [&](const QString &kind, const QString &id) { opened << kind + id; };
    QTreeWidget *list = head.LV履歴;
    list->clear();
    list->addTopLevelItem(new QTreeWidgetItem(QStringList{"2026.12.07", "12", "k", "0"}));
    list->addTopLevelItem(new QTreeWidgetItem(QStringList{"2026.12.08", "34", "k", "1"}));
    list->setCurrentItem(list->topLevelItem(1));
    QTest::keyClick(list, Qt::Key_Return);
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Enter);
    QCOMPARE(opened, (QStringList{QStringLiteral("k34"), QStringLiteral("k12")}));
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

// Labels below the window are left out of the first paint of a page; they
// are painted on the screen when the page is scrolled to them.
void TestMainWindow::labelsOutOfViewPaintWhenScrolledIn()
{
    HeadHome h;
    h.writeTemplate(QStringLiteral("縦長"),
                    {QStringLiteral("Width=9000"), QStringLiteral("Height=40000"),
                     QStringLiteral("label_0=300|300|3000|420|0|上の見出し|ＭＳ 明朝|14|0|1|"),
                     QStringLiteral("label_1=300|38000|3000|420|0|下の見出し|ＭＳ 明朝|14|0|2|")});
    FHead &head = h.loadMainWindow(true);
    head.resize(1000, 700);
    QVERIFY(QTest::qWaitForWindowExposed(&head));
    BuildDocument(QStringLiteral("縦長"));
    QCoreApplication::processEvents();
    FM *doc = fm();
    QVERIFY(doc);
    // Dark pixels of the label as the screen shows it, or -1 when the label
    // is outside the visible part of the document area.
    auto inkOnScreen = [&](const DocLabel *label) {
        const QRect shown(label->mapTo(&head, QPoint(0, 0)), label->size());
        const QWidget *viewport = head.mdiArea()->viewport();
        if (!QRect(viewport->mapTo(&head, QPoint(0, 0)), viewport->size()).contains(shown))
            return -1;
        const QImage screen = head.screen()->grabWindow(head.winId()).toImage();
        int ink = 0;
        for (int y = shown.top(); y <= shown.bottom(); ++y)
            for (int x = shown.left(); x <= shown.right(); ++x)
                ink += qGray(screen.pixel(x, y)) < 128;
        return ink;
    };
    QVERIFY(inkOnScreen(doc->Label[0]) > 20);
    QCOMPARE(inkOnScreen(doc->Label[1]), -1);
    QScrollBar *bar = head.mdiArea()->verticalScrollBar();
    bar->setValue(bar->maximum());
    QTRY_VERIFY(inkOnScreen(doc->Label[1]) > 20);
    // A label shown on the page as it stands paints where it is shown.
    DocLabel *added = doc->LoadLabel(2);
    added->setText(QStringLiteral("追加の見出し"));
    added->setTwips(QRect(300, 37000, 3000, 420));
    added->show();
    QTRY_VERIFY(inkOnScreen(added) > 20);
    head.close();
}

// The scroll bars, the document window's title bar and the menu bar items
// are drawn once for each look and shown from then on: they must look as
// drawing them anew does, and change with what they show, however often a
// look comes back.
void TestMainWindow::keptPicturesLookAsDrawnAnew()
{
    std::unique_ptr<QStyle> plain(QStyleFactory::create(QStringLiteral("Fusion")));
    std::unique_ptr<QStyle> keeping(PictureKeepingStyle(QStyleFactory::create(QStringLiteral("Fusion"))));
    auto same = [](QWidget &kept, QWidget &drawn) { return kept.grab().toImage() == drawn.grab().toImage(); };

    for (Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
        QScrollBar kept(orientation), drawn(orientation);
        kept.setStyle(keeping.get());
        drawn.setStyle(plain.get());
        QImage first;
        for (QScrollBar *bar : {&kept, &drawn}) {
            bar->setRange(0, 1000);
            bar->setPageStep(100);
            bar->resize(orientation == Qt::Vertical ? QSize(14, 300) : QSize(300, 14));
        }
        for (int value : {0, 450, 1000, 0, 450}) {
            kept.setValue(value);
            drawn.setValue(value);
            QVERIFY(same(kept, drawn));
            const QImage shown = kept.grab().toImage();
            if (value == 0)
                first = shown;
            else
                QVERIFY(shown != first);
        }
        kept.setEnabled(false);
        drawn.setEnabled(false);
        QVERIFY(same(kept, drawn));
    }

    QMdiArea keptArea, drawnArea;
    QMdiSubWindow *keptWindow = keptArea.addSubWindow(new QWidget);
    QMdiSubWindow *drawnWindow = drawnArea.addSubWindow(new QWidget);
    keptWindow->setStyle(keeping.get());
    drawnWindow->setStyle(plain.get());
    for (QMdiArea *area : {&keptArea, &drawnArea}) {
        area->resize(500, 400);
        area->subWindowList().first()->resize(400, 300);
    }
    for (const QString &title : {QStringLiteral("紹介状"), QStringLiteral("診断書"), QStringLiteral("紹介状")}) {
        keptWindow->setWindowTitle(title);
        drawnWindow->setWindowTitle(title);
        QVERIFY(same(*keptWindow, *drawnWindow));
    }

    QMenuBar keptBar, drawnBar;
    keptBar.setStyle(keeping.get());
    drawnBar.setStyle(plain.get());
    for (QMenuBar *bar : {&keptBar, &drawnBar}) {
        bar->addMenu(QStringLiteral("メニュー"));
        bar->addMenu(QStringLiteral("履歴"))->setEnabled(false);
        bar->resize(400, bar->sizeHint().height());
    }
    QVERIFY(same(keptBar, drawnBar));
    keptBar.actions().first()->setText(QStringLiteral("新規作成"));
    drawnBar.actions().first()->setText(QStringLiteral("新規作成"));
    QVERIFY(same(keptBar, drawnBar));
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
    // Sideways wheel turns and touchpad swipes, and the start and end of a
    // touchpad gesture, are no vertical steps.
    SendWheelEvent(fm()->canvas(), QPoint(120, 0), QPoint(), Qt::NoScrollPhase);
    SendWheelEvent(fm()->canvas(), QPoint(-120, 0), QPoint(), Qt::NoScrollPhase);
    SendWheelEvent(fm()->canvas(), QPoint(-15, 0), QPoint(-30, 0), Qt::ScrollUpdate);
    SendWheelEvent(fm()->canvas(), QPoint(), QPoint(), Qt::ScrollBegin);
    SendWheelEvent(fm()->canvas(), QPoint(), QPoint(), Qt::ScrollEnd);
    QCOMPARE(bar->value(), start + 3 * line);
    // A vertical swipe steps like a wheel.
    SendWheelEvent(fm()->canvas(), QPoint(0, -15), QPoint(0, -30), Qt::ScrollUpdate);
    QCOMPARE(bar->value(), start + 4 * line);

    QVERIFY(head.wheel()->unhook());
    QVERIFY(head.wheel()->unhook());
    head.wheel()->hook();
    head.close();
}

// Closing the main window in free editing and opening it again: it comes
// back as first loaded, so a drag in normal input does not draw.
void TestMainWindow::closingForgetsFreeEditing()
{
    HeadHome h;
    h.kind(QStringLiteral("k"), 6000, 6000);
    FHead &head = fheadInstance();
    ShowMainWindow();
    BuildDocument(QStringLiteral("k"));
    fm()->更新チェック更新();
    fm()->Mフリー編集_Click();
    head.SelectTool(1);
    head.ListPoint->setCurrentRow(6);
    head.Label色_Click(2);
    head.CheckLock->setChecked(true);
    head.setPicRightWidth(10);
    QVERIFY(head.PicLeft->isVisible() && head.PicRight->isHidden());
    head.close();
    QVERIFY(head.isHidden());

    ShowMainWindow();
    QCOMPARE(head.currentTool(), 0);
    QCOMPARE(head.lineWidthText(), QStringLiteral("1"));
    QCOMPARE(head.drawingColor(), QColor(Qt::black));
    QVERIFY(head.PicLeft->isHidden());
    QVERIFY(head.PicRight->isVisible());
    QCOMPARE(head.PicRightWidth(), 2400);
    QVERIFY(!head.CheckLock->isChecked());

    BuildDocument(QStringLiteral("k"));
    FM *doc = fm();
    doc->更新チェック更新();
    QVERIFY(doc->M通常入力->isChecked());
    doc->Form_MouseDown(Qt::LeftButton, {}, 1500, 1500);
    doc->Form_MouseMove(Qt::LeftButton, {}, 3000, 3000);
    doc->Form_MouseUp(Qt::LeftButton, {}, 3000, 3000);
    QCOMPARE(doc->surface().pixelColor(TwipsToPx(2250), TwipsToPx(2250)), QColor(Qt::white));
    QVERIFY(!doc->DocumentChanged);
    QVERIFY(!doc->更新チェック());
    head.close();
}

void TestMainWindow::opensInsideTheUsableScreen()
{
    // A 1366 x 768 screen with a 27-pixel panel on top, a frame of 4 pixels
    // with a 28-pixel title bar.
    const QRect available(0, 27, 1366, 741);
    const QMargins frame(4, 28, 4, 4);
    QCOMPARE(FitWindowToScreen(QRect(0, 0, 1320, 768), frame, available), QRect(0, 27, 1320, 709));
    // Remembered on a larger screen: moved back, its size kept where it fits.
    QCOMPARE(FitWindowToScreen(QRect(1800, 900, 1000, 700), frame, available), QRect(358, 36, 1000, 700));
    QCOMPARE(FitWindowToScreen(QRect(-500, -300, 800, 600), frame, available), QRect(0, 27, 800, 600));

    HeadHome h;
    FHead &head = fheadInstance();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // The design size, and a size and place remembered on a far larger screen.
    WriteIni(QStringLiteral("setting"), QStringLiteral("Fhead_Width"), QString());
    for (int pass = 0; pass < 2; ++pass) {
        ShowMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&head));
        QVERIFY(screen.contains(head.frameGeometry()));
        head.close();
        WriteIni(QStringLiteral("setting"), QStringLiteral("Fhead_Left"), QString::number(PxToTwips(screen.width())));
        WriteIni(QStringLiteral("setting"), QStringLiteral("Fhead_Top"), QStringLiteral("-3000"));
        WriteIni(QStringLiteral("setting"), QStringLiteral("Fhead_Width"), QString::number(PxToTwips(screen.width() * 2)));
        WriteIni(QStringLiteral("setting"), QStringLiteral("Fhead_Height"), QString::number(PxToTwips(screen.height() + 300)));
    }
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

// The offscreen platform's own screen is 800 x 600; these tests want one of a
// desktop's size, with window frames as a window system draws them.
int main(int argc, char **argv)
{
    QTemporaryDir config;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && config.isValid()) {
        const QString path = config.filePath(QStringLiteral("screens.json"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(R"({"windowFrameMargins": true, "screens": [{"name": "desk", "x": 0, "y": 0,
                          "width": 1920, "height": 1200, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            file.close();
            qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QFile::encodeName(path));
        }
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestMainWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_mainwindow.moc"
