#include "settings_tree.h"

#include <algorithm>

namespace settings_internal {

QString foldName(const QString& name)
{
    return name.toCaseFolded();
}

HRESULT splitKeyPath(const QString& path, QStringList* out)
{
    QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        for (QChar c : part) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                return E_INVALIDARG;
        }
    }
    *out = std::move(parts);
    return S_OK;
}

SettingsNode* SettingsNode::child(const QString& childName) const
{
    auto it = children.find(foldName(childName));
    return it == children.end() ? nullptr : it->second.get();
}

SettingsNode* SettingsNode::addChild(const QString& childName)
{
    auto& slot = children[foldName(childName)];
    if (!slot) {
        slot = std::make_unique<SettingsNode>();
        slot->name = childName;
    }
    return slot.get();
}

bool SettingsNode::removeChild(const QString& childName)
{
    return children.erase(foldName(childName)) != 0;
}

template <class Values> static auto findValue(Values& values, const QString& name)
{
    const QString folded = foldName(name);
    return std::find_if(values.begin(), values.end(), [&](const NamedValue& v) { return foldName(v.name) == folded; });
}

const SettingsValue* SettingsNode::value(const QString& valueName) const
{
    auto it = findValue(values, valueName);
    return it == values.end() ? nullptr : &it->value;
}

bool SettingsNode::setValue(const QString& valueName, const SettingsValue& v)
{
    auto it = findValue(values, valueName);
    if (it == values.end()) {
        values.push_back({valueName, v});
        return true;
    }
    if (it->value == v)
        return false;
    it->value = v;
    return true;
}

bool SettingsNode::removeValue(const QString& valueName)
{
    auto it = findValue(values, valueName);
    if (it == values.end())
        return false;
    values.erase(it);
    return true;
}

SettingsNode* SettingsNode::find(const QStringList& path)
{
    SettingsNode* node = this;
    for (const QString& part : path) {
        node = node->child(part);
        if (!node)
            return nullptr;
    }
    return node;
}

const SettingsNode* SettingsNode::find(const QStringList& path) const
{
    return const_cast<SettingsNode*>(this)->find(path);
}

SettingsNode* SettingsNode::createPath(const QStringList& path, bool* created)
{
    SettingsNode* node = this;
    for (const QString& part : path) {
        SettingsNode* next = node->child(part);
        if (!next) {
            next = node->addChild(part);
            *created = true;
        }
        node = next;
    }
    return node;
}

} // namespace settings_internal
