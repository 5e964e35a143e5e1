#include "app/ui/FHead.h"

#include "app/AppState.h"
#include "app/Units.h"
#include "inserts/ui/PhraseLists.h"
#include "patients/Patient.h"
#include "persistence/ui/F版一覧.h"
#include "ui/EnterOpens.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

// The main window's panels: the patient's bar along the top and, on the
// right, the phrases and the list of the patient's documents.

namespace {
// The top bar's background: a light band the width of the window.
class TopBar : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, QColor(236, 242, 250));
        g.setColorAt(1, QColor(204, 218, 238));
        p.fillRect(rect(), g);
        p.setPen(QColor(150, 165, 190));
        p.drawLine(0, height() - 1, width(), height() - 1);
    }
};

// Phrases in the narrow panel: each row as tall as its text wrapped to the
// list's width, drawn whole rather than cut short with an ellipsis.
class WrappingRowDelegate : public QStyledItemDelegate
{
public:
    explicit WrappingRowDelegate(QListWidget *list)
        : QStyledItemDelegate(list)
        , m_list(list)
    {
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int width = std::max(1, m_list->viewport()->width());
        const QRect text = option.fontMetrics.boundingRect(QRect(0, 0, width - 2 * kMargin, 1 << 20),
                                                           kFlags, index.data(Qt::DisplayRole).toString());
        return {width, text.height() + 2 * kMargin};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        painter->save();
        const bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(opt.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin), kFlags, text);
        painter->restore();
    }

private:
    static constexpr int kMargin = 2;
    static constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    QListWidget *m_list;
};

// A header whose captions wrap onto a second line where a column is narrower
// than its caption, so that every caption is read whole in the narrow panel.
class WrappingHeader : public QHeaderView
{
public:
    explicit WrappingHeader(QWidget *parent)
        : QHeaderView(Qt::Horizontal, parent)
    {
    }

    QSize sizeHint() const override
    {
        QSize size = QHeaderView::sizeHint();
        size.setHeight(std::max(size.height(), twoLines() + 2 * margin() + 2));
        return size;
    }

    // The caption's rectangle inside a section of the given width.
    QRect captionRect(const QRect &section) const
    {
        return section.adjusted(margin(), 1, -margin(), -1);
    }

    // The narrowest section in which caption is read whole on two lines at most.
    int sectionWidthFor(const QString &caption) const
    {
        const QFontMetrics fm = fontMetrics();
        const int lines = twoLines();
        const int whole = fm.horizontalAdvance(caption);
        int width = whole;
        for (int w = whole / 2; w < whole; ++w) {
            const QRect wrapped = fm.boundingRect(QRect(0, 0, w, 1000), int(Qt::TextWordWrap), caption);
            if (wrapped.width() <= w && wrapped.height() <= lines) {
                width = w;
                break;
            }
        }
        return width + 2 * margin() + 1;
    }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        if (!rect.isValid())
            return;
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = rect;
        opt.section = logicalIndex;
        opt.text.clear();
        opt.position = QStyleOptionHeader::Middle;
        painter->save();
        style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
        painter->restore();
        const QString caption = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        painter->save();
        painter->setFont(font());
        painter->setPen(palette().color(QPalette::ButtonText));
        painter->drawText(captionRect(rect), int(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap), caption);
        painter->restore();
    }

private:
    int margin() const { return style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this); }
    int twoLines() const
    {
        return fontMetrics().boundingRect(QRect(0, 0, 1000, 1000), 0, QStringLiteral("X\nX")).height();
    }
};

QLabel *PlacedLabel(QWidget *parent, const QString &text, const QRect &twips, Qt::Alignment align = Qt::AlignLeft)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(TwipsToPx(twips));
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
}
} // namespace

