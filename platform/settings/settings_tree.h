#pragma once
// The in-memory form of one settings file: a tree of keys holding named values. Names are
// matched case-insensitively and kept with the case they were created with.
#include "settings/settings.h"

#include <QHash>

#include <map>
#include <memory>
#include <vector>

namespace settings_internal {

QString foldName(const QString& name);

// Splits a backslash path into key names, dropping empty ones. Control characters cannot be
// stored in a section header, so they are refused.
HRESULT splitKeyPath(const QString& path, QStringList* out);

struct NamedValue {
    QString name;
    SettingsValue value;
};

struct SettingsNode {
    QString name;
    std::map<QString, std::unique_ptr<SettingsNode>> children; // keyed by foldName
    // Lines of this key's section that the program could not read, written back as they came so
    // that a hand edit gone wrong costs nothing but that line.
    std::vector<QByteArray> keptLines;
    // The root's lines before the first section, kept in the same way.
    std::vector<QByteArray> leadingLines;

    // In the order they were created.
    const std::vector<NamedValue>& values() const { return values_; }

    SettingsNode* child(const QString& name) const;
    SettingsNode* addChild(const QString& name); // the existing child when there is one
    bool removeChild(const QString& name);

    const SettingsValue* value(const QString& name) const;
    // Returns false when the value was already stored with this type and data.
    bool setValue(const QString& name, const SettingsValue& v);
    bool removeValue(const QString& name);
    void clearValues();

    SettingsNode* find(const QStringList& path);
    const SettingsNode* find(const QStringList& path) const;
    SettingsNode* createPath(const QStringList& path, bool* created);

private:
    std::vector<NamedValue> values_;
    // Position in values_ by foldName, so a key with many values reads and fills in linear time.
    QHash<QString, size_t> valueIndex_;
};

} // namespace settings_internal
