// The program is started as a separate process, made to type and draw, and
// killed with SIGKILL at random moments (some of them while a draft is being
// written). Each next start must offer the draft and bring back exactly a
// state the killed program had reached, and none older than two seconds
// before the kill. Runs that save are killed right after "保存しました": nothing is offered then.

#include "TestHome.h"
#include "Typing.h"

#include "app/AppState.h"
#include "app/ui/FHead.h"
#include "app/ui/FStart.h"
#include "app/ui/Main.h"
#include "document/ui/FM.h"
#include "patients/Patient.h"
#include "persistence/Draft.h"
#include "persistence/ui/DraftKeeper.h"
#include "storage/Database.h"
#include "templates/ui/BuildDocument.h"
#include "ui/Prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

const char kChild[] = "RYDOL_KILL_CHILD";
const char kJournal[] = "RYDOL_KILL_JOURNAL";
const char kSlow[] = "RYDOL_KILL_SLOW_WRITES";
const char kSeed[] = "RYDOL_KILL_SEED";
const char kSave[] = "RYDOL_KILL_SAVE";
const QString kKind = QStringLiteral("紹介状");
constexpr int kFields = 6;
constexpr int kKills = 50;

qint64 Now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// ---- the child: the program, driven ----------------------------------------

int g_journal = -1;

void Log(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    if (g_journal >= 0)
        (void)!::write(g_journal, bytes.constData(), size_t(bytes.size()));
}

// What a draft of the window holds: fields (with the open editor's text),
// check boxes, number and page pixels.
QString StateHash(FM &doc)
{
    const Draft d = DraftKeeper::Collect(doc);
    QCryptographicHash h(QCryptographicHash::Md5);
    for (const FieldValue &f : d.doc.fields)
        h.addData((f.text + u'\x1f').toUtf8());
    for (const CheckValue &c : d.doc.checks)
        h.addData((c.state + u'\x1e').toUtf8());
    h.addData(QByteArray::number(d.doc.number));
    const QImage page = d.doc.surface.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < page.height(); ++y)
        h.addData(QByteArrayView(reinterpret_cast<const char *>(page.constScanLine(y)), page.width() * 4));
    return QString::fromLatin1(h.result().toHex());
}

class ChildPrompter : public Prompter
{
public:
    // The doctor reads the box a while; its event loop runs meanwhile.
    void message(const QString &text, const QString &) override { QTest::qWait(600); Log(QStringLiteral("M ") + text); }
    bool question(const QString &text, const QString &) override
    {
        Log(QStringLiteral("Q ") + QString(text).replace(u'\n', u'|'));
        return text.contains(QStringLiteral("復元しますか？"));
    }
    std::optional<QString> input(const QString &, const QString &, const QString &) override { return std::nullopt; }
    std::optional<QColor> color(const QColor &) override { return std::nullopt; }
    std::optional<QString> saveFileName(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

class Driver : public QObject
{
public:
    explicit Driver(quint32 seed)
        : m_rng(seed)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { step(); });
    }
    void start() { m_timer.start(25); }

private:
    void step()
    {
        FM *doc = fm();
        if (!doc)
            return;
        if (qEnvironmentVariableIsSet(kSave) && ++m_steps == 12) {
            m_timer.stop();
            return doc->M保存_Click(0);
        }
        const int r = int(m_rng.bounded(100));
        if (r < 70)
            type(*doc);
        else if (r < 80)
            doc->テキスト変更();
        else
            draw(*doc);
        Log(QStringLiteral("S %1 %2").arg(Now()).arg(StateHash(*doc)));
    }
    void type(FM &doc)
    {
        if (doc.TxtInput->isHidden())
            doc.OpenEditor(int(m_rng.bounded(kFields)));
        static const QString letters = QStringLiteral("あいうえお漢字東京ABCxyz0123");
        if (doc.TxtInput->text().size() > 30)
            doc.TxtInput->setText(QString());
        QString typed;
        for (int i = 0, n = 1 + int(m_rng.bounded(3)); i < n; ++i)
            typed += letters[int(m_rng.bounded(letters.size()))];
        TypeText(doc.TxtInput, typed);
    }
    void draw(FM &doc)
    {
        FHead *head = fhead();
        if (!head)
            return;
        doc.Mフリー編集_Click();
        if (m_rng.bounded(5) == 0 && doc.canUndoDrawing()) {
            doc.UndoDrawing();
        } else {
            head->SelectTool(m_rng.bounded(4) == 0 ? 3 : 1);
            head->Label色_Click(int(m_rng.bounded(8)));
            double x = 300 + m_rng.bounded(5400), y = 300 + m_rng.bounded(5400);
            doc.Form_MouseDown(Qt::LeftButton, {}, x, y);
            for (int i = 0; i < 4; ++i) {
                x = qBound(0.0, x + m_rng.bounded(1200) - 600.0, 6000.0);
                y = qBound(0.0, y + m_rng.bounded(1200) - 600.0, 6000.0);
                doc.Form_MouseMove(Qt::LeftButton, {}, x, y);
            }
            doc.Form_MouseUp(Qt::LeftButton, {}, x, y);
        }
        doc.M通常入力_Click();
    }

