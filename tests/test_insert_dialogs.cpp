#include "ScriptedPrompter.h"
#include "TestHome.h"

#include "ui/Fonts.h"
#include "inserts/Pictures.h"
#include "inserts/ui/FImg.h"
#include "inserts/ui/F文字挿入.h"
#include "storage/Ini.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QtTest>

namespace {

struct Inserted
{
    int calls = 0;
    QString path;
    QImage picture;
};

void writeJunk(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("this is not a picture\n");
}

void writeJpeg(const QString &path, const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QVERIFY(image.save(path, "JPEG"));
}

bool waitForThumbnails(FImg *w)
{
    QElapsedTimer timer;
    timer.start();
    while (w->thumbnailsLoading() && timer.elapsed() < 20000)
        QTest::qWait(10);
    return !w->thumbnailsLoading();
}

QStringList thumbnailNames(const FImg *w)
{
    QStringList names;
    for (int i = 0; i < w->thumbnailCount(); ++i)
        names << QFileInfo(w->thumbnailPath(i)).fileName();
    return names;
}

void selectThumbnail(FImg *w, int row)
{
    w->LV画像リスト->setCurrentRow(row);
    QVERIFY(w->LV画像リスト->item(row)->isSelected());
}

} // namespace

class TestInsertDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutes(); }
    void cleanup();
    void samplePicturesAreLineDrawingsOnWhite();
    void chooserShowsOnlyReadableGifAndJpeg();
    void changingFolderKeepsOnlyTheLastFolder();
    void picDirIsWrittenOnInsertOnly();
    void vanishedPicDirFallsBackToPictureFolder();
    void insertWithoutSelectionDoesNothing();
    void newTextNeedsTextAndHandsOverItsLook();
    void closeBoxesStartTheNextOpeningAfresh();
    void editedTextComesBackUnchanged();
    void colourDialogAndTypedSize();
};

void TestInsertDialogs::cleanup()
{
    FImg::unload();
    F文字挿入::unload();
    FImg::setInsertHandler({});
    F文字挿入::setHandOver({});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestInsertDialogs::samplePicturesAreLineDrawingsOnWhite()
{
    const QDir pictures(TestHome::sampleData() + QStringLiteral("/Picture"));
    const QStringList files = PictureFiles(pictures.path());
    QVERIFY(files.size() >= 4);
    for (const QString &file : files) {
        QVERIFY2(QFileInfo(file).size() < 50 * 1024, qPrintable(file));
        const QImage image(file);
        QVERIFY2(!image.isNull(), qPrintable(file));
        // Corners are pure white, so pasting with AND keeps what lies beneath.
        QCOMPARE(image.pixelColor(0, image.height() - 1), QColor(Qt::white));
        QCOMPARE(image.pixelColor(image.width() - 1, image.height() - 1), QColor(Qt::white));
    }
}

void TestInsertDialogs::chooserShowsOnlyReadableGifAndJpeg()
{
    TestHome home(true);
    const QString dir = home.folder() + QStringLiteral("/pics");
    QDir().mkpath(dir);
    QFile::copy(home.data(QStringLiteral("Picture/手.gif")), dir + QStringLiteral("/b.GIF"));
    writeJpeg(dir + QStringLiteral("/a.jpg"), QSize(40, 30), Qt::red);
    writeJpeg(dir + QStringLiteral("/c.jpeg"), QSize(20, 20), Qt::blue);
    writeJpeg(dir + QStringLiteral("/d.png"), QSize(20, 20), Qt::blue);
    writeJunk(dir + QStringLiteral("/broken.jpg"));
    writeJunk(dir + QStringLiteral("/notes.txt"));
    // A big picture is read at thumbnail size.
    writeJpeg(dir + QStringLiteral("/large.jpg"), QSize(3000, 2400), Qt::green);

    FImg *w = FImg::showShared();
    QCOMPARE(w->windowTitle(), QStringLiteral("画像選択"));
    // Without a main window it opens on the screen, its title bar in sight.
    QVERIFY(w->screen()->availableGeometry().contains(w->frameGeometry().topLeft()));
    w->setFolder(dir);
    QVERIFY(waitForThumbnails(w));
    QCOMPARE(thumbnailNames(w), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.GIF"),
                                            QStringLiteral("c.jpeg"), QStringLiteral("large.jpg")}));
    // Each entry shows its own file's picture.
    const QImage first = w->LV画像リスト->item(0)->icon().pixmap(ThumbnailSize()).toImage();
    QCOMPARE(first.size(), ThumbnailSize());
    QVERIFY(qRed(first.pixel(ThumbnailSize().width() / 2, ThumbnailSize().height() / 2)) > 200);
    QVERIFY(qGreen(first.pixel(ThumbnailSize().width() / 2, ThumbnailSize().height() / 2)) < 60);
    const QImage large = w->LV画像リスト->item(3)->icon().pixmap(ThumbnailSize()).toImage();
    QVERIFY(qGreen(large.pixel(ThumbnailSize().width() / 2, ThumbnailSize().height() / 2)) > 200);
    QCOMPARE(LoadInsertPicture(dir + QStringLiteral("/large.jpg")).size(), QSize(1600, 1280));
    QVERIFY(LoadThumbnail(dir + QStringLiteral("/broken.jpg")).isNull());
}

