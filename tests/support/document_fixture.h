#pragma once
// What the document tests share: the bundled events, a synthetic practice that exercises every
// stored field, temporary folders and running helper programs.
#include "kavrodoc.h"
#include "support/progress_recorder.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace doctest {

using ProgressSink = ProgressRecorder<_IKavroDocumentEvents>;

// The per-process event manager over the events built into the bin folder.
IEventManager* manager();
ComPtr<IEventParams> event(const char* shortName);

// A practice of AR10: sighting and match aimings, hidden and missed shots, a "_trigger" channel
// and a 32-bit channel, invalid samples and large jumps in the traces, and document values of
// every type the stream stores. `scale` multiplies the trace lengths (benchmarks, crash tests).
ComPtr<IKavroDocument> syntheticPractice(int scale = 1);

// A document of `aimings` match aimings of `seconds` at `rate` samples per second, one shot each.
ComPtr<IKavroDocument> longPractice(int aimings, int seconds, int rate);

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
ProcessResult run(const QString& program, const QStringList& args);
ProcessResult runPython(const char* script, const QStringList& args);

// The dump of `path` by the helper program, loaded in a process of its own.
QJsonObject dumpInFreshProcess(const QString& path);

QByteArray readAll(const QString& path);
void writeAll(const QString& path, const QByteArray& bytes);

} // namespace doctest
