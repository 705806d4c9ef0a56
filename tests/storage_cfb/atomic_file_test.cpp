#include "storage/file/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const HRESULT kExists = static_cast<HRESULT>(0x80070050u);

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void putFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QStringList entries(const QTemporaryDir& dir)
{
    return QDir(dir.path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

mode_t modeOf(const QString& path)
{
    struct stat st { };
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    return st.st_mode & 07777;
}

// Makes writes beyond `limit` bytes fail with EFBIG, which works even for root (unlike
// permission bits), for as long as the object lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lower = old_;
        lower.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int);
};

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path(const char* name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(AtomicFile, ReplaceCreatesAndReplacesKeepingPermissions)
{
    const QString target = path("doc");
    ASSERT_EQ(writeFileReplace(target, "first"), S_OK);
    EXPECT_EQ(contents(target), "first");
    mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf(target), 0666 & ~mask);

    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    ASSERT_EQ(writeFileReplace(target, "second, longer"), S_OK);
    EXPECT_EQ(contents(target), "second, longer");
    EXPECT_EQ(modeOf(target), mode_t(0640));
    ASSERT_EQ(writeFileReplace(target, ""), S_OK);
    EXPECT_EQ(contents(target), "");
    EXPECT_EQ(entries(dir_), QStringList({"doc"}));
}

TEST_F(AtomicFile, ReplaceWritesThroughASymbolicLink)
{
    putFile(path("real"), "old");
    ASSERT_EQ(::symlink("real", QFile::encodeName(path("link")).constData()), 0);
    ASSERT_EQ(writeFileReplace(path("link"), "new"), S_OK);
    EXPECT_EQ(contents(path("real")), "new");
    EXPECT_TRUE(QFileInfo(path("link")).isSymLink());
    EXPECT_EQ(entries(dir_), QStringList({"link", "real"}));
}

TEST_F(AtomicFile, FailedReplaceKeepsTheOldFileAndLeavesNoTemporary)
{
    const QString target = path("doc");
    putFile(target, "precious");
    {
        FileSizeLimit limit(4096);
        // The user is told why, not only that something failed.
        EXPECT_EQ(writeFileReplace(target, QByteArray(8192, 'x')), kFileTooLargeError);
    }
    EXPECT_EQ(contents(target), "precious");
    EXPECT_EQ(entries(dir_), QStringList({"doc"}));

    EXPECT_EQ(writeFileReplace(path("no such folder/doc"), "x"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder"));
    EXPECT_EQ(writeFileReplace(path("folder"), "x"), E_ACCESSDENIED);
    EXPECT_EQ(writeFileReplace(path("folder") + "/", "x"), E_INVALIDARG);
    EXPECT_EQ(entries(dir_), QStringList({"doc", "folder"}));
}

TEST_F(AtomicFile, CreateNewNeverReplaces)
{
    const QString target = path("doc");
    ASSERT_EQ(writeFileCreateNew(target, "mine"), S_OK);
    EXPECT_EQ(contents(target), "mine");
    EXPECT_EQ(writeFileCreateNew(target, "theirs"), kExists);
    EXPECT_EQ(contents(target), "mine");

    // A dangling link is a name in use too.
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(path("dangling")).constData()), 0);
    EXPECT_EQ(writeFileCreateNew(path("dangling"), "x"), kExists);
    EXPECT_EQ(entries(dir_), QStringList({"dangling", "doc"}));

    EXPECT_EQ(writeFileAtomically(path("other"), "via mode", WriteMode::CreateNew), S_OK);
    EXPECT_EQ(writeFileAtomically(path("other"), "again", WriteMode::CreateNew), kExists);
    EXPECT_EQ(writeFileAtomically(path("other"), "replaced", WriteMode::Replace), S_OK);
    EXPECT_EQ(contents(path("other")), "replaced");
}

