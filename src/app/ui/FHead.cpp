#include "app/ui/FHead.h"

#include "app/AppState.h"
#include "app/ScreenFit.h"
#include "app/Units.h"
#include "ui/Navigation.h"
#include "ui/Placement.h"
#include "app/ui/WheelScroll.h"
#include "document/ui/DocumentHooks.h"
#include "document/ui/FM.h"
#include "inserts/ui/PhraseLists.h"
#include "patients/Patient.h"
#include "storage/Ini.h"
#include "templates/TemplateReader.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
FHead *g_head = nullptr;
}

FHead *fhead()
{
    return g_head;
}

FHead &fheadInstance()
{
    if (!g_head)
        g_head = new FHead;
    return *g_head;
}

void ShowMainWindow()
{
    FHead &head = fheadInstance();
    head.MDIForm_Load();
    head.show();
    head.raise();
    head.activateWindow();
}

QString FHead::TagOf(const QLabel *label)
{
    return label ? label->property("Tag").toString() : QString();
}

FHead::FHead()
{
    setWindowTitle(QStringLiteral("Rydol"));
    // Large enough for an A4 page beside the right panel where the screen allows.
    QSize size(TwipsToPx(15360), TwipsToPx(11520));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        size = size.expandedTo(QSize(qMin(avail.width(), 1320), qMin(avail.height() - 40, 1150)));
    }
    resize(size);

    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    createTopBar();
    outer->addWidget(PicTop);
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    createPalette();
    row->addWidget(PicLeft);
    m_mdi = new QMdiArea(central);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setBackground(QColor(171, 171, 171));
    row->addWidget(m_mdi, 1);
    createRightPanel();
    row->addWidget(PicRight);
    outer->addLayout(row, 1);
    setCentralWidget(central);
    m_wheel = new WheelScroll(m_mdi);
    createMenus();
    PicLeft->hide();
    SetDocumentHost(this);
}

FHead::~FHead()
{
    if (g_head == this)
        g_head = nullptr;
    if (documentHost() == this)
        SetDocumentHost(nullptr);
}

void FHead::showPalette(bool shown)
{
    PicLeft->setVisible(shown);
}

void FHead::showRightPanel(bool shown)
{
    PicRight->setVisible(shown);
}

bool FHead::rightPanelAutoHides() const
{
    return CheckLock->isChecked();
}

QList<QPair<QString, QString>> FHead::patientValues() const
{
    QList<QPair<QString, QString>> values;
    values.reserve(Lb基本情報.size());
    for (const QLabel *value : Lb基本情報)
        values.append({TagOf(value), value->text()});
    return values;
}

QString FHead::authorName() const
{
    return Lb入力者->text();
}

void FHead::createMenus()
{
    Mメニュー = menuBar()->addMenu(QStringLiteral("メニュー"));
    M終了 = Mメニュー->addAction(QStringLiteral("終了"));
    M終了->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(M終了, &QAction::triggered, this, [this] { M終了_Click(); });
    MDoc_Head = menuBar()->addMenu(QStringLiteral("新規作成"));
    MDoc = MenuArray(MDoc_Head, MDoc_Head->addAction(QString()), [this](int i) { MDoc_Click(i); });
    M履歴_Head = menuBar()->addMenu(QStringLiteral("履歴"));
    M履歴 = MenuArray(M履歴_Head, M履歴_Head->addAction(QString()), [this](int i) { M履歴_Click(i); });
}

void FHead::useMenusOf(FM *doc)
{
    if (!doc)
        return;
    m_menusOf = doc;
    menuBar()->clear();
    for (QMenu *menu : doc->menuBarMenus())
        menuBar()->addMenu(menu);
}

void FHead::useOwnMenus(FM *doc)
{
    if (m_menusOf != doc)
        return;
    m_menusOf = nullptr;
    menuBar()->clear();
    for (QMenu *menu : {Mメニュー, MDoc_Head, M履歴_Head})
        menuBar()->addMenu(menu);
}

int FHead::WidthTwips() const
{
    return int(PxToTwips(width()));
}

