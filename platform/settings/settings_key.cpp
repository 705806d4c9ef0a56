#include "settings/settings.h"

#include "settings_store.h"

using settings_internal::SettingsNode;
using settings_internal::splitKeyPath;

namespace {

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

// Runs `reader` on the node at `path`; a key deleted since it was opened is not found.
HRESULT readNode(const QString& file, const QStringList& path,
                 const std::function<HRESULT(const SettingsNode& node)>& reader)
{
    return settings_internal::readSettings(file, [&](const SettingsNode& tree) {
        const SettingsNode* node = tree.find(path);
        return node ? reader(*node) : kNotFound;
    });
}

HRESULT changeNode(SettingsRoot root, const QString& file, const QStringList& path,
                   const std::function<HRESULT(SettingsNode& node, bool* changed)>& change)
{
    return settings_internal::changeSettings(file, root == SettingsRoot::CurrentUser,
                                             [&](SettingsNode& tree, bool* changed) {
                                                 SettingsNode* node = tree.find(path);
                                                 return node ? change(*node, changed) : kNotFound;
                                             });
}

// The names that `collect` lists from the node at `path` of an open key, in the node's order.
HRESULT readNames(bool valid, const QString& file, const QStringList& path, QStringList* out,
                  const std::function<void(const SettingsNode& node, QStringList* names)>& collect)
{
    if (!out)
        return E_POINTER;
    if (!valid)
        return E_HANDLE;
    return readNode(file, path, [&](const SettingsNode& node) {
        out->clear();
        collect(node, out);
        return S_OK;
    });
}

HRESULT openPath(const QString& file, const QStringList& path)
{
    return readNode(file, path, [](const SettingsNode&) { return S_OK; });
}

// `base` must exist (it is an open key, possibly deleted since); `rest` is created below it.
HRESULT createPath(SettingsRoot root, const QString& file, const QStringList& base, const QStringList& rest)
{
    const QStringList full = base + rest;
    if (SUCCEEDED(openPath(file, full)))
        return S_OK;
    return changeNode(root, file, base, [&](SettingsNode& node, bool* changed) {
        node.createPath(rest, changed);
        return S_OK;
    });
}

template <class T>
HRESULT readTyped(const SettingsKey& key, const QString& name, uint32_t type, T SettingsValue::*field, T* out)
{
    if (!out)
        return E_POINTER;
    SettingsValue v;
    HRESULT hr = key.queryValue(name, &v);
    if (FAILED(hr))
        return hr;
    if (v.type != type)
        return DISP_E_TYPEMISMATCH;
    *out = v.*field;
    return S_OK;
}

} // namespace

SettingsKey::SettingsKey(SettingsRoot root, QString file, QStringList path)
    : valid_(true), root_(root), file_(std::move(file)), path_(std::move(path))
{
}

HRESULT SettingsKey::open(SettingsRoot root, const QString& path, SettingsKey* out)
{
    return reach(root, settingsFilePath(root), {}, path, false, out);
}

HRESULT SettingsKey::create(SettingsRoot root, const QString& path, SettingsKey* out)
{
    return reach(root, settingsFilePath(root), {}, path, true, out);
}

HRESULT SettingsKey::openSub(const QString& path, SettingsKey* out) const
{
    if (out && !valid_) {
        *out = SettingsKey();
        return E_HANDLE;
    }
    return reach(root_, file_, path_, path, false, out);
}

HRESULT SettingsKey::createSub(const QString& path, SettingsKey* out) const
{
    if (out && !valid_) {
        *out = SettingsKey();
        return E_HANDLE;
    }
    return reach(root_, file_, path_, path, true, out);
}

HRESULT SettingsKey::reach(SettingsRoot root, const QString& file, const QStringList& base, const QString& path,
                           bool create, SettingsKey* out)
{
    if (!out)
        return E_POINTER;
    *out = SettingsKey();
    QStringList parts;
    HRESULT hr = splitKeyPath(path, &parts);
    if (FAILED(hr))
        return hr;
    hr = create ? createPath(root, file, base, parts) : openPath(file, base + parts);
    if (SUCCEEDED(hr))
        *out = SettingsKey(root, file, base + parts);
    return hr;
}

