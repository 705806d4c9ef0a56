#include "cfb_test_support.h"

#include "storage/cfb/cfb_format.h"
#include "storage/cfb/compound_file.h"

#include "storage/file/atomic_file.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace cfbtest;

namespace {

constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;

QByteArray writeBytes(const CompoundFileWriter& writer)
{
    QByteArray bytes;
    EXPECT_EQ(writer.toBytes(&bytes), S_OK);
    return bytes;
}

TEST(CompoundFileWriter, HeaderAndTablesOfAOneStreamFile)
{
    CompoundFileWriter writer;
    ASSERT_EQ(writer.addStream("Contents", patternBytes(100, 1)), S_OK);
    QByteArray f = writeBytes(writer);

    // FAT, directory, mini FAT, one sector of mini stream.
    ASSERT_EQ(f.size(), 512 * 5);
    EXPECT_EQ(f.left(8), QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    EXPECT_EQ(f.mid(8, 16), QByteArray(16, '\0'));
    EXPECT_EQ(f.mid(24, 10), QByteArray("\x3E\x00\x03\x00\xFE\xFF\x09\x00\x06\x00", 10));
    EXPECT_EQ(f.mid(34, 6), QByteArray(6, '\0'));
    EXPECT_EQ(getU32(f, 40), 0u); // directory sectors: always 0 in version 3
    EXPECT_EQ(getU32(f, 44), 1u); // FAT sectors
    EXPECT_EQ(getU32(f, 48), 1u); // first directory sector
    EXPECT_EQ(getU32(f, 52), 0u); // transaction signature
    EXPECT_EQ(getU32(f, 56), 4096u); // mini stream cutoff
    EXPECT_EQ(getU32(f, 60), 2u); // first mini FAT sector
    EXPECT_EQ(getU32(f, 64), 1u);
    EXPECT_EQ(getU32(f, 68), kEnd); // no DIFAT sectors
    EXPECT_EQ(getU32(f, 72), 0u);
    EXPECT_EQ(getU32(f, 76), 0u);
    for (int i = 1; i < 109; ++i)
        ASSERT_EQ(getU32(f, 76 + 4 * i), kFree) << i;

    const qsizetype fat = sectorOffset(0);
    EXPECT_EQ(getU32(f, fat + 0), kFatSect);
    EXPECT_EQ(getU32(f, fat + 4), kEnd);
    EXPECT_EQ(getU32(f, fat + 8), kEnd);
    EXPECT_EQ(getU32(f, fat + 12), kEnd);
    for (int i = 4; i < 128; ++i)
        ASSERT_EQ(getU32(f, fat + 4 * i), kFree) << i;

    const qsizetype miniFat = sectorOffset(2);
    EXPECT_EQ(getU32(f, miniFat + 0), 1u);
    EXPECT_EQ(getU32(f, miniFat + 4), kEnd);
    for (int i = 2; i < 128; ++i)
        ASSERT_EQ(getU32(f, miniFat + 4 * i), kFree) << i;

    const qsizetype root = dirEntryOffset(1, 0);
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(f.constData() + root), 10), "Root Entry");
    EXPECT_EQ(f[root + 64], 22);
    EXPECT_EQ(f[root + 66], 5);
    EXPECT_EQ(getU32(f, root + 76), 1u); // child
    EXPECT_EQ(getU32(f, root + 116), 3u); // mini stream's first sector
    EXPECT_EQ(getU32(f, root + 120), 128u);
    EXPECT_EQ(f.mid(sectorOffset(3), 100), patternBytes(100, 1));

    const qsizetype stream = dirEntryOffset(1, 1);
    EXPECT_EQ(f[stream + 66], 2);
    EXPECT_EQ(f.mid(stream + 100, 16), QByteArray(16, '\0')); // times are zero for streams
    EXPECT_EQ(getU32(f, stream + 116), 0u);
    EXPECT_EQ(getU32(f, stream + 120), 100u);
    EXPECT_EQ(getU32(f, stream + 124), 0u);

    // Unused entries: all zero except the three links, which say "none".
    for (uint32_t id = 2; id < 4; ++id) {
        QByteArray e = f.mid(dirEntryOffset(1, id), 128);
        QByteArray expected(128, '\0');
        putU32(expected, 68, kFree);
        putU32(expected, 72, kFree);
        putU32(expected, 76, kFree);
        EXPECT_EQ(e, expected) << id;
    }
}