// Closing the window unloads it: whatever free editing left behind (palette
// shown, a drawing tool chosen, the right panel hidden or narrowed, another
// colour) does not carry over into the next opening.
void FHead::resetToDesign()
{
    for (int i = 0; i < Optツール.size(); ++i) {
        const QSignalBlocker quiet(Optツール[i]);
        Optツール[i]->setChecked(i == 0);
    }
    PicLeft->hide();
    CheckLock->setChecked(false);
    setPicRightWidth(2400);
    PicRight->show();
    m_dialogColor = Qt::black;
    setDrawingColor(Qt::black);
}

// The bar is about to show the current patient. A document of another
// patient still open is closed first, with the usual question (saved, it
// stays its own patient's); when it stays open, its patient stays current,
// so the bar never shows one patient over another's document.
void FHead::closeOtherPatientsDocument()
{
    FM *doc = fm();
    if (!doc || doc->Tag.isEmpty() || doc->患者番号 == PatientID)
        return;
    const QString owner = doc->患者番号;
    if (!UnloadFM())
        LookupPatient(owner);
}

void FHead::MDIForm_Load()
{
    closeOtherPatientsDocument();
    resetToDesign();
    m_wheel->hook();
    docHooks().drawingHistoryChanged = [] {
        if (FHead *head = fhead())
            head->UpdateUndoButtons();
    };

    MDoc.unloadAll();
    MDoc[0]->setText(QString());
    const QStringList kinds = TemplateKinds();
    for (int n = 0; n < kinds.size(); ++n)
        MDoc.load(n)->setText(kinds[n]);

    QRect wanted(pos(), size());
    if (!ReadIni(QStringLiteral("setting"), QStringLiteral("Fhead_Width")).isEmpty()) {
        auto read = [](const char *key) { return int(Val(ReadIni(QStringLiteral("setting"), QString::fromLatin1(key)))); };
        const int left = read("Fhead_Left"), top = read("Fhead_Top");
        const int w = read("Fhead_Width"), h = read("Fhead_Height");
        wanted = QRect(TwipsToPx(left), TwipsToPx(top), TwipsToPx(w), TwipsToPx(h));
    }
    // A size or place remembered from a larger screen, or the design size on
    // a small one, is brought inside the usable screen; the page scrolls.
    const QScreen *screen = QGuiApplication::screenAt(wanted.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        wanted = FitWindowToScreen(wanted, expectedFrame(), screen->availableGeometry());
    move(wanted.topLeft());
    resize(wanted.size());

    fillTopBar();

    LV履歴->clear();
    M履歴.unloadAll();
    M履歴[0]->setText(QString());
    if (docHooks().refreshPatientHistory)
        docHooks().refreshPatientHistory();

    const QList<QListWidgetItem *> one = ListPoint->findItems(QStringLiteral("1"), Qt::MatchExactly);
    if (!one.isEmpty())
        ListPoint->setCurrentItem(one.first());
    ListPoint_Click();

    fmInstance();
    // A document that could not be closed above stays in sight.
    if (FM *doc = fm()) {
        if (doc->subWindow() && doc->Tag.isEmpty())
            doc->subWindow()->hide();
    }

    CbSetName->clear();
    ListSet->clear();
    if (docHooks().loadPhraseClasses)
        docHooks().loadPhraseClasses(CbSetName);
}

void FHead::MDIForm_Resize()
{
    FM *doc = fm();
    if (!doc)
        return;
    const int mainWidth = WidthTwips();
    const int width = doc->Width();
    doc->setLeft(mainWidth >= width ? (mainWidth - width - 500) / 2 : 0);
}

// What the window system will put around the window: known while it is
// shown; before that, the frame it had last time, or the frame of the
// window the user came from.
QMargins FHead::expectedFrame() const
{
    if (isVisible())
        return FrameOf(this);
    if (m_frameKnown)
        return m_frame;
    for (const QWidget *other : QApplication::topLevelWidgets())
        if (other != this && other->isVisible() && other->windowType() == Qt::Window
            && !other->windowFlags().testFlag(Qt::FramelessWindowHint))
            return FrameOf(other);
    return QMargins();
}

void FHead::MDIForm_Unload()
{
    if (isVisible()) {
        m_frame = FrameOf(this);
        m_frameKnown = true;
    }
    m_wheel->unhook();
    if (!(windowState() & Qt::WindowMinimized)) {
        // One write for the four keys: a stop half-way never leaves a mixed position.
        WriteIni(QStringLiteral("setting"), IniEntries{
            {QStringLiteral("Fhead_Left"), QString::number(int(PxToTwips(x())))},
            {QStringLiteral("Fhead_Top"), QString::number(int(PxToTwips(y())))},
            {QStringLiteral("Fhead_Width"), QString::number(int(PxToTwips(width())))},
            {QStringLiteral("Fhead_Height"), QString::number(int(PxToTwips(height())))},
        });
    }
    if (nav().showStart)
        nav().showStart();
}

void FHead::closeEvent(QCloseEvent *event)
{
    if (!UnloadFM()) {
        event->ignore();
        return;
    }
    MDIForm_Unload();
    event->accept();
}

void FHead::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Now the window system has put its frame around the window; when that
    // frame reaches past the usable screen, the window moves and shrinks.
    if (!event->spontaneous())
        keepOnScreen();
}

