#include "classregistry.h"

#include <QDir>
#include <QFileInfo>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <unistd.h>

namespace kavro {
namespace {

struct ClassEntry {
    CreateFunction create;
    QString progId;
};

struct Tables {
    std::mutex lock;
    std::map<Guid, ClassEntry> classes;
    std::map<Guid, QString> modules;
    std::map<QString, void*> loaded;
    QList<ShellJunction> junctions;
};

Tables& tables()
{
    static Tables t;
    return t;
}

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(CreateFunction create) : create_(create) { }
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return create_(iid, out);
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    CreateFunction create_;
};

using GetClassObjectFn = HRESULT (*)(const CLSID&, const IID&, void**);
using GetShellJunctionFn = HRESULT (*)(uint32_t, CLSID*, QString*);

void* loadModule(const QString& path)
{
    void* handle = nullptr;
    {
        auto& t = tables();
        std::lock_guard g(t.lock);
        auto it = t.loaded.find(path);
        if (it != t.loaded.end()) {
            handle = it->second;
        } else {
            // Modules stay loaded for the life of the process: objects they made may outlive any caller.
            handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
            t.loaded.emplace(path, handle);
        }
    }
    return handle;
}

HRESULT tryModule(const QString& path, const CLSID& clsid, const IID& iid, void** out)
{
    void* handle = loadModule(path);
    if (!handle)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto fn = reinterpret_cast<GetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    if (!fn)
        return CLASS_E_CLASSNOTAVAILABLE;
    return fn(clsid, iid, out);
}

QString programFolder()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return QFileInfo(QString::fromLocal8Bit(buf, static_cast<int>(n))).absolutePath();
}

QStringList candidateModules()
{
    QStringList folders{programFolder(), thisModuleFolder()};
    QString extra = qEnvironmentVariable("KAVRO_MODULE_DIR");
    if (!extra.isEmpty())
        folders.prepend(extra);
    QStringList result;
    for (const QString& folder : folders) {
        if (folder.isEmpty())
            continue;
        QDir dir(folder);
        for (const QString& name : dir.entryList({QStringLiteral("libkavro*.so")}, QDir::Files, QDir::Name)) {
            QString path = dir.absoluteFilePath(name);
            if (!result.contains(path))
                result << path;
        }
    }
    return result;
}

} // namespace

bool registerClass(const CLSID& clsid, CreateFunction create, const char* progId)
{
    auto& t = tables();
    std::lock_guard g(t.lock);
    t.classes[clsid] = ClassEntry{create, QString::fromLatin1(progId ? progId : "")};
    return true;
}

CLSID classIdFromProgId(const QString& progId)
{
    auto& t = tables();
    std::lock_guard g(t.lock);
    for (const auto& [clsid, entry] : t.classes) {
        if (entry.progId.compare(progId, Qt::CaseInsensitive) == 0)
            return clsid;
        // The version-independent ProgID is the versioned one without its last ".n".
        int dot = entry.progId.lastIndexOf(QLatin1Char('.'));
        if (dot > 0 && entry.progId.left(dot).compare(progId, Qt::CaseInsensitive) == 0)
            return clsid;
    }
    return GUID_NULL;
}

void registerModuleForClass(const CLSID& clsid, const QString& modulePath)
{
    auto& t = tables();
    std::lock_guard g(t.lock);
    t.modules[clsid] = modulePath;
}

QString thisModuleFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&thisModuleFolder), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
}

HRESULT getLocalClassObject(const CLSID& clsid, const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CreateFunction create = nullptr;
    {
        auto& t = tables();
        std::lock_guard g(t.lock);
        auto it = t.classes.find(clsid);
        if (it == t.classes.end())
            return CLASS_E_CLASSNOTAVAILABLE;
        create = it->second.create;
    }
    auto factory = ClassFactory::create(create);
    return factory->QueryInterface(iid, out);
}

bool registerShellJunction(const CLSID& clsid, const char* name)
{
    auto& t = tables();
    std::lock_guard g(t.lock);
    t.junctions.append(ShellJunction{clsid, QString::fromUtf8(name)});
    return true;
}

HRESULT getLocalShellJunction(uint32_t index, CLSID* clsid, QString* name)
{
    if (!clsid || !name)
        return E_POINTER;
    auto& t = tables();
    std::lock_guard g(t.lock);
    if (index >= static_cast<uint32_t>(t.junctions.size()))
        return S_FALSE;
    *clsid = t.junctions[static_cast<qsizetype>(index)].clsid;
    *name = t.junctions[static_cast<qsizetype>(index)].name;
    return S_OK;
}

QList<ShellJunction> registeredShellJunctions()
{
    QList<ShellJunction> result;
    auto add = [&result](const CLSID& clsid, const QString& name) {
        for (const ShellJunction& j : result)
            if (j.clsid == clsid)
                return;
        result.append(ShellJunction{clsid, name});
    };
    CLSID clsid;
    QString name;
    for (uint32_t i = 0; getLocalShellJunction(i, &clsid, &name) == S_OK; ++i)
        add(clsid, name);
    for (const QString& path : candidateModules()) {
        void* handle = loadModule(path);
        auto fn = handle ? reinterpret_cast<GetShellJunctionFn>(dlsym(handle, "DllGetShellJunction")) : nullptr;
        for (uint32_t i = 0; fn && fn(i, &clsid, &name) == S_OK; ++i) {
            add(clsid, name);
            registerModuleForClass(clsid, path);
        }
    }
    return result;
}

} // namespace kavro

HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (SUCCEEDED(kavro::getLocalClassObject(clsid, iid, out)))
        return S_OK;
    QString registered;
    {
        auto& t = kavro::tables();
        std::lock_guard g(t.lock);
        auto it = t.modules.find(clsid);
        if (it != t.modules.end())
            registered = it->second;
    }
    if (!registered.isEmpty() && SUCCEEDED(kavro::tryModule(registered, clsid, iid, out)))
        return S_OK;
    for (const QString& path : kavro::candidateModules()) {
        if (SUCCEEDED(kavro::tryModule(path, clsid, iid, out))) {
            kavro::registerModuleForClass(clsid, path);
            return S_OK;
        }
    }
    return REGDB_E_CLASSNOTREG;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, IClassFactory::iid, factory.putVoid());
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(outer, iid, out);
}