TEST(CompoundFileWriter, EmptyStreamsAndEmptyFile)
{
    CompoundFileWriter none;
    QByteArray f = writeBytes(none);
    ASSERT_EQ(f.size(), 512 * 3); // FAT and directory
    EXPECT_EQ(getU32(f, 60), kEnd);
    EXPECT_EQ(getU32(f, dirEntryOffset(1, 0) + 76), kFree);
    EXPECT_EQ(getU32(f, dirEntryOffset(1, 0) + 116), kEnd);
    EXPECT_EQ(getU32(f, dirEntryOffset(1, 0) + 120), 0u);

    CompoundFileWriter empty;
    ASSERT_EQ(empty.addStream("Empty", {}), S_OK);
    f = writeBytes(empty);
    EXPECT_EQ(getU32(f, dirEntryOffset(1, 1) + 116), kEnd);
    EXPECT_EQ(getU32(f, dirEntryOffset(1, 1) + 120), 0u);
}

TEST(CompoundFileWriter, RejectsBadNamesAndDuplicates)
{
    CompoundFileWriter writer;
    EXPECT_EQ(writer.addStream("", "x"), E_INVALIDARG);
    EXPECT_EQ(writer.addStream(QString(32, 'a'), "x"), E_INVALIDARG);
    for (const char* bad : {"a/b", "a\\b", "a:b", "a!b"})
        EXPECT_EQ(writer.addStream(bad, "x"), E_INVALIDARG) << bad;
    EXPECT_EQ(writer.addStream(QString("a") + QChar(0) + "b", "x"), E_INVALIDARG);
    EXPECT_EQ(writer.addStream(QString(31, 'a'), "x"), S_OK);
    EXPECT_EQ(writer.addStream(QString::fromUtf8("Données"), "x"), S_OK);
    EXPECT_EQ(writer.addStream(QString::fromUtf8("DONNÉES"), "y"), STG_E_FILEALREADYEXISTS);
    EXPECT_EQ(writer.addStream("Contents", "x"), S_OK);
    EXPECT_EQ(writer.addStream("contents", "y"), STG_E_FILEALREADYEXISTS);
}

TEST(CompoundFileFormat, NameOrderIsLengthThenUpperCase)
{
    EXPECT_LT(cfb::compareNames("Z", "AA"), 0);
    EXPECT_LT(cfb::compareNames("abc", "ABD"), 0);
    EXPECT_EQ(cfb::compareNames("abc", "ABC"), 0);
    EXPECT_GT(cfb::compareNames("b", "A"), 0);
    // Upper-casing puts '_' (0x5F) after letters, unlike a plain comparison of lower case.
    EXPECT_LT(cfb::compareNames("a", "_"), 0);
}

struct DirNode {
    QString name;
    uint32_t left, right;
    int color;
};

// Checks the search order and the red-black rules of the sibling tree below the root, and that
// every stream is in it exactly once.
void checkSiblingTree(const QByteArray& f, size_t streamCount)
{
    const uint32_t firstDir = getU32(f, 48);
    std::vector<DirNode> nodes;
    for (uint32_t id = 0; id < streamCount + 1; ++id) {
        // The directory is contiguous in our files.
        qsizetype e = dirEntryOffset(firstDir, id);
        int chars = f[e + 64] / 2 - 1;
        nodes.push_back({QString::fromUtf16(reinterpret_cast<const char16_t*>(f.constData() + e), chars),
                         getU32(f, e + 68), getU32(f, e + 72), f[e + 67]});
    }
    std::set<uint32_t> seen;
    // Returns the black height; checks order within (lo, hi).
    std::function<int(uint32_t, const QString*, const QString*, bool)> walk
        = [&](uint32_t id, const QString* lo, const QString* hi, bool parentRed) -> int {
        if (id == kFree)
            return 1;
        EXPECT_TRUE(id >= 1 && id <= streamCount) << id;
        EXPECT_TRUE(seen.insert(id).second) << "entry reached twice: " << id;
        const DirNode& n = nodes[id];
        if (lo) {
            EXPECT_GT(cfb::compareNames(n.name, *lo), 0);
        }
        if (hi) {
            EXPECT_LT(cfb::compareNames(n.name, *hi), 0);
        }
        bool red = n.color == 0;
        EXPECT_FALSE(red && parentRed) << "red child of a red node";
        int l = walk(n.left, lo, &n.name, red);
        int r = walk(n.right, &n.name, hi, red);
        EXPECT_EQ(l, r) << "black heights differ below " << n.name.toStdString();
        return l + (red ? 0 : 1);
    };
    uint32_t top = getU32(f, dirEntryOffset(firstDir, 0) + 76);
    if (top != kFree) {
        EXPECT_EQ(nodes[top].color, 1) << "the tree's root is black";
    }
    walk(top, nullptr, nullptr, false);
    EXPECT_EQ(seen.size(), streamCount);
}