HRESULT SettingsKey::queryValue(const QString& name, SettingsValue* out) const
{
    if (!out)
        return E_POINTER;
    if (!valid_)
        return E_HANDLE;
    return readNode(file_, path_, [&](const SettingsNode& node) {
        const SettingsValue* value = node.value(name);
        if (!value)
            return kNotFound;
        *out = *value;
        return S_OK;
    });
}

HRESULT SettingsKey::setValue(const QString& name, const SettingsValue& value) const
{
    if (!valid_)
        return E_HANDLE;
    if (value.type != REG_DWORD && value.type != REG_SZ && value.type != REG_BINARY)
        return E_INVALIDARG;
    const SettingsValue stored = value.type == REG_DWORD ? SettingsValue::fromDword(value.dword)
        : value.type == REG_SZ                           ? SettingsValue::fromString(value.string)
                                                         : SettingsValue::fromBinary(value.binary);
    return changeNode(root_, file_, path_, [&](SettingsNode& node, bool* changed) {
        *changed = node.setValue(name, stored);
        return S_OK;
    });
}

HRESULT SettingsKey::readDword(const QString& name, uint32_t* out) const
{
    return readTyped(*this, name, REG_DWORD, &SettingsValue::dword, out);
}

HRESULT SettingsKey::readString(const QString& name, QString* out) const
{
    return readTyped(*this, name, REG_SZ, &SettingsValue::string, out);
}

HRESULT SettingsKey::readBinary(const QString& name, QByteArray* out) const
{
    return readTyped(*this, name, REG_BINARY, &SettingsValue::binary, out);
}

HRESULT SettingsKey::writeDword(const QString& name, uint32_t value) const
{
    return setValue(name, SettingsValue::fromDword(value));
}

HRESULT SettingsKey::writeString(const QString& name, const QString& value) const
{
    return setValue(name, SettingsValue::fromString(value));
}

HRESULT SettingsKey::writeBinary(const QString& name, const QByteArray& value) const
{
    return setValue(name, SettingsValue::fromBinary(value));
}

HRESULT SettingsKey::deleteValue(const QString& name) const
{
    if (!valid_)
        return E_HANDLE;
    return changeNode(root_, file_, path_, [&](SettingsNode& node, bool* changed) {
        if (!node.removeValue(name))
            return kNotFound;
        *changed = true;
        return S_OK;
    });
}

HRESULT SettingsKey::deleteSubKey(const QString& path) const
{
    return deleteKey(path, false);
}

HRESULT SettingsKey::deleteTree(const QString& path) const
{
    return deleteKey(path, true);
}

HRESULT SettingsKey::deleteKey(const QString& path, bool withSubKeys) const
{
    if (!valid_)
        return E_HANDLE;
    QStringList parts;
    HRESULT hr = splitKeyPath(path, &parts);
    if (FAILED(hr))
        return hr;
    if (parts.isEmpty() && !withSubKeys)
        return E_INVALIDARG;
    return changeNode(root_, file_, path_, [&](SettingsNode& self, bool* changed) {
        SettingsNode* target = self.find(parts);
        if (!target)
            return kNotFound;
        if (parts.isEmpty()) {
            *changed = !target->values().empty() || !target->children.empty();
            target->clearValues();
            target->children.clear();
            return S_OK;
        }
        if (!withSubKeys && !target->children.empty())
            return E_ACCESSDENIED;
        SettingsNode* parent = self.find(parts.mid(0, parts.size() - 1));
        *changed = parent->removeChild(parts.last());
        return S_OK;
    });
}

HRESULT SettingsKey::subKeyNames(QStringList* out) const
{
    return readNames(valid_, file_, path_, out, [](const SettingsNode& node, QStringList* names) {
        for (const auto& [folded, child] : node.children)
            names->append(child->name);
    });
}

HRESULT SettingsKey::valueNames(QStringList* out) const
{
    return readNames(valid_, file_, path_, out, [](const SettingsNode& node, QStringList* names) {
        for (const auto& v : node.values())
            names->append(v.name);
    });
}
