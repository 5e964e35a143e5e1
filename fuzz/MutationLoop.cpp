// A plain mutation loop for machines without libFuzzer: it takes the same
// arguments (-runs=N, -seed=N, -max_len=N, -dict=FILE, corpus folders or
// files), feeds every seed to the target, then N mutated inputs. A failing
// check aborts; the input that did it is written to crash-input first.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <fcntl.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

QByteArray g_current;

// The input that made the target abort or crash, kept for the regression test.
extern "C" void onAbort(int sig)
{
    const int fd = ::open("crash-input", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        const char *p = g_current.constData();
        qsizetype left = g_current.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, p, size_t(left));
            if (n <= 0)
                break;
            p += n;
            left -= n;
        }
        ::close(fd);
    }
    static const char note[] = "the failing input is in crash-input\n";
    (void)!::write(2, note, sizeof note - 1);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void run(const QByteArray &input)
{
    g_current = input;
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
}

// Lines of a libFuzzer dictionary: name="text" with \xNN, \\ and \" escapes.
QList<QByteArray> readDictionary(const QString &path)
{
    QList<QByteArray> words;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return words;
    for (QByteArray line : f.readAll().split('\n')) {
        line = line.trimmed();
        const int open = line.indexOf('"');
        if (line.startsWith('#') || open < 0 || !line.endsWith('"') || line.size() - open < 2)
            continue;
        const QByteArray body = line.mid(open + 1, line.size() - open - 2);
        QByteArray word;
        for (int i = 0; i < body.size(); ++i) {
            if (body[i] == '\\' && i + 1 < body.size()) {
                if (body[i + 1] == 'x' && i + 3 < body.size()) {
                    word += char(body.mid(i + 2, 2).toInt(nullptr, 16));
                    i += 3;
                } else {
                    word += body[++i];
                }
            } else {
                word += body[i];
            }
        }
        words << word;
    }
    return words;
}

QByteArray mutate(QByteArray input, const QList<QByteArray> &corpus, const QList<QByteArray> &words,
                  std::mt19937_64 &rng, int maxLen)
{
    auto pick = [&](size_t n) { return n == 0 ? size_t(0) : size_t(rng() % n); };
    const int steps = 1 + int(pick(4));
    for (int s = 0; s < steps; ++s) {
        const qsizetype pos = qsizetype(pick(size_t(input.size()) + 1));
        switch (pick(8)) {
        case 0: // flip a bit
            if (!input.isEmpty())
                input[pos % input.size()] = char(input[pos % input.size()] ^ (1 << pick(8)));
            break;
        case 1: // set a byte
            if (!input.isEmpty())
                input[pos % input.size()] = char(pick(256));
            break;
        case 2: // insert a byte
            input.insert(pos, char(pick(256)));
            break;
        case 3: // delete a run
            input.remove(pos, qsizetype(1 + pick(16)));
            break;
        case 4: // insert a dictionary word
        case 5:
            if (!words.isEmpty())
                input.insert(pos, words[qsizetype(pick(size_t(words.size())))]);
            break;
        case 6: { // duplicate a run
            const qsizetype len = qsizetype(pick(64));
            input.insert(pos, input.mid(pos, len));
            break;
        }
        default: // splice in a piece of another input
            if (!corpus.isEmpty()) {
                const QByteArray &other = corpus[qsizetype(pick(size_t(corpus.size())))];
                const qsizetype from = qsizetype(pick(size_t(other.size()) + 1));
                input.insert(pos, other.mid(from, qsizetype(pick(256))));
            }
            break;
        }
    }
    if (input.size() > maxLen)
        input.truncate(maxLen);
    return input;
}

} // namespace

int main(int argc, char **argv)
{
    long long runs = 10000;
    unsigned long long seed = 1;
    int maxLen = 4096;
    QList<QByteArray> corpus, words;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("-runs=", 0) == 0)
            runs = std::atoll(a.c_str() + 6);
        else if (a.rfind("-seed=", 0) == 0)
            seed = std::strtoull(a.c_str() + 6, nullptr, 10);
        else if (a.rfind("-max_len=", 0) == 0)
            maxLen = std::atoi(a.c_str() + 9);
        else if (a.rfind("-dict=", 0) == 0)
            words = readDictionary(QString::fromLocal8Bit(a.c_str() + 6));
        else if (a.rfind("-", 0) == 0)
            continue; // options of libFuzzer that the loop does without
        else {
            const QFileInfo info(QString::fromLocal8Bit(argv[i]));
            const QStringList files = info.isDir()
                ? QStringList(QDir(info.filePath()).entryList(QDir::Files, QDir::Name))
                : QStringList{QString()};
            for (const QString &name : files) {
                QFile f(info.isDir() ? QDir(info.filePath()).filePath(name) : info.filePath());
                if (f.open(QIODevice::ReadOnly))
                    corpus << f.readAll();
            }
        }
    }
    std::signal(SIGABRT, onAbort);
    std::signal(SIGSEGV, onAbort);

    const auto start = std::chrono::steady_clock::now();
    corpus << QByteArray();
    for (const QByteArray &input : std::as_const(corpus))
        run(input);
    std::mt19937_64 rng(seed);
    for (long long n = 0; n < runs; ++n) {
        const QByteArray &base = corpus[qsizetype(rng() % size_t(corpus.size()))];
        const QByteArray input = mutate(base, corpus, words, rng, maxLen);
        run(input);
        // Keep some mutants as bases, so that changes pile up.
        if (rng() % 16 == 0 && corpus.size() < 4096)
            corpus << input;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Done %lld runs in %.1f s\n", runs, seconds);
    return 0;
}