TEST_F(AtomicFile, FailedCreateNewLeavesNothing)
{
    {
        FileSizeLimit limit(4096);
        EXPECT_EQ(writeFileCreateNew(path("doc"), QByteArray(8192, 'x')), kFileTooLargeError);
    }
    // A quota cannot be exhausted from a test; its mapping is what the write passes on.
    EXPECT_EQ(hresultFromErrno(EDQUOT), static_cast<HRESULT>(0x8007050Fu));
    EXPECT_EQ(hresultFromErrno(ENOSPC), STG_E_MEDIUMFULL);
    EXPECT_EQ(writeFileCreateNew(path("no such folder/doc"), "x"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(entries(dir_).isEmpty());
}

TEST_F(AtomicFile, ReadWholeFileHonoursItsCap)
{
    putFile(path("doc"), QByteArray(1000, 'a'));
    QByteArray out;
    ASSERT_EQ(readWholeFile(path("doc"), &out, 1000), S_OK);
    EXPECT_EQ(out, QByteArray(1000, 'a'));
    EXPECT_EQ(readWholeFile(path("doc"), &out, 999), kFileTooLargeError);
    EXPECT_EQ(readWholeFile(path("missing"), &out, 1000), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(readWholeFile(dir_.path(), &out, 1000), E_ACCESSDENIED);
    EXPECT_EQ(readWholeFile(path("doc"), nullptr, 1000), E_POINTER);
    putFile(path("empty"), {});
    ASSERT_EQ(readWholeFile(path("empty"), &out, 0), S_OK);
    EXPECT_TRUE(out.isEmpty());

    ASSERT_EQ(readFileHead(path("doc"), 8, &out), S_OK);
    EXPECT_EQ(out, "aaaaaaaa");
    ASSERT_EQ(readFileHead(path("empty"), 8, &out), S_OK);
    EXPECT_TRUE(out.isEmpty());

    // A FIFO would block a plain open until someone writes to it.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    EXPECT_EQ(readWholeFile(path("fifo"), &out, 1000), E_ACCESSDENIED);
    EXPECT_EQ(readFileHead(path("fifo"), 8, &out), E_ACCESSDENIED);
}

} // namespace

namespace {

void backdate(const QString& path, int seconds)
{
    struct timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

} // namespace

TEST_F(AtomicFile, SavingRemovesOldLeftoversOfAKilledSaveOfTheSameFile)
{
    // What a save killed before its rename leaves, two minutes ago and just now.
    putFile(path(".doc.kavro.3fa9c0d1e2b4a567.tmp"), "stale");
    backdate(path(".doc.kavro.3fa9c0d1e2b4a567.tmp"), 120);
    putFile(path(".doc.kavro.77.tmp"), "maybe still being written");
    // Not ours to remove, however old: another document's, and names that only look alike.
    for (const char* name : {".other.kavro.3fa9c0d1e2b4a567.tmp", ".doc.kavro.xyz.tmp", ".doc.kavro.12.tmp.keep",
                             "doc.kavro.12.tmp", ".doc.kavro..tmp"}) {
        putFile(path(name), "keep");
        backdate(path(name), 120);
    }
    ASSERT_EQ(::mkdir(QFile::encodeName(path(".doc.kavro.ab.tmp")).constData(), 0700), 0);
    backdate(path(".doc.kavro.ab.tmp"), 120);

    ASSERT_EQ(writeFileReplace(path("doc.kavro"), "saved"), S_OK);
    const QStringList expected = {".doc.kavro..tmp",   ".doc.kavro.12.tmp.keep", ".doc.kavro.77.tmp",
                                  ".doc.kavro.ab.tmp", ".doc.kavro.xyz.tmp",     ".other.kavro.3fa9c0d1e2b4a567.tmp",
                                  "doc.kavro",         "doc.kavro.12.tmp"};
    EXPECT_EQ(entries(dir_), expected);

    // Creating a new file under a name cleans up that name's leftovers too.
    putFile(path(".new.kavro.1.tmp"), "stale");
    backdate(path(".new.kavro.1.tmp"), 61);
    ASSERT_EQ(writeFileCreateNew(path("new.kavro"), "x"), S_OK);
    EXPECT_FALSE(QFileInfo::exists(path(".new.kavro.1.tmp")));
}
