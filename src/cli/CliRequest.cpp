#include "cli/CliRequest.h"

#include <algorithm>

QStringList TCliRequest::Values(const QString& name) const
{
    // QMultiMap keeps the values of one key newest first.
    QStringList values = Options.values(name);
    std::reverse(values.begin(), values.end());
    return values;
}
