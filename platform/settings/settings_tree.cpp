#include "settings_tree.h"

#include <cstddef>

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

const SettingsValue* SettingsNode::value(const QString& valueName) const
{
    const auto it = valueIndex_.constFind(foldName(valueName));
    return it == valueIndex_.constEnd() ? nullptr : &values_[*it].value;
}

bool SettingsNode::setValue(const QString& valueName, const SettingsValue& v)
{
    const QString folded = foldName(valueName);
    const auto it = valueIndex_.constFind(folded);
    if (it == valueIndex_.constEnd()) {
        valueIndex_.insert(folded, values_.size());
        values_.push_back({valueName, v});
        return true;
    }
    SettingsValue& stored = values_[*it].value;
    if (stored == v)
        return false;
    stored = v;
    return true;
}

bool SettingsNode::removeValue(const QString& valueName)
{
    const auto it = valueIndex_.find(foldName(valueName));
    if (it == valueIndex_.end())
        return false;
    const size_t at = *it;
    valueIndex_.erase(it);
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(at));
    for (size_t i = at; i < values_.size(); ++i)
        valueIndex_[foldName(values_[i].name)] = i;
    return true;
}

void SettingsNode::clearValues()
{
    values_.clear();
    valueIndex_.clear();
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
