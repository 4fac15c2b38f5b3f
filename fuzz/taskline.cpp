// The task file's task part: split into records, each read as a task. Every task read,
// written again by the writer, reads back the same, and the written line splits as one record.
#include "FuzzFiles.h"

#include "tasks/TaskLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzFiles::Bytes(data, size));
    TaskLine::TSplitError splitError;
    const auto records = TaskLine::Split(text, 2, &splitError);
    if (!records) {
        FuzzFiles::Check(splitError.Line >= 2, "a split error names a line of the task part");
        return 0;
    }
    for (const TaskLine::TRecord& record : *records) {
        QString error;
        const std::optional<TTask> task = TaskLine::Read(record.Text, &error);
        if (!task) {
            FuzzFiles::Check(!error.isEmpty(), "a damaged line says why");
            continue;
        }
        const QString line = TaskLine::Write(*task);
        const auto again = TaskLine::Split(line, 1, &splitError);
        FuzzFiles::Check(again && again->size() == 1, "a written task is one record");
        const std::optional<TTask> reread = TaskLine::Read(again->first().Text, &error);
        FuzzFiles::Check(reread && *reread == *task, "Read(Write(task)) == task");
    }
    return 0;
}
