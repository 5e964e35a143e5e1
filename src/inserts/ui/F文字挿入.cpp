#include "inserts/ui/F文字挿入.h"

#include "document/ui/DocumentHost.h"
#include "ui/Placement.h"
#include "ui/Prompter.h"

#include <QCloseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>

namespace {
QPointer<F文字挿入> g_dialog;
std::function<void(const FreeTextHandOver &)> g_handOver;

const char *const kSizes[] = {"8", "9", "10", "11", "12", "14", "18", "24", "36", "48", "72"};

QString colorStyle(const QColor &color)
{
    return QStringLiteral("background-color: %1;").arg(color.name());
}
}

F文字挿入 *F文字挿入::showNew()
{
    // A new text never continues an edit of the floating text still open here.
    if (g_dialog && g_dialog->LabelIndex->text() == QStringLiteral("1"))
        unload();
    if (!g_dialog)
        g_dialog = new F文字挿入;
    ShowOver(g_dialog, documentHostWindow());
    return g_dialog;
}

F文字挿入 *F文字挿入::showForEdit(const FreeText &current)
{
    if (!g_dialog)
        g_dialog = new F文字挿入;
    F文字挿入 *w = g_dialog;
    ShowOver(w, documentHostWindow());
    w->Txt文字->setText(current.text);
    w->setTextColor(current.color);
    QFont font = w->Txt文字->font();
    if (current.pointSize > 0)
        font.setPointSizeF(current.pointSize);
    font.setBold(current.bold);
    font.setUnderline(current.underline);
    w->setTextFont(font);
    w->LabelIndex->setText(QStringLiteral("1"));
    return w;
}

F文字挿入 *F文字挿入::loaded()
{
    return g_dialog;
}

void F文字挿入::unload()
{
    F文字挿入 *w = g_dialog;
    g_dialog = nullptr;
    if (w) {
        w->hide();
        w->deleteLater();
    }
}

void F文字挿入::setHandOver(std::function<void(const FreeTextHandOver &)> handOver)
{
    g_handOver = std::move(handOver);
}

QColor F文字挿入::swatchColor(int index)
{
    static const QColor colors[8] = {
        QColor(0, 0, 0),       QColor(0, 0, 255),   QColor(255, 0, 0),   QColor(255, 255, 0),
        QColor(242, 242, 242), QColor(0, 255, 0),   QColor(0, 192, 192), QColor(255, 0, 255),
    };
    return index >= 0 && index < 8 ? colors[index] : QColor(Qt::black);
}

