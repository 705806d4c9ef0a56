#pragma once
// Our registry: keys and typed values kept in one text file per root. A SettingsKey is a handle
// (root, file and key path); every call reads or changes the file, so handles stay cheap and any
// number of processes may share the file.
#include "com/hresult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// The registry's type codes, kept so stored and compared types mean what callers expect.
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

enum class SettingsRoot { CurrentUser, LocalMachine };

// One typed value; only the member that matches `type` is meaningful.
struct SettingsValue {
    uint32_t type = REG_NONE;
    uint32_t dword = 0;
    QString string;
    QByteArray binary;

    static SettingsValue fromDword(uint32_t v);
    static SettingsValue fromString(const QString& v);
    static SettingsValue fromBinary(const QByteArray& v);

    bool operator==(const SettingsValue& o) const;
};

// The file that holds a root, resolved from the environment at the time of the call:
// per user $KAVRO_CONFIG_HOME/user.reg, else $XDG_CONFIG_HOME/Kavro/user.reg (default ~/.config);
// per machine $KAVRO_SYSTEM_CONFIG/machine.reg, else /etc/xdg/Kavro/machine.reg.
QString settingsFilePath(SettingsRoot root);

// Paths are backslash-separated key names, compared case-insensitively; empty components are
// ignored, so "" names the key itself. Value names are case-insensitive; "" is the default value.
// Errors: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) for a missing key or value (also for a key
// deleted since it was opened), E_HANDLE on a default-constructed key, DISP_E_TYPEMISMATCH when a
// typed read meets another type, E_ACCESSDENIED when the file or its folder cannot be written,
// E_INVALIDARG for key names with control characters.
class SettingsKey {
public:
    SettingsKey() = default;

    static HRESULT open(SettingsRoot root, const QString& path, SettingsKey* out);
    // Opens the key, creating it and any missing keys along the path. An existing key is opened
    // without writing, so this also works on a root the caller cannot write.
    static HRESULT create(SettingsRoot root, const QString& path, SettingsKey* out);

    HRESULT openSub(const QString& path, SettingsKey* out) const;
    HRESULT createSub(const QString& path, SettingsKey* out) const;

    bool isValid() const { return valid_; }
    SettingsRoot root() const { return root_; }
    QString path() const { return path_.join(QLatin1Char('\\')); }

    HRESULT queryValue(const QString& name, SettingsValue* out) const;
    HRESULT setValue(const QString& name, const SettingsValue& value) const;

    HRESULT readDword(const QString& name, uint32_t* out) const;
    HRESULT readString(const QString& name, QString* out) const;
    HRESULT readBinary(const QString& name, QByteArray* out) const;
    HRESULT writeDword(const QString& name, uint32_t value) const;
    HRESULT writeString(const QString& name, const QString& value) const;
    HRESULT writeBinary(const QString& name, const QByteArray& value) const;

    HRESULT deleteValue(const QString& name) const;
    // Deletes a subkey that has no subkeys of its own (E_ACCESSDENIED otherwise, as the registry).
    HRESULT deleteSubKey(const QString& path) const;
    // Deletes a subkey with everything below it; an empty path empties this key instead.
    HRESULT deleteTree(const QString& path) const;

    // Subkeys in case-insensitive name order; values in the order they were created.
    HRESULT subKeyNames(QStringList* out) const;
    HRESULT valueNames(QStringList* out) const;

private:
    SettingsKey(SettingsRoot root, QString file, QStringList path);
    // Opens or, with `create`, creates `path` below the key `base` of `file`.
    static HRESULT reach(SettingsRoot root, const QString& file, const QStringList& base, const QString& path,
                         bool create, SettingsKey* out);
    HRESULT deleteKey(const QString& path, bool withSubKeys) const;

    bool valid_ = false;
    SettingsRoot root_ = SettingsRoot::CurrentUser;
    QString file_;
    QStringList path_;
};
