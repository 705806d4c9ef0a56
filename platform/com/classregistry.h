#pragma once
// Creating objects by class id. Each module keeps a table of the classes it serves (filled by
// KAVRO_REGISTER_CLASS at load time) and exports DllGetClassObject over it. CoCreateInstance
// looks in this module's table first, then in the modules it has been told of, then in every
// Kavro module in the program's folder, the folder of this module and $KAVRO_MODULE_DIR.
#include "persist.h"

#include <QList>
#include <QString>

namespace kavro {

using CreateFunction = HRESULT (*)(const IID& iid, void** out);

// Adds a class to this module's table. Returns true so that it can initialise a static.
bool registerClass(const CLSID& clsid, CreateFunction create, const char* progId);

// The class id registered under a ProgID in this module's table, else GUID_NULL.
CLSID classIdFromProgId(const QString& progId);

// Tells the loader which module file holds a class (the registration of an in-process server).
void registerModuleForClass(const CLSID& clsid, const QString& modulePath);

// The folder holding the module (shared library or program) that contains this code.
QString thisModuleFolder();

// The class factory for a class in this module's table (what DllGetClassObject answers).
HRESULT getLocalClassObject(const CLSID& clsid, const IID& iid, void** out);

// Shell namespace junctions: a folder class shown under the shell's "Computer" with a name.
struct ShellJunction {
    CLSID clsid;
    QString name;
};
// Adds a junction to this module's table. Returns true so that it can initialise a static.
bool registerShellJunction(const CLSID& clsid, const char* name);
// The index-th junction of this module's table (what DllGetShellJunction answers); S_FALSE past the end.
HRESULT getLocalShellJunction(uint32_t index, CLSID* clsid, QString* name);
// This module's junctions, then those of every Kavro module the loader can find, each class once.
QList<ShellJunction> registeredShellJunctions();

namespace detail {
template <class T> HRESULT createObject(const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    auto obj = T::create();
    if (!obj)
        return E_OUTOFMEMORY;
    return obj->QueryInterface(iid, out);
}
} // namespace detail

} // namespace kavro

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** out);
HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** out);

template <class I> HRESULT createInstance(const CLSID& clsid, ComPtr<I>* out)
{
    if (!out)
        return E_POINTER;
    return CoCreateInstance(clsid, nullptr, I::iid, out->putVoid());
}

// Registers a ComObject class with a static `clsid` member in this module's table.
#define KAVRO_REGISTER_CLASS(Class, progId)                                                                            \
    [[maybe_unused]] static const bool kavroRegistered_##Class                                                         \
        = ::kavro::registerClass(Class::clsid, &::kavro::detail::createObject<Class>, progId)

// Exports the module's entry points: DllGetClassObject over this module's table.
#define KAVRO_DEFINE_MODULE()                                                                                          \
    extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid,    \
                                                                                void** out)                            \
    {                                                                                                                  \
        return ::kavro::getLocalClassObject(clsid, iid, out);                                                          \
    }                                                                                                                  \
    extern "C" __attribute__((visibility("default"))) HRESULT DllGetShellJunction(uint32_t index, CLSID* clsid,        \
                                                                                  QString* name)                       \
    {                                                                                                                  \
        return ::kavro::getLocalShellJunction(index, clsid, name);                                                     \
    }
