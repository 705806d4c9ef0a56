#pragma once
// The optional picture that targets and their elements carry: a uint8 flag, then the picture in
// object form. A picture that cannot persist itself is stored as absent.
#include "com/persist.h"

namespace kavrodoc {

HRESULT writePictureField(IStream* stream, IUnknown* picture);
// Replaces *picture only when the whole field was read.
HRESULT readPictureField(IStream* stream, ComPtr<IUnknown>* picture);

// The getter rule of `Picture`: the stored picture, E_FAIL when there is none.
HRESULT copyPicture(const ComPtr<IUnknown>& picture, IUnknown** out);

} // namespace kavrodoc
