#include "res_strings.h"

#include "builtin_strings.h"
#include "string_module.h"

#include <mutex>

namespace kavro {

namespace {
std::mutex g_tableLock;
std::shared_ptr<const StringTable> g_table;
} // namespace

std::shared_ptr<const StringTable> currentStringTable()
{
    std::lock_guard g(g_tableLock);
    return g_table;
}

std::shared_ptr<const StringTable> exchangeStringTable(std::shared_ptr<const StringTable> table)
{
    std::lock_guard g(g_tableLock);
    g_table.swap(table);
    return table;
}

QList<std::pair<QString, QByteArray>> englishStringSources()
{
    QList<std::pair<QString, QByteArray>> out;
    for (const BuiltInStringSource* s = kBuiltInStringSources; s->name; ++s)
        out.append({QString::fromUtf8(s->name),
                    QByteArray::fromRawData(reinterpret_cast<const char*>(s->bytes), static_cast<qsizetype>(s->size))});
    return out;
}

const StringTable& englishStringTable()
{
    // The sources are checked by the tests; a faulty line is left out here rather than fatal.
    static const StringTable table = [] {
        StringTable t;
        for (const auto& [name, bytes] : englishStringSources())
            parseStringTable(bytes, &t);
        return t;
    }();
    return table;
}

QString englishResString(uint32_t id)
{
    const StringTable& english = englishStringTable();
    const auto it = english.find(id);
    return it == english.end() ? QString() : it->second;
}

QString LoadResString(uint32_t id)
{
    if (const auto table = currentStringTable()) {
        const auto it = table->find(id);
        if (it != table->end())
            return it->second;
    }
    return englishResString(id);
}

} // namespace kavro
