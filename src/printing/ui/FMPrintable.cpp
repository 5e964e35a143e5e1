#include "printing/ui/FMPrintable.h"

#include "document/ui/FM.h"
#include "document/ui/FMCanvas.h"
#include "app/Units.h"
#include "printing/PageRender.h"
#include "printing/PdfName.h"
#include "printing/ui/PrintJob.h"

#include <QDate>
#include <QPainter>

FMPrintable::FMPrintable(FM &window)
    : QObject(&window), m_fm(window)
{
}

FMPrintable &FMPrintable::of(FM &window)
{
    if (auto *existing = window.findChild<FMPrintable *>(QString(), Qt::FindDirectChildrenOnly))
        return *existing;
    return *new FMPrintable(window);
}

QSize FMPrintable::pageSizeTwips() const
{
    return QSize(m_fm.pageWidth(), m_fm.pageHeight());
}

bool FMPrintable::hasPageLines() const
{
    return !m_fm.LinePage.isEmpty() && m_fm.LinePage[0].Tag == QStringLiteral("1");
}

QList<int> FMPrintable::pageLineOrdinates() const
{
    QList<int> ordinates;
    for (const DocLine &line : m_fm.LinePage)
        ordinates << line.y1;
    return ordinates;
}

void FMPrintable::setEditingAidsVisible(bool visible)
{
    if (!visible) {
        if (!m_aidsHidden) {
            m_framesShown.clear();
            m_listsShown.clear();
            m_pageLinesShown.clear();
            for (const DocShape &frame : m_fm.Shape枠)
                m_framesShown << frame.visible;
            for (const DocLabel *marker : m_fm.LbList)
                m_listsShown << !marker->isHidden();
            for (const DocLine &line : m_fm.LinePage)
                m_pageLinesShown << line.visible;
            m_aidsHidden = true;
        }
        for (DocShape &frame : m_fm.Shape枠)
            frame.visible = false;
        for (DocLabel *marker : m_fm.LbList)
            marker->hide();
        for (DocLine &line : m_fm.LinePage)
            line.visible = false;
    } else if (m_aidsHidden) {
        for (int i = 0; i < m_fm.Shape枠.size() && i < m_framesShown.size(); ++i)
            m_fm.Shape枠[i].visible = m_framesShown[i];
        for (int i = 0; i < m_fm.LbList.size() && i < m_listsShown.size(); ++i)
            m_fm.LbList[i]->setVisible(m_listsShown[i]);
        for (int i = 0; i < m_fm.LinePage.size() && i < m_pageLinesShown.size(); ++i)
            m_fm.LinePage[i].visible = m_pageLinesShown[i];
        m_aidsHidden = false;
    }
    m_fm.refreshCanvas();
}

void FMPrintable::hideEditor()
{
    DocEditor *editor = m_fm.TxtInput.ifMade();
    if (!editor)
        return;
    // A hidden editor may hold stale text (a menu choice hides it without
    // committing); only an open one has something the user typed.
    if (!editor->isHidden())
        m_fm.テキスト変更();
    editor->hide();
}

void FMPrintable::render(QPainter &painter, const QRect &sourceTwips)
{
    // The drawing surface covers the whole page, mostly white. Only its inked
    // part goes on paper: a printer's page that carries a page-sized picture
    // takes several times as long to make, for white that the paper has.
    // A page nothing was drawn on has no surface yet, and needs none on paper.
    const QImage &surface = m_fm.drawnSurface();
    const QRect band = TwipsToPx(sourceTwips);
    const QRect ink = InkBounds(surface, band);
    if (!ink.isEmpty())
        painter.drawImage(ink.translated(-band.topLeft()), surface, ink);
    FMCanvas *canvas = m_fm.canvas();
    canvas->setSurfacePainted(false);
    RenderWidgetTwips(canvas, painter, sourceTwips);
    canvas->setSurfacePainted(true);
}

QString FMPrintable::printTitle() const
{
    return m_fm.Tag;
}

QString FMPrintable::pdfFileName() const
{
    const auto text = [this](const QString &tag) {
        const DocLabel *field = m_fm.LI(tag);
        return field ? field->text() : QString();
    };
    QDate date = DocumentDate(text(QStringLiteral("日付Y")), text(QStringLiteral("日付M")),
                              text(QStringLiteral("日付D")));
    if (!date.isValid())
        date = QDate::currentDate();
    // The document's own patient, whoever the patient bar shows. An older
    // version is named as one, so that it is not taken for (nor saved over)
    // the PDF of the document as it stands.
    const QString name = PdfFileName(m_fm.Tag, m_fm.患者番号, m_fm.患者名, date);
    if (!m_fm.OldVersion)
        return name;
    return name.chopped(4) + QStringLiteral("_第%1版.pdf").arg(m_fm.OldVersion);
}

QString FMPrintable::patientId() const
{
    return m_fm.患者番号;
}

int FMPrintable::documentNumber() const
{
    return m_fm.Lb登録番号 ? m_fm.Lb登録番号->text().trimmed().toInt() : 0;
}

QString FMPrintable::footerLine() const
{
    if (!m_fm.OldVersion)
        return QString();
    return QStringLiteral("第%1版（旧版） 印刷日 %2")
        .arg(m_fm.OldVersion)
        .arg(QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")));
}
