#include "BasVal.h"

QString BasVal::UserName;
QString BasVal::UserStyle;
QString BasVal::QueryStatement;
