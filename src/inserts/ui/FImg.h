#pragma once
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

class QComboBox;
class QFileSystemModel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeView;
struct FImgThumbnail;
template <typename T> class QFutureWatcher;

// The picture chooser: a folder tree and the thumbnails of the folder's GIF and
// JPEG files, read in the background. "挿入" or a double-click hands the chosen
// picture to the insert handler and remembers the folder as PicDir. Exists at
// most once; every opening starts in the remembered folder.
class FImg : public QWidget
{
public:
    // Loads (if needed) and shows the dialog at the top-left of the screen.
    static FImg *showShared();
    static FImg *loaded();
    static void unload();
    // Receives the chosen picture (the file's own picture, large ones scaled
    // down): the document window makes it its floating picture with its
    // buttons, sets PicturePending and the main window selects tool 0.
    static void setInsertHandler(
        std::function<void(const QString &path, const QImage &picture)> handler);

    // The current folder (the path of Dir).
    QString folder() const { return m_folder; }
    // Sets the path of Dir, which rebuilds the thumbnails.
    void setFolder(const QString &path);
    // Thumbnails shown so far, in file order.
    int thumbnailCount() const;
    QString thumbnailPath(int row) const;
    bool thumbnailsLoading() const { return m_loading; }

    QComboBox *Drive;
    QTreeView *Dir;
    QListWidget *LV画像リスト;
    QProgressBar *Progress;
    QPushButton *CmdOK;
    QPushButton *Cmdキャンセル;

    void Drive_Change();
    void Dir_Change();
    void CmdOK_Click();
    void LV画像リスト_DblClick();
    void Cmdキャンセル_Click();

protected:
    // The close box does what ｷｬﾝｾﾙ does.
    void closeEvent(QCloseEvent *event) override;

private:
    FImg();
    ~FImg() override;
    void Form_Load();
    void fillDrives();
    void selectDriveOf(const QString &path);
    void stopLoading();

    QFileSystemModel *m_dirModel;
    QString m_folder;
    bool m_settingFolder = false;
    bool m_loading = false;
    QFutureWatcher<FImgThumbnail> *m_watcher = nullptr;
};
