#include "settings/settings.h"

#include "settings_store.h"

using settings_internal::SettingsNode;
using settings_internal::splitKeyPath;

namespace {

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

HRESULT checkedFind(const SettingsNode& root, const QStringList& path, const SettingsNode** out)
{
    *out = root.find(path);
    return *out ? S_OK : kNotFound;
}

HRESULT openPath(const QString& file, const QStringList& path)
{
    return settings_internal::readSettings(file, [&](const SettingsNode& tree) {
        return tree.find(path) ? S_OK : kNotFound;
    });
}

// `base` must exist (it is an open key, possibly deleted since); `rest` is created below it.
HRESULT createPath(SettingsRoot root, const QString& file, const QStringList& base, const QStringList& rest)
{
    const QStringList full = base + rest;
    if (SUCCEEDED(openPath(file, full)))
        return S_OK;
    return settings_internal::changeSettings(file, root == SettingsRoot::CurrentUser,
                                             [&](SettingsNode& tree, bool* changed) {
        SettingsNode* node = tree.find(base);
        if (!node)
            return kNotFound;
        node->createPath(rest, changed);
        return S_OK;
    });
}

} // namespace

SettingsKey::SettingsKey(SettingsRoot root, QString file, QStringList path)
    : m_valid(true), m_root(root), m_file(std::move(file)), m_path(std::move(path))
{
}

HRESULT SettingsKey::open(SettingsRoot root, const QString& path, SettingsKey* out)
{
    if (!out)
        return E_POINTER;
    *out = SettingsKey();
    QStringList parts;
    HRESULT hr = splitKeyPath(path, &parts);
    if (FAILED(hr))
        return hr;
    const QString file = settingsFilePath(root);
    hr = openPath(file, parts);
    if (SUCCEEDED(hr))
        *out = SettingsKey(root, file, parts);
    return hr;
}

HRESULT SettingsKey::create(SettingsRoot root, const QString& path, SettingsKey* out)
{
    if (!out)
        return E_POINTER;
    *out = SettingsKey();
    QStringList parts;
    HRESULT hr = splitKeyPath(path, &parts);
    if (FAILED(hr))
        return hr;
    const QString file = settingsFilePath(root);
    hr = createPath(root, file, {}, parts);
    if (SUCCEEDED(hr))
        *out = SettingsKey(root, file, parts);
    return hr;
}

HRESULT SettingsKey::openSub(const QString& path, SettingsKey* out) const
{
    if (!out)
        return E_POINTER;
    *out = SettingsKey();
    if (!m_valid)
        return E_HANDLE;
    QStringList parts;
    HRESULT hr = splitKeyPath(path, &parts);
    if (FAILED(hr))
        return hr;
    hr = openPath(m_file, m_path + parts);
    if (SUCCEEDED(hr))
        *out = SettingsKey(m_root, m_file, m_path + parts);
    return hr;
}

HRESULT SettingsKey::createSub(const QString& path, SettingsKey* out) const
{
    if (!out)
        return E_POINTER;
    *out = SettingsKey();
    if (!m_valid)
        return E_HANDLE;
    QStringList parts;
    HRESULT hr = splitKeyPath(path, &parts);
    if (FAILED(hr))
        return hr;
    hr = createPath(m_root, m_file, m_path, parts);
    if (SUCCEEDED(hr))
        *out = SettingsKey(m_root, m_file, m_path + parts);
    return hr;
}

HRESULT SettingsKey::queryValue(const QString& name, SettingsValue* out) const
{
    if (!out)
        return E_POINTER;
    if (!m_valid)
        return E_HANDLE;
    return settings_internal::readSettings(m_file, [&](const SettingsNode& tree) {
        const SettingsNode* node = nullptr;
        HRESULT hr = checkedFind(tree, m_path, &node);
        if (FAILED(hr))
            return hr;
        const SettingsValue* value = node->value(name);
        if (!value)
            return kNotFound;
        *out = *value;
        return S_OK;
    });
}

