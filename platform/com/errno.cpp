#include "hresult.h"

#include <cerrno>

HRESULT hresultFromErrno(int err)
{
    switch (err) {
    case 0: return S_OK;
    case ENOENT: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS: return E_ACCESSDENIED;
    case EEXIST: return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    case ENOMEM: return E_OUTOFMEMORY;
    case ENOSPC: return STG_E_MEDIUMFULL;
    // A file grown past what the file system or the process may hold (the file-size limit).
    case EFBIG: return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    case EDQUOT: return HRESULT_FROM_WIN32(ERROR_DISK_QUOTA_EXCEEDED);
    case EINVAL: return E_INVALIDARG;
    default: return HRESULT_FROM_WIN32(0x1F); // ERROR_GEN_FAILURE
    }
}