F文字挿入::F文字挿入()
{
    setWindowTitle(QStringLiteral("文字の挿入"));
    setAttribute(Qt::WA_QuitOnClose, false);

    Txt文字 = new QLineEdit;
    Txt文字->setObjectName(QStringLiteral("Txt文字"));
    // Tall enough for the largest size, so the dialog does not jump when the size changes.
    Txt文字->setFixedSize(460, 124);
    QFont design = Txt文字->font();
    design.setPointSizeF(9);
    Txt文字->setFont(design);

    LabelSize = new QLabel(QStringLiteral("サイズ："));
    ComboFontSize = new QComboBox;
    ComboFontSize->setObjectName(QStringLiteral("ComboFontSize"));
    ComboFontSize->setEditable(true);
    ComboFontSize->setInsertPolicy(QComboBox::NoInsert);
    for (const char *size : kSizes)
        ComboFontSize->addItem(QString::fromLatin1(size));
    ComboFontSize->setCurrentIndex(1);
    ComboFontSize->setMinimumContentsLength(3);
    CheckBold = new QCheckBox(QStringLiteral("太字"));
    CheckUnderLine = new QCheckBox(QStringLiteral("下線"));

    Frame色 = new QGroupBox(QStringLiteral("文字の色"));
    CmdFontColor = new QPushButton;
    CmdFontColor->setObjectName(QStringLiteral("CmdFontColor"));
    CmdFontColor->setFixedSize(48, 48);
    CmdFontColor->setAutoDefault(false);
    auto *swatches = new QGridLayout;
    swatches->setSpacing(4);
    for (int i = 0; i < 8; ++i) {
        auto *swatch = new QLabel;
        swatch->setObjectName(QStringLiteral("Label色%1").arg(i));
        swatch->setFixedSize(22, 22);
        swatch->setFrameShape(QFrame::Box);
        swatch->setStyleSheet(colorStyle(swatchColor(i)) + QStringLiteral("border: 1px solid gray;"));
        swatch->installEventFilter(this);
        swatches->addWidget(swatch, i / 4, i % 4);
        Label色[size_t(i)] = swatch;
    }
    auto *frameLayout = new QHBoxLayout(Frame色);
    frameLayout->addWidget(CmdFontColor);
    frameLayout->addLayout(swatches);
    frameLayout->addStretch();

    LabelIndex = new QLabel(QStringLiteral("0"));
    LabelIndex->setVisible(false);
    CmdOK = new QPushButton(QStringLiteral("決定"));
    Cmdキャンセル = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    CmdOK->setAutoDefault(false);
    Cmdキャンセル->setAutoDefault(false);

    auto *look = new QHBoxLayout;
    look->addWidget(LabelSize);
    look->addWidget(ComboFontSize);
    look->addSpacing(16);
    look->addWidget(CheckBold);
    look->addWidget(CheckUnderLine);
    look->addStretch();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdOK);
    buttons->addWidget(Cmdキャンセル);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Txt文字);
    layout->addLayout(look);
    layout->addWidget(Frame色);
    layout->addWidget(LabelIndex);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTextColor(Qt::black);

    connect(CheckBold, &QCheckBox::toggled, this, [this] { CheckBold_Click(); });
    connect(CheckUnderLine, &QCheckBox::toggled, this, [this] { CheckUnderLine_Click(); });
    connect(ComboFontSize, &QComboBox::activated, this, [this] { ComboFontSize_Click(); });
    connect(CmdFontColor, &QPushButton::clicked, this, [this] { CmdFontColor_Click(); });
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(Cmdキャンセル, &QPushButton::clicked, this, [this] { Cmdキャンセル_Click(); });
}

bool F文字挿入::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        for (int i = 0; i < 8; ++i) {
            if (watched == Label色[size_t(i)]) {
                Label色_Click(i);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

FreeText F文字挿入::currentLook() const
{
    const QFont font = Txt文字->font();
    return {Txt文字->text(), m_color, font.pointSizeF(), font.bold(), font.underline()};
}

void F文字挿入::setTextColor(const QColor &color)
{
    // The colour button always shows the text's colour, so that cancelling the
    // colour dialog keeps it, in edit mode too.
    m_color = color;
    CmdFontColor->setStyleSheet(colorStyle(color));
    QPalette palette = Txt文字->palette();
    palette.setColor(QPalette::Text, color);
    Txt文字->setPalette(palette);
}

void F文字挿入::setTextFont(const QFont &font)
{
    Txt文字->setFont(font);
}

void F文字挿入::CheckBold_Click()
{
    QFont font = Txt文字->font();
    font.setBold(CheckBold->isChecked());
    setTextFont(font);
}

void F文字挿入::CheckUnderLine_Click()
{
    QFont font = Txt文字->font();
    font.setUnderline(CheckUnderLine->isChecked());
    setTextFont(font);
}

void F文字挿入::ComboFontSize_Click()
{
    const double size = ComboFontSize->itemText(ComboFontSize->currentIndex()).toDouble();
    if (size <= 0)
        return;
    QFont font = Txt文字->font();
    font.setPointSizeF(size);
    setTextFont(font);
}

void F文字挿入::CmdFontColor_Click()
{
    if (const std::optional<QColor> chosen = prompter().color(m_color))
        setTextColor(*chosen);
}

void F文字挿入::Label色_Click(int index)
{
    setTextColor(swatchColor(index));
}

void F文字挿入::CmdOK_Click()
{
    if (Txt文字->text().isEmpty()) {
        prompter().message(QStringLiteral("文字を入力してください"));
        return;
    }
    const FreeTextHandOver handOver{currentLook(), LabelIndex->text() == QStringLiteral("1")};
    if (g_handOver)
        g_handOver(handOver);
    unload();
}

void F文字挿入::Cmdキャンセル_Click()
{
    unload();
}

void F文字挿入::closeEvent(QCloseEvent *event)
{
    event->accept();
    // Unloaded like by its cancel button, so the next opening starts from
    // the design values instead of what this one left behind.
    if (loaded() == this)
        Cmdキャンセル_Click();
}