void FHead::createTopBar()
{
    PicTop = new TopBar(this);
    PicTop->setFixedHeight(TwipsToPx(615));
    const int row1 = 60, row2 = 300, h = 255;
    struct Caption
    {
        const char16_t *text;
        int left, top, width;
    };
    const Caption captions[] = {
        {u"患者番号：", 120, row1, 900}, {u"ｶﾅ：", 2160, row1, 420},
        {u"生年月日：", 4680, row1, 900}, {u"年　　月　　日", 6420, row1, 1260},
        {u"住所：", 7920, row1, 600}, {u"氏名：", 120, row2, 900},
        {u"年齢：", 2160, row2, 600}, {u"性別：", 3660, row2, 600},
        {u"入力者：", 4680, row2, 900},
    };
    for (const Caption &c : captions)
        PlacedLabel(PicTop, QString::fromUtf16(c.text), QRect(c.left, c.top, c.width, h));

    struct Value
    {
        const char16_t *tag;
        QRect twips;
        Qt::Alignment align;
    };
    const Value values[] = {
        {u"患者番号", QRect(1020, row1, 1080, h), Qt::AlignLeft},
        {u"カナ名", QRect(2580, row1, 2040, h), Qt::AlignLeft},
        {u"患者名", QRect(1020, row2, 1080, h), Qt::AlignLeft},
        {u"生年", QRect(5580, row1, 840, h), Qt::AlignRight},
        {u"生月", QRect(6600, row1, 360, h), Qt::AlignHCenter},
        {u"生日", QRect(7140, row1, 360, h), Qt::AlignHCenter},
        {u"年齢", QRect(2760, row2, 840, h), Qt::AlignLeft},
        {u"性別", QRect(4260, row2, 360, h), Qt::AlignLeft},
        {u"住所", QRect(8520, row1, 6600, h), Qt::AlignLeft},
    };
    for (const Value &v : values) {
        QLabel *label = PlacedLabel(PicTop, QString(), v.twips, v.align);
        label->setProperty("Tag", QString::fromUtf16(v.tag));
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        Lb基本情報.append(label);
    }
    Lb入力者 = PlacedLabel(PicTop, QString(), QRect(5580, row2, 3000, h));
    QFont f = Lb入力者->font();
    f.setBold(true);
    Lb入力者->setFont(f);
}

void FHead::createRightPanel()
{
    PicRight = new QWidget(this);
    PicRight->setMouseTracking(true);
    PicRight->installEventFilter(this);
    auto *v = new QVBoxLayout(PicRight);
    v->setContentsMargins(2, 4, 2, 4);
    v->addWidget(new QLabel(QStringLiteral("定型文"), PicRight));
    CbSetName = new QComboBox(PicRight);
    v->addWidget(CbSetName);
    ListSet = new QListWidget(PicRight);
    // The panel is narrow and phrases are sentences: they wrap instead of
    // running out of sight behind a sideways scroll bar.
    ListSet->setItemDelegate(new WrappingRowDelegate(ListSet));
    ListSet->setResizeMode(QListView::Adjust);
    ListSet->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    v->addWidget(ListSet, 1);
    LV履歴 = new QTreeWidget(PicRight);
    LV履歴->setHeader(new WrappingHeader(LV履歴));
    LV履歴->setRootIsDecorated(false);
    LV履歴->setHeaderLabels({QStringLiteral("日付"), QStringLiteral("ID"), QStringLiteral("書類名"),
                             QStringLiteral("終了判定")});
    setUpHistoryList();
    v->addWidget(LV履歴, 1);
    CheckLock = new QCheckBox(QStringLiteral("自動的に隠す"), PicRight);
    v->addWidget(CheckLock);
    for (QWidget *w : {static_cast<QWidget *>(CbSetName), static_cast<QWidget *>(ListSet),
                       static_cast<QWidget *>(LV履歴), static_cast<QWidget *>(CheckLock)})
        w->setMinimumWidth(0);
    setPicRightWidth(2400);
    QObject::connect(CbSetName, &QComboBox::activated, this, [this] { CbSetName_Click(); });
    QObject::connect(ListSet, &QListWidget::itemDoubleClicked, this, [this] { ListSet_DblClick(); });
    QObject::connect(LV履歴, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *row) {
        LV履歴_DblClick(LV履歴->indexOfTopLevelItem(row));
    });
    EnterOpens(LV履歴, [this](int row) { LV履歴_DblClick(row); });
    OfferVersionList(LV履歴, [this](int row) {
        const QTreeWidgetItem *item = LV履歴->topLevelItem(row);
        return item ? DocumentRef{item->text(2), item->text(1).toInt()} : DocumentRef{};
    });
}

