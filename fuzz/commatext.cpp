// The comma-text reader (profile list, task lines, list-valued fields) on any text: what it
// reads, written again, reads back the same.
#include "FuzzFiles.h"

#include "base/CommaText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList values = CommaText::Read(QString::fromUtf8(FuzzFiles::Bytes(data, size)));
    FuzzFiles::Check(CommaText::Read(CommaText::Write(values)) == values,
                     "Read(Write(values)) == values");
    return 0;
}
