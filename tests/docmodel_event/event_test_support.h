#pragma once
// Points the events folder at a fresh temporary folder for one test.
#include <QTemporaryDir>
#include <cstdlib>

class EventsFolder {
public:
    EventsFolder() { qputenv("KAVRO_EVENTS_DIR", dir.path().toLocal8Bit()); }
    explicit EventsFolder(const QString& path) { qputenv("KAVRO_EVENTS_DIR", path.toLocal8Bit()); }
    ~EventsFolder() { qunsetenv("KAVRO_EVENTS_DIR"); }
    QString path() const { return dir.path(); }
    QTemporaryDir dir;
};
