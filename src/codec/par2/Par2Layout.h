#pragma once

#include <QString>

#include <vector>

// How a file's PAR2 set is laid out, chosen as par2cmdline chooses it for the same settings
// so that sets look alike whichever made them: 2000 input slices at most, of a size that is a
// multiple of 4; the recovery volumes named "name.vol<first>+<count>.par2".
namespace Par2Layout {

constexpr int SliceLimit = 2000;

struct TVolume
{
    int First = 0;  // exponent of its first recovery slice
    int Count = 0;  // recovery slices in it
    QString Name;   // file name, without a folder
    int Copies = 1; // copies of the file's checksum packets it carries
};

qint64 SliceSize(qint64 fileSize);
qint64 SliceCount(qint64 fileSize, qint64 sliceSize);
// percent of the input slices, rounded to the nearest, one at least (none for no input).
int RecoveryCount(qint64 slices, int percent);
// The volumes for count recovery slices in files files (0: as many as doubling sizes 1, 2,
// 4, ... need); of equal size when uniform, else each twice the one before.
std::vector<TVolume> Volumes(const QString& fileName, int count, int files, bool uniform);

} // namespace Par2Layout