void TestInsertDialogs::changingFolderKeepsOnlyTheLastFolder()
{
    TestHome home(true);
    const QString many = home.folder() + QStringLiteral("/many");
    const QString few = home.folder() + QStringLiteral("/few");
    QDir().mkpath(many);
    QDir().mkpath(few);
    for (int i = 0; i < 60; ++i)
        writeJpeg(many + QStringLiteral("/%1.jpg").arg(i, 3, 10, QLatin1Char('0')), QSize(800, 600), Qt::gray);
    QFile::copy(home.data(QStringLiteral("Picture/手.gif")), few + QStringLiteral("/手.gif"));
    QFile::copy(home.data(QStringLiteral("Picture/頭部.jpg")), few + QStringLiteral("/頭部.jpg"));

    FImg *w = FImg::showShared();
    w->setFolder(many);
    QVERIFY(w->thumbnailsLoading());
    w->setFolder(few);
    QVERIFY(waitForThumbnails(w));
    QTest::qWait(50);
    QCOMPARE(thumbnailNames(w), (QStringList{QStringLiteral("手.gif"), QStringLiteral("頭部.jpg")}));
    w->setFolder(home.folder() + QStringLiteral("/empty-or-missing"));
    QVERIFY(waitForThumbnails(w));
    QCOMPARE(w->thumbnailCount(), 0);
}

void TestInsertDialogs::picDirIsWrittenOnInsertOnly()
{
    TestHome home(true);
    Inserted inserted;
    FImg::setInsertHandler([&inserted](const QString &path, const QImage &picture) {
        ++inserted.calls;
        inserted.path = path;
        inserted.picture = picture;
    });
    const QString other = home.folder() + QStringLiteral("/絵");
    QDir().mkpath(other);
    QFile::copy(home.data(QStringLiteral("Picture/全身前面.gif")), other + QStringLiteral("/前.gif"));

    FImg *w = FImg::showShared();
    QCOMPARE(w->folder(), QDir::cleanPath(home.data(QStringLiteral("Picture"))));
    QVERIFY(waitForThumbnails(w));
    QCOMPARE(w->thumbnailCount(), 4);
    w->setFolder(other);
    QVERIFY(waitForThumbnails(w));
    selectThumbnail(w, 0);
    w->Cmdキャンセル_Click();
    QVERIFY(!FImg::loaded());
    QCOMPARE(inserted.calls, 0);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("PicDir")), QString());

    w = FImg::showShared();
    QCOMPARE(w->folder(), QDir::cleanPath(home.data(QStringLiteral("Picture"))));
    w->setFolder(other);
    QVERIFY(waitForThumbnails(w));
    selectThumbnail(w, 0);
    w->LV画像リスト_DblClick();
    QVERIFY(!FImg::loaded());
    QCOMPARE(inserted.calls, 1);
    QCOMPARE(inserted.path, other + QStringLiteral("/前.gif"));
    QCOMPARE(inserted.picture.size(), QSize(300, 620));
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("PicDir")), other);

    w = FImg::showShared();
    QCOMPARE(w->folder(), other);
    QVERIFY(waitForThumbnails(w));
    selectThumbnail(w, 0);
    w->CmdOK_Click();
    QCOMPARE(inserted.calls, 2);
}

