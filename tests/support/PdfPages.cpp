#include "PdfPages.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

namespace {

QString run(const QString &program, const QStringList &args, bool *ok = nullptr)
{
    QProcess p;
    p.start(program, args);
    const bool done = p.waitForStarted() && p.waitForFinished(60000);
    if (ok)
        *ok = done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

QImage shrunkGrey(const QImage &image)
{
    return image.convertToFormat(QImage::Format_Grayscale8)
        .scaled(image.width() / 4, image.height() / 4, Qt::IgnoreAspectRatio,
                Qt::SmoothTransformation);
}

} // namespace

QString PdfText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
}

int PdfPageCount(const QString &pdf)
{
    bool ok = false;
    const QString out = run(QStringLiteral("pdfinfo"), {pdf}, &ok);
    const auto m = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"),
                                      QRegularExpression::MultilineOption)
                       .match(out);
    return ok && m.hasMatch() ? m.captured(1).toInt() : -1;
}

QImage PdfPageImage(const QString &pdf, int page, int dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    bool ok = false;
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page),
         QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
         QStringLiteral("-singlefile"), pdf, prefix},
        &ok);
    return ok ? QImage(prefix + QStringLiteral(".png")) : QImage();
}

QString PdfFonts(const QString &pdf)
{
    return run(QStringLiteral("pdffonts"), {pdf});
}

QList<PdfPicture> PdfPictures(const QString &pdf)
{
    // pdfimages -list: a header of two lines, then "page num type width height ...".
    QList<PdfPicture> pictures;
    const QStringList lines = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).split(u'\n');
    for (int i = 2; i < lines.size(); ++i) {
        const QStringList f = lines[i].simplified().split(u' ');
        if (f.size() > 4 && f[2] == QStringLiteral("image"))
            pictures << PdfPicture{f[0].toInt(), QSize(f[3].toInt(), f[4].toInt())};
    }
    return pictures;
}

double PageDifference(const QImage &printed, const QImage &screen, QPoint *offset)
{
    if (printed.isNull() || screen.isNull())
        return 255;
    const QImage a = shrunkGrey(printed), b = shrunkGrey(screen);
    double best = std::numeric_limits<double>::max();
    QPoint bestAt;
    for (int dy = 0; dy <= 16; ++dy) {
        for (int dx = 0; dx <= 16; ++dx) {
            const int w = std::min(b.width(), a.width() - dx);
            const int h = std::min(b.height(), a.height() - dy);
            if (w <= 0 || h <= 0)
                continue;
            double sum = 0;
            for (int y = 0; y < h; ++y) {
                const uchar *pa = a.constScanLine(y + dy) + dx;
                const uchar *pb = b.constScanLine(y);
                for (int x = 0; x < w; ++x)
                    sum += std::abs(int(pa[x]) - int(pb[x]));
            }
            const double mean = sum / (double(w) * h);
            if (mean < best) {
                best = mean;
                bestAt = QPoint(dx * 4, dy * 4);
            }
        }
    }
    if (offset)
        *offset = bestAt;
    return best;
}

double InkShare(const QImage &image)
{
    const QImage g = image.convertToFormat(QImage::Format_Grayscale8);
    long long ink = 0;
    for (int y = 0; y < g.height(); ++y) {
        const uchar *p = g.constScanLine(y);
        for (int x = 0; x < g.width(); ++x)
            ink += p[x] < 200;
    }
    return g.isNull() ? 0 : double(ink) / (double(g.width()) * g.height());
}

int RedPixels(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int red = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *p = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            red += qRed(p[x]) > 180 && qGreen(p[x]) < 90 && qBlue(p[x]) < 90;
    }
    return red;
}
