#pragma once
// A catalog of saved practices in a temporary home, indexed into a cache by the service's own
// indexer in this process, which also holds the "service running" lock: the catalog folder
// then reads the cache a real service would have written.
#include "support/catalog_env.h"
#include "cache_writer.h"
#include "catalog_indexer.h"
#include "catalog_notice.h"
#include "catalog_tree.h"
#include "catalog_ui.h"
#include "support/document_fixture.h"
#include "kavro_folder.h"
#include "support/practice_maker.h"
#include "service_presence.h"
#include "shell/shell_execute.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

namespace shelltest {

using namespace kavro;
using namespace kavro::catalog;
using namespace kavro::shell;

// Records what would have been started or opened.
struct FakeLauncher final : ShellLauncher {
    struct Start {
        QString program;
        QStringList args;
    };
    std::vector<Start> starts;
    QStringList opened;
    bool startSucceeds = true;
    std::function<void()> onStart; // what the started program would do
    bool startProgram(const QString& program, const QStringList& args) override
    {
        starts.push_back({program, args});
        if (onStart)
            onStart();
        return startSucceeds;
    }
    bool openDocument(const QString& path) override
    {
        opened << path;
        return true;
    }
};

struct Message {
    QString text, caption;
};

inline QString eventName(const char* shortName)
{
    QString name;
    doctest::event(shortName)->get_Name(&name);
    return name;
}

class ShellCatalogTest : public cattest::CatalogEnvTest {
protected:
    void SetUp() override
    {
        CatalogEnvTest::SetUp();
        QDir().mkpath(homeCatalogPath());
        QDir().mkpath(rootPath() + QStringLiteral("/config"));
        qputenv("HOME", QFile::encodeName(homePath()));
        qputenv("KAVRO_SYSTEM_CONFIG", QFile::encodeName(rootPath() + QStringLiteral("/config")));
        qputenv("KAVRO_CONFIG_HOME", QFile::encodeName(rootPath() + QStringLiteral("/config")));
        setShellLauncher(&launcher_);
        catalogUi().message = [this](const QString& text, const QString& caption) {
            messages_.push_back({text, caption});
        };
        catalogUi().confirm = [this](QWidget*, const QString& text, const QString&) {
            questions_ << text;
            return answer_;
        };
        CCatalog::instance().reset();
        CCatalog::instance().setServiceWaitMs(0);
    }
    void TearDown() override
    {
        CCatalog::instance().reset();
        catalogUi() = CatalogUi{};
        setShellLauncher(nullptr);
        indexer_.reset();
        cache_.close();
        presence_.release();
    }

    // Claims "service running" and opens the cache as the service does.
    void startIndexing()
    {
        ASSERT_EQ(presence_.claim(), S_OK);
        ASSERT_EQ(presence_.announce(), S_OK);
        ASSERT_EQ(cache_.open(cachePath()), S_OK);
        indexer_ = std::make_unique<CatalogIndexer>(cache_, homeCatalogPath(), nullptr);
    }
    void rescan() { indexer_->Rescan(); }

    QString save(const QString& name, const cattest::PracticeSpec& spec)
    {
        const QString path = homeCatalogPath() + name;
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(cattest::savePractice(spec, path)) << name.toStdString();
        return path;
    }
    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(homeCatalogPath() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // The catalog folder, or one below it by names.
    ComPtr<KavroFolder> folder(const QStringList& path = {})
    {
        IdList absolute(catalogIdList(path));
        auto f = KavroFolder::create();
        f->Initialize(absolute.get());
        return f;
    }
    static IdList item(const QString& name) { return IdList(MakeItemId(kCatalogItemKind, name)); }
    // The names of a folder's items in enumeration order.
    static QStringList childNames(IShellFolder* f)
    {
        QStringList names;
        ComPtr<IEnumIDList> items;
        if (FAILED(f->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items.put())))
            return names;
        LPITEMIDLIST next = nullptr;
        while (items->Next(1, &next, nullptr) == S_OK) {
            IdList id(next);
            names << ItemIdName(id.get());
        }
        return names;
    }

    FakeLauncher launcher_;
    std::vector<Message> messages_;
    QStringList questions_;
    bool answer_ = false;
    ServicePresence presence_;
    CatalogCache cache_;
    std::unique_ptr<CatalogIndexer> indexer_;
};

} // namespace shelltest
