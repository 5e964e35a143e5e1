#include "printing/ui/Fプリンタ選択.h"

#include "ui/Placement.h"
#include "ui/Prompter.h"
#include "printing/PageRender.h"
#include "printing/PageSplit.h"
#include "printing/PrintableDocument.h"
#include "printing/ui/Fプレビュー.h"
#include "printing/ui/PrintJob.h"
#include "storage/Ini.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

Fプリンタ選択::Fプリンタ選択(PrintableDocument *doc, QWidget *parent)
    : QDialog(parent), m_doc(doc), m_print(&PrintDocument)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("プリンタ選択"));

    Comboプリンタ名 = new QComboBox(this);
    Comboプリンタ名->setMinimumWidth(260);
    Txt部数 = new QLineEdit(QStringLiteral("1"), this);
    Txt部数->setMaximumWidth(60);
    Txt部数->setAlignment(Qt::AlignRight);
    UpDown = new QWidget(this);
    UpDownUp = new QToolButton(UpDown);
    UpDownUp->setArrowType(Qt::UpArrow);
    UpDownDown = new QToolButton(UpDown);
    UpDownDown->setArrowType(Qt::DownArrow);
    auto *spin = new QVBoxLayout(UpDown);
    spin->setContentsMargins(0, 0, 0, 0);
    spin->setSpacing(0);
    spin->addWidget(UpDownUp);
    spin->addWidget(UpDownDown);
    UpDownUp->setFixedHeight(12);
    UpDownDown->setFixedHeight(12);
    Cmd印刷 = new QPushButton(QStringLiteral("印刷"), this);
    Cmdキャンセル = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Cmdプレビュー = new QPushButton(QStringLiteral("プレビュー"), this);
    Lbプリンタなし = new QLabel(QStringLiteral("プリンタがありません"), this);
    Lbプリンタなし->hide();

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("プリンタ名 ："), this), 0, 0);
    grid->addWidget(Comboプリンタ名, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("部数"), this), 1, 0);
    grid->addWidget(Txt部数, 1, 1);
    grid->addWidget(UpDown, 1, 2);
    grid->setColumnStretch(3, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Lbプリンタなし);
    buttons->addStretch(1);
    buttons->addWidget(Cmdプレビュー);
    buttons->addWidget(Cmd印刷);
    buttons->addWidget(Cmdキャンセル);
    auto *outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(buttons);

    connect(Comboプリンタ名, &QComboBox::activated, this, [this](int index) {
        m_userChose = true;
        Comboプリンタ名_Click(index);
    });
    connect(UpDownUp, &QToolButton::clicked, this, [this] { UpDown_UpClick(); });
    connect(UpDownDown, &QToolButton::clicked, this, [this] { UpDown_DownClick(); });
    connect(Cmd印刷, &QPushButton::clicked, this, [this] { Cmd印刷_Click(); });
    connect(Cmdキャンセル, &QPushButton::clicked, this, [this] { Cmdキャンセル_Click(); });
    connect(Cmdプレビュー, &QPushButton::clicked, this, [this] { Cmdプレビュー_Click(); });

    // The document window is rebuilt for every document; never print into one
    // that is gone.
    if (auto *obj = dynamic_cast<QObject *>(doc)) {
        m_docObject = obj;
        connect(obj, &QObject::destroyed, this, [this] {
            m_doc = nullptr;
            if (m_preview)
                m_preview->forgetDocument();
            close();
        });
    }

    loadPrinters(QPrinterInfo::availablePrinterNames(), QPrinterInfo::defaultPrinterName());
}

void Fプリンタ選択::loadPrinters(const QStringList &installed, const QString &defaultName)
{
    Comboプリンタ名->clear();
    for (int i = 0; i < installed.size(); ++i)
        Comboプリンタ名->addItem(installed[i], i);
    const PrinterChoice choice =
        ChoosePrinter(installed, defaultName, ReadIni(QStringLiteral("setting"), QStringLiteral("Printer")));
    m_storedMissing = choice.storedMissing;
    m_userChose = false;
    Comboプリンタ名->setCurrentIndex(choice.index);
    const bool none = installed.isEmpty();
    Lbプリンタなし->setVisible(none);
    Cmd印刷->setEnabled(!none);
    Cmd印刷->setVisible(!none);
    Comboプリンタ名->setEnabled(!none);
    Cmd印刷->setDefault(!none);
    Cmdプレビュー->setDefault(none);
}

void Fプリンタ選択::Comboプリンタ名_Click(int index)
{
    if (index >= 0 && index < Comboプリンタ名->count())
        Comboプリンタ名->setCurrentIndex(index);
}

QString Fプリンタ選択::currentPrinter() const
{
    return Comboプリンタ名->currentIndex() >= 0 ? Comboプリンタ名->currentText() : QString();
}

void Fプリンタ選択::UpDown_UpClick()
{
    Txt部数->setText(CopiesUp(Txt部数->text()));
}

void Fプリンタ選択::UpDown_DownClick()
{
    Txt部数->setText(CopiesDown(Txt部数->text()));
}

void Fプリンタ選択::Cmd印刷_Click()
{
    const QString printer = currentPrinter();
    if (!m_doc || printer.isEmpty()) {
        close();
        return;
    }
    const long long copies = CopiesFromText(Txt部数->text());
    if (copies > kMaxCopies) {
        prompter().message(QStringLiteral("部数は%1部までです。").arg(kMaxCopies));
        Txt部数->setFocus();
        Txt部数->selectAll();
        return;
    }
    QString error;
    const bool printed = m_print(*m_doc, printer, int(std::max(0LL, copies)), &error);
    if (!printed)
        prompter().message(error.isEmpty() ? QStringLiteral("印刷できませんでした。")
                                           : QStringLiteral("印刷できませんでした。\n") + error);
    // A stored printer that is only missing for now stays remembered unless
    // the user picked another one.
    if (!m_storedMissing || m_userChose)
        WriteIni(QStringLiteral("setting"), QStringLiteral("Printer"), printer);
    close();
}

Fプレビュー *Fプリンタ選択::preview() const
{
    return m_preview;
}

void Fプリンタ選択::Cmdプレビュー_Click()
{
    if (!m_doc)
        return;
    if (m_preview)
        m_preview->close();
    // Without a printer the pages are shown on the paper of the PDF export,
    // and nothing is printed from there.
    const QString printer = currentPrinter();
    m_preview = printer.isEmpty()
        ? new Fプレビュー(m_doc, ExportPageLayout(*m_doc), {}, this)
        : new Fプレビュー(m_doc, PrinterPageLayout(printer), [this] { Cmd印刷_Click(); }, this);
    ShowOver(m_preview, parentWidget() ? parentWidget() : this);
}

void Fプリンタ選択::Cmdキャンセル_Click()
{
    close();
}
