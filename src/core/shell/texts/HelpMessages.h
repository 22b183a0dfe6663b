#pragma once

#include <QString>

namespace quorvid {

// The texts of the "Help", "?" and "Add Fields" buttons.
QString HelpMessage();
QString ExcelHintMessage();
QString AddFieldsMessage();

}  // namespace quorvid
