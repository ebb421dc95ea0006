#pragma once

#include <QString>

class QObject;
class QWidget;

// Makers for the data controls and the data-bound controls of the windows, each named by its
// control name (objectName), as ui:: (platform/Widgets.h) makes the plain controls.
namespace store {

class DataCombo;
class DataControl;
class DatePicker;

DataControl* dataControl(QObject* parent, const char* name);
// A data combo listing `listField` of the rows of `rows`.
DataCombo* dataCombo(QWidget* parent, const char* name, DataControl* rows, const QString& listField);
DatePicker* datePicker(QWidget* parent, const char* name);

} // namespace store