// The panel is narrow, so the list uses a smaller face and never scrolls
// sideways; captions may take two lines.
void FHead::setUpHistoryList()
{
    QFont small = LV履歴->font();
    if (small.pointSizeF() > 0)
        small.setPointSizeF(std::max(7.0, small.pointSizeF() * 0.8));
    else if (small.pixelSize() > 0)
        small.setPixelSize(std::max(9, small.pixelSize() * 4 / 5));
    LV履歴->setFont(small);
    LV履歴->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LV履歴->setTextElideMode(Qt::ElideRight);
    LV履歴->setUniformRowHeights(true);
    QHeaderView *header = LV履歴->header();
    header->setFont(small);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(12);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(2, QHeaderView::Stretch);
    QTreeWidgetItem *captions = LV履歴->headerItem();
    for (int c = 0; c < LV履歴->columnCount(); ++c)
        captions->setToolTip(c, captions->text(c));
    // The columns follow what the rows hold.
    QAbstractItemModel *rows = LV履歴->model();
    auto fit = [this] { fitHistoryColumns(); };
    QObject::connect(rows, &QAbstractItemModel::rowsInserted, this, fit);
    QObject::connect(rows, &QAbstractItemModel::rowsRemoved, this, fit);
    QObject::connect(rows, &QAbstractItemModel::modelReset, this, fit);
    QObject::connect(rows, &QAbstractItemModel::dataChanged, this, fit);
    fitHistoryColumns();
}

// Date, number and flag columns are as wide as their widest text or their
// caption on at most two lines; the kind name takes what is left and is
// elided when it is longer.
void FHead::fitHistoryColumns()
{
    // The list's header is a WrappingHeader (createRightPanel).
    auto *header = static_cast<WrappingHeader *>(LV履歴->header());
    // The cell's own text margins on both sides.
    const int pad = 2 * (LV履歴->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, LV履歴) + 1);
    QTreeWidgetItem *captions = LV履歴->headerItem();
    const QString least[] = {QStringLiteral("0000.00.00"), QStringLiteral("0"), QString(), QStringLiteral("0")};
    // Text is laid out in fractions of a pixel: a width rounded down by a
    // fraction would have the cell end its date with an ellipsis.
    const QFontMetricsF exact(LV履歴->font());
    auto textWidth = [&exact](const QString &text) { return int(std::ceil(exact.horizontalAdvance(text))) + 1; };
    for (int c : {0, 1, 3}) {
        int width = textWidth(least[c]);
        for (int r = 0; r < LV履歴->topLevelItemCount(); ++r)
            width = std::max(width, textWidth(LV履歴->topLevelItem(r)->text(c)));
        width = std::max(width + pad, header->sectionWidthFor(captions->text(c)));
        if (header->sectionSize(c) != width)
            header->resizeSection(c, width);
    }
}

void FHead::setPicRightWidth(int twips)
{
    m_picRightWidth = twips;
    PicRight->setFixedWidth(std::max(1, TwipsToPx(twips)));
}

void FHead::fillTopBar()
{
    const QList<QPair<QString, QString>> values = CurrentPatientValues();
    for (int i = 0; i < Lb基本情報.size() && i < values.size(); ++i)
        Lb基本情報[i]->setText(values[i].second);
    Lb入力者->setText(CurrentDrName);
}
