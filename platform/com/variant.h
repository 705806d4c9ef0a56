#pragma once
// A VARIANT of our own: the VT codes and value sizes of the VARIANT stream form, strings as
// QString (null and empty stay distinct), objects as references. Conversions follow the
// semantics of a change-type call, always in the C locale.
#include "unknown.h"

#include <QString>
#include <cstdint>

using VARTYPE = uint16_t;

enum : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
};

class Variant {
public:
    Variant() = default;
    Variant(int32_t v) : vt_(VT_I4), i_(v) { }
    Variant(float v) : vt_(VT_R4), f_(v) { }
    Variant(double v) : vt_(VT_R8), d_(v) { }
    Variant(const QString& s) : vt_(VT_BSTR), s_(s) { }
    Variant(const char* s) : vt_(VT_BSTR), s_(QString::fromUtf8(s)) { }

    static Variant fromBool(bool b);
    static Variant fromDate(DATE d);
    static Variant fromError(int32_t scode);
    static Variant fromCurrency(int64_t scaledBy10000);
    static Variant fromObject(IUnknown* obj, VARTYPE vt = VT_UNKNOWN);
    static Variant null();
    // Any integer type: VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT.
    // The value is truncated to the type's width, as storing into that VARIANT member would.
    static Variant fromInteger(VARTYPE vt, int64_t v);

    VARTYPE vt() const { return vt_; }
    bool isEmpty() const { return vt_ == VT_EMPTY; }
    bool isInteger() const;
    bool isObject() const { return vt_ == VT_UNKNOWN || vt_ == VT_DISPATCH; }

    // Raw members; meaningful only for the matching types.
    int64_t integer() const { return i_; } // integer types, VT_BOOL (-1/0), VT_ERROR, VT_CY (scaled)
    float r4() const { return f_; }
    double r8() const { return d_; } // VT_R8 and VT_DATE
    const QString& bstr() const { return s_; }
    IUnknown* object() const { return obj_.get(); }
    bool boolValue() const { return vt_ == VT_BOOL && i_ != 0; }

    // Converts to another type (VariantChangeType): numbers round half to even when they become
    // integers, overflow gives DISP_E_OVERFLOW, text that is no number DISP_E_TYPEMISMATCH.
    HRESULT changeType(VARTYPE to, Variant* out) const;

    // Convenience conversions; on failure they return the conversion's HRESULT and leave *out.
    HRESULT toInt32(int32_t* out) const;
    HRESULT toFloat(float* out) const;
    HRESULT toDouble(double* out) const;
    HRESULT toBool(bool* out) const;
    HRESULT toString(QString* out) const;

    // Same type and same value (objects by identity, strings exactly).
    bool operator==(const Variant& o) const;

    // Byte size of the value in the VARIANT stream form for fixed-size types, 0 for others.
    static int fixedSize(VARTYPE vt);

private:
    struct Conversion; // the steps of changeType

    VARTYPE vt_ = VT_EMPTY;
    union {
        int64_t i_ = 0;
        float f_;
        double d_;
    };
    QString s_;
    ComPtr<IUnknown> obj_;
};
