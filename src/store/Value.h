#pragma once

#include <QString>
#include <QVariant>

namespace store {

// A field's value as grids and bound boxes show it: dates as 2006-5-19, whole numbers without
// a decimal point, nothing for null.
QString displayText(const QVariant& value);

} // namespace store