    QTimer m_timer;
    QRandomGenerator m_rng;
    int m_steps = 0;
};

int ChildMain(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rydol"));
    g_journal = ::open(qgetenv(kJournal).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ChildPrompter prompts;
    setPrompter(&prompts);
    const bool slow = qEnvironmentVariableIsSet(kSlow);
    SetDraftWriteProbe([slow](int stage) {
        Log(QStringLiteral("W%1 %2").arg(stage).arg(Now()));
        if (slow)
            QThread::msleep(250);
    });
    Main(); // from the second start on the doctor is remembered and the draft offered here
    Driver driver(quint32(qEnvironmentVariableIntValue(kSeed)));
    QTimer::singleShot(0, [&driver] {
        FStart &start = FStart::shared();
        if (fm() && fm()->Tag == kKind) {
            Log(QStringLiteral("R %1 %2").arg(Now()).arg(StateHash(*fm())));
        } else {
            start.ComboDr->setCurrentIndex(0);
            start.CheckDefaultDr->setChecked(true);
            start.Set_Dr();
            LookupPatient(QStringLiteral("1001"));
            ShowMainWindow();
            BuildDocument(kKind);
            fm()->更新チェック更新();
            Log(QStringLiteral("F %1 %2").arg(Now()).arg(StateHash(*fm())));
        }
        driver.start();
    });
    return app.exec();
}

// ---- the test ----------------------------------------------------------------

struct Entry
{
    QChar kind; // F fresh, R recovered, S after an action
    qint64 time = 0;
    QString hash;
};

struct Journal
{
    QList<Entry> states;
    QStringList questions;
    QStringList messages;
    bool writing = false; // a draft write had begun and not ended at the last line
    int writes = 0;
};

Journal ReadJournal(const QString &path)
{
    Journal j;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return j;
    const QByteArray all = f.readAll();
    // A line cut by the kill is not a line.
    const QList<QByteArray> lines = all.left(all.lastIndexOf('\n') + 1).split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw);
        if (line.isEmpty())
            continue;
        const QChar c = line[0];
        if (line.startsWith(QStringLiteral("W1"))) {
            j.writing = true;
        } else if (line.startsWith(QStringLiteral("W2"))) {
            j.writing = true;
            ++j.writes;
        } else if (c == u'Q') {
            j.questions << line.mid(2);
        } else if (c == u'M') {
            j.messages << line.mid(2);
        } else if (c == u'F' || c == u'R' || c == u'S') {
            const QStringList parts = line.split(u' ');
            if (parts.size() == 3)
                j.states.append({c, parts[1].toLongLong(), parts[2]});
            // The state after an action: a write that began before was
            // handed the state of an earlier look, not this one.
            j.writing = false;
        }
    }
    return j;
}

}

class TestDraftKills : public QObject
{
    Q_OBJECT

private slots:
    void randomKillsLoseNothingOlderThanTwoSeconds();
};

