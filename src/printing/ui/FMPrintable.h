#pragma once
#include "printing/PrintableDocument.h"

#include <QObject>
#include <QVector>

class FM;

// The document window as printing sees it. It lives as a child of its window,
// so a printer selection dialog that holds it closes when the window goes.
class FMPrintable : public QObject, public PrintableDocument
{
    Q_OBJECT
public:
    explicit FMPrintable(FM &window);

    // The window's adapter, made on first use.
    static FMPrintable &of(FM &window);

    QSize pageSizeTwips() const override;
    bool hasPageLines() const override;
    QList<int> pageLineOrdinates() const override;
    // Hiding remembers which frames, "▼" markers and page lines were showing;
    // showing brings back exactly those, so elements that were hidden before
    // (unused design elements, markers of fields not in use) stay hidden.
    void setEditingAidsVisible(bool visible) override;
    // Commits what is typed in the open editor first, so that it is printed.
    void hideEditor() override;
    void render(QPainter &painter, const QRect &sourceTwips) override;
    QString printTitle() const override;
    // <kind>_<patient number>_<patient name>_<yyyymmdd>.pdf, dated by the
    // document's date fields, today when they hold no date.
    QString pdfFileName() const override;
    int documentNumber() const override;
    QString patientId() const override;
    // "第n版（旧版） 印刷日 yyyy/mm/dd" for a kept earlier version.
    QString footerLine() const override;

private:
    FM &m_fm;
    bool m_aidsHidden = false;
    QVector<bool> m_framesShown, m_listsShown, m_pageLinesShown;
};
