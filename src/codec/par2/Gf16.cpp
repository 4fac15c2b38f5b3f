#include "codec/par2/Gf16.h"

#include <array>
#include <vector>

namespace {

constexpr quint32 Generator = 0x1100B;

struct TTables
{
    std::array<quint16, 2 * Gf16::Order> Exp;
    std::array<int, 65536> Log;
    std::vector<int> InputLogs; // every usable input constant, in order

    TTables()
    {
        quint32 v = 1;
        for (int i = 0; i < Gf16::Order; ++i) {
            Exp[i] = Exp[i + Gf16::Order] = quint16(v);
            Log[v] = i;
            v <<= 1;
            if (v & 0x10000)
                v ^= Generator;
        }
        Log[0] = -1;
        for (int n = 1; n < Gf16::Order; ++n)
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0)
                InputLogs.push_back(n);
    }
};

const TTables& tables()
{
    static const TTables t;
    return t;
}

} // namespace

namespace Gf16 {

quint16 Exp(int power)
{
    power %= Order;
    return tables().Exp[power < 0 ? power + Order : power];
}

int Log(quint16 value)
{
    return tables().Log[value];
}

quint16 Mul(quint16 a, quint16 b)
{
    if (a == 0 || b == 0)
        return 0;
    const TTables& t = tables();
    return t.Exp[t.Log[a] + t.Log[b]];
}

int InputLog(int index)
{
    const std::vector<int>& logs = tables().InputLogs;
    return index >= 0 && index < int(logs.size()) ? logs[index] : -1;
}

quint16 Factor(int index, quint32 exponent)
{
    return tables().Exp[quint64(InputLog(index)) * exponent % Order];
}

} // namespace Gf16
