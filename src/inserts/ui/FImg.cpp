#include "inserts/ui/FImg.h"

#include "document/ui/DocumentHost.h"
#include "ui/Placement.h"
#include "inserts/Pictures.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPromise>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

struct FImgThumbnail
{
    QString path;
    QImage image;
};

namespace {
QPointer<FImg> g_dialog;
std::function<void(const QString &, const QImage &)> g_insertHandler;

// Thumbnails carry no text; leaving the text out keeps the selection on the picture alone.
class PictureOnlyDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features &= ~QStyleOptionViewItem::HasDisplay;
        option->text.clear();
    }
};

// Reads the thumbnails one after the other; unreadable files are left out.
void readThumbnails(QPromise<FImgThumbnail> &promise, const QStringList &files)
{
    promise.setProgressRange(0, int(files.size()));
    for (int i = 0; i < files.size(); ++i) {
        if (promise.isCanceled())
            return;
        QImage thumb = LoadThumbnail(files[i]);
        if (!thumb.isNull())
            promise.addResult(FImgThumbnail{files[i], std::move(thumb)});
        promise.setProgressValue(i + 1);
    }
}
}

FImg *FImg::showShared()
{
    if (!g_dialog)
        g_dialog = new FImg;
    ShowOver(g_dialog, documentHostWindow());
    return g_dialog;
}

FImg *FImg::loaded()
{
    return g_dialog;
}

void FImg::unload()
{
    FImg *w = g_dialog;
    g_dialog = nullptr;
    if (w) {
        w->stopLoading();
        w->hide();
        w->deleteLater();
    }
}

void FImg::setInsertHandler(std::function<void(const QString &, const QImage &)> handler)
{
    g_insertHandler = std::move(handler);
}

FImg::FImg()
{
    setWindowTitle(QStringLiteral("画像選択"));
    setAttribute(Qt::WA_QuitOnClose, false);

    Drive = new QComboBox;
    Drive->setObjectName(QStringLiteral("Drive"));

    m_dirModel = new QFileSystemModel(this);
    m_dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_dirModel->setRootPath(QString());
    Dir = new QTreeView;
    Dir->setObjectName(QStringLiteral("Dir"));
    Dir->setModel(m_dirModel);
    for (int column = 1; column < m_dirModel->columnCount(); ++column)
        Dir->hideColumn(column);
    Dir->setHeaderHidden(true);
    Dir->setMinimumWidth(240);

    LV画像リスト = new QListWidget;
    LV画像リスト->setObjectName(QStringLiteral("LV画像リスト"));
    LV画像リスト->setViewMode(QListView::IconMode);
    LV画像リスト->setIconSize(ThumbnailSize());
    LV画像リスト->setGridSize(ThumbnailSize() + QSize(12, 12));
    LV画像リスト->setMovement(QListView::Static);
    LV画像リスト->setResizeMode(QListView::Adjust);
    LV画像リスト->setUniformItemSizes(true);
    LV画像リスト->setLayoutMode(QListView::Batched);
    LV画像リスト->setSelectionMode(QAbstractItemView::SingleSelection);
    LV画像リスト->setItemDelegate(new PictureOnlyDelegate(LV画像リスト));
    LV画像リスト->setMinimumSize(3 * (ThumbnailSize().width() + 12) + 24,
                                 2 * (ThumbnailSize().height() + 12) + 8);

    Progress = new QProgressBar;
    Progress->setFormat(QStringLiteral("%v / %m"));
    Progress->setVisible(false);
    CmdOK = new QPushButton(QStringLiteral("挿入"));
    Cmdキャンセル = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"));
    CmdOK->setAutoDefault(false);
    Cmdキャンセル->setAutoDefault(false);

    auto *folders = new QVBoxLayout;
    folders->addWidget(Drive);
    folders->addWidget(Dir);
    auto *top = new QHBoxLayout;
    top->addLayout(folders, 1);
    top->addWidget(LV画像リスト, 3);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Progress, 1);
    bottom->addStretch();
    bottom->addWidget(CmdOK);
    bottom->addWidget(Cmdキャンセル);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
    resize(900, 560);

    // The tree fills and sorts itself in the background; keep the current folder in view meanwhile.
    connect(m_dirModel, &QFileSystemModel::directoryLoaded, this, [this](const QString &loaded) {
        const QString dir = QDir::cleanPath(loaded);
        if (m_folder == dir || m_folder.startsWith(dir.endsWith(u'/') ? dir : dir + u'/')) {
            QTimer::singleShot(100, this, [this] {
                Dir->scrollTo(Dir->currentIndex(), QAbstractItemView::PositionAtCenter);
            });
        }
    });
    connect(Drive, &QComboBox::activated, this, [this] { Drive_Change(); });
    connect(Dir->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (m_settingFolder || !current.isValid())
                    return;
                m_folder = QDir::cleanPath(m_dirModel->filePath(current));
                selectDriveOf(m_folder);
                Dir_Change();
            });
    connect(CmdOK, &QPushButton::clicked, this, [this] { CmdOK_Click(); });
    connect(LV画像リスト, &QListWidget::itemDoubleClicked, this, [this] { LV画像リスト_DblClick(); });
    connect(Cmdキャンセル, &QPushButton::clicked, this, [this] { Cmdキャンセル_Click(); });

    Form_Load();
}

