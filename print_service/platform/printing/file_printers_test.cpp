// File printers on a real folder: numbering in print order that survives restarts and
// never overwrites, both renderings per copy, files that appear only when complete,
// names that cannot be folders refused.
#include "platform/printing/printers.h"

#include "engine/test_support/thread_guard.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace cookhub::printing {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

struct Renderings {
    int escPos = 0;
    int pdf = 0;
    int text = 0;
};

Document ticket(const QByteArray& pdf, const QString& text, Renderings* asked) {
    return {u"点菜单"_s,
            [asked] {
                ++asked->escPos;
                return QByteArray("\x1b@", 2);
            },
            [asked, pdf] {
                ++asked->pdf;
                return pdf;
            },
            [asked, text] {
                ++asked->text;
                return text;
            }};
}

class FilePrinters : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        qputenv("COOKHUB_PRINTER_DIR", root.path().toUtf8());
    }
    void TearDown() override { qunsetenv("COOKHUB_PRINTER_DIR"); }

    QString path(const QString& relative) const { return root.filePath(relative); }
    QStringList allEntries(const QString& printer) const {
        return QDir(path(printer))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir root;
};

TEST_F(FilePrinters, EachCopyBecomesNumberedPdfAndText) {
    Renderings asked;
    for (int i = 1; i <= 3; ++i) {
        const JobResult job = printDocument(
            u"厨房1"_s,
            ticket("%PDF-" + QByteArray::number(i), u"桌号 A0%1\n红烧肉 1份\n"_s.arg(i), &asked));
        EXPECT_TRUE(job.accepted) << job.error.toStdString();
        EXPECT_EQ(job.jobId, i);
        EXPECT_TRUE(job.error.isEmpty());
    }
    EXPECT_EQ(allEntries(u"厨房1"_s),
              (QStringList{u"0001.pdf"_s, u"0001.txt"_s, u"0002.pdf"_s, u"0002.txt"_s,
                           u"0003.pdf"_s, u"0003.txt"_s}));  // no temporary left behind
    EXPECT_EQ(readAll(path(u"厨房1/0002.pdf"_s)), QByteArray("%PDF-2"));
    EXPECT_EQ(readAll(path(u"厨房1/0003.txt"_s)), u"桌号 A03\n红烧肉 1份\n"_s.toUtf8());
    EXPECT_EQ(asked.escPos, 0);  // a file printer never needs the thermal rendering

    ASSERT_TRUE(printDocument(u"Bar"_s, ticket("%PDF-b", u"b"_s, &asked)).accepted);
    EXPECT_EQ(allEntries(u"Bar"_s),
              (QStringList{u"0001.pdf"_s, u"0001.txt"_s}));  // numbered per printer
    EXPECT_EQ(systemPrinters(), (QStringList{u"Bar"_s, u"厨房1"_s}));
    EXPECT_EQ(PrinterJobCount(u"厨房1"_s), 0);
    EXPECT_EQ(PrinterJobCount(u"never-printed-to"_s), 0);
}

TEST_F(FilePrinters, NumbersContinueAfterExistingFilesAndNeverOverwrite) {
    // What an earlier run left: a complete copy 7 and a lone text 9.
    ASSERT_TRUE(QDir().mkpath(path(u"Hot"_s)));
    writeAll(path(u"Hot/0007.pdf"_s), "old 7");
    writeAll(path(u"Hot/0007.txt"_s), "old 7");
    writeAll(path(u"Hot/0009.txt"_s), "old 9");

    Renderings asked;
    const JobResult first = printDocument(u"Hot"_s, ticket("%PDF-new", u"new"_s, &asked));
    ASSERT_TRUE(first.accepted) << first.error.toStdString();
    EXPECT_EQ(first.jobId, 10);

    // Another writer (a second installation on the same folder) takes 11 meanwhile.
    writeAll(path(u"Hot/0011.pdf"_s), "theirs");
    const JobResult second = printDocument(u"Hot"_s, ticket("%PDF-next", u"next"_s, &asked));
    ASSERT_TRUE(second.accepted) << second.error.toStdString();
    EXPECT_EQ(second.jobId, 12);

    EXPECT_EQ(readAll(path(u"Hot/0007.pdf"_s)), QByteArray("old 7"));
    EXPECT_EQ(readAll(path(u"Hot/0009.txt"_s)), QByteArray("old 9"));
    EXPECT_EQ(readAll(path(u"Hot/0011.pdf"_s)), QByteArray("theirs"));
    EXPECT_FALSE(QFile::exists(path(u"Hot/0011.txt"_s)));
    EXPECT_EQ(readAll(path(u"Hot/0010.pdf"_s)), QByteArray("%PDF-new"));
    EXPECT_EQ(readAll(path(u"Hot/0012.txt"_s)), QByteArray("next"));
}