HRESULT SettingsKey::setValue(const QString& name, const SettingsValue& value) const
{
    if (!m_valid)
        return E_HANDLE;
    if (value.type != REG_DWORD && value.type != REG_SZ && value.type != REG_BINARY)
        return E_INVALIDARG;
    const SettingsValue stored = value.type == REG_DWORD ? SettingsValue::fromDword(value.dword)
                               : value.type == REG_SZ    ? SettingsValue::fromString(value.string)
                                                         : SettingsValue::fromBinary(value.binary);
    return settings_internal::changeSettings(m_file, m_root == SettingsRoot::CurrentUser,
                                             [&](SettingsNode& tree, bool* changed) {
        SettingsNode* node = tree.find(m_path);
        if (!node)
            return kNotFound;
        *changed = node->setValue(name, stored);
        return S_OK;
    });
}

HRESULT SettingsKey::readDword(const QString& name, uint32_t* out) const
{
    if (!out)
        return E_POINTER;
    SettingsValue v;
    HRESULT hr = queryValue(name, &v);
    if (FAILED(hr))
        return hr;
    if (v.type != REG_DWORD)
        return DISP_E_TYPEMISMATCH;
    *out = v.dword;
    return S_OK;
}

HRESULT SettingsKey::readString(const QString& name, QString* out) const
{
    if (!out)
        return E_POINTER;
    SettingsValue v;
    HRESULT hr = queryValue(name, &v);
    if (FAILED(hr))
        return hr;
    if (v.type != REG_SZ)
        return DISP_E_TYPEMISMATCH;
    *out = v.string;
    return S_OK;
}

HRESULT SettingsKey::readBinary(const QString& name, QByteArray* out) const
{
    if (!out)
        return E_POINTER;
    SettingsValue v;
    HRESULT hr = queryValue(name, &v);
    if (FAILED(hr))
        return hr;
    if (v.type != REG_BINARY)
        return DISP_E_TYPEMISMATCH;
    *out = v.binary;
    return S_OK;
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
    if (!m_valid)
        return E_HANDLE;
    return settings_internal::changeSettings(m_file, m_root == SettingsRoot::CurrentUser,
                                             [&](SettingsNode& tree, bool* changed) {
        SettingsNode* node = tree.find(m_path);
        if (!node || !node->removeValue(name))
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
    if (!m_valid)
        return E_HANDLE;
    QStringList parts;
    HRESULT hr = splitKeyPath(path, &parts);
    if (FAILED(hr))
        return hr;
    if (parts.isEmpty() && !withSubKeys)
        return E_INVALIDARG;
    return settings_internal::changeSettings(m_file, m_root == SettingsRoot::CurrentUser,
                                             [&](SettingsNode& tree, bool* changed) {
        SettingsNode* self = tree.find(m_path);
        SettingsNode* target = self ? self->find(parts) : nullptr;
        if (!target)
            return kNotFound;
        if (parts.isEmpty()) {
            *changed = !target->values.empty() || !target->children.empty();
            target->values.clear();
            target->children.clear();
            return S_OK;
        }
        if (!withSubKeys && !target->children.empty())
            return E_ACCESSDENIED;
        SettingsNode* parent = self->find(parts.mid(0, parts.size() - 1));
        *changed = parent->removeChild(parts.last());
        return S_OK;
    });
}

HRESULT SettingsKey::subKeyNames(QStringList* out) const
{
    if (!out)
        return E_POINTER;
    if (!m_valid)
        return E_HANDLE;
    return settings_internal::readSettings(m_file, [&](const SettingsNode& tree) {
        const SettingsNode* node = nullptr;
        HRESULT hr = checkedFind(tree, m_path, &node);
        if (FAILED(hr))
            return hr;
        out->clear();
        for (const auto& [folded, child] : node->children)
            out->append(child->name);
        return S_OK;
    });
}

HRESULT SettingsKey::valueNames(QStringList* out) const
{
    if (!out)
        return E_POINTER;
    if (!m_valid)
        return E_HANDLE;
    return settings_internal::readSettings(m_file, [&](const SettingsNode& tree) {
        const SettingsNode* node = nullptr;
        HRESULT hr = checkedFind(tree, m_path, &node);
        if (FAILED(hr))
            return hr;
        out->clear();
        for (const auto& v : node->values)
            out->append(v.name);
        return S_OK;
    });
}
