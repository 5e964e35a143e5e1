#include "persistence/Draft.h"

#include "persistence/DocumentImage.h"
#include "storage/FileJournal.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

namespace {

const QByteArray kMagic("RYDOL-DRAFT\n", 12);
constexpr quint32 kVersion = 2;
constexpr auto kStreamVersion = QDataStream::Qt_6_4;

std::mutex g_probeMutex;
std::function<void(int)> g_probe;

void probe(int stage)
{
    std::function<void(int)> p;
    {
        std::lock_guard<std::mutex> lock(g_probeMutex);
        p = g_probe;
    }
    if (p)
        p(stage);
}

QByteArray pngOf(const QImage &image)
{
    QByteArray bytes;
    if (image.isNull())
        return bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        bytes.clear();
    return bytes;
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

QString hostName()
{
    QString host = QSysInfo::machineHostName();
    host.replace(u'/', u'_');
    return host.isEmpty() ? QStringLiteral("localhost") : host;
}

} // namespace

QByteArray EncodePagePng(const QImage &surface)
{
    return pngOf(CompactPageImage(surface));
}

QByteArray EncodeDraft(const Draft &d)
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        out << d.doc.kind << qint32(d.doc.number) << qint32(d.doc.version) << d.state << d.patientId
            << d.patientName << d.doctorId << d.doctorName << d.appFolder << d.time;
        out << quint32(d.doc.fields.size());
        for (const FieldValue &f : d.doc.fields)
            out << f.tag << f.dataKind << f.text;
        out << quint32(d.doc.checks.size());
        for (const CheckValue &c : d.doc.checks)
            out << c.tag << c.state;
        out << d.pagePng;
        out << bool(d.picture);
        if (d.picture)
            out << pngOf(d.picture->picture) << d.picture->twips;
        out << bool(d.text);
        if (d.text)
            out << d.text->text << d.text->twips << d.text->color << d.text->pointSize << d.text->bold
                << d.text->underline;
    }
    QByteArray file = kMagic;
    {
        QDataStream out(&file, QIODevice::WriteOnly | QIODevice::Append);
        out.setVersion(kStreamVersion);
        out << kVersion << payload;
    }
    file += QCryptographicHash::hash(file, QCryptographicHash::Sha256);
    return file;
}

bool DecodeDraft(const QByteArray &bytes, Draft &out)
{
    constexpr int hashSize = 32;
    if (bytes.size() < kMagic.size() + hashSize || !bytes.startsWith(kMagic))
        return false;
    const QByteArray body = bytes.left(bytes.size() - hashSize);
    if (QCryptographicHash::hash(body, QCryptographicHash::Sha256) != bytes.right(hashSize))
        return false;
    QDataStream head(body.mid(kMagic.size()));
    head.setVersion(kStreamVersion);
    quint32 version = 0;
    QByteArray payload;
    head >> version >> payload;
    if (head.status() != QDataStream::Ok || version != kVersion)
        return false;

    QDataStream in(payload);
    in.setVersion(kStreamVersion);
    Draft d;
    qint32 number = 0;
    qint32 stored = 0;
    in >> d.doc.kind >> number >> stored >> d.state >> d.patientId >> d.patientName >> d.doctorId
        >> d.doctorName >> d.appFolder >> d.time;
    d.doc.number = number;
    d.doc.version = stored;
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > 100000)
        return false;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        FieldValue f;
        in >> f.tag >> f.dataKind >> f.text;
        d.doc.fields.append(f);
    }
    in >> count;
    if (in.status() != QDataStream::Ok || count > 100000)
        return false;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        CheckValue c;
        in >> c.tag >> c.state;
        d.doc.checks.append(c);
    }
    in >> d.pagePng;
    bool hasPicture = false;
    in >> hasPicture;
    if (hasPicture) {
        QByteArray png;
        DraftPicture picture;
        in >> png >> picture.twips;
        picture.picture = QImage::fromData(png, "PNG");
        d.picture = picture;
    }
    bool hasText = false;
    in >> hasText;
    if (hasText) {
        DraftText text;
        in >> text.text >> text.twips >> text.color >> text.pointSize >> text.bold >> text.underline;
        d.text = text;
    }
    if (in.status() != QDataStream::Ok || d.doc.kind.isEmpty())
        return false;
    QBuffer page(&d.pagePng);
    d.doc.surface = page.open(QIODevice::ReadOnly) ? ReadPageImage(&page) : QImage();
    if (d.doc.surface.isNull())
        return false;
    // The page is drawn on as RGB32; the compact PNG reads back as a palette.
    if (d.doc.surface.format() != QImage::Format_RGB32)
        d.doc.surface = d.doc.surface.convertToFormat(QImage::Format_RGB32);
    out = d;
    return true;
}

QString DraftFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/drafts/")
        + hostName();
}

QString DraftPath(const QString &id)
{
    return DraftFolder() + u'/' + id + QStringLiteral(".draft");
}

QString DraftLockPath(const QString &id)
{
    return DraftFolder() + u'/' + id + QStringLiteral(".lock");
}

QString DraftTempPath(const QString &id)
{
    return DraftPath(id) + QStringLiteral(".tmp");
}

bool WriteFileAtomically(const QString &path, const QString &tempPath, const QByteArray &bytes)
{
    const QByteArray temp = QFile::encodeName(tempPath);
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const qint64 half = bytes.size() / 2;
    bool ok = writeAll(fd, bytes.constData(), half);
    if (ok)
        probe(1);
    ok = ok && writeAll(fd, bytes.constData() + half, bytes.size() - half) && SyncFile(fd);
    ok = ::close(fd) == 0 && ok;
    if (ok)
        probe(2);
    if (!ok || std::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    SyncFolder(QFileInfo(path).absolutePath());
    return true;
}

void SetDraftWriteProbe(std::function<void(int stage)> p)
{
    std::lock_guard<std::mutex> lock(g_probeMutex);
    g_probe = std::move(p);
}