TEST_F(FilePrinters, ReaderNeverSeesAHalfWrittenFile) {
    // Large enough that a file written in place is caught while it grows.
    const QByteArray pdf = "%PDF-" + QByteArray(8 << 20, 'p');
    const QString text = QString(1 << 20, u'字');
    const qint64 textSize = text.toUtf8().size();
    ASSERT_TRUE(QDir().mkpath(path(u"Big"_s)));

    std::atomic<bool> done{false};
    std::atomic<int> seen{0};
    std::atomic<int> partial{0};
    std::thread reader([&] {
        static const QRegularExpression numbered(u"^[0-9]+\\.(pdf|txt)$"_s);
        const QDir folder(path(u"Big"_s));
        while (!done) {
            const QStringList names = folder.entryList(QDir::Files);
            for (const QString& name : names) {
                if (!numbered.match(name).hasMatch())
                    continue;
                ++seen;
                const qint64 expected = name.endsWith(u".pdf"_s) ? pdf.size() : textSize;
                if (QFileInfo(folder.filePath(name)).size() != expected)
                    ++partial;
            }
        }
    });
    {
        const cookhub::test::JoinGuard stopReading(reader, [&] { done = true; });
        Renderings asked;
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(printDocument(u"Big"_s, ticket(pdf, text, &asked)).accepted);
    }

    EXPECT_EQ(partial, 0);
    EXPECT_GT(seen, 0);
    EXPECT_EQ(allEntries(u"Big"_s).size(), 8);
}

TEST_F(FilePrinters, UnusableNamesAndMissingRenderingsAreRefused) {
    Renderings asked;
    for (const QString& name : {u""_s, u"/"_s, u"."_s, u".."_s, u"a/b"_s, u"../outside"_s}) {
        SCOPED_TRACE(name.toStdString());
        const JobResult job = printDocument(name, ticket("%PDF-x", u"x"_s, &asked));
        EXPECT_FALSE(job.accepted);
        EXPECT_EQ(job.jobId, 0);
        EXPECT_FALSE(job.error.isEmpty());
    }
    EXPECT_EQ(asked.pdf + asked.text, 0);  // refused before anything is rendered
    EXPECT_TRUE(QDir(root.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    EXPECT_FALSE(QFile::exists(QDir(root.path()).absoluteFilePath(u"../outside"_s)));

    Document noPdf = ticket("%PDF-x", u"x"_s, &asked);
    noPdf.pdf = nullptr;
    EXPECT_FALSE(printDocument(u"Hot"_s, noPdf).accepted);
    EXPECT_FALSE(printDocument(u"Hot"_s, ticket(QByteArray(), u"x"_s, &asked))
                     .accepted);  // renders to nothing

    // The root is a file: the printer's folder cannot exist.
    QTemporaryDir other;
    writeAll(other.filePath(u"not-a-folder"_s), "x");
    qputenv("COOKHUB_PRINTER_DIR", other.filePath(u"not-a-folder"_s).toUtf8());
    const JobResult job = printDocument(u"Hot"_s, ticket("%PDF-x", u"x"_s, &asked));
    EXPECT_FALSE(job.accepted);
    EXPECT_TRUE(job.error.contains(u"folder"_s)) << job.error.toStdString();
}

}  // namespace
}  // namespace cookhub::printing
