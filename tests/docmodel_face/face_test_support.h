#pragma once
// Face pictures as the tests look at them: the display list behind GetTargetAppearance.
#include "event_params.h"
#include "gdi/picture.h"

#include <QImage>
#include <gtest/gtest.h>
#include <variant>
#include <vector>

namespace facetest {

// The picture object GetTargetAppearance answers, checked to be our own picture class.
inline ComPtr<kavro::Picture> appearance(IEventParams* e, int32_t subTarget, bool background, bool scoreRings)
{
    ComPtr<IUnknown> unknown;
    HRESULT hr = e->GetTargetAppearance(subTarget, toVariantBool(background), toVariantBool(scoreRings), unknown.put());
    EXPECT_EQ(hr, S_OK);
    if (FAILED(hr) || !unknown)
        return {};
    auto persist = unknown.query<IPersistStream>();
    CLSID id;
    if (!persist || FAILED(persist->GetClassID(&id)) || id != kavro::Picture::clsid) {
        ADD_FAILURE() << "the face is not a kavro::Picture";
        return {};
    }
    auto disp = unknown.query<kavro::IPictureDisp>();
    return ComPtr<kavro::Picture>(static_cast<kavro::Picture*>(disp.get()));
}

inline kavro::Metafile faceMetafile(IEventParams* e, int32_t subTarget = 1, bool background = true,
                                    bool scoreRings = true)
{
    ComPtr<kavro::Picture> p = appearance(e, subTarget, background, scoreRings);
    if (!p || !p->metafile()) {
        ADD_FAILURE() << "no metafile";
        return {};
    }
    return *p->metafile();
}

// A bitmap picture as the IUnknown that `Picture` properties take.
inline ComPtr<IUnknown> bitmapPicture(const QImage& image)
{
    return ComPtr<IUnknown>(static_cast<kavro::IPictureDisp*>(kavro::Picture::fromImage(image).get()));
}

template <class R> std::vector<R> recordsOf(const kavro::Metafile& m)
{
    std::vector<R> out;
    for (const auto& r : m.records())
        if (const R* x = std::get_if<R>(&r))
            out.push_back(*x);
    return out;
}

} // namespace facetest