FImg::~FImg()
{
    stopLoading();
}

void FImg::Form_Load()
{
    fillDrives();
    setFolder(StartPictureFolder());
}

void FImg::fillDrives()
{
    QStringList roots;
    for (const QFileInfo &drive : QDir::drives())
        roots << QDir::cleanPath(drive.absoluteFilePath());
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir())
            roots << QDir::cleanPath(volume.rootPath());
    }
    roots.removeDuplicates();
    roots.sort();
    Drive->clear();
    Drive->addItems(roots);
}

void FImg::selectDriveOf(const QString &path)
{
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < Drive->count(); ++i) {
        const QString root = Drive->itemText(i);
        const bool contains = path == root
            || path.startsWith(root.endsWith(u'/') ? root : root + u'/');
        if (contains && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    Drive->setCurrentIndex(best);
}

void FImg::setFolder(const QString &path)
{
    m_folder = QDir::cleanPath(path);
    const QModelIndex index = m_dirModel->index(m_folder);
    if (index.isValid()) {
        m_settingFolder = true;
        Dir->setCurrentIndex(index);
        Dir->expand(index);
        Dir->scrollTo(index, QAbstractItemView::PositionAtCenter);
        m_settingFolder = false;
    }
    selectDriveOf(m_folder);
    Dir_Change();
}

void FImg::Drive_Change()
{
    if (Drive->currentIndex() >= 0)
        setFolder(Drive->currentText());
}

void FImg::stopLoading()
{
    if (m_watcher) {
        m_watcher->disconnect(this);
        m_watcher->cancel();
        m_watcher->deleteLater();
        m_watcher = nullptr;
    }
    m_loading = false;
    Progress->setVisible(false);
}

void FImg::Dir_Change()
{
    stopLoading();
    LV画像リスト->clear();
    const QStringList files = PictureFiles(m_folder);
    if (files.isEmpty())
        return;

    m_loading = true;
    Progress->setRange(0, int(files.size()));
    Progress->setValue(0);
    Progress->setVisible(true);
    m_watcher = new QFutureWatcher<FImgThumbnail>(this);
    QFutureWatcher<FImgThumbnail> *watcher = m_watcher;
    connect(watcher, &QFutureWatcherBase::resultsReadyAt, this, [this, watcher](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const FImgThumbnail thumb = watcher->resultAt(i);
            auto *item = new QListWidgetItem(QIcon(QPixmap::fromImage(thumb.image)), QString(),
                                             LV画像リスト);
            item->setData(Qt::UserRole, thumb.path);
            item->setToolTip(QFileInfo(thumb.path).fileName());
        }
    });
    connect(watcher, &QFutureWatcherBase::progressValueChanged, Progress, &QProgressBar::setValue);
    connect(watcher, &QFutureWatcherBase::finished, this, [this] {
        m_loading = false;
        Progress->setVisible(false);
    });
    watcher->setFuture(QtConcurrent::run(readThumbnails, files));
}

int FImg::thumbnailCount() const
{
    return LV画像リスト->count();
}

QString FImg::thumbnailPath(int row) const
{
    const QListWidgetItem *item = LV画像リスト->item(row);
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void FImg::CmdOK_Click()
{
    const QListWidgetItem *item = LV画像リスト->currentItem();
    if (!item || !item->isSelected())
        return;
    const QString path = item->data(Qt::UserRole).toString();
    const QImage picture = LoadInsertPicture(path);
    // The file may have gone since its thumbnail was read.
    if (picture.isNull())
        return;
    if (g_insertHandler)
        g_insertHandler(path, picture);
    RememberPictureFolder(m_folder);
    unload();
}

void FImg::LV画像リスト_DblClick()
{
    CmdOK_Click();
}

void FImg::Cmdキャンセル_Click()
{
    unload();
}

void FImg::closeEvent(QCloseEvent *event)
{
    event->accept();
    // Unloaded like by its cancel button, so the next opening starts from
    // the design values instead of what this one left behind.
    if (loaded() == this)
        Cmdキャンセル_Click();
}