void TestDraftKills::randomKillsLoseNothingOlderThanTwoSeconds()
{
    TestHome home;
    home.copyCheckIcons();
    QString ini = QStringLiteral("[DATA]\r\nWidth=6000\r\nHeight=6000\r\n");
    for (int i = 0; i < kFields; ++i)
        ini += QStringLiteral("lbItem_%1=300|%2|5000|600|0||ＭＳ 明朝|10.5|0|%3|F%1|2|\r\n").arg(i).arg(300 + i * 900).arg(i + 1);
    ini += QStringLiteral("ImgCheck_0=5500|300|240|240|同意|0\r\n");
    home.writeIni(kKind, ini);
    home.addDoctor(QStringLiteral("山田　太郎"));
    home.addPatient(QStringLiteral("1001"), QStringLiteral("佐藤　花子"), QStringLiteral("ｻﾄｳ ﾊﾅｺ"), 2, 19600101);
    CloseDB();
    QTemporaryDir xdg;
    const QString drafts = xdg.path() + QStringLiteral("/Rydol/drafts");

    const quint32 seed = qEnvironmentVariableIsSet(kSeed) ? quint32(qEnvironmentVariableIntValue(kSeed))
                                                           : QRandomGenerator::global()->generate() % 100000;
    qInfo("seed %u (set %s to repeat)", seed, kSeed);
    QRandomGenerator rng(seed);

    Journal previous;
    qint64 killedAt = 0;
    int killedWhileWriting = 0;
    QElapsedTimer clock;
    clock.start();
    for (int run = 0; run <= kKills; ++run) {
        const bool slow = run % 5 == 4;
        const bool save = !slow && run % 6 == 5;
        const QString journalPath = xdg.path() + QStringLiteral("/journal-%1.txt").arg(run);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("RYDOL_HOME"), home.folder());
        env.insert(QStringLiteral("XDG_DATA_HOME"), xdg.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), xdg.path() + QStringLiteral("/config"));
        env.insert(QString::fromLatin1(kChild), QStringLiteral("1"));
        env.insert(QString::fromLatin1(kJournal), journalPath);
        env.insert(QString::fromLatin1(kSeed), QString::number(seed + run));
        if (slow)
            env.insert(QString::fromLatin1(kSlow), QStringLiteral("1"));
        if (save)
            env.insert(QString::fromLatin1(kSave), QStringLiteral("1"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), xdg.path());
        QProcess child;
        child.setProcessEnvironment(env);
        // What the program says on stderr goes beside its journal.
        child.setStandardErrorFile(journalPath + QStringLiteral(".stderr"));
        child.setStandardOutputFile(QProcess::nullDevice());
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY2(child.waitForStarted(10000), "the program did not start");

        // Wait until it has come up (and recovered, or started afresh).
        Journal now;
        QElapsedTimer wait;
        wait.start();
        while ((now = ReadJournal(journalPath)).states.isEmpty()) {
            QVERIFY2(child.state() == QProcess::Running, qPrintable(QStringLiteral("run %1 ended").arg(run)));
            QVERIFY2(wait.elapsed() < 20000, "the program did not come up");
            QThread::msleep(5);
        }
        const Entry first = now.states.first();
        QVERIFY2(now.messages.isEmpty(), qPrintable(now.messages.join(u'\n')));
        QVERIFY(now.questions.size() <= 1);
        for (const QString &q : now.questions)
            QVERIFY2(QRegularExpression(QStringLiteral("^保存されていない書類があります（紹介状・佐藤　花子・"
                                                       "\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d）。復元しますか？\\|"
                                                       "「いいえ」を選ぶと、この内容は破棄されます。$"))
                         .match(q).hasMatch(), qPrintable(q));
        // Nothing half-written is left or shown.
        QCOMPARE(QDir(drafts).entryList({QStringLiteral("*.corrupt*")}, QDir::Files).size(), 0);

        if (run > 0 && previous.messages.contains(QStringLiteral("保存しました")))
            QVERIFY2(now.questions.isEmpty(), qPrintable(QStringLiteral("run %1: a saved document was offered").arg(run)));
        else if (run > 0) {
            const qint64 deadline = killedAt - 2000;
            int mustReach = 0; // the newest state older than two seconds
            for (int k = 0; k < previous.states.size(); ++k)
                if (previous.states[k].time <= deadline)
                    mustReach = k;
            if (first.kind == u'R') {
                QCOMPARE(now.questions.size(), 1);
                int found = -1;
                for (int k = 0; k < previous.states.size(); ++k)
                    if (previous.states[k].hash == first.hash)
                        found = k;
                QVERIFY2(found >= 0, qPrintable(QStringLiteral("run %1: the restored document is no state the killed program had").arg(run)));
                QVERIFY2(found >= mustReach,
                         qPrintable(QStringLiteral("run %1: restored state %2 of %3, but state %4 was older than two seconds at the kill")
                                        .arg(run).arg(found).arg(previous.states.size()).arg(mustReach)));
            } else {
                // Only a fresh document whose first change was too recent
                // may be lost.
                QVERIFY2(previous.states.first().kind == u'F' && mustReach == 0,
                         qPrintable(QStringLiteral("run %1: no draft was offered").arg(run)));
            }
        }
        if (run == kKills) {
            child.kill();
            child.waitForFinished();
            break;
        }

        // Let it work, then kill it.
        const int delay = rng.bounded(10) < 6 ? 150 + int(rng.bounded(1050)) : 2100 + int(rng.bounded(700));
        while (save && child.state() == QProcess::Running && !ReadJournal(journalPath).messages.contains(QStringLiteral("保存しました")))
            QThread::msleep(2);
        QThread::msleep(ulong(save ? delay % 300 : delay));
        if (slow) {
            // Kill inside a draft write: wait for one to begin.
            QElapsedTimer w;
            w.start();
            while (!ReadJournal(journalPath).writing && w.elapsed() < 4000)
                QThread::msleep(2);
        }
        killedAt = Now();
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        previous = ReadJournal(journalPath);
        if (previous.writing)
            ++killedWhileWriting;
    }
    qInfo("%d kills, %d of them during a draft write, %lld ms", kKills, killedWhileWriting, clock.elapsed());
    QVERIFY2(killedWhileWriting >= kKills / 10, "too few kills landed inside a draft write");
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(kChild))
        return ChildMain(argc, argv);
    QApplication app(argc, argv);
    TestDraftKills test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_draft_kills.moc"
