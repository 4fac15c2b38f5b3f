#include "net/TextClient.h"

TTextClient::TTextClient(QObject* parent) : TTextClientBase(parent) {}