void TestInsertDialogs::vanishedPicDirFallsBackToPictureFolder()
{
    TestHome home(true);
    WriteIni(QStringLiteral("setting"), QStringLiteral("PicDir"), home.folder() + QStringLiteral("/gone"));
    FImg *w = FImg::showShared();
    QCOMPARE(w->folder(), QDir::cleanPath(home.data(QStringLiteral("Picture"))));
    QVERIFY(waitForThumbnails(w));
    QCOMPARE(w->thumbnailCount(), 4);
    w->Cmdキャンセル_Click();
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("PicDir")), home.folder() + QStringLiteral("/gone"));
}

void TestInsertDialogs::insertWithoutSelectionDoesNothing()
{
    TestHome home(true);
    int calls = 0;
    FImg::setInsertHandler([&calls](const QString &, const QImage &) { ++calls; });
    FImg *w = FImg::showShared();
    QVERIFY(waitForThumbnails(w));
    w->LV画像リスト->clearSelection();
    w->CmdOK_Click();
    QCOMPARE(calls, 0);
    QCOMPARE(FImg::loaded(), w);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("PicDir")), QString());
}

void TestInsertDialogs::newTextNeedsTextAndHandsOverItsLook()
{
    ScriptedPrompter prompts;
    QList<FreeTextHandOver> received;
    F文字挿入::setHandOver([&received](const FreeTextHandOver &h) { received << h; });

    F文字挿入 *w = F文字挿入::showNew();
    QCOMPARE(w->windowTitle(), QStringLiteral("文字の挿入"));
    QCOMPARE(w->ComboFontSize->currentText(), QStringLiteral("9"));
    QCOMPARE(w->ComboFontSize->count(), 11);
    QCOMPARE(w->LabelIndex->text(), QStringLiteral("0"));
    QVERIFY(!w->CheckBold->isChecked() && !w->CheckUnderLine->isChecked());

    w->CmdOK_Click();
    QCOMPARE(prompts.messages, QStringList{QStringLiteral("文字を入力してください")});
    QVERIFY(received.isEmpty());
    QCOMPARE(F文字挿入::loaded(), w);

    const QColor expected[8] = {{0, 0, 0}, {0, 0, 255}, {255, 0, 0}, {255, 255, 0},
                                {242, 242, 242}, {0, 255, 0}, {0, 192, 192}, {255, 0, 255}};
    for (int i = 0; i < 8; ++i) {
        w->Label色_Click(i);
        QCOMPARE(w->currentLook().color, expected[i]);
    }
    // A click on the swatch itself goes the same way.
    QTest::mouseClick(w->Label色[4], Qt::LeftButton);
    QCOMPARE(w->Txt文字->palette().color(QPalette::Text), QColor(242, 242, 242));

    w->Txt文字->setText(QStringLiteral("圧痛（＋）"));
    w->CheckBold->setChecked(true);
    w->CheckUnderLine->setChecked(true);
    w->CheckUnderLine->setChecked(false);
    w->ComboFontSize->setCurrentIndex(7);
    emit w->ComboFontSize->activated(7);
    QCOMPARE(w->Txt文字->font().pointSizeF(), 24.0);
    w->CmdOK_Click();
    QCOMPARE(received.size(), 1);
    const FreeTextHandOver &h = received.first();
    QVERIFY(!h.edited);
    QCOMPARE(h.look.text, QStringLiteral("圧痛（＋）"));
    QCOMPARE(h.look.color, QColor(242, 242, 242));
    QCOMPARE(h.look.pointSize, 24.0);
    QVERIFY(h.look.bold);
    QVERIFY(!h.look.underline);
    QVERIFY(!F文字挿入::loaded());

    // The next opening starts from the design values again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w = F文字挿入::showNew();
    QCOMPARE(w->currentLook().pointSize, 9.0);
    QCOMPARE(w->currentLook().color, QColor(Qt::black));
    QCOMPARE(w->Txt文字->text(), QString());
}

