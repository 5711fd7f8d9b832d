// Label runs into a PDF through `merrowby-admin labels`: wall time and peak memory of the admin
// process for books of N recipients, every one of them getting a Christmas label.
//
//   bench_labels ADMIN GEN_ADDRESSES_PY N [N ...]
//   bench_labels ADMIN GEN_ADDRESSES_PY --households H N [N ...]
//   bench_labels ADMIN GEN_ADDRESSES_PY --make-book DIR N    (only build such a book in DIR)
//   bench_labels ADMIN GEN_ADDRESSES_PY --count N [N ...]    (the run's count, in this process)
//
// For each N: a fresh data set (CreateDataSet), the first N rows of gen_addresses.py (seed 1)
// with the Christmas flag set on every row, the index rebuilt; then
//   ADMIN labels DIR --occasion 7 --stock "US Letter 1 x 2-5/8 in, 30 per sheet" --pdf OUT
// is run once, timed from start to exit, with the child's peak resident set from wait4().
// With --households H, row i lives at address i % H (H households, their members spread over
// the name order), and each book is printed twice: plain, and with --households (one label per
// household); the second line gives the household run's time, CPU time and memory beside the
// plain one's.
// With --count, the count a label run shows before it prints (CountRecipients) is timed on such a
// book instead: for Christmas and for the dated entries of a month, the best of three.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/data/Globals.h"
#include "core/data/Schema.h"
#include "core/labels/LabelGen.h"
#include "xbase/Library.h"
#include "xbase/Table.h"

namespace {

bool fillBook(const std::string& dir, const QString& genPy, int n, int households = 0) {
    QProcess gen;
    gen.start("python3", {genPy, QString::number(n)});
    if (!gen.waitForFinished(600000) || gen.exitCode() != 0) return false;
    const QList<QByteArray> lines = gen.readAllStandardOutput().split('\n');

    xbase::Library lib;
    lib.setDirectory(dir);
    lib.setSyncOnFlush(false);
    lib.setAutoOpen(false);
    lib.setSafety(false);
    xbase::Table* t = lib.open("AddrBook");
    if (!t) return false;
    const TableSchema& schema = DataTables().front();
    int row = 0;
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) continue;
        const QList<QByteArray> cols = line.split(',');
        if (t->appendBlank() != 0) return false;
        for (int i = 0; i < cols.size() && size_t(i) < schema.fields.size(); ++i) {
            const std::string& name = schema.fields[size_t(i)].name;
            t->field(name)->assign(name == "Christmas" ? std::string("T") : cols[i].toStdString());
        }
        if (households > 0) {
            const int h = row % households;
            t->field("Street")->assign(std::to_string(h + 1) + " Household Lane");
            t->field("Street2")->assign("");
            t->field("City")->assign("Hometown");
            t->field("Zip")->assign(std::to_string(10000 + h % 90000));
            t->field("Country")->assign("");
        }
        ++row;
    }
    xbase::TagSpec tag;
    tag.name = schema.tag;
    tag.expression = schema.key;
    if (t->flush() < 0 || t->createIndex(schema.group, {tag}) < 0) return false;
    return lib.closeAll() >= 0;
}

// A fresh data set in `dir` with a book of `n` names; false (said) when it cannot be made.
bool makeBook(const std::string& dir, const QString& genPy, int n, int households = 0) {
    if (CreateDataSet(dir).ok() && fillBook(dir, genPy, n, households)) return true;
    std::fprintf(stderr, "bench_labels: cannot build a book of %d\n", n);
    return false;
}

// Seconds the fastest of three counts of occasion `n` takes on the book in `dir`.
double bestCount(const std::string& dir, int n, const QDate& from, const QDate& to, int* count) {
    xbase::Library lib;
    lib.setDirectory(dir);
    LibHandle = &lib;
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        *count = CountRecipients(n, from, to);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    LibHandle = nullptr;
    return best;
}

int countBooks(const QString& genPy, int argc, char** argv) {
    std::printf("%10s %16s %10s %16s %10s\n", "names", "Christmas s", "labels", "March dates s", "labels");
    for (int a = 4; a < argc; ++a) {
        const int n = std::atoi(argv[a]);
        QTemporaryDir tmp;
        const std::string dir = tmp.path().toStdString();
        if (!makeBook(dir, genPy, n)) return 1;
        int holiday = 0, dated = 0;
        const double h = bestCount(dir, 7, QDate(), QDate(), &holiday);
        const double d = bestCount(dir, 8, QDate(2026, 3, 1), QDate(2026, 3, 31), &dated);
        std::printf("%10d %16.3f %10d %16.3f %10d\n", n, h, holiday, d, dated);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_labels ADMIN GEN_ADDRESSES_PY N [N ...]\n");
        return 2;
    }
    const QString admin = QFileInfo(argv[1]).absoluteFilePath();
    const QString genPy = QFileInfo(argv[2]).absoluteFilePath();
    if (std::string(argv[3]) == "--make-book") {
        if (argc != 6) return 2;
        QDir().mkpath(argv[4]);
        const bool ok = CreateDataSet(argv[4]).ok() && fillBook(argv[4], genPy, std::atoi(argv[5]));
        std::printf("%s\n", ok ? "book made" : "cannot make the book");
        return ok ? 0 : 1;
    }
    if (std::string(argv[3]) == "--count") return countBooks(genPy, argc, argv);
    int households = 0, a = 3;
    if (std::string(argv[3]) == "--households" && argc >= 6) households = std::atoi(argv[4]), a = 5;
    std::printf("%10s %10s %10s %12s %10s %10s %12s\n", "run", "labels", "pages", "seconds", "CPU s", "peak MB", "PDF MB");
    for (; a < argc; ++a) {
        const int n = std::atoi(argv[a]);
        QTemporaryDir tmp;
        const std::string dir = tmp.path().toStdString();
        if (!makeBook(dir, genPy, n, households)) return 1;
        double plain[3] = {0, 0, 0};
        for (const bool byHousehold : {false, true}) {
            if (byHousehold && households == 0) break;
            const int labels = byHousehold ? std::min(n, households) : n;
            const std::string pdf = dir + "/labels.pdf";
            const auto t0 = std::chrono::steady_clock::now();
            const pid_t pid = fork();
            if (pid == 0) {
                const std::string adminPath = admin.toStdString();
                execl(adminPath.c_str(), adminPath.c_str(), "labels", dir.c_str(), "--occasion", "7", "--stock",
                      "US Letter 1 x 2-5/8 in, 30 per sheet", "--pdf", pdf.c_str(),
                      byHousehold ? "--households" : static_cast<char*>(nullptr), static_cast<char*>(nullptr));
                _exit(127);
            }
            int status = 0;
            struct rusage ru {};
            wait4(pid, &status, 0, &ru);
            const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                std::fprintf(stderr, "bench_labels: admin failed for %d labels\n", n);
                return 1;
            }
            const double mb = ru.ru_maxrss / 1024.0;
            // CPU time (user and system) says what the run costs when other work shares the machine.
            const double cpu = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
            std::printf("%10s %10d %10d %12.3f %10.3f %10.1f %12.1f", byHousehold ? "household" : "plain", labels,
                        (labels + 29) / 30, secs, cpu, mb, QFileInfo(QString::fromStdString(pdf)).size() / 1048576.0);
            if (byHousehold)
                std::printf("   (x%.2f time, x%.2f CPU, x%.2f memory of the plain run)", secs / plain[0], cpu / plain[2],
                            mb / plain[1]);
            else plain[0] = secs, plain[1] = mb, plain[2] = cpu;
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    return 0;
}
