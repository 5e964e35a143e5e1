// Loaded into an installed rydol with LD_PRELOAD by tools/test-package.sh: it
// works the program's windows through Qt's object tree, as a doctor would (the
// start window, a patient, the first kind of 新規作成, 保留データに保存),
// answers every message box with its default button and prints each step. It
// ends the program with 0 once the document is saved, with 3 when a step does
// not come within a minute.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <cstdio>

namespace {

void say(const QString &line)
{
    std::printf("driver: %s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

QAbstractButton *visibleButton(const QString &text)
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->isVisible())
            for (QAbstractButton *b : top->findChildren<QAbstractButton *>())
                if (b->isVisible() && b->text() == text)
                    return b;
    return nullptr;
}

QAction *visibleAction(const QString &text)
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->isVisible())
            for (QAction *a : top->findChildren<QAction *>())
                if (a->text() == text && a->isEnabled())
                    return a;
    return nullptr;
}

// Runs what may open a modal box after the step's tick: the tick's timer does
// not fire again while its own slot runs, so it could not answer the box.
void later(std::function<void()> work)
{
    QTimer::singleShot(0, qApp, std::move(work));
}

// One step: true when it has done its work.
using Step = std::function<bool()>;

void drive()
{
    auto steps = std::make_shared<QList<QPair<QString, Step>>>(QList<QPair<QString, Step>>{
        {QStringLiteral("start window, doctor chosen"), [] {
             QAbstractButton *patients = visibleButton(QStringLiteral("患者選択"));
             QComboBox *doctors = patients ? patients->window()->findChild<QComboBox *>() : nullptr;
             if (!doctors || doctors->count() == 0)
                 return false;
             doctors->setCurrentIndex(0);
             later([patients] { patients->click(); });
             return true;
         }},
        {QStringLiteral("patient chosen"), [] {
             QAbstractButton *ok = visibleButton(QStringLiteral("決定"));
             QAbstractButton *search = visibleButton(QStringLiteral("検索"));
             QTreeWidget *list = ok ? ok->window()->findChild<QTreeWidget *>() : nullptr;
             if (!list || !search)
                 return false;
             if (list->topLevelItemCount() == 0) {
                 search->click();
                 return false;
             }
             const QRect row = list->visualItemRect(list->topLevelItem(0));
             QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
             later([ok] { ok->click(); });
             return true;
         }},
        {QStringLiteral("document opened"), [] {
             for (QWidget *top : QApplication::topLevelWidgets())
                 if (auto *bar = top->isVisible() ? top->findChild<QMenuBar *>() : nullptr)
                     for (QAction *head : bar->actions())
                         if (head->text() == QStringLiteral("新規作成") && head->menu())
                             for (QAction *kind : head->menu()->actions())
                                 if (!kind->text().isEmpty() && kind->isVisible()) {
                                     say(QStringLiteral("kind ") + kind->text());
                                     later([kind] { kind->trigger(); });
                                     return true;
                                 }
             return false;
         }},
        {QStringLiteral("saved"), [] {
             QAction *save = visibleAction(QStringLiteral("保留データに保存"));
             if (!save)
                 return false;
             later([save] { save->trigger(); });
             return true;
         }},
    });
    auto *timer = new QTimer(qApp);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, qApp, [steps, started] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            say(QStringLiteral("message ") + box->text());
            box->done(box->buttons().contains(box->button(QMessageBox::Yes)) ? QMessageBox::Yes : QMessageBox::Ok);
            return;
        }
        if (steps->isEmpty()) {
            QCoreApplication::exit(0);
            return;
        }
        if (steps->first().second()) {
            say(steps->takeFirst().first);
            started->restart();
        } else if (started->elapsed() > 60000) {
            say(QStringLiteral("no ") + steps->first().first);
            std::fflush(stdout);
            std::_Exit(3);
        }
    });
    timer->start(300);
}

void install()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QTimer::singleShot(0, qApp, drive);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(install)