TEST(CompoundFileWriter, SiblingTreeIsAValidRedBlackTreeInNameOrder)
{
    for (size_t count : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 40}) {
        CompoundFileWriter writer;
        for (size_t i = 0; i < count; ++i) {
            // Mixed lengths and cases, added out of order.
            QString name = QString("s%1").arg((i * 7919) % 1000);
            if (i % 3 == 0)
                name = name.toUpper() + "x";
            ASSERT_EQ(writer.addStream(name, QByteArray(1, char(i))), S_OK) << name.toStdString();
        }
        SCOPED_TRACE(count);
        checkSiblingTree(writeBytes(writer), count);
    }
}

TEST(CompoundFileWriter, LargeFileUsesDifatSectors)
{
    // 8 MiB needs 16384 data sectors, so more than 109 FAT sectors.
    CompoundFileWriter writer;
    QByteArray big = patternBytes(8 * 1024 * 1024, 7);
    ASSERT_EQ(writer.addStream("Big", big), S_OK);
    QByteArray f = writeBytes(writer);

    const uint32_t fatCount = getU32(f, 44);
    const uint32_t difatCount = getU32(f, 72);
    const uint32_t totalSectors = uint32_t(f.size() / 512 - 1);
    EXPECT_GE(fatCount * 128, totalSectors);
    EXPECT_LT((fatCount - 1) * 128, totalSectors);
    EXPECT_EQ(difatCount, (fatCount - 109 + 126) / 127);
    ASSERT_GE(difatCount, 1u);

    // Every FAT sector is listed once, in the header then the DIFAT chain, and marked in the FAT.
    std::vector<uint32_t> listed;
    for (int i = 0; i < 109; ++i)
        listed.push_back(getU32(f, 76 + 4 * i));
    uint32_t difat = getU32(f, 68);
    for (uint32_t d = 0; d < difatCount; ++d) {
        ASSERT_LT(difat, totalSectors);
        EXPECT_EQ(getU32(f, sectorOffset(difat / 128) + 4 * (difat % 128)), kDifSect);
        for (int i = 0; i < 127; ++i)
            listed.push_back(getU32(f, sectorOffset(difat) + 4 * i));
        difat = getU32(f, sectorOffset(difat) + 4 * 127);
    }
    EXPECT_EQ(difat, kEnd);
    for (size_t i = 0; i < listed.size(); ++i) {
        if (i < fatCount) {
            uint32_t s = listed[i];
            EXPECT_EQ(getU32(f, sectorOffset(listed[s / 128]) + 4 * (s % 128)), kFatSect);
        } else {
            ASSERT_EQ(listed[i], kFree) << i;
        }
    }

    CompoundFileReader reader;
    ASSERT_EQ(CompoundFileReader::fromBytes(f, &reader), S_OK);
    QByteArray back;
    ASSERT_EQ(reader.readStream("big", &back), S_OK);
    EXPECT_TRUE(back == big);
}

// A file is written as its parts, the large streams straight from their own bytes: what lands on
// disk must be the very bytes the writer makes in memory, padding and tables included.
TEST(CompoundFileWriter, AWrittenFileHoldsTheBytesMadeInMemory)
{
    const std::vector<std::vector<std::pair<const char*, qsizetype>>> cases = {
        {{"Contents", 100}},
        {{"Contents", 4096}},
        {{"Contents", 4097}, {"small", 7}, {"empty", 0}},
        {{"a", 5000}, {"b", 700000}, {"c", 63}},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const auto& streams : cases) {
        CompoundFileWriter writer;
        int seed = 1;
        for (const auto& [name, size] : streams)
            ASSERT_EQ(writer.addStream(name, patternBytes(size, seed++)), S_OK);
        const QString path = dir.filePath("written.cfb");
        for (WriteMode mode : {WriteMode::Replace, WriteMode::CreateNew}) {
            QFile::remove(path);
            ASSERT_EQ(writer.writeFile(path, mode), S_OK);
            QByteArray onDisk;
            ASSERT_EQ(readWholeFile(path, &onDisk, int64_t(1) << 30), S_OK);
            EXPECT_TRUE(onDisk == writeBytes(writer)) << streams.size() << " streams, first " << streams[0].second;
        }
    }
}

} // namespace