void FHead::keepOnScreen()
{
    const QScreen *shownOn = screen();
    if (!shownOn || isMaximized() || isFullScreen())
        return;
    const QRect available = shownOn->availableGeometry();
    if (available.contains(frameGeometry()))
        return;
    const QRect fit = FitWindowToScreen(QRect(pos(), size()), FrameOf(this), available);
    move(fit.topLeft());
    resize(fit.size());
}

void FHead::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    MDIForm_Resize();
}

bool FHead::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == PicRight && event->type() == QEvent::MouseMove)
        PicRight_MouseMove();
    for (int i = 0; i < Label色.size(); ++i)
        if (watched == Label色[i] && event->type() == QEvent::MouseButtonRelease
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            Label色_Click(i);
    return QMainWindow::eventFilter(watched, event);
}

void FHead::PicRight_MouseMove()
{
    if (CheckLock->isChecked())
        setPicRightWidth(2400);
}

void FHead::MDoc_Click(int index)
{
    const QString kind = MDoc[index] ? MDoc[index]->text() : QString();
    if (kind.isEmpty())
        return;
    NewDocument(kind);
}

void FHead::M履歴_Click(int index)
{
    if (!M履歴[index] || M履歴[index]->text().isEmpty())
        return;
    OpenHistoryRow(index);
}

void FHead::OpenHistoryRow(int index)
{
    QTreeWidgetItem *row = LV履歴->topLevelItem(index);
    if (!row)
        return;
    const QString kind = row->text(2);
    const QString id = row->text(1);
    if (docHooks().openSavedDocument)
        docHooks().openSavedDocument(kind, id);
}

void FHead::M終了_Click()
{
    close();
}

void FHead::CbSetName_Click()
{
    if (docHooks().loadPhrases)
        docHooks().loadPhrases(CbSetName->currentText());
    // The panel shows the class's phrases too, ready for a double-click.
    FillPhraseList(ListSet, CbSetName->currentText());
}

void FHead::phraseClassesChanged()
{
    const QString chosen = CbSetName->currentIndex() >= 0 ? CbSetName->currentText() : QString();
    ListSet->clear();
    if (docHooks().loadPhraseClasses)
        docHooks().loadPhraseClasses(CbSetName);
    const int again = chosen.isEmpty() ? -1 : CbSetName->findText(chosen, Qt::MatchExactly);
    if (again < 0)
        return;
    CbSetName->setCurrentIndex(again);
    FillPhraseList(ListSet, chosen);
}

void FHead::ListSet_DblClick()
{
    QListWidgetItem *phrase = ListSet->currentItem();
    if (!phrase)
        return;
    if (QPlainTextEdit *field = PhraseInsertTarget())
        InsertPhrasesInto(field, {phrase->text()});
}

void FHead::LV履歴_DblClick(int index)
{
    if (index >= 0)
        OpenHistoryRow(index);
}
