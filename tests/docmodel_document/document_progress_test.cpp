// The document passes its aiming collection's progress on as its own without being one of the
// collection's subscribers: those the collection has hear every report too, after the document's.
#include "support/document_fixture.h"
#include "kavro_document.h"
#include "storage/stream/memory_stream.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

using namespace kavrodoc;
using namespace doctest;

namespace {

// Logs each report with its tag (the document's sinks and the collection's in one order).
class Recorder final : public ComObject<Recorder, _IKavroDocumentEvents, _IAimingCollectionEvents> {
public:
    using Log = std::vector<std::tuple<char, int32_t, int32_t>>;
    Recorder(char tag, Log* log) : tag_(tag), log_(log) { }
    HRESULT Progress(int32_t done, int32_t total) override
    {
        log_->emplace_back(tag_, done, total);
        if (then)
            then(done);
        return S_OK;
    }
    std::function<void(int32_t)> then;

private:
    char tag_;
    Log* log_;
};

} // namespace

// One advised on the collection in the middle of a load hears the rest of it, after the
// document's subscribers; once the load is over nothing is passed on.
TEST(DocumentProgress, TheCollectionsSubscribersHearItBesideTheDocuments)
{
    QTemporaryDir dir;
    auto doc = syntheticPractice();
    doc->put_FileName(dir.filePath(QStringLiteral("p.kavro")));
    ASSERT_EQ(doc->Save(), S_OK);
    Recorder::Log log;
    auto first = Recorder::create('d', &log), second = Recorder::create('e', &log);
    auto onCollection = Recorder::create('c', &log);
    ComPtr<IAimingCollection> loading;
    uint32_t collectionCookie = 0;
    first->then = [&](int32_t done) {
        if (done != 1)
            return;
        ASSERT_EQ(doc->get_Aimings(loading.put()), S_OK);
        ASSERT_EQ(adviseSink(loading.get(), _IAimingCollectionEvents::iid,
                             static_cast<_IAimingCollectionEvents*>(onCollection.get()), &collectionCookie),
                  S_OK);
    };
    uint32_t firstCookie = 0, secondCookie = 0;
    ASSERT_EQ(adviseSink(doc.get(), _IKavroDocumentEvents::iid, static_cast<_IKavroDocumentEvents*>(first.get()),
                         &firstCookie),
              S_OK);
    ASSERT_EQ(adviseSink(doc.get(), _IKavroDocumentEvents::iid, static_cast<_IKavroDocumentEvents*>(second.get()),
                         &secondCookie),
              S_OK);
    ASSERT_EQ(doc->Load(), S_OK);
    EXPECT_EQ(log,
              (Recorder::Log{{'d', 1, 4},
                             {'e', 1, 4},
                             {'d', 2, 4},
                             {'e', 2, 4},
                             {'c', 2, 4},
                             {'d', 3, 4},
                             {'e', 3, 4},
                             {'c', 3, 4},
                             {'d', 4, 4},
                             {'e', 4, 4},
                             {'c', 4, 4}}));

    log.clear();
    auto stream = kavro::MemoryStream::create();
    ASSERT_EQ(loading.query<IPersistStreamInit>()->Save(stream.get(), BOOL(0)), S_OK);
    EXPECT_EQ(log, (Recorder::Log{{'c', 1, 4}, {'c', 2, 4}, {'c', 3, 4}, {'c', 4, 4}}));
    EXPECT_EQ(unadviseSink(loading.get(), _IAimingCollectionEvents::iid, collectionCookie), S_OK);
    EXPECT_EQ(unadviseSink(doc.get(), _IKavroDocumentEvents::iid, firstCookie), S_OK);
    EXPECT_EQ(unadviseSink(doc.get(), _IKavroDocumentEvents::iid, secondCookie), S_OK);
}
