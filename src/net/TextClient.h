#pragma once

#include "net/TextClientBase.h"

// The text client the NNTP client talks through.
class TTextClient : public TTextClientBase
{
    Q_OBJECT

public:
    explicit TTextClient(QObject* parent = nullptr);
};
