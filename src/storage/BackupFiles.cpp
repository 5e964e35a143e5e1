#include "storage/BackupFiles.h"

#include "storage/ChainHash.h"
#include "storage/FileJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qint64 kChunk = 1 << 18;

class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(Fd &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// Reads the file, hashing it and handing each piece to sink (when given).
bool readHashed(const QString &path, BackupFile *file, const std::function<bool(const char *, qint64)> &sink)
{
    Fd in(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return false;
    Sha256 hash;
    static thread_local QByteArray buffer(kChunk, Qt::Uninitialized);
    qint64 size = 0;
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), size_t(kChunk));
        if (n < 0)
            return false;
        if (n == 0)
            break;
        hash.add(buffer.constData(), n);
        if (sink && !sink(buffer.constData(), n))
            return false;
        size += n;
    }
    file->size = size;
    file->sha256 = hash.hex().toLatin1();
    return true;
}

} // namespace

bool CopyHashed(const QString &from, const QString &to, BackupFile *file)
{
    const QByteArray name = QFile::encodeName(to);
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
    Fd out(::open(name.constData(), flags, 0644));
    if (out.get() < 0 && errno == ENOENT && QDir().mkpath(QFileInfo(to).absolutePath()))
        out = Fd(::open(name.constData(), flags, 0644));
    if (out.get() < 0)
        return false;
    const int fd = out.get();
    return readHashed(from, file, [fd](const char *data, qint64 n) { return writeAll(fd, data, n); }) && out.close();
}

bool HashFile(const QString &path, BackupFile *file)
{
    return readHashed(path, file, {});
}

bool WriteManifest(const QString &folder, const BackupManifest &manifest)
{
    QJsonArray files;
    for (const BackupFile &f : manifest.files)
        files.append(QJsonObject{{QStringLiteral("path"), f.path},
                                 {QStringLiteral("size"), f.size},
                                 {QStringLiteral("sha256"), QString::fromLatin1(f.sha256)}});
    QJsonObject rows;
    for (auto it = manifest.rows.begin(); it != manifest.rows.end(); ++it)
        rows.insert(it.key(), it.value());
    const QJsonObject root{{QStringLiteral("rydolBackup"), 1},
                           {QStringLiteral("created"), manifest.created},
                           {QStringLiteral("store"), manifest.store},
                           {QStringLiteral("database"), manifest.database},
                           {QStringLiteral("files"), files},
                           {QStringLiteral("rows"), rows}};
    QSaveFile out(folder + u'/' + kManifestName);
    return out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(root).toJson()) >= 0 && out.commit();
}

bool ReadManifest(const QString &folder, BackupManifest *manifest)
{
    QFile in(folder + u'/' + kManifestName);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject root = QJsonDocument::fromJson(in.readAll()).object();
    if (root.value(QStringLiteral("rydolBackup")).toInt() != 1)
        return false;
    manifest->created = root.value(QStringLiteral("created")).toString();
    manifest->store = root.value(QStringLiteral("store")).toString();
    manifest->database = root.value(QStringLiteral("database")).toString();
    manifest->files.clear();
    for (const QJsonValue &v : root.value(QStringLiteral("files")).toArray()) {
        const QJsonObject f = v.toObject();
        manifest->files.append({f.value(QStringLiteral("path")).toString(),
                                qint64(f.value(QStringLiteral("size")).toDouble(-1)),
                                f.value(QStringLiteral("sha256")).toString().toLatin1()});
    }
    manifest->rows.clear();
    const QJsonObject rows = root.value(QStringLiteral("rows")).toObject();
    for (auto it = rows.begin(); it != rows.end(); ++it)
        manifest->rows.insert(it.key(), qint64(it.value().toDouble()));
    return manifest->store == kStoreSqlite || manifest->store == kStoreServer;
}

bool SyncTree(const QString &folder)
{
    Fd fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::syncfs(fd.get()) == 0 && SyncFolder(folder);
}

bool IsAbsentOrEmpty(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink())
        return true;
    return info.isDir() && QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}