// Closed with the title-bar close box, each dialog opens again as designed:
// the picture chooser in PicDir, the text dialog with no text, size 9, plain.
void TestInsertDialogs::closeBoxesStartTheNextOpeningAfresh()
{
    TestHome home(true);
    int inserted = 0;
    FImg::setInsertHandler([&inserted](const QString &, const QImage &) { ++inserted; });
    const QString other = home.folder() + QStringLiteral("/絵");
    QDir().mkpath(other);
    FImg *chooser = FImg::showShared();
    QVERIFY(waitForThumbnails(chooser));
    chooser->setFolder(other);
    const QPoint placed = chooser->pos();
    chooser->move(300, 200);
    QVERIFY(chooser->close());
    QVERIFY(!FImg::loaded());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    chooser = FImg::showShared();
    QCOMPARE(chooser->folder(), QDir::cleanPath(home.data(QStringLiteral("Picture"))));
    QCOMPARE(chooser->pos(), placed);
    QVERIFY(waitForThumbnails(chooser));
    QCOMPARE(inserted, 0);
    QCOMPARE(ReadIni(QStringLiteral("setting"), QStringLiteral("PicDir")), QString());

    QList<FreeTextHandOver> received;
    F文字挿入::setHandOver([&received](const FreeTextHandOver &h) { received << h; });
    F文字挿入 *text = F文字挿入::showNew();
    text->Txt文字->setText(QStringLiteral("圧痛"));
    text->CheckBold->setChecked(true);
    text->ComboFontSize->setCurrentIndex(7);
    emit text->ComboFontSize->activated(7);
    text->Label色_Click(2);
    QVERIFY(text->close());
    QVERIFY(!F文字挿入::loaded());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    text = F文字挿入::showNew();
    QCOMPARE(text->Txt文字->text(), QString());
    QCOMPARE(text->ComboFontSize->currentText(), QStringLiteral("9"));
    QVERIFY(!text->CheckBold->isChecked());
    QCOMPARE(text->currentLook().color, QColor(Qt::black));
    QVERIFY(received.isEmpty());
}

void TestInsertDialogs::editedTextComesBackUnchanged()
{
    ScriptedPrompter prompts;
    QList<FreeTextHandOver> received;
    F文字挿入::setHandOver([&received](const FreeTextHandOver &h) { received << h; });
    const FreeText floating{QStringLiteral("右下腹部"), QColor(255, 0, 0), 18, true, true};

    F文字挿入 *w = F文字挿入::showForEdit(floating);
    QCOMPARE(w->LabelIndex->text(), QStringLiteral("1"));
    QCOMPARE(w->ComboFontSize->currentText(), QStringLiteral("9"));
    QVERIFY(!w->CheckBold->isChecked());
    w->CmdOK_Click();
    QCOMPARE(received.size(), 1);
    QVERIFY(received[0].edited);
    QCOMPARE(received[0].look.text, floating.text);
    QCOMPARE(received[0].look.color, floating.color);
    QCOMPARE(received[0].look.pointSize, floating.pointSize);
    QCOMPARE(received[0].look.bold, true);
    QCOMPARE(received[0].look.underline, true);

    // A new text asked for while an edit is open starts afresh.
    w = F文字挿入::showForEdit(floating);
    w = F文字挿入::showNew();
    QCOMPARE(w->LabelIndex->text(), QStringLiteral("0"));
    QCOMPARE(w->Txt文字->text(), QString());
    QVERIFY(prompts.asked.isEmpty());
}

void TestInsertDialogs::colourDialogAndTypedSize()
{
    ScriptedPrompter prompts;
    F文字挿入 *w = F文字挿入::showForEdit({QStringLiteral("x"), QColor(255, 0, 0), 12, false, false});
    w->CmdFontColor_Click();  // cancelled
    QCOMPARE(w->currentLook().color, QColor(255, 0, 0));
    prompts.colors = {QColor(10, 20, 30)};
    w->CmdFontColor_Click();
    QCOMPARE(w->currentLook().color, QColor(10, 20, 30));
    QCOMPARE(prompts.asked, (QStringList{QStringLiteral("<color>"), QStringLiteral("<color>")}));

    w->ComboFontSize->setEditText(QStringLiteral("30"));
    QCOMPARE(w->currentLook().pointSize, 12.0);
}

QTEST_MAIN(TestInsertDialogs)
#include "test_insert_dialogs.moc"
