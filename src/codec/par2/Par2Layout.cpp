#include "codec/par2/Par2Layout.h"

#include <algorithm>

namespace {

int doublingFiles(int count)
{
    int files = 0;
    for (qint64 sum = 0, size = 1; sum < count; sum += size, size *= 2)
        ++files;
    return files;
}

// Sizes doubling from the smallest power of two that lets files files hold count.
std::vector<int> doublingSizes(int count, int files)
{
    qint64 first = 1;
    while (files < 31 && first * ((qint64(1) << files) - 1) < count)
        first *= 2;
    std::vector<int> sizes;
    int left = count;
    // Files beyond those the slices fill get none, as par2 gives them; a second empty one
    // would take the first one's name (par2 then fails), so there is one at most.
    for (qint64 size = first; int(sizes.size()) < files; size *= 2) {
        const int n = int(std::min<qint64>(size, left));
        if (n == 0 && !sizes.empty() && sizes.back() == 0)
            break;
        sizes.push_back(n);
        left -= n;
    }
    if (left > 0)
        sizes.back() += left;
    return sizes;
}

std::vector<int> uniformSizes(int count, int files)
{
    std::vector<int> sizes;
    for (int i = 0; i < files && i < count; ++i)
        sizes.push_back(count / files + (i < count % files ? 1 : 0));
    return sizes;
}

int digits(int n)
{
    return int(QString::number(n).size());
}

// One copy of the checksums, and one more each time the volume's slice count doubles.
int copies(int count)
{
    int c = 1;
    for (int n = count; n > 1; n >>= 1)
        ++c;
    return c;
}

} // namespace

namespace Par2Layout {

qint64 SliceSize(qint64 fileSize)
{
    const qint64 size = (fileSize + SliceLimit - 1) / SliceLimit;
    return std::max<qint64>(4, (size + 3) / 4 * 4);
}

qint64 SliceCount(qint64 fileSize, qint64 sliceSize)
{
    return (fileSize + sliceSize - 1) / sliceSize;
}

int RecoveryCount(qint64 slices, int percent)
{
    if (slices <= 0)
        return 0;
    return int(std::max<qint64>(1, (slices * percent + 50) / 100));
}

std::vector<TVolume> Volumes(const QString& fileName, int count, int files, bool uniform)
{
    if (count <= 0)
        return {};
    if (files <= 0)
        files = doublingFiles(count);
    files = std::min(files, count);
    const std::vector<int> sizes =
        uniform ? uniformSizes(count, files) : doublingSizes(count, files);
    const int widthFirst = digits(count);
    const int widthCount = digits(*std::max_element(sizes.begin(), sizes.end()));
    std::vector<TVolume> volumes;
    int first = 0;
    for (int n : sizes) {
        TVolume v;
        v.First = first;
        v.Count = n;
        v.Copies = copies(n);
        v.Name = fileName + QStringLiteral(".vol%1+%2.par2")
                                .arg(first, widthFirst, 10, QLatin1Char('0'))
                                .arg(n, widthCount, 10, QLatin1Char('0'));
        volumes.push_back(v);
        first += n;
    }
    return volumes;
}

} // namespace Par2Layout
